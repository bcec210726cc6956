// The server's allocation-free rounding must give tk::RoundDec's result for every value, bit for bit.

#include "platform/appserver/rounding.h"
#include "platform/toolkit/data/formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ServerRounding, EdgeCasesAgreeWithTheToolkit)
{
    const double values[] = {0.0, -0.0, 0.370368, 2.675, 0.000005, 0.0000049999, 0.000015, -0.000015, 9.999995,
                             99999.999995, 0.123455, 1.005, 1e-12, 5e-6, 4.9999999999e-6, 123456789.123455,
                             1e15 + 0.5, 3e20, 1e300, -2.5e-7, 0.1 + 0.2, 788.8 / 140, 12.0 * 9.0, 0.18 * 50,
                             std::nan(""), INFINITY, -INFINITY};
    for (double v : values) {
        for (int places : {0, 2, 5, 6}) {
            const double expected = tk::RoundDec(v, places);
            const double got = appsrv::roundDec(v, places);
            EXPECT_TRUE(sameBits(expected, got) || (std::isnan(expected) && std::isnan(got)))
                << v << " @" << places << ": " << expected << " vs " << got;
        }
    }
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
            ASSERT_TRUE(sameBits(tk::RoundDec(v, 5), appsrv::roundDec(v, 5))) << v;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 1000000);
}

} // namespace
