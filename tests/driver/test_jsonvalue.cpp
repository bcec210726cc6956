// The driver's JSON forms of toolkit values and the "contains" matching.

#include "tools/driver/jsonvalue.h"

#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using driver::jsonContains;
using driver::jsonText;
using driver::MatchOptions;
using tk::Variant;

QJsonValue parsed(const std::string &text)
{
    QJsonValue v;
    std::string error;
    EXPECT_TRUE(driver::parseJson(text, v, &error)) << text << ": " << error;
    return v;
}

struct ToJsonCase
{
    const char *name;
    Variant value;
    const char *json;
};

TEST(VariantToJson, EveryKindHasItsForm)
{
    const ToJsonCase cases[] = {
        {"null", Variant(), "null"},
        {"true", Variant(true), "true"},
        {"false", Variant(false), "false"},
        {"integer", Variant(int32_t(-42)), "-42"},
        {"double keeps every digit", Variant(0.1 + 0.2), "0.30000000000000004"},
        {"double", Variant(1234.56789), "1234.56789"},
        {"NaN has no JSON form", Variant(std::numeric_limits<double>::quiet_NaN()), "null"},
        {"date at midnight", Variant::fromDateTime(tk::EncodeDate(2026, 3, 16)), "\"2026-03-16\""},
        {"date with a time", Variant::fromDateTime(tk::EncodeDateTime(2026, 3, 16, 13, 45, 10)),
         "\"2026-03-16T13:45:10\""},
        {"text is UTF-8", Variant("Almoço"), "\"Almoço\""},
        {"empty text", Variant(""), "\"\""},
        {"array", Variant::array({"0001", int32_t(44), true, Variant()}), "[\"0001\",44,true,null]"},
        {"nested array", Variant::array({Variant::array({int32_t(1)}), Variant::array({})}), "[[1],[]]"},
    };
    for (const ToJsonCase &c : cases)
        EXPECT_EQ(jsonText(driver::variantToJson(c.value)), c.json) << c.name;
}

tk::DataPacket samplePacket()
{
    tk::DataPacket p;
    p.addField("CDPRODUTO", tk::FieldType::String, 20)
        .addField("SGUNID", tk::FieldType::FixedString, 2)
        .addField("QTCOMENSAIS", tk::FieldType::Integer)
        .addField("VRCUSTO", tk::FieldType::Float)
        .addField("IDATIVO", tk::FieldType::Boolean)
        .addField("DTCARDAPIO", tk::FieldType::DateTime);
    p.addRow({"0101", "KG", int32_t(120), 3.14159, true, Variant::fromDateTime(tk::EncodeDate(2026, 3, 2))});
    p.addRow({Variant(), Variant(), Variant(), Variant(), Variant(), Variant()});
    p.addRow({"Feijão", "UN", int32_t(0), 2.0, false,
              Variant::fromDateTime(tk::EncodeDateTime(2026, 3, 31, 6, 30, 0))});
    return p;
}

TEST(VariantToJson, PacketListsFieldsAndRows)
{
    const QJsonValue json = driver::variantToJson(Variant(samplePacket()));
    EXPECT_EQ(jsonText(json), "{\"fields\":[{\"name\":\"CDPRODUTO\",\"size\":20,\"type\":\"string\"},"
                              "{\"name\":\"SGUNID\",\"size\":2,\"type\":\"fixedstring\"},"
                              "{\"name\":\"QTCOMENSAIS\",\"size\":0,\"type\":\"integer\"},"
                              "{\"name\":\"VRCUSTO\",\"size\":0,\"type\":\"float\"},"
                              "{\"name\":\"IDATIVO\",\"size\":0,\"type\":\"boolean\"},"
                              "{\"name\":\"DTCARDAPIO\",\"size\":0,\"type\":\"datetime\"}],"
                              "\"rows\":[[\"0101\",\"KG\",120,3.14159,true,\"2026-03-02\"],"
                              "[null,null,null,null,null,null],"
                              "[\"Feijão\",\"UN\",0,2,false,\"2026-03-31T06:30:00\"]]}");
}

