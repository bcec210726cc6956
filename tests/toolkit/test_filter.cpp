// The filter grammar as the dataset applies it, its errors, and the filter-text helpers.

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/filter.h"
#include "platform/toolkit/data/filtergroups.h"
#include "platform/toolkit/data/formats.h"

#include "tests/toolkit/fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace tk;
using tktest::Strings;

// NAME (text), QT (integer), VR (float, one null), DT (date-time, one with a time), OK (boolean).
class FilterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetLocale("pt_BR");
        DataPacket p;
        p.addField("NAME", FieldType::String, 20)
            .addField("QT", FieldType::Integer)
            .addField("VR", FieldType::Float)
            .addField("DT", FieldType::DateTime)
            .addField("OK", FieldType::Boolean);
        auto date = [](int d, int m) { return Variant::fromDateTime(EncodeDate(2024, m, d)); };
        p.addRow({"alpha", int32_t(1), 5.0, date(5, 3), true});
        p.addRow({"beta", int32_t(2), 10.5, date(6, 3), false});
        p.addRow({"gamma", int32_t(3), 150.0, date(5, 3), true});
        p.addRow({"o'brien", int32_t(4), Variant(), date(1, 4), false});
        p.addRow({"ALPHA", int32_t(5), 2.5, Variant::fromDateTime(EncodeDateTime(2024, 3, 5, 12, 0, 0)), Variant()});
        p.addRow({"çedilha", int32_t(6), 200.0, date(29, 2), true});
        ds.SetData(p);
    }

    Strings names(const std::string &filter)
    {
        ds.SetFiltered(false);
        ds.SetFilter(filter);
        ds.SetFiltered(true);
        return tktest::column(ds, "NAME");
    }

    TClientDataSet ds{"cdsTeste"};
};

struct GrammarCase
{
    const char *filter;
    Strings expected;
};

TEST_F(FilterTest, Grammar)
{
    const GrammarCase cases[] = {
        {"NAME = 'alpha'", {"alpha"}},
        {"name = 'alpha'", {"alpha"}},                       // field names ignore case
        {"[NAME] = 'beta'", {"beta"}},
        {"NAME = 'ALPHA'", {"ALPHA"}},                       // values do not
        {"'alpha' = NAME", {"alpha"}},
        {"QT > 4", {"ALPHA", "çedilha"}},
        {"4 < QT", {"ALPHA", "çedilha"}},                    // value first: operator mirrored
        {"QT >= 2 AND VR < 10.5", {"ALPHA"}},
        {"QT <= 2", {"alpha", "beta"}},
        {"QT != 1 AND QT <> 2 AND QT < 4", {"gamma"}},
        {"QT = 1 OR QT = 3 AND VR > 100", {"alpha", "gamma"}},   // AND binds first
        {"(QT = 1 OR QT = 3) AND VR > 100", {"gamma"}},
        {"QT = 1 OR (QT = 2 OR QT = 3) AND NOT QT = 2", {"alpha", "gamma"}},
        {"NOT QT = 1 AND QT < 3", {"beta"}},
        {"NOT (QT = 1 OR QT = 2 OR QT > 3)", {"gamma"}},
        {"NOT NOT QT = 1", {"alpha"}},
        {"qt = 1 or qt = 2 And vr > 10", {"alpha", "beta"}}, // keywords ignore case
        {"NAME = 'o''brien'", {"o'brien"}},                  // embedded quote written twice
        {"NAME = 'çedilha'", {"çedilha"}},
        {"NAME > 'b'", {"beta", "gamma", "o'brien", "çedilha"}}, // byte-wise: 'ç' sorts after ASCII
        {"NAME < 'a'", {"ALPHA"}},
        {"DT = '05/03/2024'", {"alpha", "gamma"}},           // the one with a time of day differs
        {"DT >= '05/03/2024' AND DT < '06/03/2024'", {"alpha", "gamma", "ALPHA"}},
        {"DT = '05/03/2024 12:00'", {"ALPHA"}},
        {"DT < '01/03/2024'", {"çedilha"}},
        {"OK = TRUE", {"alpha", "gamma", "çedilha"}},
        {"OK = 'False'", {"beta", "o'brien"}},
        {"OK <> 1", {"beta", "o'brien"}},
        {"VR = '2,5'", {"ALPHA"}},                           // quoted number, locale decimal
        {"VR = 2.5", {"ALPHA"}},
        {"VR > -1 AND VR < 6", {"alpha", "ALPHA"}},
        {"VR <> 5", {"beta", "gamma", "ALPHA", "çedilha"}}, // a null compares false, <> too
        {"NOT (VR = 5)", {"beta", "gamma", "o'brien", "ALPHA", "çedilha"}},
        {"VR IS NULL", {"o'brien"}},
        {"VR IS NOT NULL AND QT > 4", {"ALPHA", "çedilha"}},
        {"OK is null", {"ALPHA"}},
        {"", {"alpha", "beta", "gamma", "o'brien", "ALPHA", "çedilha"}},
        {"   ", {"alpha", "beta", "gamma", "o'brien", "ALPHA", "çedilha"}},
    };
    for (const GrammarCase &c : cases)
        EXPECT_EQ(names(c.filter), c.expected) << c.filter;
}

