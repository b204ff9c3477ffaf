#include "effectors/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

char* library(char* out, double v)
{
    return std::to_chars(out, out + kNumberTextMax, v, std::chars_format::general, 6).ptr;
}

// 10^k, exact in a double for every k here.
const double kScale[10] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
// "00" to "99".
const char kPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
// 10^e for e = -4 ... 6, the nearest doubles.
const double kPower[11] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};

}  // namespace

char* write_number(char* out, double v)
{
    if (v == 0.0) {
        if (std::signbit(v)) *out++ = '-';
        *out++ = '0';
        return out;
    }
    const double a = std::fabs(v);
    // The fixed notation of %g, decimal exponents -4 to 5, is worked out here;
    // the exponent form, NaN and infinity are left to the library.
    if (!(a >= 1e-4 && a < 999999.0)) return library(out, v);

    // The decimal exponent from the binary one (19728 / 2^16 is log10(2)),
    // which leaves it one short at most.
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    const int binary = static_cast<int>(bits >> 52) - 1023;
    int e = (binary * 19728) >> 16;
    if (a >= kPower[e + 5]) ++e;
    double s = a * kScale[5 - e];
    if (s < 99999.5 && e > -4) {  // a just under a power of ten
        --e;
        s = a * kScale[5 - e];
    }
    if (!(s >= 99999.5 && s < 1000000.5)) return library(out, v);
    // s is a times a power of ten, rounded once: off by no more than 1e-10
    // from the exact product. Near a tie that could decide the sixth digit,
    // and the library rounds the exact value.
    long n = static_cast<long>(s);
    const double frac = s - static_cast<double>(n);
    if (std::fabs(frac - 0.5) < 1e-7) return library(out, v);
    if (frac > 0.5) ++n;
    if (n == 1000000) {  // 9.999996 rounds to 10.0000
        n = 100000;
        ++e;
        if (e > 5) return library(out, v);
    }

    char digits[6];
    const long high = n / 10000;
    const long low = n % 10000;
    std::memcpy(digits, kPairs + 2 * high, 2);
    std::memcpy(digits + 2, kPairs + 2 * (low / 100), 2);
    std::memcpy(digits + 4, kPairs + 2 * (low % 100), 2);
    // Trailing zeros of the fraction are dropped, and the point with them.
    int last = 5;
    while (last > (e > 0 ? e : 0) && digits[last] == '0') --last;

    if (v < 0) *out++ = '-';
    if (e >= 0) {
        for (int k = 0; k <= e; ++k) *out++ = digits[k];
        if (last > e) {
            *out++ = '.';
            for (int k = e + 1; k <= last; ++k) *out++ = digits[k];
        }
    } else {
        *out++ = '0';
        *out++ = '.';
        for (int k = e; k < -1; ++k) *out++ = '0';
        for (int k = 0; k <= last; ++k) *out++ = digits[k];
    }
    return out;
}
