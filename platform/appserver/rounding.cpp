#include "platform/appserver/rounding.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace appsrv {

namespace {
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
} // namespace

double roundDec(double value, int places)
{
    if (!std::isfinite(value) || value == 0)
        return value;
    // Fast path: far from a half step the 15-digit intermediate cannot change the rounded digit (it moves
    // the scaled value by less than 1e-2 below 1e12), and m / 10^places is the same rational number that
    // the decimal text names, correctly rounded by one division.
    if (places >= 0 && places <= 22) {
        const double scaled = std::fabs(value) * kPow10[places];
        if (scaled < 1e12) {
            const double whole = std::floor(scaled);
            const double fraction = scaled - whole;
            if (fraction < 0.49 || fraction > 0.51) {
                const double m = fraction > 0.51 ? whole + 1 : whole;
                if (m == 0)
                    return 0.0;
                const double out = m / kPow10[places];
                return value < 0 ? -out : out;
            }
        }
    }
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 14);
    const char *e = static_cast<const char *>(std::memchr(text, 'e', static_cast<size_t>(written.ptr - text)));
    char digits[20];
    int n = 0;
    for (const char *p = text; p < e; ++p) {
        if (*p != '.')
            digits[n++] = *p;
    }
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), written.ptr, exponent);
    int pointPos = exponent + 1;
    while (n > 1 && digits[n - 1] == '0')
        --n;

    const int keep = pointPos + places;
    if (keep < 0)
        return 0.0;
    if (keep < n) {
        const bool up = digits[keep] >= '5';
        n = keep;
        if (up) {
            int i = n - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                std::memmove(digits + 1, digits, static_cast<size_t>(n));
                digits[0] = '1';
                ++n;
                ++pointPos;
            }
        }
        while (n > 0 && digits[n - 1] == '0')
            --n;
        if (n == 0)
            return 0.0;
    }

    // At most 15 digits: the integer is exact in a double, and one multiplication or division by an
    // exact power of ten is correctly rounded, as reading the decimal text is.
    uint64_t mantissa = 0;
    for (int i = 0; i < n; ++i)
        mantissa = mantissa * 10 + static_cast<uint64_t>(digits[i] - '0');
    const int scale = pointPos - n;
    double out;
    if (scale >= 0 && scale <= 22) {
        out = static_cast<double>(mantissa) * kPow10[scale];
    } else if (scale < 0 && scale >= -22) {
        out = static_cast<double>(mantissa) / kPow10[-scale];
    } else {
        const std::string decimal = std::string(digits, static_cast<size_t>(n)) + "e" + std::to_string(scale);
        std::from_chars(decimal.data(), decimal.data() + decimal.size(), out);
    }
    return value < 0 ? -out : out;
}

} // namespace appsrv