struct ErrorCase
{
    const char *filter;
    const char *message; // a part of the error text
};

TEST_F(FilterTest, BadFiltersRaiseClearErrors)
{
    const ErrorCase cases[] = {
        {"NAME = ", "expected a field or a value after '=', found end of filter at position 8"},
        {"FOO = 1", "unknown field 'FOO' at position 1"},
        {"QT = 1 AND BAR = 2", "unknown field 'BAR' at position 12"},
        {"NAME = 'abc", "unterminated text at position 8"},
        {"(QT = 1", "expected ')' for the '(' at position 1, found end of filter at position 8"},
        {"QT = 1 QT = 2", "unexpected 'QT' at position 8"},
        {"QT = 1)", "unexpected ')' at position 7"},
        {"NAME = 5", "text field 'NAME' compared with number 5"},
        {"DT = '31/02/2024'", "'31/02/2024' is not a valid date for field 'DT'"},
        {"VR = 'abc'", "'abc' is not a number for field 'VR'"},
        {"QT 1", "expected a comparison operator after 'QT', found number 1 at position 4"},
        {"NAME = NAME", "a comparison needs a value, found field 'NAME'"},
        {"1 = 2", "a comparison needs a field"},
        {"AND QT = 1", "expected a field or a value, found 'AND' at position 1"},
        {"QT = 1 AND", "found end of filter at position 11"},
        {"QT # 1", "unexpected character '#' at position 4"},
        {"OK > TRUE", "only takes = and <>"},
        {"QT IS 1", "expected NULL after IS"},
    };
    for (const ErrorCase &c : cases) {
        ds.SetFiltered(false);
        ds.SetFilter(c.filter);
        try {
            ds.SetFiltered(true);
            ADD_FAILURE() << "no error for " << c.filter;
        } catch (const EFilterError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.filter << "\n  got: " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.filter), std::string::npos) << "message names the filter";
        }
        // The failed switch leaves the dataset unfiltered.
        EXPECT_FALSE(ds.Filtered()) << c.filter;
        EXPECT_EQ(ds.RecordCount(), 6) << c.filter;
    }
}

TEST_F(FilterTest, FilterErrorIsADatabaseError)
{
    ds.SetFilter("FOO = 1");
    EXPECT_THROW(ds.SetFiltered(true), EDatabaseError);
}

TEST_F(FilterTest, BadTextWhileFilteredKeepsTheOldFilter)
{
    ds.SetFilter("QT = 2");
    ds.SetFiltered(true);
    EXPECT_THROW(ds.SetFilter("QT = "), EFilterError);
    EXPECT_EQ(ds.Filter(), "QT = 2");
    EXPECT_TRUE(ds.Filtered());
    EXPECT_EQ(tktest::column(ds, "NAME"), Strings{"beta"});
}

