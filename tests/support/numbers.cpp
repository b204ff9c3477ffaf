#include "support/numbers.h"

#include <cmath>
#include <iomanip>
#include <sstream>

namespace testsupport {

std::string exact(double v)
{
    for (int digits = 6;; ++digits) {
        std::ostringstream s;
        s << std::setprecision(digits) << v;
        if (digits >= 17 || std::isnan(v) || std::stod(s.str()) == v) return s.str();
    }
}

}  // namespace testsupport
