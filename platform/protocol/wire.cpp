#include "platform/protocol/wire.h"

#include "platform/toolkit/data/datapacket.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <type_traits>

namespace wire {

namespace {

// The writer switches on the storage index; these pin the order it relies on.
static_assert(std::is_same_v<std::variant_alternative_t<1, tk::Variant::Storage>, bool>);
static_assert(std::is_same_v<std::variant_alternative_t<2, tk::Variant::Storage>, int32_t>);
static_assert(std::is_same_v<std::variant_alternative_t<3, tk::Variant::Storage>, double>);
static_assert(std::is_same_v<std::variant_alternative_t<4, tk::Variant::Storage>, tk::Variant::DateTimeValue>);
static_assert(std::is_same_v<std::variant_alternative_t<5, tk::Variant::Storage>, std::string>);
static_assert(std::is_same_v<std::variant_alternative_t<6, tk::Variant::Storage>,
                             std::shared_ptr<tk::VariantArray>>);
static_assert(std::is_same_v<std::variant_alternative_t<7, tk::Variant::Storage>,
                             std::shared_ptr<tk::DataPacket>>);

// Smallest encoded size of one Variant (a Null: its tag alone).
constexpr size_t kMinVariantBytes = 1;

class Writer
{
public:
    explicit Writer(std::string &out) : m_out(out) {}

    void u8(uint8_t value) { m_out.push_back(static_cast<char>(value)); }
    void u16(uint16_t value)
    {
        u8(static_cast<uint8_t>(value));
        u8(static_cast<uint8_t>(value >> 8));
    }
    void u32(uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            u8(static_cast<uint8_t>(value >> shift));
    }
    void u64(uint64_t value)
    {
        for (int shift = 0; shift < 64; shift += 8)
            u8(static_cast<uint8_t>(value >> shift));
    }
    void f64(double value) { u64(std::bit_cast<uint64_t>(value)); }
    void bytes(std::string_view data) { m_out.append(data); }

    void length(size_t size, const char *what)
    {
        if (size > std::numeric_limits<uint32_t>::max())
            throw ProtocolError(std::string(what) + " too large to encode (" + std::to_string(size)
                                + " bytes)");
        u32(static_cast<uint32_t>(size));
    }

    void string(std::string_view text, const char *what)
    {
        if (!isValidUtf8(text))
            throw ProtocolError(std::string(what) + " is not valid UTF-8");
        length(text.size(), what);
        bytes(text);
    }

    void variant(const tk::Variant &value, const DecodeLimits &limits, uint32_t depth)
    {
        const auto &storage = value.storage();
        switch (storage.index()) {
        case 0:
            u8(static_cast<uint8_t>(VariantTag::Null));
            break;
        case 1:
            u8(static_cast<uint8_t>(VariantTag::Boolean));
            u8(std::get<bool>(storage) ? 1 : 0);
            break;
        case 2:
            u8(static_cast<uint8_t>(VariantTag::Integer));
            u32(static_cast<uint32_t>(std::get<int32_t>(storage)));
            break;
        case 3:
            u8(static_cast<uint8_t>(VariantTag::Double));
            f64(std::get<double>(storage));
            break;
        case 4:
            u8(static_cast<uint8_t>(VariantTag::DateTime));
            f64(std::get<tk::Variant::DateTimeValue>(storage).value);
            break;
        case 5:
            u8(static_cast<uint8_t>(VariantTag::String));
            string(std::get<std::string>(storage), "string value");
            break;
        case 6: {
            if (depth >= limits.maxDepth)
                throw ProtocolError("arrays nested deeper than " + std::to_string(limits.maxDepth)
                                    + " levels");
            const auto &items = std::get<std::shared_ptr<tk::VariantArray>>(storage);
            u8(static_cast<uint8_t>(VariantTag::Array));
            if (!items) {
                u32(0);
                break;
            }
            length(items->size(), "array");
            for (const tk::Variant &item : *items)
                variant(item, limits, depth + 1);
            break;
        }
        case 7: {
            const auto &packet = std::get<std::shared_ptr<tk::DataPacket>>(storage);
            if (!packet)
                throw ProtocolError("cannot encode an empty packet reference");
            u8(static_cast<uint8_t>(VariantTag::Packet));
            const size_t lengthAt = m_out.size();
            u32(0);
            packet->encodeTo(m_out);
            const size_t size = m_out.size() - lengthAt - 4;
            if (size > std::numeric_limits<uint32_t>::max())
                throw ProtocolError("data packet too large to encode (" + std::to_string(size) + " bytes)");
            for (int i = 0; i < 4; ++i)
                m_out[lengthAt + i] = static_cast<char>(static_cast<uint32_t>(size) >> (8 * i));
            break;
        }
        default:
            throw ProtocolError("cannot encode a variant of unknown kind");
        }
    }

private:
    std::string &m_out;
};

class Reader
{
public:
    Reader(std::string_view data, const DecodeLimits &limits)
        : m_data(data), m_limits(limits),
          m_budget(std::min(limits.maxValues, tk::DataPacket::valueBudget(data.size())))
    {
    }

