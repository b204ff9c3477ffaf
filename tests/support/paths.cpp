#include "support/paths.h"

namespace testsupport {

std::string agent_binary() { return TRAVONELQUIST_BINARY; }
std::string peer_binary() { return TRAVONELQUIST_PEER; }
std::string data_dir() { return TRAVONELQUIST_DATA; }

}  // namespace testsupport
