#pragma once

// The wire protocol between the application server and its clients: length-prefixed frames over
// TCP, a version handshake, and requests and responses whose values are toolkit Variants.
//
// Frame:     u32 payload length (little-endian), then the payload. The length never exceeds the
//            receiver's maximum frame size and is never 0.
// Payload:   u8 frame kind, then the kind's body:
//   Hello     magic "KPVW", u16 protocol version [, string session [, string user, string password]]
//             (client -> server, first frame; the session is empty only when a user follows)
//   HelloAck  magic "KPVW", u16 protocol version                      (server -> client)
//   Request   u32 id, string method, u32 argument count, Variant...   (client -> server)
//   Response  u32 id, u8 status (0 ok, 1 error), Variant result | string error text
//   Error     string text  (the connection is closed after it: refused handshake, bad frame)
// Variant:   u8 tag, then
//   Null 0 | Boolean 1 u8 (0/1) | Integer 2 i32 | Double 3 f64 | DateTime 4 f64 |
//   String 5 u32 length + UTF-8 bytes | Array 6 u32 count + Variants | Packet 7 u32 length +
//   tk::DataPacket::encode() bytes
// Integers are little-endian, doubles IEEE 754 binary64 little-endian, strings are valid UTF-8.
//
// Decoders take a payload (without the 4-byte length) and treat it as hostile: every read is checked
// against the remaining bytes, counts are capped by what the remaining bytes can hold, tags and
// enumerations are checked, strings must be valid UTF-8, arrays nest at most DecodeLimits::maxDepth
// levels, and a payload must be consumed exactly. Every failure raises ProtocolError. One budget of
// values per payload counts every Variant and, inside data packets, every field, row and cell, so
// that what a payload costs in memory stays a small multiple of its size.

#include "platform/toolkit/data/variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wire {

inline constexpr uint16_t kProtocolVersion = 1;
inline constexpr std::string_view kMagic = "KPVW";
inline constexpr uint32_t kDefaultMaxFrameBytes = 64u << 20;
inline constexpr size_t kFrameHeaderBytes = 4;
// A client session's id, sent in the hello: at most this many bytes of letters, digits, '-' and '_'.
inline constexpr size_t kMaxSessionBytes = 64;
// An operator's sign-in in the hello: a user of at most kMaxUserBytes (no ':'), a password of at most
// kMaxPasswordBytes, both valid UTF-8 without control characters.
inline constexpr size_t kMaxUserBytes = 64;
inline constexpr size_t kMaxPasswordBytes = 256;

struct Credentials
{
    std::string user;
    std::string password;
    bool empty() const { return user.empty() && password.empty(); }
};

// A malformed, oversized or unexpected frame.
class ProtocolError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

enum class FrameKind : uint8_t { Hello = 1, HelloAck = 2, Request = 3, Response = 4, Error = 5 };

enum class VariantTag : uint8_t {
    Null = 0, Boolean = 1, Integer = 2, Double = 3, DateTime = 4, String = 5, Array = 6, Packet = 7
};

struct DecodeLimits
{
    uint32_t maxDepth = 32;            // nesting levels of arrays inside one value
    // Values in one payload: Variants, and the fields, rows and cells of its packets. The budget is
    // the smaller of this and tk::DataPacket::valueBudget(payload size).
    uint64_t maxValues = 4u << 20;
    // False on a server: no method takes a data packet, so a request carrying one is refused
    // (Request::refused) without decoding the packet.
    bool acceptPackets = true;
};

// What a server accepts in a request: no data packets, and no more values than argument lists need.
inline DecodeLimits requestLimits()
{
    DecodeLimits limits;
    limits.maxValues = 1u << 16;
    limits.acceptPackets = false;
    return limits;
}

struct Request
{
    uint32_t id = 0;
    std::string method;
    tk::VariantArray args;
    // Not empty when the request is well formed but must not run, and why ("argument 2 is a data
    // packet, which no method takes"); the refused values are left null in args.
    std::string refused = {};
};

struct Response
{
    uint32_t id = 0;
    bool ok = true;
    tk::Variant result;  // when ok
    std::string error;   // when not ok
};

// Encoders return a complete frame: the 4-byte length followed by the payload. They raise
// ProtocolError for a value the decoder would refuse (invalid UTF-8, nesting too deep, a packet
// or payload too large for the 32-bit lengths), so a bad value fails at its sender.
// session: the client's session (empty: none), which the server hands to every call of the connection.
// credentials: the operator's sign-in (empty: none; the server then decides whether it serves the
// connection at all).
std::string encodeHello(uint16_t version = kProtocolVersion, std::string_view session = {},
                        const Credentials &credentials = {});
std::string encodeHelloAck(uint16_t version = kProtocolVersion);
std::string encodeRequest(const Request &request, const DecodeLimits &limits = {});
std::string encodeResponse(const Response &response, const DecodeLimits &limits = {});
std::string encodeErrorFrame(std::string_view text);

// Appends one Variant (tag and value) to out.
void encodeVariant(std::string &out, const tk::Variant &value, const DecodeLimits &limits = {});

// The kind of a payload; ProtocolError when empty or unknown.
FrameKind frameKind(std::string_view payload);

// Payload decoders. Each checks the kind byte first.
// The client's version; its session into *session when given (empty when the hello carries none).
// The sign-in into *credentials when given (empty when the hello carries none).
uint16_t decodeHello(std::string_view payload, std::string *session = nullptr,
                     Credentials *credentials = nullptr);
uint16_t decodeHelloAck(std::string_view payload);  // the server's version
Request decodeRequest(std::string_view payload, const DecodeLimits &limits = {});
Response decodeResponse(std::string_view payload, const DecodeLimits &limits = {});
std::string decodeErrorFrame(std::string_view payload);

// One whole Variant from bytes (tag and value, nothing after it).
tk::Variant decodeVariant(std::string_view bytes, const DecodeLimits &limits = {});

// The payload length announced by a 4-byte frame header; ProtocolError when it is 0 or above
// maxFrameBytes (checked before anything is allocated for the payload).
uint32_t decodeFrameLength(const unsigned char header[kFrameHeaderBytes], uint32_t maxFrameBytes);

// Splits a byte stream into payloads, for callers that receive bytes in arbitrary pieces.
class FrameBuffer
{
public:
    explicit FrameBuffer(uint32_t maxFrameBytes = kDefaultMaxFrameBytes) : m_maxFrameBytes(maxFrameBytes) {}
    void append(std::string_view bytes) { m_buffer.append(bytes); }
    // The next complete payload, or nothing while it is still incomplete; ProtocolError on a bad header.
    std::optional<std::string> next();
    size_t pendingBytes() const { return m_buffer.size() - m_offset; }

private:
    std::string m_buffer;
    size_t m_offset = 0;
    uint32_t m_maxFrameBytes;
};

// Whether a sign-in may travel in a hello (see kMaxUserBytes).
bool isValidCredentials(const Credentials &credentials);

// Whether text may be a session id (see kMaxSessionBytes); the empty text may.
bool isValidSession(std::string_view text);

// UTF-8 as the protocol accepts it: shortest forms only, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);
// The text with every invalid sequence replaced by U+FFFD, for error texts and logs from outside.
std::string sanitizeUtf8(std::string_view text);

} // namespace wire