    // The 1-based position of the request argument being read, for the refusal's text; 0 outside one.
    uint32_t argument = 0;
    // The first refusal met (see Request::refused).
    std::string refused;

    size_t remaining() const { return m_data.size() - m_pos; }

    void need(size_t count, const char *what) const
    {
        if (count > remaining())
            throw ProtocolError(std::string("truncated frame: ") + what + " needs " + std::to_string(count)
                                + " bytes, " + std::to_string(remaining()) + " left");
    }

    uint8_t u8(const char *what)
    {
        need(1, what);
        return static_cast<uint8_t>(m_data[m_pos++]);
    }
    uint16_t u16(const char *what)
    {
        need(2, what);
        uint16_t value = static_cast<uint8_t>(m_data[m_pos]) | (static_cast<uint8_t>(m_data[m_pos + 1]) << 8);
        m_pos += 2;
        return value;
    }
    uint32_t u32(const char *what)
    {
        need(4, what);
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<uint32_t>(static_cast<uint8_t>(m_data[m_pos + i])) << (8 * i);
        m_pos += 4;
        return value;
    }
    uint64_t u64(const char *what)
    {
        need(8, what);
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value |= static_cast<uint64_t>(static_cast<uint8_t>(m_data[m_pos + i])) << (8 * i);
        m_pos += 8;
        return value;
    }
    double f64(const char *what) { return std::bit_cast<double>(u64(what)); }

    std::string_view bytes(size_t count, const char *what)
    {
        need(count, what);
        std::string_view view = m_data.substr(m_pos, count);
        m_pos += count;
        return view;
    }

    std::string string(const char *what)
    {
        const uint32_t size = u32(what);
        std::string_view text = bytes(size, what);
        if (!isValidUtf8(text))
            throw ProtocolError(std::string(what) + " is not valid UTF-8");
        return std::string(text);
    }

    // A count of items that each take at least minItemBytes, checked against what is left.
    uint32_t count(size_t minItemBytes, const char *what)
    {
        const uint32_t value = u32(what);
        if (static_cast<uint64_t>(value) * minItemBytes > remaining())
            throw ProtocolError(std::string("truncated frame: ") + what + " announces " + std::to_string(value)
                                + " items but only " + std::to_string(remaining()) + " bytes are left");
        return value;
    }