TEST(JsonToVariant, PacketRoundTripIsExact)
{
    const tk::DataPacket original = samplePacket();
    const Variant back = driver::jsonToVariant(driver::variantToJson(Variant(original)));
    ASSERT_TRUE(back.isPacket());
    EXPECT_EQ(back.packet(), original);
}

TEST(JsonToVariant, ScalarsAndArrays)
{
    EXPECT_EQ(driver::jsonToVariant(parsed("null")).type(), tk::VarType::Null);
    EXPECT_EQ(driver::jsonToVariant(parsed("true")), Variant(true));
    EXPECT_EQ(driver::jsonToVariant(parsed("7")), Variant(int32_t(7)));
    EXPECT_EQ(driver::jsonToVariant(parsed("-2147483648")), Variant(int32_t(-2147483647 - 1)));
    // Outside the 32-bit range or with a fraction: a double.
    EXPECT_EQ(driver::jsonToVariant(parsed("2147483648")), Variant(2147483648.0));
    EXPECT_EQ(driver::jsonToVariant(parsed("2.5")), Variant(2.5));
    // Outside a packet a date-like text stays a text: only a field type makes it a date.
    EXPECT_EQ(driver::jsonToVariant(parsed("\"2026-03-16\"")), Variant("2026-03-16"));
    EXPECT_EQ(driver::jsonToVariant(parsed("[\"ABC1234567\", [1, 2.5]]")),
              Variant::array({"ABC1234567", Variant::array({int32_t(1), 2.5})}));
}

TEST(JsonToVariant, DateCellsTakeIsoTextOrADayNumber)
{
    const tk::DataPacket p = driver::jsonToPacket(parsed(R"({"fields": [{"name": "D", "type": "datetime"}],
        "rows": [["2026-03-16"], ["2026-03-16T12:00:00"], ["2026-03-16 06:00"], [46097.5], [null]]})")
                                                      .toObject());
    ASSERT_EQ(p.rowCount(), 5u);
    const double day = tk::EncodeDate(2026, 3, 16);
    EXPECT_DOUBLE_EQ(p.rows[0][0].asDateTime(), day);
    EXPECT_DOUBLE_EQ(p.rows[1][0].asDateTime(), day + 0.5);
    EXPECT_DOUBLE_EQ(p.rows[2][0].asDateTime(), day + 0.25);
    EXPECT_DOUBLE_EQ(p.rows[3][0].asDateTime(), 46097.5);
    EXPECT_TRUE(p.rows[4][0].isNull());
    EXPECT_EQ(p.rows[0][0].type(), tk::VarType::DateTime);
}

TEST(JsonToVariant, MalformedPacketsAreRefusedWithTheirPlace)
{
    struct Case
    {
        const char *name;
        const char *json;
        const char *message;
    };
    const Case cases[] = {
        {"no rows", R"({"fields": []})", "\"fields\" and \"rows\""},
        {"object that is no packet", R"({"a": 1})", "\"fields\" and \"rows\""},
        {"field without name", R"({"fields": [{"type": "string"}], "rows": []})",
         "field 0: needs a \"name\""},
        {"unknown type", R"({"fields": [{"name": "A", "type": "money"}], "rows": []})", "field 0"},
        {"negative size", R"({"fields": [{"name": "A", "type": "string", "size": -1}], "rows": []})", "size"},
        {"short row", R"({"fields": [{"name": "A", "type": "string"}], "rows": [[]]})",
         "row 0: 0 values for 1"},
        {"row not an array", R"({"fields": [{"name": "A", "type": "string"}], "rows": [1]})",
         "row 0: not an array"},
        {"text in an integer field", R"({"fields": [{"name": "N", "type": "integer"}], "rows": [["1"]]})",
         "row 0, field N: expected an integer"},
        {"fraction in an integer field", R"({"fields": [{"name": "N", "type": "integer"}], "rows": [[1.5]]})",
         "expected an integer"},
        {"number in a text field", R"({"fields": [{"name": "S", "type": "string"}], "rows": [[1]]})",
         "expected a string"},
        {"bad date", R"({"fields": [{"name": "D", "type": "datetime"}], "rows": [["2026-02-30"]]})",
         "bad date"},
        {"text in a boolean field", R"({"fields": [{"name": "B", "type": "boolean"}], "rows": [["S"]]})",
         "expected a boolean"},
    };
    for (const Case &c : cases) {
        try {
            driver::jsonToVariant(parsed(c.json));
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const driver::JsonFormatError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
        }
    }
}

