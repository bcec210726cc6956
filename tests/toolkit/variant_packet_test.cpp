#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/variant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using tk::DataPacket;
using tk::FieldType;
using tk::Variant;

namespace {

struct ConversionCase
{
    const char *name;
    Variant value;
    const char *asString;  // nullptr: raises
    bool intOk;
    int32_t asInteger;
    bool doubleOk;
    double asDouble;
};

TEST(Variant, StandardConversions)
{
    const ConversionCase cases[] = {
        {"integer", Variant(42), "42", true, 42, true, 42.0},
        {"negative integer", Variant(-7), "-7", true, -7, true, -7.0},
        {"double rounds half to even", Variant(2.5), "2,5", true, 2, true, 2.5},
        {"double 3.5", Variant(3.5), "3,5", true, 4, true, 3.5},
        {"numeric text", Variant(" 123 "), " 123 ", true, 123, true, 123.0},
        {"decimal text", Variant("1,25"), "1,25", true, 1, true, 1.25},
        {"letters", Variant("abc"), "abc", false, 0, false, 0},
        {"empty text", Variant(""), "", false, 0, false, 0},
        {"true is -1", Variant(true), "True", true, -1, true, -1.0},
        {"false", Variant(false), "False", true, 0, true, 0.0},
        {"null", Variant(), nullptr, false, 0, false, 0},
        {"array", Variant::array({1, 2}), nullptr, false, 0, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.asString)
            EXPECT_EQ(c.value.asString(), c.asString);
        else
            EXPECT_THROW(c.value.asString(), tk::EVariantError);
        if (c.intOk)
            EXPECT_EQ(c.value.asInteger(), c.asInteger);
        else
            EXPECT_THROW(c.value.asInteger(), tk::EVariantError);
        if (c.doubleOk)
            EXPECT_DOUBLE_EQ(c.value.asDouble(), c.asDouble);
        else
            EXPECT_THROW(c.value.asDouble(), tk::EVariantError);
    }
}

TEST(Variant, ErrorsSayWhatCouldNotBeConverted)
{
    try {
        Variant("abc").asInteger();
        FAIL() << "no exception";
    } catch (const tk::EVariantError &e) {
        EXPECT_NE(std::string(e.what()).find("'abc'"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("Integer"), std::string::npos) << e.what();
    }
    EXPECT_THROW(Variant(3.0e10).asInteger(), tk::EVariantError);
    EXPECT_THROW(Variant::array({1})[1], tk::EVariantError);
    EXPECT_THROW(Variant(1).items(), tk::EVariantError);
    EXPECT_THROW(Variant(1).packet(), tk::EVariantError);
}

TEST(Variant, DateTimeKeepsItsTypeAndConvertsToNumbers)
{
    const Variant d = Variant::fromDateTime(46091.5);
    EXPECT_EQ(d.type(), tk::VarType::DateTime);
    EXPECT_DOUBLE_EQ(d.asDouble(), 46091.5);
    EXPECT_DOUBLE_EQ(Variant(46091).asDateTime(), 46091.0);
    EXPECT_NE(d, Variant(46091.5)); // same number, different type
    EXPECT_EQ(d, Variant::fromDateTime(46091.5));
}

TEST(Variant, ArraysHaveValueSemantics)
{
    Variant a = Variant::array({1, "x"});
    Variant b = a;
    b.items()[0] = Variant(2);
    EXPECT_EQ(a[0].asInteger(), 1);
    EXPECT_EQ(b[0].asInteger(), 2);
    EXPECT_EQ(a.size(), 2u);
}

DataPacket everyTypePacket()
{
    DataPacket p;
    p.addField("NMPRODUTO", FieldType::String, 50)
        .addField("TPCONS", FieldType::FixedString, 1, tk::pfReadOnly)
        .addField("CONT", FieldType::Integer)
        .addField("VRCUSTO", FieldType::Float)
        .addField("IDATIVO", FieldType::Boolean)
        .addField("DTDATA", FieldType::DateTime, 0, tk::pfHidden | tk::pfRequired);
    p.addRow({"Feijão carioca", "P", 3, 0.12345, true, Variant::fromDateTime(46091.0)});
    p.addRow({"", Variant(), Variant(), Variant(), Variant(), Variant()});
    p.addRow({"ação ç ã 日本", "F", -2147483647 - 1, -1e300, false, Variant::fromDateTime(46091.75)});
    return p;
}

TEST(DataPacket, RoundTripsEveryTypeNullsEmptyAndUtf8)
{
    const DataPacket p = everyTypePacket();
    const DataPacket q = DataPacket::decode(p.encode());
    EXPECT_EQ(p, q);
    EXPECT_EQ(q.rows[1][0].asString(), "");
    EXPECT_TRUE(q.rows[1][1].isNull());
    EXPECT_EQ(q.fields[5].attributes, tk::pfHidden | tk::pfRequired);
    EXPECT_EQ(q.rows[2][0].asString(), "ação ç ã 日本");
}

TEST(DataPacket, EmptyPacketsRoundTrip)
{
    EXPECT_EQ(DataPacket::decode(DataPacket().encode()), DataPacket());
    DataPacket fieldsOnly;
    fieldsOnly.addField("A", FieldType::Float);
    EXPECT_EQ(DataPacket::decode(fieldsOnly.encode()), fieldsOnly);
}

TEST(DataPacket, AddRowCoercesToTheFieldTypeAndChecksTheWidth)
{
    DataPacket p;
    p.addField("QT", FieldType::Float).addField("DT", FieldType::DateTime);
    p.addRow({Variant(3), Variant(46091)});
    EXPECT_EQ(p.rows[0][0].type(), tk::VarType::Double);
    EXPECT_EQ(p.rows[0][1].type(), tk::VarType::DateTime);
    EXPECT_THROW(p.addRow({Variant(1)}), tk::EPacketError);
    EXPECT_THROW(p.addRow({Variant("x"), Variant(1)}), tk::EVariantError);
}

// The row count and rows written by the encoder, byte for byte, after the field definitions of `p`.
std::string rowBytes(const DataPacket &p)
{
    DataPacket header;
    header.fields = p.fields;
    const std::string all = p.encode();
    return all.substr(header.encode().size() - sizeof(uint32_t)); // the header ends with its row count 0
}

template<typename T>
std::string le(T value)
{
    std::string out(sizeof value, '\0');
    std::memcpy(out.data(), &value, sizeof value);
    return out;
}

TEST(DataPacket, EncodesTheDocumentedRowLayout)
{
    DataPacket p;
    p.addField("A", FieldType::String, 10).addField("B", FieldType::Integer).addField("C", FieldType::Float)
        .addField("D", FieldType::Boolean).addField("E", FieldType::DateTime).addField("F", FieldType::FixedString, 1)
        .addField("G", FieldType::Float).addField("H", FieldType::String, 4).addField("I", FieldType::Integer);
    p.addRow({"ab", 7, 0.5, true, Variant::fromDateTime(46091.25), Variant(), 2.0, "", -1});
    p.addRow({Variant(), Variant(), Variant(), false, Variant(), "S", Variant(), Variant(), Variant()});
    const std::string expected = le<uint32_t>(2)
                                 // row 1: only F (bit 5) is null; nine fields take two bitmap bytes
                                 + std::string("\x20\x00", 2) + le<uint32_t>(2) + "ab" + le<int32_t>(7) + le(0.5)
                                 + std::string("\x01", 1) + le(46091.25) + le(2.0) + le<uint32_t>(0) + le<int32_t>(-1)
                                 // row 2: all but D and F are null
                                 + std::string("\xd7\x01", 2) + std::string("\x00", 1) + le<uint32_t>(1) + "S";
    EXPECT_EQ(rowBytes(p), expected);
}

TEST(DataPacket, EncodesValuesStoredInAnotherTypeAsTheFieldType)
{
    // Rows are public: a value set directly, without addRow's coercion, is written in its field's type.
    struct Case
    {
        const char *name;
        FieldType type;
        Variant stored;
        Variant decoded;
    };
    const Case cases[] = {
        {"integer in a float field", FieldType::Float, Variant(3), Variant(3.0)},
        {"date in a float field", FieldType::Float, Variant::fromDateTime(46091.5), Variant(46091.5)},
        {"double in a date field", FieldType::DateTime, Variant(46091.5), Variant::fromDateTime(46091.5)},
        {"integer in a date field", FieldType::DateTime, Variant(46091), Variant::fromDateTime(46091.0)},
        {"double in an integer field", FieldType::Integer, Variant(2.5), Variant(2)},
        {"integer in a text field", FieldType::String, Variant(42), Variant("42")},
        {"boolean in a text field", FieldType::FixedString, Variant(true), Variant("True")},
        {"integer in a boolean field", FieldType::Boolean, Variant(0), Variant(false)},
        {"text in a float field", FieldType::Float, Variant("1,25"), Variant(1.25)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DataPacket p;
        p.addField("X", c.type, c.type == FieldType::String || c.type == FieldType::FixedString ? 10 : 0)
            .addField("Y", FieldType::String, 10);
        p.rows.push_back({c.stored, "after"}); // the value that follows shows the width was right
        const DataPacket q = DataPacket::decode(p.encode());
        ASSERT_EQ(q.rows.size(), 1u);
        EXPECT_EQ(q.rows[0][0], c.decoded);
        EXPECT_EQ(q.rows[0][1], Variant("after"));
    }
}

TEST(DataPacket, RefusesToEncodeRowsOfTheWrongWidthOrUnconvertibleValues)
{
    DataPacket narrow;
    narrow.addField("A", FieldType::Float).addField("B", FieldType::Float);
    narrow.addRow({1.0, 2.0});
    narrow.rows.push_back({Variant(1.0)});
    EXPECT_THROW(narrow.encode(), tk::EPacketError);

    DataPacket text;
    text.addField("A", FieldType::Float);
    text.rows.push_back({Variant("abc")});
    EXPECT_THROW(text.encode(), tk::EVariantError);
}

TEST(DataPacket, RejectsEveryTruncation)
{
    const std::string bytes = everyTypePacket().encode();
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_THROW(DataPacket::decode(std::string_view(bytes).substr(0, n)), tk::EPacketError) << n;
    EXPECT_THROW(DataPacket::decode(bytes + "x"), tk::EPacketError);
}

TEST(DataPacket, RejectsCorruptedHeadersAndImpossibleCounts)
{
    const std::string good = everyTypePacket().encode();
    struct Corruption { const char *name; size_t offset; std::string bytes; };
    const Corruption cases[] = {
        {"signature", 0, "XPVP"},
        {"version", 4, std::string("\x09\x00", 2)},
        {"huge field count", 8, std::string("\xff\xff\xff\x7f", 4)},
        {"zero name length", 12, std::string("\x00\x00\x00\x00", 4)},
        {"huge name length", 12, std::string("\xff\xff\xff\xff", 4)},
        {"type tag", 12 + 4 + 9, std::string("\x63", 1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string bad = good;
        bad.replace(c.offset, c.bytes.size(), c.bytes);
        EXPECT_THROW(DataPacket::decode(bad), tk::EPacketError);
    }
}

TEST(DataPacket, RandomGarbageNeverCrashes)
{
    std::mt19937 rng(1234);
    const std::string good = everyTypePacket().encode();
    for (int i = 0; i < 2000; ++i) {
        std::string bad = good;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < flips; ++f)
            bad[rng() % bad.size()] = static_cast<char>(rng());
        try {
            DataPacket::decode(bad);
        } catch (const tk::EPacketError &) {
        }
    }
}

} // namespace
