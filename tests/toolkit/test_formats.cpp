// Display formats, rounding and number text in the Brazilian and US settings.

#include "platform/toolkit/data/costrules.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include <gtest/gtest.h>

#include <cfloat>

#include <cmath>

namespace {

using tk::FormatFloat;
using tk::RoundDec;
using tk::TFormatSettings;

struct FloatCase
{
    const char *name;
    const char *format;
    double value;
    const char *expected;
};

const FloatCase kBrazilianCases[] = {
    // The figures of the windows.
    {"five decimals with thousands", "#,##0.00000", 1234.5, "1.234,50000"},
    {"five decimals below one", "#,##0.00000", 0.370368, "0,37037"},
    {"five decimals half rounds up", "#,##0.00000", 0.000005, "0,00001"},
    {"five decimals below half", "#,##0.00000", 0.0000049, "0,00000"},
    {"five decimals negative", "#,##0.00000", -0.370368, "-0,37037"},
    {"five decimals millions", "#,##0.00000", 1234567.123456, "1.234.567,12346"},
    {"integer rounds down", "#,##0", 0.4, "0"},
    {"integer rounds half away", "#,##0", 2.5, "3"},
    {"integer thousands", "#,##0", 1234567, "1.234.567"},
    {"integer negative", "#,##0", -1234.5, "-1.235"},
    {"integer tiny negative is zero", "#,##0", -0.4, "0"},
    {"long mask zero", "#,###,##0.00000", 0, "0,00000"},
    {"long mask value", "#,###,##0.00000", 98765.4321, "98.765,43210"},
    {"long mask negative", "#,###,##0.00000", -1.5, "-1,50000"},
    {"long integer mask", "#,###,##0", 1234567.5, "1.234.568"},
    {"long integer mask carry", "#,###,##0", 999.5, "1.000"},
    {"six-digit mask", "###,##0.00", 1234567.891, "1.234.567,89"},
    {"six-digit mask small", "###,##0.00", 0.5, "0,50"},
    {"optional decimals", "#,##0.###", 2.5, "2,5"},
    {"optional decimals none", "#,##0.###", 2, "2"},
    {"optional decimals rounded", "#,##0.###", 1234.5678, "1.234,568"},
    {"optional decimals trailing zeros", "#,##0.###", 1.2004, "1,2"},
    {"percent is literal", "#,##0.00 %", 12.345, "12,35 %"},
    {"percent zero", "#,##0.00 %", 0, "0,00 %"},
    {"percent negative", "#,##0.00 %", -7.5, "-7,50 %"},
    {"two decimals", "#,##0.00", 1e9, "1.000.000.000,00"},
    {"two decimals binary half", "#,##0.00", 2.675, "2,68"},
    {"two decimals 1.005", "#,##0.00", 1.005, "1,01"},
    {"no negative zero", "#,##0.00", -0.000001, "0,00"},
    {"no negative zero at half", "#,##0.00", -0.004, "0,00"},
    {"plain zero", "0", 0.4, "0"},
    {"plain zero half", "0", 0.5, "1"},
    {"plain zero negative half", "0", -0.5, "-1"},
    {"leading zeros", "000", 7, "007"},
    {"only hashes", "#", 0, ""},
    {"quoted literal", "'R$ '#,##0.00", 5, "R$ 5,00"},
    {"double-quoted literal", "#,##0\" kg\"", 12, "12 kg"},
    {"sections negative", "#,##0.00;(#,##0.00);zero", -5, "(5,00)"},
    {"sections zero", "#,##0.00;(#,##0.00);zero", 0, "zero"},
    {"sections zero after rounding", "#,##0.00;(#,##0.00);zero", 0.001, "zero"},
    {"sections positive", "#,##0.00;(#,##0.00);zero", 5, "5,00"},
    {"empty negative section", "0.0;;z", -2, "-2,0"},
    {"scientific", "0.00E+00", 1234.5, "1,23E+03"},
    {"scientific small", "0.00E+00", 0.00012345, "1,23E-04"},
    {"scientific minus form", "0.0E-0", 12345, "1,2E4"},
    {"empty format is general", "", 1234.5, "1234,5"},
    {"large value", "#,##0", 123456789012345.0, "123.456.789.012.345"},
};

class FormatFloatBrazil : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FormatFloatBrazil, Renders)
{
    const FloatCase &c = GetParam();
    EXPECT_EQ(FormatFloat(c.format, c.value, TFormatSettings::brazilian()), c.expected)
        << c.name << ": \"" << c.format << "\" of " << c.value;
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatFloatBrazil, ::testing::ValuesIn(kBrazilianCases));