    tk::Variant variant(uint32_t depth)
    {
        spend(1);
        const uint8_t tag = u8("variant tag");
        switch (static_cast<VariantTag>(tag)) {
        case VariantTag::Null:
            return {};
        case VariantTag::Boolean: {
            const uint8_t value = u8("boolean");
            if (value > 1)
                throw ProtocolError("invalid boolean value " + std::to_string(value));
            return tk::Variant(value == 1);
        }
        case VariantTag::Integer:
            return tk::Variant(static_cast<int32_t>(u32("integer")));
        case VariantTag::Double:
            return tk::Variant(f64("double"));
        case VariantTag::DateTime:
            return tk::Variant::fromDateTime(f64("date-time"));
        case VariantTag::String:
            return tk::Variant(string("string value"));
        case VariantTag::Array: {
            if (depth >= m_limits.maxDepth)
                throw ProtocolError("arrays nested deeper than " + std::to_string(m_limits.maxDepth)
                                    + " levels");
            const uint32_t size = count(kMinVariantBytes, "array");
            tk::VariantArray items;
            items.reserve(size);
            for (uint32_t i = 0; i < size; ++i)
                items.push_back(variant(depth + 1));
            return tk::Variant(std::move(items));
        }
        case VariantTag::Packet: {
            const uint32_t size = u32("data packet length");
            std::string_view data = bytes(size, "data packet");
            if (!m_limits.acceptPackets) {
                // Skipped unread: refusing it costs nothing, whatever it holds.
                if (refused.empty())
                    refused = (depth == 0 ? "argument " : "an array in argument ") + std::to_string(argument)
                              + " is a data packet, which no method takes";
                return {};
            }
            try {
                const uint64_t before = m_budget;
                tk::Variant packet(tk::DataPacket::decode(data, m_budget));
                m_spent += before - m_budget;
                return packet;
            } catch (const tk::Exception &e) {
                throw ProtocolError(std::string("invalid data packet: ") + e.what());
            }
        }
        }
        throw ProtocolError("unknown variant tag " + std::to_string(tag));
    }

    void kind(FrameKind expected)
    {
        const uint8_t value = u8("frame kind");
        if (value != static_cast<uint8_t>(expected))
            throw ProtocolError("unexpected frame kind " + std::to_string(value) + ", expected "
                                + std::to_string(static_cast<int>(expected)));
    }

    void end() const
    {
        if (remaining() != 0)
            throw ProtocolError(std::to_string(remaining()) + " unexpected bytes after the end of the frame");
    }

private:
    void spend(uint64_t values)
    {
        if (values > m_budget)
            throw ProtocolError("frame holds more than " + std::to_string(m_spent + m_budget)
                                + " values, the most its size allows");
        m_budget -= values;
        m_spent += values;
    }