struct MatchCase
{
    const char *name;
    const char *expected;
    const char *actual;
    bool matches;
    const char *path; // start of the mismatch text
};

TEST(JsonContains, ScenarioRules)
{
    const MatchCase cases[] = {
        {"same scalar", "1", "1", true, ""},
        {"subset of keys", R"({"ok": true})", R"({"ok": true, "ms": 3.2})", true, ""},
        {"nested subset", R"({"a": {"b": 1}})", R"({"a": {"b": 1, "c": 2}})", true, ""},
        {"missing key", R"({"recordCount": 31})", R"({"ok": true})", false, "$.recordCount: missing"},
        {"different value", R"({"caption": "a"})", R"({"caption": "b"})", false, "$.caption: expected \"a\""},
        {"null expects null", R"({"fill": null})", R"({"fill": null})", true, ""},
        {"null expects missing too", R"({"fill": null})", R"({})", true, ""},
        {"null is not a value", R"({"fill": null})", R"({"fill": 255})", false, "$.fill: expected null"},
        {"arrays element-wise", "[1, {\"a\": 2}]", "[1, {\"a\": 2, \"b\": 3}]", true, ""},
        {"arrays need the same length", "[1]", "[1, 2]", false, "$: expected 1 elements, got 2"},
        {"empty array is exact", "[]", "[1]", false, "$: expected 0 elements"},
        {"path into arrays", R"({"rows": [[{"text": "x"}]]})", R"({"rows": [[{"text": "y"}]]})", false,
         "$.rows[0][0].text"},
        {"within tolerance", "0.1", "0.10000000001", true, ""},
        {"beyond tolerance", "0.1", "0.1000001", false, "$: expected 0.1"},
        {"colour numbers", "2147483672", "2147483672", true, ""},
        {"tolerance is absolute", "123456.78901", "123456.789010000001", true, ""},
        {"no relative slack", "1e12", "1000000000000.001", false, ""},
        {"close colours differ", "2147483672", "2147483673", false, ""},
        {"number is not text", "31", "\"31\"", false, "$: expected 31"},
        {"boolean is not number", "true", "1", false, ""},
        {"object is not array", "{}", "[]", false, ""},
        {"empty object matches any object", "{}", R"({"a": 1})", true, ""},
    };
    for (const MatchCase &c : cases) {
        std::string why;
        EXPECT_EQ(jsonContains(parsed(c.expected), parsed(c.actual), {}, &why), c.matches)
            << c.name << ": " << why;
        if (!c.matches) {
            EXPECT_EQ(why.rfind(c.path, 0), 0u) << c.name << ": " << why;
        }
    }
}

TEST(JsonContains, NullAsWildcardForReplayArguments)
{
    MatchOptions wildcard;
    wildcard.nullMatchesAnything = true;
    EXPECT_TRUE(jsonContains(parsed("[null, \"001\"]"), parsed("[\"0001\", \"001\"]"), wildcard));
    EXPECT_TRUE(jsonContains(parsed("null"), parsed("{\"a\": 1}"), wildcard));
    EXPECT_FALSE(jsonContains(parsed("[null, \"001\"]"), parsed("[\"0001\", \"002\"]"), wildcard));
    EXPECT_FALSE(jsonContains(parsed("[null, \"001\"]"), parsed("[\"0001\", \"002\"]"), MatchOptions{}));
}

TEST(ParseJson, AcceptsAnyValueAndReportsErrors)
{
    QJsonValue v;
    EXPECT_TRUE(driver::parseJson("42", v));
    EXPECT_EQ(v.toDouble(), 42);
    EXPECT_TRUE(driver::parseJson("\"x\"", v));
    EXPECT_EQ(v.toString(), "x");
    EXPECT_TRUE(driver::parseJson(" {\"a\": [1]} ", v));
    EXPECT_TRUE(v.isObject());
    std::string error;
    EXPECT_FALSE(driver::parseJson("{\"a\": }", v, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(driver::parseJson("1 2", v, &error));
    EXPECT_FALSE(driver::parseJson("", v, &error));
}

} // namespace