TEST_F(FilterTest, TextIsParsedWhenItTakesEffect)
{
    // Unfiltered, a bad text is only stored.
    EXPECT_NO_THROW(ds.SetFilter("garbage ("));
    EXPECT_EQ(ds.Filter(), "garbage (");
    EXPECT_THROW(ds.SetFiltered(true), EFilterError);
}

TEST_F(FilterTest, CalculatedFieldsCannotBeFiltered)
{
    TClientDataSet c("cdsCalc");
    c.AddField("A", FieldType::Integer);
    c.AddField("Calc", FieldType::Float, 0, TFieldKind::fkCalculated);
    c.CreateDataSet();
    c.SetFilter("Calc > 1");
    EXPECT_THROW(c.SetFiltered(true), EFilterError);
}

TEST_F(FilterTest, DatesFollowTheCurrentShortDateFormat)
{
    SetLocale("en_US");
    EXPECT_EQ(names("DT = '03/06/2024'"), Strings{"beta"});
    SetLocale("pt_BR");
    EXPECT_EQ(names("DT = '06/03/2024'"), Strings{"beta"});
}

TEST(FilterExpressionUnit, ReportsTheFieldsItReads)
{
    const auto expr = FilterExpression::compile("B = 1 AND (A = 'x' OR B = 2)",
                                                [](const std::string &name, FilterFieldInfo &info) {
                                                    info.index = name == "A" ? 0 : 1;
                                                    info.type = name == "A" ? FieldType::String
                                                                            : FieldType::Integer;
                                                    return name == "A" || name == "B";
                                                });
    EXPECT_EQ(expr->fieldIndices(), (std::vector<int>{1, 0}));
    EXPECT_TRUE(expr->matches({Variant("x"), Variant(int32_t(1))}));
    EXPECT_FALSE(expr->matches({Variant("y"), Variant(int32_t(1))}));
    EXPECT_TRUE(expr->matches({Variant(), Variant(int32_t(2))}) == false);
}

TEST(FilterTexts, QuotingHelpers)
{
    SetLocale("pt_BR");
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(QuotedStr("''"), "''''''");
    EXPECT_EQ(FilterEq("CDPRATO", "001"), "CDPRATO = '001'");
    EXPECT_EQ(FilterEq("NMPRATO", "Pão d'água"), "NMPRATO = 'Pão d''água'");
    EXPECT_EQ(FilterEqDate("DTCARDAPIO", EncodeDateTime(2024, 3, 5, 10, 0, 0)), "DTCARDAPIO = '05/03/2024'");
    EXPECT_EQ(FilterAnd("A = 'x'", "B = 'y'"), "A = 'x' AND B = 'y'");
    EXPECT_EQ(FilterAnd("", "B = 'y'"), "B = 'y'");
    EXPECT_EQ(FilterAnd("A = 'x'", " "), "A = 'x'");
    // A side with a top-level OR keeps its meaning.
    EXPECT_EQ(FilterAnd("A = 1 OR B = 2", "C = 3"), "(A = 1 OR B = 2) AND C = 3");
    EXPECT_EQ(FilterAnd("A = 'x or y'", "C = 3"), "A = 'x or y' AND C = 3");
    EXPECT_EQ(FilterAnd("(A = 1 OR B = 2)", "C = 3"), "(A = 1 OR B = 2) AND C = 3");
    // OR as the parser reads it: after any blank, before a quote, in any case; not inside a word,
    // a bracketed name or a text.
    EXPECT_EQ(FilterAnd("A = 1\nOR B = 2", "C = 3"), "(A = 1\nOR B = 2) AND C = 3");
    EXPECT_EQ(FilterAnd("A = 1\tor\tB = 2", "C = 3"), "(A = 1\tor\tB = 2) AND C = 3");
    EXPECT_EQ(FilterAnd("A = 1 OR'x' = B", "C = 3"), "(A = 1 OR'x' = B) AND C = 3");
    EXPECT_EQ(FilterAnd("[OR] = 1", "ORDEM = 2"), "[OR] = 1 AND ORDEM = 2");
    EXPECT_EQ(FilterAnd("A = 'it''s OR'", "C = 3"), "A = 'it''s OR' AND C = 3");
    EXPECT_EQ(FilterAnd("(A = 1) OR (B = 2)", "C = 3"), "((A = 1) OR (B = 2)) AND C = 3");
    // A text the parser cannot read stays apart, and the combined filter fails as it does.
    EXPECT_EQ(FilterAnd("A = 'x", "C = 3"), "(A = 'x) AND C = 3");
}