    std::string_view m_data;
    size_t m_pos = 0;
    const DecodeLimits &m_limits;
    uint64_t m_budget; // values still allowed
    uint64_t m_spent = 0;
};

// Starts a frame: reserves the length and writes the kind.
size_t beginFrame(std::string &out, FrameKind kind)
{
    const size_t start = out.size();
    out.append(kFrameHeaderBytes, '\0');
    out.push_back(static_cast<char>(kind));
    return start;
}

std::string finishFrame(std::string &out, size_t start)
{
    const size_t size = out.size() - start - kFrameHeaderBytes;
    if (size > std::numeric_limits<uint32_t>::max())
        throw ProtocolError("frame too large to encode (" + std::to_string(size) + " bytes)");
    for (size_t i = 0; i < kFrameHeaderBytes; ++i)
        out[start + i] = static_cast<char>(static_cast<uint32_t>(size) >> (8 * i));
    return std::move(out);
}

std::string encodeGreeting(FrameKind kind, uint16_t version, std::string_view session = {},
                           const Credentials *credentials = nullptr)
{
    if (!isValidSession(session))
        throw ProtocolError("invalid session id");
    if (credentials && !credentials->empty() && !isValidCredentials(*credentials))
        throw ProtocolError("invalid user name or password");
    std::string out;
    const size_t start = beginFrame(out, kind);
    Writer writer(out);
    writer.bytes(kMagic);
    writer.u16(version);
    const bool signIn = credentials && !credentials->empty();
    // The session goes first; with credentials after it, an empty session is written too.
    if (!session.empty() || signIn)
        writer.string(session, "session id");
    if (signIn) {
        writer.string(credentials->user, "user name");
        writer.string(credentials->password, "password");
    }
    return finishFrame(out, start);
}

uint16_t decodeGreeting(std::string_view payload, FrameKind kind, std::string *session = nullptr,
                        Credentials *credentials = nullptr)
{
    DecodeLimits limits;
    Reader reader(payload, limits);
    reader.kind(kind);
    if (reader.bytes(kMagic.size(), "magic") != kMagic)
        throw ProtocolError("bad magic: not a KPVW peer");
    const uint16_t version = reader.u16("protocol version");
    if (kind == FrameKind::Hello && reader.remaining() > 0) {
        std::string text = reader.string("session id");
        const bool signIn = reader.remaining() > 0;
        if ((text.empty() && !signIn) || !isValidSession(text))
            throw ProtocolError("invalid session id");
        if (session)
            *session = std::move(text);
        if (signIn) {
            Credentials given;
            given.user = reader.string("user name");
            given.password = reader.string("password");
            if (!isValidCredentials(given))
                throw ProtocolError("invalid user name or password");
            if (credentials)
                *credentials = std::move(given);
        }
    }
    reader.end();
    return version;
}

} // namespace

std::string encodeHello(uint16_t version, std::string_view session, const Credentials &credentials)
{
    return encodeGreeting(FrameKind::Hello, version, session, &credentials);
}

std::string encodeHelloAck(uint16_t version)
{
    return encodeGreeting(FrameKind::HelloAck, version);
}

std::string encodeRequest(const Request &request, const DecodeLimits &limits)
{
    std::string out;
    const size_t start = beginFrame(out, FrameKind::Request);
    Writer writer(out);
    writer.u32(request.id);
    writer.string(request.method, "method name");
    writer.length(request.args.size(), "argument list");
    for (const tk::Variant &arg : request.args)
        writer.variant(arg, limits, 0);
    return finishFrame(out, start);
}

std::string encodeResponse(const Response &response, const DecodeLimits &limits)
{
    std::string out;
    const size_t start = beginFrame(out, FrameKind::Response);
    Writer writer(out);
    writer.u32(response.id);
    writer.u8(response.ok ? 0 : 1);
    if (response.ok)
        writer.variant(response.result, limits, 0);
    else
        writer.string(response.error, "error text");
    return finishFrame(out, start);
}

std::string encodeErrorFrame(std::string_view text)
{
    std::string out;
    const size_t start = beginFrame(out, FrameKind::Error);
    Writer writer(out);
    writer.string(sanitizeUtf8(text), "error text");
    return finishFrame(out, start);
}

void encodeVariant(std::string &out, const tk::Variant &value, const DecodeLimits &limits)
{
    Writer(out).variant(value, limits, 0);
}

FrameKind frameKind(std::string_view payload)
{
    if (payload.empty())
        throw ProtocolError("empty frame");
    const auto kind = static_cast<uint8_t>(payload[0]);
    if (kind < static_cast<uint8_t>(FrameKind::Hello) || kind > static_cast<uint8_t>(FrameKind::Error))
        throw ProtocolError("unknown frame kind " + std::to_string(kind));
    return static_cast<FrameKind>(kind);
}

uint16_t decodeHello(std::string_view payload, std::string *session, Credentials *credentials)
{
    if (session)
        session->clear();
    if (credentials)
        *credentials = {};
    return decodeGreeting(payload, FrameKind::Hello, session, credentials);
}

bool isValidCredentials(const Credentials &credentials)
{
    const auto printable = [](std::string_view text) {
        return isValidUtf8(text)
               && std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
    };
    const Credentials &c = credentials;
    return !c.user.empty() && c.user.size() <= kMaxUserBytes && c.user.find(':') == std::string::npos
           && printable(c.user) && !c.password.empty() && c.password.size() <= kMaxPasswordBytes
           && printable(c.password);
}

bool isValidSession(std::string_view text)
{
    if (text.size() > kMaxSessionBytes)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

uint16_t decodeHelloAck(std::string_view payload)
{
    return decodeGreeting(payload, FrameKind::HelloAck);
}

Request decodeRequest(std::string_view payload, const DecodeLimits &limits)
{
    Reader reader(payload, limits);
    reader.kind(FrameKind::Request);
    Request request;
    request.id = reader.u32("request id");
    request.method = reader.string("method name");
    if (request.method.empty())
        throw ProtocolError("empty method name");
    const uint32_t count = reader.count(kMinVariantBytes, "argument list");
    request.args.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        reader.argument = i + 1;
        request.args.push_back(reader.variant(0));
    }
    reader.end();
    request.refused = std::move(reader.refused);
    return request;
}

Response decodeResponse(std::string_view payload, const DecodeLimits &limits)
{
    Reader reader(payload, limits);
    reader.kind(FrameKind::Response);
    Response response;
    response.id = reader.u32("response id");
    const uint8_t status = reader.u8("response status");
    if (status > 1)
        throw ProtocolError("invalid response status " + std::to_string(status));
    response.ok = status == 0;
    if (response.ok)
        response.result = reader.variant(0);
    else
        response.error = reader.string("error text");
    reader.end();
    return response;
}

std::string decodeErrorFrame(std::string_view payload)
{
    DecodeLimits limits;
    Reader reader(payload, limits);
    reader.kind(FrameKind::Error);
    std::string text = reader.string("error text");
    reader.end();
    return text;
}

tk::Variant decodeVariant(std::string_view bytes, const DecodeLimits &limits)
{
    Reader reader(bytes, limits);
    tk::Variant value = reader.variant(0);
    reader.end();
    return value;
}

uint32_t decodeFrameLength(const unsigned char header[kFrameHeaderBytes], uint32_t maxFrameBytes)
{
    const uint32_t length = static_cast<uint32_t>(header[0]) | (static_cast<uint32_t>(header[1]) << 8)
                            | (static_cast<uint32_t>(header[2]) << 16) | (static_cast<uint32_t>(header[3]) << 24);
    if (length == 0)
        throw ProtocolError("empty frame");
    if (length > maxFrameBytes)
        throw ProtocolError("frame of " + std::to_string(length) + " bytes exceeds the limit of "
                            + std::to_string(maxFrameBytes) + " bytes");
    return length;
}

std::optional<std::string> FrameBuffer::next()
{
    if (pendingBytes() < kFrameHeaderBytes)
        return std::nullopt;
    unsigned char header[kFrameHeaderBytes];
    std::memcpy(header, m_buffer.data() + m_offset, kFrameHeaderBytes);
    const uint32_t length = decodeFrameLength(header, m_maxFrameBytes);
    if (pendingBytes() - kFrameHeaderBytes < length)
        return std::nullopt;
    std::string payload = m_buffer.substr(m_offset + kFrameHeaderBytes, length);
    m_offset += kFrameHeaderBytes + length;
    if (m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    } else if (m_offset > (1u << 16) && m_offset * 2 > m_buffer.size()) {
        m_buffer.erase(0, m_offset);
        m_offset = 0;
    }
    return payload;
}

namespace {

// Length of the valid UTF-8 sequence at text[pos], or 0 when it is invalid.
size_t utf8SequenceLength(std::string_view text, size_t pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return 1;
    size_t length;
    uint32_t codePoint;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0; // continuation byte, overlong lead C0/C1, or above F4
    }
    if (text.size() - pos < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000))
        return 0; // overlong
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF)
        return 0; // surrogate
    if (codePoint > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size()) {
        // Fast path for ASCII runs.
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const size_t length = utf8SequenceLength(text, pos);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

std::string sanitizeUtf8(std::string_view text)
{
    if (isValidUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = utf8SequenceLength(text, pos);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++pos;
        } else {
            out.append(text.substr(pos, length));
            pos += length;
        }
    }
    return out;
}

} // namespace wire
