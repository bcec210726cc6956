#include "platform/toolkit/data/datapacket.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <strings.h>

// Binary layout (little-endian):
//   "KPVP" u16 version u16 reserved
//   u32 fieldCount, then per field: u32 nameLength, name bytes, u8 type, i32 size, u32 attributes
//   u32 rowCount, then per row: null bitmap (one bit per field, LSB first), then each non-null value:
//     String/FixedString: u32 length + bytes; Integer: i32; Float, DateTime: f64; Boolean: u8 (0/1)

namespace tk {

static_assert(std::endian::native == std::endian::little, "the packet codec assumes a little-endian host");

namespace {

constexpr char kMagic[4] = {'K', 'P', 'V', 'P'};
constexpr uint16_t kVersion = 1;
constexpr uint32_t kMaxFields = 4096;
constexpr uint32_t kMaxNameLength = 256;

bool validType(uint8_t t)
{
    return t >= static_cast<uint8_t>(FieldType::String) && t <= static_cast<uint8_t>(FieldType::DateTime);
}

template <typename T>
void put(std::string &out, T value)
{
    char buf[sizeof(T)];
    std::memcpy(buf, &value, sizeof(T));
    out.append(buf, sizeof(T));
}

void putString(std::string &out, const std::string &s)
{
    put<uint32_t>(out, static_cast<uint32_t>(s.size()));
    out.append(s);
}

class Reader
{
public:
    explicit Reader(std::string_view bytes) : m_p(bytes.data()), m_end(bytes.data() + bytes.size()) {}

    size_t remaining() const { return static_cast<size_t>(m_end - m_p); }

    template <typename T>
    T get(const char *what)
    {
        need(sizeof(T), what);
        T value;
        std::memcpy(&value, m_p, sizeof(T));
        m_p += sizeof(T);
        return value;
    }

    std::string_view bytes(size_t n, const char *what)
    {
        need(n, what);
        std::string_view v(m_p, n);
        m_p += n;
        return v;
    }

    std::string getString(const char *what)
    {
        const uint32_t n = get<uint32_t>(what);
        return std::string(bytes(n, what));
    }

    void need(size_t n, const char *what) const
    {
        if (remaining() < n)
            throw EPacketError(std::string("Damaged data packet: truncated ") + what);
    }

private:
    const char *m_p;
    const char *m_end;
};

// Null, or already the variant type of the field type: stored as it is.
bool hasFieldType(const Variant &value, FieldType type)
{
    switch (type) {
    case FieldType::String:
    case FieldType::FixedString: return value.isNull() || value.type() == VarType::String;
    case FieldType::Integer: return value.isNull() || value.type() == VarType::Integer;
    case FieldType::Float: return value.isNull() || value.type() == VarType::Double;
    case FieldType::Boolean: return value.isNull() || value.type() == VarType::Boolean;
    case FieldType::DateTime: return value.isNull() || value.type() == VarType::DateTime;
    }
    return false;
}

Variant coerce(const Variant &value, const PacketField &field)
{
    if (value.isNull())
        return value;
    switch (field.type) {
    case FieldType::String:
    case FieldType::FixedString:
        return value.type() == VarType::String ? value : Variant(value.asString());
    case FieldType::Integer:
        return value.type() == VarType::Integer ? value : Variant(value.asInteger());
    case FieldType::Float:
        return value.type() == VarType::Double ? value : Variant(value.asDouble());
    case FieldType::Boolean:
        return value.type() == VarType::Boolean ? value : Variant(value.asBoolean());
    case FieldType::DateTime:
        return value.type() == VarType::DateTime ? value : Variant::fromDateTime(value.asDateTime());
    }
    return value;
}

} // namespace

const char *fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::String: return "string";
    case FieldType::FixedString: return "fixedstring";
    case FieldType::Integer: return "integer";
    case FieldType::Float: return "float";
    case FieldType::Boolean: return "boolean";
    case FieldType::DateTime: return "datetime";
    }
    return "unknown";
}

FieldType fieldTypeFromName(std::string_view name)
{
    for (uint8_t t = 1; t <= 6; ++t) {
        if (name == fieldTypeName(static_cast<FieldType>(t)))
            return static_cast<FieldType>(t);
    }
    throw Exception("Unknown field type '" + std::string(name) + "'");
}