TEST(FormatFloat, UsesTheProcessSettingsAndSwitchesLocale)
{
    tk::SetLocale("en_US");
    EXPECT_EQ(FormatFloat("#,##0.00000", 1234.5), "1,234.50000");
    EXPECT_EQ(FormatFloat("#,##0.00 %", 12.345), "12.35 %");
    EXPECT_EQ(tk::FloatToStr(0.5), "0.5");
    tk::SetLocale("pt_BR");
    EXPECT_EQ(FormatFloat("#,##0.00000", 1234.5), "1.234,50000");
    EXPECT_THROW(tk::SetLocale("xx_YY"), tk::Exception);
}

TEST(FormatFloat, NeverShowsMinusZeroForAnyFormat)
{
    const char *formats[] = {"#,##0.00000", "#,###,##0.00000", "###,##0.00", "#,##0", "#,###,##0",
                             "#,##0.###", "#,##0.00 %", "#,##0.00", "0"};
    for (const char *f : formats)
        for (double v : {-0.0, -1e-9, -0.0000049, -1e-300})
            EXPECT_EQ(FormatFloat(f, v).find('-'), std::string::npos) << f << " of " << v;
}

TEST(FormatFloat, NonFiniteValues)
{
    EXPECT_EQ(FormatFloat("#,##0.00", std::nan("")), "NAN");
    EXPECT_EQ(FormatFloat("#,##0.00", INFINITY), "INF");
    EXPECT_EQ(FormatFloat("#,##0.00", -INFINITY), "-INF");
}

struct RoundCase
{
    double value;
    int places;
    double expected;
};

TEST(RoundDec, HalfAwayFromZeroOnTheDecimalValue)
{
    const RoundCase cases[] = {
        {0.370368, 5, 0.37037}, {2.675, 2, 2.68},     {-2.675, 2, -2.68},   {1.005, 2, 1.01},
        {0.123456 * 3, 5, 0.37037}, {2.5, 0, 3},      {-0.5, 0, -1},        {0.1 + 0.2, 5, 0.3},
        {1e-7, 5, 0},          {0.000005, 5, 0.00001}, {-0.000005, 5, -0.00001}, {1234.567, -1, 1230},
        {0.74074, 5, 0.74074}, {123456.789015, 5, 123456.78902}, {99.999995, 5, 100},
        {5, 5, 5},             {0, 5, 0},              {1.115, 2, 1.12},
    };
    for (const RoundCase &c : cases)
        EXPECT_EQ(RoundDec(c.value, c.places), c.expected) << c.value << " at " << c.places;
}

// The cost rules the server and the window share: each line's quantity is rounded before its cost,
// so a cost is never computed from an unrounded quantity.
TEST(CostRules, LinesAreRoundedQuantityFirst)
{
    struct LineCase
    {
        tk::LineCost got;
        double quantity;
        double cost;
    };
    const LineCase cases[] = {
        {tk::IngredientCost(0.123456, 12.5, 3), 0.37037, 4.62963},   // not 12.5 x 0.370368 = 4.6296
        {tk::IngredientCost(0.2, 0, 140), 28, 0},
        {tk::IngredientCost(0.333333, 3, 0), 0, 0},
        {tk::ConsumptionItemCost(0.05, 3.333333, true, 140), 7, 23.33333},
        {tk::ConsumptionItemCost(2.5, 1.999995, false, 140), 2.5, 4.99999},
        {tk::ConsumptionItemCost(0.0123456, 10, true, 0), 0, 0},
    };
    for (const LineCase &c : cases) {
        EXPECT_EQ(c.got.quantity, c.quantity);
        EXPECT_EQ(c.got.cost, c.cost);
    }
    EXPECT_EQ(tk::CostTotal(0.1 + 0.2), 0.3);
    EXPECT_EQ(tk::CostTotal(4.629625 + 0.000001), 4.62963);
    EXPECT_EQ(tk::DishDiners(140, 33.3), 47);
    EXPECT_EQ(tk::DishDiners(125, 50), 63); // 62.5: half away from zero
    EXPECT_EQ(tk::DishDiners(0, 50), 0);
}

