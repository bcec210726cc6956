// The server rounds with appsrv::roundDec (tk::RoundDec, allocation-free) and the client with
// tk::RoundDec: both must give, bit for bit, what the rounding rule gives when followed literally on
// text (15 significant digits, half away from zero at `places` decimals, read back as a double).

#include "platform/appserver/rounding.h"
#include "platform/toolkit/data/formats.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace {

// The rule spelled out on strings: slow, obviously right.
double referenceRoundDec(double value, int places)
{
    if (!std::isfinite(value) || value == 0)
        return value;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    const std::string text(buf, res.ptr);
    const size_t e = text.find('e');
    std::string digits;
    for (size_t i = 0; i < e; ++i)
        if (text[i] != '.')
            digits.push_back(text[i]);
    int pointPos = std::stoi(text.substr(e + 1)) + 1;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const long long keep = static_cast<long long>(pointPos) + places;
    if (keep < 0)
        return 0.0;
    if (static_cast<size_t>(keep) < digits.size()) {
        const bool up = digits[static_cast<size_t>(keep)] >= '5';
        digits.resize(static_cast<size_t>(keep));
        if (up) {
            long long i = keep - 1;
            while (i >= 0 && digits[static_cast<size_t>(i)] == '9')
                digits[static_cast<size_t>(i--)] = '0';
            if (i >= 0) {
                ++digits[static_cast<size_t>(i)];
            } else {
                digits.insert(digits.begin(), '1');
                ++pointPos;
            }
        }
        while (!digits.empty() && digits.back() == '0')
            digits.pop_back();
        if (digits.empty())
            return 0.0;
    }
    std::string decimal = value < 0 ? "-" : "";
    decimal += digits;
    decimal += 'e';
    decimal += std::to_string(pointPos - static_cast<int>(digits.size()));
    double out = 0;
    if (std::from_chars(decimal.data(), decimal.data() + decimal.size(), out).ec != std::errc())
        return value; // rounded above the largest double: the value has no decimals to round
    return out;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

void expectAllAgree(double v, int places)
{
    const double expected = referenceRoundDec(v, places);
    const double toolkit = tk::RoundDec(v, places);
    const double server = appsrv::roundDec(v, places);
    EXPECT_TRUE(sameBits(expected, toolkit)) << v << " @" << places << ": " << expected << " vs " << toolkit;
    EXPECT_TRUE(sameBits(expected, server)) << v << " @" << places << ": " << expected << " vs " << server;
}

TEST(ServerRounding, DocumentedExamples)
{
    const struct
    {
        double value;
        int places;
        double expected;
    } cases[] = {
        {0.370368, 5, 0.37037}, {2.675, 2, 2.68},   {1.115, 2, 1.12},     {-2.675, 2, -2.68},
        {1.005, 2, 1.01},       {0.5, 0, 1.0},      {-0.5, 0, -1.0},      {1234.5, -1, 1230.0},
        {1250, -2, 1300.0},     {0.0000049, 5, 0.0}, {9.999995, 5, 10.0}, {0.123455, 5, 0.12346},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tk::RoundDec(c.value, c.places), c.expected) << c.value << " @" << c.places;
        EXPECT_EQ(appsrv::roundDec(c.value, c.places), c.expected) << c.value << " @" << c.places;
    }
}

TEST(ServerRounding, EdgeCasesAgreeWithTheReference)
{
    const double values[] = {0.0, -0.0, 0.370368, 2.675, 0.000005, 0.0000049999, 0.000015, -0.000015, 9.999995,
                             99999.999995, 0.123455, 1.005, 1e-12, 5e-6, 4.9999999999e-6, 123456789.123455,
                             1e15 + 0.5, 3e20, 1e300, -2.5e-7, 0.1 + 0.2, 788.8 / 140, 12.0 * 9.0, 0.18 * 50,
                             999999999999.5, 999999999999.49, 1e12, 4.5e-310, DBL_MIN, DBL_MAX, -DBL_MAX,
                             std::nan(""), INFINITY, -INFINITY};
    for (double v : values)
        for (int places : {-400, -20, -3, -1, 0, 2, 5, 6, 10, 15, 22, 23, 30, 320, 400})
            expectAllAgree(v, places);
}

TEST(ServerRounding, RandomProductsOfQuantitiesAndPricesAgree)
{
    std::mt19937_64 random(20260316);
    std::uniform_real_distribution<double> quantity(0, 0.5), price(0, 60), diners(0, 900);
    int checked = 0;
    for (int i = 0; i < 200000; ++i) {
        // The shapes the server rounds: gross quantity x diners, price x total, and values on a half step.
        const double q = std::round(quantity(random) * 1e5) / 1e5;
        const double t = q * std::round(diners(random));
        const double c = std::round(price(random) * 1e4) / 1e4 * appsrv::roundDec(t, 5);
        const double half = (std::floor(diners(random) * 1e5) + 0.5) / 1e5;
        for (double v : {t, c, half, -c, q * 1.37}) {
            const int places = 2 + i % 5;
            const double expected = referenceRoundDec(v, places);
            ASSERT_TRUE(sameBits(expected, tk::RoundDec(v, places))) << v << " @" << places;
            ASSERT_TRUE(sameBits(expected, appsrv::roundDec(v, places))) << v << " @" << places;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 1000000);
}

TEST(ServerRounding, ValuesJustBesideAHalfStepAgree)
{
    // The boundary of the quick path: values a few units in the last place, or a relative 1e-15 to
    // 1e-10, away from a half step, at every magnitude the quick path takes.
    std::mt19937_64 random(4242);
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        const int places = static_cast<int>(random() % 9);
        const int digits = 1 + static_cast<int>(random() % 11);
        const double whole = std::floor(std::ldexp(static_cast<double>(random() >> 11), -53) * std::pow(10.0, digits));
        const double half = (whole + 0.5) / std::pow(10.0, places);
        double up = half, down = half;
        for (int ulps = 0; ulps < 8; ++ulps, up = std::nextafter(up, INFINITY), down = std::nextafter(down, 0.0)) {
            for (double v : {up, down, -up}) {
                ASSERT_TRUE(sameBits(referenceRoundDec(v, places), tk::RoundDec(v, places))) << v << " @" << places;
                ++checked;
            }
        }
        for (double relative : {1e-15, 3e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10}) {
            for (double v : {half * (1 + relative), half * (1 - relative)}) {
                ASSERT_TRUE(sameBits(referenceRoundDec(v, places), tk::RoundDec(v, places))) << v << " @" << places;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 20000 * (8 * 3 + 7 * 2));
}

TEST(ServerRounding, RandomBitPatternsAgree)
{
    // Any finite double, at any sensible number of places, including the far exponents.
    std::mt19937_64 random(77);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        const int places = static_cast<int>(random() % 60) - 20;
        const double expected = referenceRoundDec(v, places);
        ASSERT_TRUE(sameBits(expected, tk::RoundDec(v, places))) << v << " @" << places;
    }
}

} // namespace