DataPacket &DataPacket::addField(std::string name, FieldType type, int32_t size, uint32_t attributes)
{
    if (!rows.empty())
        throw EPacketError("Cannot add field '" + name + "' to a packet that already has rows");
    fields.push_back(PacketField{std::move(name), type, size, attributes});
    return *this;
}

void DataPacket::addRow(std::vector<Variant> values)
{
    if (values.size() != fields.size())
        throw EPacketError("Row has " + std::to_string(values.size()) + " values for "
                           + std::to_string(fields.size()) + " fields");
    for (size_t i = 0; i < values.size(); ++i) {
        if (!hasFieldType(values[i], fields[i].type))
            values[i] = coerce(values[i], fields[i]);
    }
    rows.push_back(std::move(values));
}

int DataPacket::fieldIndex(std::string_view name) const
{
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string &f = fields[i].name;
        if (f.size() == name.size() && strncasecmp(f.data(), name.data(), f.size()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::string DataPacket::encode() const
{
    std::string out;
    encodeTo(out);
    return out;
}

void DataPacket::encodeTo(std::string &out) const
{
    if (fields.size() > kMaxFields)
        throw EPacketError("Data packet has too many fields");
    out.append(kMagic, 4);
    put<uint16_t>(out, kVersion);
    put<uint16_t>(out, 0);
    put<uint32_t>(out, static_cast<uint32_t>(fields.size()));
    for (const PacketField &f : fields) {
        if (f.name.empty() || f.name.size() > kMaxNameLength)
            throw EPacketError("Invalid field name '" + f.name + "'");
        putString(out, f.name);
        put<uint8_t>(out, static_cast<uint8_t>(f.type));
        put<int32_t>(out, f.size);
        put<uint32_t>(out, f.attributes);
    }
    put<uint32_t>(out, static_cast<uint32_t>(rows.size()));
    if (rows.empty())
        return;

    // The rows are measured first and then written in place: a large packet is one allocation and
    // plain copies, not an append per value.
    const size_t bitmapBytes = (fields.size() + 7) / 8;
    size_t size = 0;
    for (const auto &row : rows) {
        if (row.size() != fields.size())
            throw EPacketError("Row width does not match the field count");
        size += bitmapBytes;
        for (size_t i = 0; i < row.size(); ++i) {
            const Variant &v = row[i];
            if (v.isNull())
                continue;
            switch (fields[i].type) {
            case FieldType::String:
            case FieldType::FixedString: {
                const auto *text = std::get_if<std::string>(&v.storage());
                size += 4 + (text ? text->size() : v.asString().size());
                break;
            }
            case FieldType::Integer: size += 4; break;
            case FieldType::Float:
            case FieldType::DateTime: size += 8; break;
            case FieldType::Boolean: size += 1; break;
            }
        }
    }
    const size_t begin = out.size();
    out.resize(begin + size);
    char *p = out.data() + begin;
    auto write = [&p](auto value) {
        std::memcpy(p, &value, sizeof value);
        p += sizeof value;
    };
    auto writeText = [&](const std::string &text) {
        write(static_cast<uint32_t>(text.size()));
        std::memcpy(p, text.data(), text.size());
        p += text.size();
    };
    for (const auto &row : rows) {
        char *bitmap = p;
        std::memset(bitmap, 0, bitmapBytes);
        p += bitmapBytes;
        for (size_t i = 0; i < row.size(); ++i) {
            const Variant &v = row[i];
            const Variant::Storage &value = v.storage();
            if (value.index() == 0) { // Null
                bitmap[i / 8] = static_cast<char>(bitmap[i / 8] | (1 << (i % 8)));
                continue;
            }
            switch (fields[i].type) {
            case FieldType::String:
            case FieldType::FixedString:
                if (const auto *text = std::get_if<std::string>(&value))
                    writeText(*text);
                else
                    writeText(v.asString());
                break;
            case FieldType::Integer: {
                const auto *number = std::get_if<int32_t>(&value);
                write(number ? *number : v.asInteger());
                break;
            }
            case FieldType::Float: {
                const auto *number = std::get_if<double>(&value);
                write(number ? *number : v.asDouble());
                break;
            }
            case FieldType::DateTime: {
                const auto *stamp = std::get_if<Variant::DateTimeValue>(&value);
                write(stamp ? stamp->value : v.asDateTime());
                break;
            }
            case FieldType::Boolean: {
                const auto *flag = std::get_if<bool>(&value);
                write(static_cast<uint8_t>((flag ? *flag : v.asBoolean()) ? 1 : 0));
                break;
            }
            }
        }
    }
}

uint64_t DataPacket::valueBudget(size_t inputBytes)
{
    return std::max<uint64_t>(kMinValueBudget, 2 * static_cast<uint64_t>(inputBytes));
}

DataPacket DataPacket::decode(std::string_view bytes)
{
    uint64_t budget = valueBudget(bytes.size());
    return decode(bytes, budget);
}

DataPacket DataPacket::decode(std::string_view bytes, uint64_t &budget)
{
    const auto spend = [&budget](uint64_t values) {
        if (values > budget)
            throw EPacketError("Data packet too large: it holds more values than its size allows");
        budget -= values;
    };
    Reader r(bytes);
    const std::string_view magic = r.bytes(4, "header");
    if (std::memcmp(magic.data(), kMagic, 4) != 0)
        throw EPacketError("Damaged data packet: bad signature");
    const auto version = r.get<uint16_t>("header");
    if (version != kVersion)
        throw EPacketError("Unsupported data packet version " + std::to_string(version));
    r.get<uint16_t>("header");

    DataPacket p;
    const uint32_t fieldCount = r.get<uint32_t>("field count");
    // Each field needs at least 4 + 1 + 1 + 4 + 4 bytes: refuse counts the input cannot hold.
    if (fieldCount > kMaxFields || fieldCount > r.remaining() / 14)
        throw EPacketError("Damaged data packet: impossible field count " + std::to_string(fieldCount));
    spend(fieldCount);
    p.fields.reserve(fieldCount);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        const uint32_t nameLength = r.get<uint32_t>("field name");
        if (nameLength == 0 || nameLength > kMaxNameLength)
            throw EPacketError("Damaged data packet: bad field name length");
        PacketField f;
        f.name = std::string(r.bytes(nameLength, "field name"));
        const auto type = r.get<uint8_t>("field type");
        if (!validType(type))
            throw EPacketError("Damaged data packet: unknown type tag " + std::to_string(type)
                               + " for field '" + f.name + "'");
        f.type = static_cast<FieldType>(type);
        f.size = r.get<int32_t>("field size");
        if (f.size < 0)
            throw EPacketError("Damaged data packet: negative size of field '" + f.name + "'");
        f.attributes = r.get<uint32_t>("field attributes");
        p.fields.push_back(std::move(f));
    }

    const uint32_t rowCount = r.get<uint32_t>("row count");
    const size_t bitmapBytes = (fieldCount + 7) / 8;
    if (fieldCount == 0 ? rowCount != 0 : rowCount > r.remaining() / bitmapBytes)
        throw EPacketError("Damaged data packet: impossible row count " + std::to_string(rowCount));
    // Each row is a vector and each of its cells a Variant, whatever the few bits they took to send.
    spend(static_cast<uint64_t>(rowCount) * (fieldCount + 1));
    p.rows.reserve(rowCount);
    for (uint32_t row = 0; row < rowCount; ++row) {
        const std::string_view bitmap = r.bytes(bitmapBytes, "row");
        std::vector<Variant> values;
        values.reserve(fieldCount);
        for (uint32_t i = 0; i < fieldCount; ++i) {
            if (static_cast<unsigned char>(bitmap[i / 8]) & (1u << (i % 8))) {
                values.emplace_back();
                continue;
            }
            switch (p.fields[i].type) {
            case FieldType::String:
            case FieldType::FixedString: {
                const uint32_t n = r.get<uint32_t>("string value");
                values.emplace_back(r.bytes(n, "string value"));
                break;
            }
            case FieldType::Integer: values.emplace_back(r.get<int32_t>("integer value")); break;
            case FieldType::Float: values.emplace_back(r.get<double>("float value")); break;
            case FieldType::DateTime: values.push_back(Variant::fromDateTime(r.get<double>("date value"))); break;
            case FieldType::Boolean: {
                const auto b = r.get<uint8_t>("boolean value");
                if (b > 1)
                    throw EPacketError("Damaged data packet: bad boolean value");
                values.emplace_back(b == 1);
                break;
            }
            }
        }
        p.rows.push_back(std::move(values));
    }
    if (r.remaining() != 0)
        throw EPacketError("Damaged data packet: " + std::to_string(r.remaining()) + " trailing bytes");
    return p;
}

} // namespace tk