TEST(RoundDec, AgreesWithFormatFloat)
{
    // What is stored with RoundDec shows unchanged with the matching display format.
    for (int i = 0; i < 2000; ++i) {
        const double v = (i * 0.0012345) - 1.1;
        const double stored = RoundDec(v, 5);
        EXPECT_EQ(FormatFloat("0.00000", v), FormatFloat("0.00000", stored)) << v;
        EXPECT_EQ(FormatFloat("0.00", v), FormatFloat("0.00", RoundDec(v, 2))) << v;
    }
}

TEST(RoundDec, NonFiniteUnchanged)
{
    EXPECT_TRUE(std::isnan(RoundDec(std::nan(""), 2)));
    EXPECT_EQ(RoundDec(INFINITY, 2), INFINITY);
    // The largest doubles round, at 15 digits, above the largest double: they stay as they are.
    EXPECT_EQ(RoundDec(DBL_MAX, 5), DBL_MAX);
    EXPECT_EQ(RoundDec(-DBL_MAX, 2), -DBL_MAX);
    EXPECT_EQ(RoundDec(1.7e308, 5), 1.7e308);
}

TEST(FloatToStr, GeneralFormatWithFifteenDigits)
{
    const TFormatSettings br = TFormatSettings::brazilian();
    const std::pair<double, const char *> cases[] = {
        {1234.5, "1234,5"},   {0.1, "0,1"},          {-3, "-3"},       {100, "100"},
        {1e20, "1E20"},       {1.5e-7, "1,5E-7"},    {0.00001, "1E-5"}, {0.0001, "0,0001"},
        {1.0 / 3, "0,333333333333333"}, {123456789012345.0, "123456789012345"}, {1e15, "1E15"},
        {0, "0"},             {-0.0, "0"},           {0.1 + 0.2, "0,3"},
    };
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(tk::FloatToStr(value, br), expected) << value;
}

TEST(StrToFloat, AcceptsLocaleSeparatorAndPoint)
{
    const TFormatSettings br = TFormatSettings::brazilian();
    const std::pair<const char *, double> good[] = {
        {"1,5", 1.5}, {"1.5", 1.5}, {" 2,25 ", 2.25}, {"-0,5", -0.5}, {"+3", 3}, {"1e3", 1000}, {"0", 0},
    };
    for (const auto &[text, expected] : good)
        EXPECT_DOUBLE_EQ(tk::StrToFloat(text, br), expected) << text;
    for (const char *bad : {"", "abc", "1,2.3", "1.000,5", "--1", "1,5x", "inf", "nan", "+"}) {
        double v = 0;
        EXPECT_FALSE(tk::TryStrToFloat(bad, v, br)) << bad;
        EXPECT_THROW(tk::StrToFloat(bad, br), tk::Exception) << bad;
    }
}

TEST(FormatMaskText, ProductTreeCodes)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"99.99.999;0;_", "0102003", "01.02.003"},
        {"99.99.999;0;_", "0102", "01.02.___"},
        {"99.99.999;0; ", "0102", "01.02.   "},
        {"99.99.999;0;_", "01020030099", "01.02.003"},
        {"99.99;1;_", "01.02", "01.02"},
        {">LL-000;0; ", "ab123", "AB-123"},
        {"<LL;0;_", "AB", "ab"},
        {"!999;0; ", "12", " 12"},
        {"\\(000\\);0;_", "123", "(123)"},
        {"", "raw", "raw"},
    };
    for (const auto &[mask, value, expected] : cases)
        EXPECT_EQ(tk::FormatMaskText(mask, value), expected) << mask << " / " << value;
}

TEST(TextHelpers, Utf8AwareLeftLengthAndTrim)
{
    EXPECT_EQ(tk::Utf8Left("sábado", 3), "sáb");
    EXPECT_EQ(tk::Utf8Left("terça-feira", 3), "ter");
    EXPECT_EQ(tk::Utf8Left("ab", 3), "ab");
    EXPECT_EQ(tk::Utf8Left("ção", 0), "");
    EXPECT_EQ(tk::Utf8Length("terça"), 5u);
    EXPECT_EQ(tk::Utf8Length(""), 0u);
    EXPECT_EQ(tk::Trim("  a b \t\n"), "a b");
    EXPECT_EQ(tk::Trim("   "), "");
}

} // namespace
