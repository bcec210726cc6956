// The frame and Variant codec: round trips of every value kind, the exact byte layout, and a
// decoder that refuses hostile input with ProtocolError and nothing else.

#include "platform/protocol/wire.h"
#include "platform/toolkit/data/datapacket.h"
#include "tests/protocol/protocol_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <random>

namespace {

using protocol_test::le32;
using protocol_test::payloadOf;
using protocol_test::samplePacket;
using tk::Variant;
using tk::VariantArray;

Variant nested(int levels, Variant inner = Variant())
{
    Variant value = std::move(inner);
    for (int i = 0; i < levels; ++i)
        value = Variant(VariantArray{value});
    return value;
}

Variant roundTrip(const Variant &value)
{
    std::string bytes;
    wire::encodeVariant(bytes, value);
    return wire::decodeVariant(bytes);
}

struct RoundTripCase
{
    const char *name;
    Variant value;
};

TEST(WireCodec, EveryVariantKindRoundTrips)
{
    const RoundTripCase cases[] = {
        {"null", Variant()},
        {"true", Variant(true)},
        {"false", Variant(false)},
        {"zero", Variant(int32_t(0))},
        {"negative integer", Variant(int32_t(-7))},
        {"integer min", Variant(std::numeric_limits<int32_t>::min())},
        {"integer max", Variant(std::numeric_limits<int32_t>::max())},
        {"double", Variant(-1234.56789)},
        {"tiny double", Variant(std::numeric_limits<double>::denorm_min())},
        {"huge double", Variant(1e300)},
        {"infinity", Variant(-std::numeric_limits<double>::infinity())},
        {"date-time", Variant::fromDateTime(45292.75)},
        {"empty string", Variant("")},
        {"ascii", Variant("GetTrabCusto")},
        {"accents", Variant("Análise de Custos: Almoço, HIPOSSÓDICA")},
        {"four-byte sequence", Variant("prato \xF0\x9F\x8D\xB2")},
        {"embedded NUL", Variant(std::string("a\0b", 3))},
        {"empty array", Variant(VariantArray{})},
        {"flat array", Variant::array({int32_t(1), 2.5, "três", Variant(), true})},
        {"nested arrays",
         Variant::array({Variant::array({Variant::array({}), "x"}), Variant::array({Variant()})})},
        {"empty packet", Variant(tk::DataPacket())},
        {"packet with rows and nulls", Variant(samplePacket())},
        {"array of packets", Variant::array({samplePacket(), Variant(), samplePacket()})},
        {"deepest array allowed", nested(32, "fundo")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Variant decoded = roundTrip(c.value);
        EXPECT_EQ(decoded.type(), c.value.type());
        EXPECT_EQ(decoded, c.value);
    }
}

TEST(WireCodec, DoublesKeepTheirExactBits)
{
    for (double value : {std::nan(""), -0.0, 0.1, 1.0 / 3.0}) {
        const Variant decoded = roundTrip(Variant(value));
        EXPECT_EQ(std::bit_cast<uint64_t>(decoded.asDouble()), std::bit_cast<uint64_t>(value));
    }
    const Variant date = roundTrip(Variant::fromDateTime(std::nan("")));
    EXPECT_EQ(date.type(), tk::VarType::DateTime);
    EXPECT_TRUE(std::isnan(date.asDateTime()));
}

TEST(WireCodec, RequestsAndResponsesRoundTrip)
{
    const wire::Request request{0xFFFFFFFEu, "GetProduto",
                                {"0001", "001", Variant::fromDateTime(45300.0), int32_t(6), true,
                                 Variant(), Variant::array({"a", Variant::array({})}), samplePacket()}};
    const wire::Request decoded = wire::decodeRequest(payloadOf(wire::encodeRequest(request)));
    EXPECT_EQ(decoded.id, request.id);
    EXPECT_EQ(decoded.method, request.method);
    EXPECT_EQ(decoded.args, request.args);

    const wire::Request noArgs = wire::decodeRequest(payloadOf(wire::encodeRequest({3, "GetParams", {}})));
    EXPECT_EQ(noArgs.method, "GetParams");
    EXPECT_TRUE(noArgs.args.empty());

    wire::Response ok;
    ok.id = 9;
    ok.result = Variant::array({"ABCDEFGHIJ", samplePacket(), samplePacket()});
    const wire::Response okDecoded = wire::decodeResponse(payloadOf(wire::encodeResponse(ok)));
    EXPECT_EQ(okDecoded.id, 9u);
    EXPECT_TRUE(okDecoded.ok);
    EXPECT_EQ(okDecoded.result, ok.result);

    wire::Response error;
    error.id = 10;
    error.ok = false;
    error.error = "GetTrabCusto: argumento 3 inválido";
    const wire::Response errorDecoded = wire::decodeResponse(payloadOf(wire::encodeResponse(error)));
    EXPECT_FALSE(errorDecoded.ok);
    EXPECT_EQ(errorDecoded.error, error.error);
    EXPECT_TRUE(errorDecoded.result.isNull());
}

TEST(WireCodec, GreetingsAndErrorFramesRoundTrip)
{
    EXPECT_EQ(wire::decodeHello(payloadOf(wire::encodeHello())), wire::kProtocolVersion);
    EXPECT_EQ(wire::decodeHello(payloadOf(wire::encodeHello(7))), 7);
    EXPECT_EQ(wire::decodeHelloAck(payloadOf(wire::encodeHelloAck(2))), 2);
    EXPECT_EQ(wire::decodeErrorFrame(payloadOf(wire::encodeErrorFrame("too many connections"))),
              "too many connections");
    // Error texts from outside (a database message) are made valid instead of failing the frame.
    EXPECT_EQ(wire::decodeErrorFrame(payloadOf(wire::encodeErrorFrame("a\xff" "b"))), "a\xEF\xBF\xBD" "b");
    EXPECT_THROW(wire::decodeHelloAck(payloadOf(wire::encodeHello())), wire::ProtocolError);

    // The hello may carry the client's session; none reads as empty, and a bad one is refused both ways.
    std::string session = "stale";
    EXPECT_EQ(wire::decodeHello(payloadOf(wire::encodeHello(1, "janela-A_7")), &session), 1);
    EXPECT_EQ(session, "janela-A_7");
    EXPECT_EQ(wire::decodeHello(payloadOf(wire::encodeHello(1)), &session), 1);
    EXPECT_EQ(session, "");
    const std::string longest(wire::kMaxSessionBytes, 'a');
    EXPECT_EQ(wire::decodeHello(payloadOf(wire::encodeHello(1, longest)), &session), 1);
    EXPECT_EQ(session, longest);
    for (const std::string bad : {longest + "a", std::string("a b"), std::string("ç"), std::string("a;--")}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(wire::encodeHello(1, bad), wire::ProtocolError);
        const std::string forged = std::string("\x01KPVW\x01\x00", 7) + le32(bad.size()) + bad;
        EXPECT_THROW(wire::decodeHello(forged, &session), wire::ProtocolError);
    }
    EXPECT_THROW(wire::decodeHello(std::string("\x01KPVW\x01\x00", 7) + le32(0)), wire::ProtocolError);

    // An operator's sign-in follows the session (an empty session is written before it); an old
    // hello reads as no sign-in.
    wire::Credentials signIn{"stale", "stale"};
    EXPECT_EQ(wire::decodeHello(payloadOf(wire::encodeHello(1, "s1", {"ana", "segredo ç"})), &session, &signIn), 1);
    EXPECT_EQ(session, "s1");
    EXPECT_EQ(signIn.user, "ana");
    EXPECT_EQ(signIn.password, "segredo ç");
    EXPECT_EQ(wire::decodeHello(payloadOf(wire::encodeHello(1, "", {"José", "x"})), &session, &signIn), 1);
    EXPECT_EQ(session, "");
    EXPECT_EQ(signIn.user, "José");
    EXPECT_EQ(wire::decodeHello(payloadOf(wire::encodeHello(1, "s1")), &session, &signIn), 1);
    EXPECT_TRUE(signIn.empty());
    const std::string longUser(wire::kMaxUserBytes + 1, 'u');
    const std::string longPassword(wire::kMaxPasswordBytes + 1, 'p');
    for (const wire::Credentials &bad : std::vector<wire::Credentials>{
             {"ana", ""}, {"", "x"}, {"a:b", "x"}, {"ana", "a\nb"}, {longUser, "x"}, {"ana", longPassword}, {"\xff", "x"}}) {
        SCOPED_TRACE(bad.user + "/" + bad.password);
        EXPECT_THROW(wire::encodeHello(1, "s1", bad), wire::ProtocolError);
        const std::string forged = std::string("\x01KPVW\x01\x00", 7) + le32(2) + "s1" + le32(bad.user.size())
                                   + bad.user + le32(bad.password.size()) + bad.password;
        EXPECT_THROW(wire::decodeHello(forged, &session, &signIn), wire::ProtocolError);
    }
    // The longest sign-in fits the server's hello limit.
    const std::string user(wire::kMaxUserBytes, 'u'), password(wire::kMaxPasswordBytes, 'p');
    EXPECT_LE(payloadOf(wire::encodeHello(1, longest, {user, password})).size(), 512u);
}

// The byte layout is the contract with other implementations and recorded traffic.
TEST(WireCodec, RequestBytesAreExactlyTheDocumentedLayout)
{
    const std::string frame = wire::encodeRequest({7, "Ping", {Variant(), true, int32_t(258), "é"}});
    const std::string expected = std::string("\x20\x00\x00\x00", 4) // payload length 32
                                 + "\x03"                          // request
                                 + std::string("\x07\x00\x00\x00", 4) + std::string("\x04\x00\x00\x00", 4)
                                 + "Ping" + std::string("\x04\x00\x00\x00", 4) // four arguments
                                 + std::string("\x00", 1)                     // null
                                 + "\x01\x01"                                 // true
                                 + std::string("\x02\x02\x01\x00\x00", 5)     // 258
                                 + std::string("\x05\x02\x00\x00\x00", 5) + "\xC3\xA9";
    EXPECT_EQ(frame, expected);

    const std::string hello = wire::encodeHello(1);
    EXPECT_EQ(hello, std::string("\x07\x00\x00\x00\x01KPVW\x01\x00", 11));
}

TEST(WireCodec, EncoderRefusesWhatTheDecoderWouldRefuse)
{
    EXPECT_THROW(wire::encodeRequest({1, "Get\xC3", {}}), wire::ProtocolError);
    EXPECT_THROW(wire::encodeRequest({1, "Echo", {"bad \xED\xA0\x80 surrogate"}}), wire::ProtocolError);
    EXPECT_THROW(wire::encodeRequest({1, "Echo", {nested(33)}}), wire::ProtocolError);
    wire::Response response;
    response.result = Variant("\xC0\xAF");
    EXPECT_THROW(wire::encodeResponse(response), wire::ProtocolError);
}

struct AbuseCase
{
    const char *name;
    std::string payload;
    const char *message; // part of the ProtocolError text
};

std::string requestHead(const std::string &method = "Echo")
{
    return "\x03" + le32(1) + le32(static_cast<uint32_t>(method.size())) + method;
}

TEST(WireDecoder, RefusesHostileRequests)
{
    std::string deep = requestHead() + le32(1);
    for (int i = 0; i < 100000; ++i)
        deep += "\x06" + le32(1);
    deep += std::string(1, '\0');

    const AbuseCase cases[] = {
        {"empty payload", "", "truncated"},
        {"wrong frame kind", "\x04" + le32(1), "unexpected frame kind"},
        {"method length beyond the frame", "\x03" + le32(1) + le32(1000) + "Echo", "truncated"},
        {"empty method name", "\x03" + le32(1) + le32(0) + le32(0), "empty method name"},
        {"invalid UTF-8 method", requestHead("Get\xFF") + le32(0), "not valid UTF-8"},
        {"overlong UTF-8 method", requestHead("Get\xC0\x80") + le32(0), "not valid UTF-8"},
        {"truncated UTF-8 method", requestHead("Get\xE2\x82") + le32(0), "not valid UTF-8"},
        {"surrogate in method", requestHead("Get\xED\xB0\x80") + le32(0), "not valid UTF-8"},
        {"above U+10FFFF", requestHead("Get\xF4\x90\x80\x80") + le32(0), "not valid UTF-8"},
        {"huge argument count", requestHead() + le32(0xFFFFFFFFu) + std::string(3, '\0'), "announces"},
        {"argument count beyond the bytes", requestHead() + le32(5) + std::string(4, '\0'), "announces"},
        {"unknown variant tag", requestHead() + le32(1) + "\x09", "unknown variant tag 9"},
        {"boolean of 2", requestHead() + le32(1) + "\x01\x02", "invalid boolean"},
        {"truncated integer", requestHead() + le32(1) + "\x02\x01\x00", "truncated"},
        {"truncated double", requestHead() + le32(1) + "\x03" + std::string(7, '\0'), "truncated"},
        {"string length beyond the frame", requestHead() + le32(1) + "\x05" + le32(0x7FFFFFFF) + "abc",
         "truncated"},
        {"invalid UTF-8 string argument", requestHead() + le32(1) + "\x05" + le32(2) + "\xC3\x28",
         "not valid UTF-8"},
        {"huge array count with short input", requestHead() + le32(1) + "\x06" + le32(0xFFFFFFF0u) + "\x00\x00",
         "announces"},
        {"nesting beyond the limit", deep, "nested deeper"},
        {"packet length beyond the frame", requestHead() + le32(1) + "\x07" + le32(1u << 30) + "KPVP",
         "truncated"},
        {"packet that is not a packet", requestHead() + le32(1) + "\x07" + le32(6) + "garbag",
         "invalid data packet"},
        {"bytes after the last argument", requestHead() + le32(1) + std::string(1, '\0') + "X",
         "unexpected bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            wire::decodeRequest(c.payload);
            ADD_FAILURE() << "decoded without error";
        } catch (const wire::ProtocolError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(WireDecoder, RefusesHostileResponsesAndGreetings)
{
    const AbuseCase cases[] = {
        {"status 2", "\x04" + le32(1) + "\x02", "invalid response status"},
        {"missing result", "\x04" + le32(1) + std::string(1, '\0'), "truncated"},
        {"invalid UTF-8 error text", "\x04" + le32(1) + "\x01" + le32(1) + "\x80", "not valid UTF-8"},
        {"bytes after the result", "\x04" + le32(1) + std::string(2, '\0') + "Z", "unexpected bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            wire::decodeResponse(c.payload);
            ADD_FAILURE() << "decoded without error";
        } catch (const wire::ProtocolError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(wire::decodeHello("\x01KPVX\x01\x00"), wire::ProtocolError);          // magic
    EXPECT_THROW(wire::decodeHello("\x01KPVW\x01"), wire::ProtocolError);              // short version
    EXPECT_THROW(wire::decodeHello(std::string("\x01KPVW\x01\x00\x00", 8)), wire::ProtocolError); // trailing
    EXPECT_THROW(wire::frameKind(""), wire::ProtocolError);
    EXPECT_THROW(wire::frameKind("\x06"), wire::ProtocolError);
    EXPECT_THROW(wire::frameKind(std::string(1, '\0')), wire::ProtocolError);
}

TEST(WireDecoder, LimitsAreConfigurable)
{
    wire::DecodeLimits shallow;
    shallow.maxDepth = 2;
    const std::string twoLevels = payloadOf(wire::encodeRequest({1, "Echo", {nested(2)}}));
    const std::string threeLevels = payloadOf(wire::encodeRequest({1, "Echo", {nested(3)}}));
    EXPECT_NO_THROW(wire::decodeRequest(twoLevels, shallow));
    EXPECT_THROW(wire::decodeRequest(threeLevels, shallow), wire::ProtocolError);

    wire::DecodeLimits few;
    few.maxValues = 10;
    const std::string manyNulls = payloadOf(wire::encodeRequest({1, "Echo", {Variant(VariantArray(20))}}));
    EXPECT_THROW(wire::decodeRequest(manyNulls, few), wire::ProtocolError);
    EXPECT_NO_THROW(wire::decodeRequest(manyNulls));

    // The budget counts a packet's fields, rows and cells, not only the Variants around it.
    tk::DataPacket wide;
    for (int i = 0; i < 8; ++i)
        wide.addField("F" + std::to_string(i), tk::FieldType::Integer);
    for (int i = 0; i < 3; ++i)
        wide.addRow(std::vector<Variant>(8));
    few.maxValues = 8 + 3 * 9 + 1; // fields, rows with their cells, and the argument itself
    const std::string packetArgument = payloadOf(wire::encodeRequest({1, "Echo", {Variant(wide)}}));
    EXPECT_NO_THROW(wire::decodeRequest(packetArgument, few));
    few.maxValues -= 1;
    EXPECT_THROW(wire::decodeRequest(packetArgument, few), wire::ProtocolError);

    // A server's limits refuse the packet without reading it, and leave the rest of the request whole.
    const wire::Request refused = wire::decodeRequest(
        payloadOf(wire::encodeRequest({9, "GetProduto", {"0001", Variant(wide), int32_t(3)}})), wire::requestLimits());
    EXPECT_EQ(refused.refused, "argument 2 is a data packet, which no method takes");
    EXPECT_EQ(refused.args, (VariantArray{"0001", Variant(), int32_t(3)}));
    EXPECT_EQ(refused.id, 9u);
    EXPECT_TRUE(wire::decodeRequest(manyNulls, wire::requestLimits()).refused.empty());
}

// One-byte rows of eight null fields: the most cells a byte of packet can announce. Decoding costs a
// bounded number of values per input byte, so such a packet is refused long before it fills memory.
TEST(WireDecoder, NullRowsCostABoundedNumberOfValuesPerByte)
{
    const uint32_t rows = 200000;
    const std::string packet = protocol_test::nullRowsPacket(rows);
    EXPECT_THROW(tk::DataPacket::decode(packet), tk::EPacketError);
    uint64_t budget = uint64_t(rows) * 9 + 8;
    EXPECT_EQ(tk::DataPacket::decode(packet, budget).rows.size(), rows);
    EXPECT_EQ(budget, 0u);
    const std::string withPacket = payloadOf(wire::encodeResponse({})).substr(0, 6) + '\x07'
                                   + le32(static_cast<uint32_t>(packet.size())) + packet;
    EXPECT_THROW(wire::decodeResponse(withPacket), wire::ProtocolError);
    // A small packet of null rows still decodes: the budget has a floor.
    tk::DataPacket small;
    small.addField("A", tk::FieldType::String);
    for (int i = 0; i < 1000; ++i)
        small.addRow({Variant()});
    EXPECT_EQ(tk::DataPacket::decode(small.encode()).rows.size(), 1000u);
}

// Every prefix of a valid payload is truncated somewhere; each must be refused cleanly.
TEST(WireDecoder, EveryTruncationOfAValidRequestIsRefused)
{
    const std::string payload = payloadOf(wire::encodeRequest(
        {42, "GetConsServ", {"0001", Variant::fromDateTime(45000.0), Variant::array({int32_t(8), "x"}),
                             samplePacket(), false}}));
    for (size_t length = 0; length < payload.size(); ++length) {
        SCOPED_TRACE(length);
        EXPECT_THROW(wire::decodeRequest(std::string_view(payload).substr(0, length)), wire::ProtocolError);
    }
    EXPECT_NO_THROW(wire::decodeRequest(payload));
}

// Random damage to valid frames: the decoder either decodes something or raises ProtocolError.
TEST(WireDecoder, DamagedFramesNeverEscapeAsAnythingButProtocolError)
{
    const std::string requestPayload = payloadOf(wire::encodeRequest(
        {5, "GetProduto",
         {"0001", int32_t(6), true, Variant::array({Variant::array({"a"}), 1.5}), samplePacket()}}));
    wire::Response response;
    response.result = Variant::array({"ABCDEFGHIJ", samplePacket(), Variant()});
    const std::string responsePayload = payloadOf(wire::encodeResponse(response));

    std::mt19937 random(20240601);
    int refused = 0;
    for (int round = 0; round < 4000; ++round) {
        const bool isRequest = round % 2 == 0;
        std::string damaged = isRequest ? requestPayload : responsePayload;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < edits; ++i) {
            const size_t at = random() % damaged.size();
            switch (random() % 3) {
            case 0: damaged[at] = static_cast<char>(random()); break;
            case 1: damaged[at] = static_cast<char>(0xFF); break;
            default: damaged.resize(std::max<size_t>(1, at)); break;
            }
        }
        try {
            if (isRequest)
                wire::decodeRequest(damaged);
            else
                wire::decodeResponse(damaged);
        } catch (const wire::ProtocolError &) {
            ++refused;
        } catch (const std::exception &e) {
            ADD_FAILURE() << "round " << round << ": escaped as " << typeid(e).name() << ": " << e.what();
        }
    }
    EXPECT_GT(refused, 1000);
}

TEST(WireFrames, LengthHeaderIsCheckedBeforeAnythingIsRead)
{
    const auto header = [](uint32_t length) {
        std::string bytes = le32(length);
        std::array<unsigned char, 4> out{};
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<unsigned char>(bytes[i]);
        return out;
    };
    EXPECT_EQ(wire::decodeFrameLength(header(1024).data(), 1024), 1024u);
    EXPECT_THROW(wire::decodeFrameLength(header(1025).data(), 1024), wire::ProtocolError);
    EXPECT_THROW(wire::decodeFrameLength(header(0xFFFFFFFFu).data(), wire::kDefaultMaxFrameBytes),
                 wire::ProtocolError);
    EXPECT_THROW(wire::decodeFrameLength(header(0).data(), 1024), wire::ProtocolError);
}

TEST(WireFrames, BufferSplitsAStreamFedInArbitraryPieces)
{
    const std::string stream = wire::encodeHello() + wire::encodeRequest({1, "Echo", {"um"}})
                               + wire::encodeRequest({2, "Echo", {samplePacket()}})
                               + wire::encodeErrorFrame("fim");
    for (size_t piece : {size_t(1), size_t(3), size_t(7), stream.size()}) {
        SCOPED_TRACE(piece);
        wire::FrameBuffer buffer;
        std::vector<std::string> payloads;
        for (size_t at = 0; at < stream.size(); at += piece) {
            buffer.append(std::string_view(stream).substr(at, piece));
            while (auto payload = buffer.next())
                payloads.push_back(*payload);
        }
        ASSERT_EQ(payloads.size(), 4u);
        EXPECT_EQ(wire::decodeHello(payloads[0]), wire::kProtocolVersion);
        EXPECT_EQ(wire::decodeRequest(payloads[1]).args.at(0), Variant("um"));
        EXPECT_EQ(wire::decodeRequest(payloads[2]).args.at(0), Variant(samplePacket()));
        EXPECT_EQ(wire::decodeErrorFrame(payloads[3]), "fim");
        EXPECT_EQ(buffer.pendingBytes(), 0u);
    }

    wire::FrameBuffer small(16);
    small.append(le32(17));
    EXPECT_THROW(small.next(), wire::ProtocolError);
}

TEST(WireUtf8, ValidatorAndSanitizer)
{
    struct Case
    {
        const char *name;
        std::string text;
        bool valid;
        std::string sanitized;
    };
    const Case cases[] = {
        {"empty", "", true, ""},
        {"ascii", "abc", true, "abc"},
        {"two bytes", "ç", true, "ç"},
        {"three bytes", "€", true, "€"},
        {"four bytes", "\xF0\x9F\x8D\xB2", true, "\xF0\x9F\x8D\xB2"},
        {"lone continuation", "a\x80", false, "a\xEF\xBF\xBD"},
        {"overlong slash", "\xC0\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"overlong three", "\xE0\x80\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate", "\xED\xA0\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"truncated at end", "ok\xE2\x82", false, "ok\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"latin-1 text", "Almo\xE7o", false, "Almo\xEF\xBF\xBDo"},
        {"max code point", "\xF4\x8F\xBF\xBF", true, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(wire::isValidUtf8(c.text), c.valid);
        EXPECT_EQ(wire::sanitizeUtf8(c.text), c.sanitized);
        EXPECT_TRUE(wire::isValidUtf8(wire::sanitizeUtf8(c.text)));
    }
}

} // namespace
