#ifndef TRAVONELQUIST_TESTS_SUPPORT_PATHS_H
#define TRAVONELQUIST_TESTS_SUPPORT_PATHS_H

#include <string>

namespace testsupport {

// Where the build put the programs, and the copied recorded messages.
std::string agent_binary();
std::string peer_binary();
std::string data_dir();

}  // namespace testsupport

#endif
