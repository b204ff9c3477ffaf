#ifndef TRAVONELQUIST_TESTS_SUPPORT_NUMBERS_H
#define TRAVONELQUIST_TESTS_SUPPORT_NUMBERS_H

#include <string>

namespace testsupport {

// Shortest text that still tells neighbouring doubles apart (for test names).
std::string exact(double v);

}  // namespace testsupport

#endif