TEST_F(FilterTest, HelperTextsSelectTheValueTheyQuote)
{
    // A hostile value cannot widen the filter: it stays one quoted text.
    EXPECT_EQ(names(FilterEq("NAME", "o'brien")), Strings{"o'brien"});
    EXPECT_EQ(names(FilterEq("NAME", "x' OR NAME <> '")), Strings{});
    EXPECT_EQ(names(FilterAnd(FilterEqDate("DT", EncodeDate(2024, 3, 5)), FilterEq("NAME", "gamma"))),
              Strings{"gamma"});
    // A combined filter never changes the meaning of its parts, whatever blank precedes an OR.
    EXPECT_EQ(names(FilterAnd("QT = 1\nOR QT = 2", "QT = 2")), Strings{"beta"});
    EXPECT_EQ(names(FilterAnd("QT = 2", "QT = 1\r\nOR QT = 2")), Strings{"beta"});
}

// Filter groups answer an equality filter with exactly the records the filter selects, in view order;
// any other filter is refused rather than answered differently.
TEST_F(FilterTest, FilterGroupsSelectWhatTheFilterSelects)
{
    struct Case
    {
        std::vector<std::string> keys;
        std::string filter;
    };
    const Case cases[] = {
        {{"NAME"}, "NAME = 'alpha'"},
        {{"NAME"}, "NAME = 'ALPHA'"},   // case-sensitive, as the filter
        {{"NAME"}, "NAME = 'o''brien'"},
        {{"NAME"}, "NAME = 'nobody'"},
        {{"QT"}, "QT = 2"},
        {{"QT"}, "QT = 2.0"},           // numbers by value
        {{"VR"}, "VR = '2,5'"},         // the null VR is in no group
        {{"OK", "DT"}, "OK = TRUE AND DT = '05/03/2024'"},
        {{"OK", "DT"}, "DT = '05/03/2024' AND (OK = FALSE)"}, // any order, any nesting of AND
        {{"OK", "DT"}, "OK = TRUE AND DT = '05/03/2024 12:00'"}, // ALPHA's OK is null
        {{"NAME", "QT"}, FilterAnd(FilterEq("NAME", "gamma"), "QT = 3")},
    };
    ds.SetIndexFieldNames("QT");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.filter);
        const TFilterGroups<std::string> groups(ds, c.keys, [this] { return ds.FieldByName("NAME")->AsString(); });
        EXPECT_EQ(groups.Select(c.filter), names(c.filter));
    }

    // The pass leaves the dataset's filter as it found it.
    names("QT > 4");
    const TFilterGroups<int> byName(ds, {"NAME"}, [this] { return ds.FieldByName("QT")->AsInteger(); });
    EXPECT_EQ(byName.Select("NAME = 'beta'"), std::vector<int>{2});
    EXPECT_TRUE(ds.Filtered());
    EXPECT_EQ(tktest::column(ds, "NAME"), (Strings{"ALPHA", "çedilha"}));

    for (const char *other : {"NAME = 'alpha' OR NAME = 'beta'", "NAME > 'a'", "NOT NAME = 'alpha'",
                              "NAME = 'alpha' AND QT = 1", "NAME = 'alpha' AND NAME = 'alpha'", "", "NOPE = 1",
                              "NAME IS NULL"})
        EXPECT_THROW(byName.Select(other), EFilterError) << other;
    EXPECT_THROW(TFilterGroups<int>(ds, {"NOPE"}, [] { return 0; }), EDatabaseError);
}

} // namespace
