#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/variant.h"

#include <gtest/gtest.h>

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
