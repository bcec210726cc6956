#include "platform/toolkit/data/variant.h"

#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/formats.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tk {

const char *varTypeName(VarType type)
{
    switch (type) {
    case VarType::Null: return "Null";
    case VarType::Boolean: return "Boolean";
    case VarType::Integer: return "Integer";
    case VarType::Double: return "Double";
    case VarType::DateTime: return "Date";
    case VarType::String: return "String";
    case VarType::Array: return "Array";
    case VarType::Packet: return "Packet";
    }
    return "Unknown";
}

namespace {

[[noreturn]] void castError(VarType from, const char *to)
{
    throw EVariantError(std::string("Could not convert variant of type (") + varTypeName(from)
                        + ") into type (" + to + ")");
}

[[noreturn]] void textError(const std::string &text, const char *to)
{
    throw EVariantError("Could not convert variant of type (String) into type (" + std::string(to)
                        + "): '" + text + "'");
}

std::string_view trimmed(std::string_view s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

bool parseInt(std::string_view s, int32_t &out)
{
    s = trimmed(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && ptr == s.data() + s.size();
}

int32_t toInt32(double value, VarType from)
{
    if (!std::isfinite(value))
        castError(from, "Integer");
    const double r = std::nearbyint(value); // banker's rounding, as the runtime's variant conversion
    if (r < static_cast<double>(std::numeric_limits<int32_t>::min())
        || r > static_cast<double>(std::numeric_limits<int32_t>::max()))
        throw EVariantError("Overflow while converting variant of type (" + std::string(varTypeName(from))
                            + ") into type (Integer)");
    return static_cast<int32_t>(r);
}

} // namespace

Variant::Variant(VariantArray items) : m_value(std::make_shared<VariantArray>(std::move(items))) {}

Variant::Variant(DataPacket packet) : m_value(std::make_shared<DataPacket>(std::move(packet))) {}

Variant Variant::fromDateTime(TDateTime value)
{
    Variant v;
    v.m_value = DateTimeValue{value};
    return v;
}

VarType Variant::type() const
{
    switch (m_value.index()) {
    case 0: return VarType::Null;
    case 1: return VarType::Boolean;
    case 2: return VarType::Integer;
    case 3: return VarType::Double;
    case 4: return VarType::DateTime;
    case 5: return VarType::String;
    case 6: return VarType::Array;
    default: return VarType::Packet;
    }
}

bool Variant::isNumeric() const
{
    const VarType t = type();
    return t == VarType::Integer || t == VarType::Double || t == VarType::DateTime;
}

std::string Variant::asString() const
{
    switch (type()) {
    case VarType::Boolean: return std::get<bool>(m_value) ? "True" : "False";
    case VarType::Integer: return std::to_string(std::get<int32_t>(m_value));
    case VarType::Double: return FloatToStr(std::get<double>(m_value));
    case VarType::DateTime: return DateTimeToStr(std::get<DateTimeValue>(m_value).value);
    case VarType::String: return std::get<std::string>(m_value);
    default: castError(type(), "String");
    }
}

int32_t Variant::asInteger() const
{
    switch (type()) {
    case VarType::Boolean: return std::get<bool>(m_value) ? -1 : 0;
    case VarType::Integer: return std::get<int32_t>(m_value);
    case VarType::Double: return toInt32(std::get<double>(m_value), VarType::Double);
    case VarType::DateTime: return toInt32(std::get<DateTimeValue>(m_value).value, VarType::DateTime);
    case VarType::String: {
        const std::string &s = std::get<std::string>(m_value);
        int32_t i = 0;
        if (parseInt(s, i))
            return i;
        double d = 0;
        if (TryStrToFloat(std::string(trimmed(s)), d))
            return toInt32(d, VarType::String);
        textError(s, "Integer");
    }
    default: castError(type(), "Integer");
    }
}

double Variant::asDouble() const
{
    switch (type()) {
    case VarType::Boolean: return std::get<bool>(m_value) ? -1.0 : 0.0;
    case VarType::Integer: return std::get<int32_t>(m_value);
    case VarType::Double: return std::get<double>(m_value);
    case VarType::DateTime: return std::get<DateTimeValue>(m_value).value;
    case VarType::String: {
        const std::string &s = std::get<std::string>(m_value);
        double d = 0;
        if (TryStrToFloat(std::string(trimmed(s)), d))
            return d;
        textError(s, "Double");
    }
    default: castError(type(), "Double");
    }
}

bool Variant::asBoolean() const
{
    switch (type()) {
    case VarType::Boolean: return std::get<bool>(m_value);
    case VarType::Integer: return std::get<int32_t>(m_value) != 0;
    case VarType::Double: return std::get<double>(m_value) != 0.0;
    case VarType::DateTime: return std::get<DateTimeValue>(m_value).value != 0.0;
    case VarType::String: {
        const std::string s(trimmed(std::get<std::string>(m_value)));
        std::string lower;
        for (char c : s)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "true")
            return true;
        if (lower == "false")
            return false;
        double d = 0;
        if (TryStrToFloat(s, d))
            return d != 0.0;
        textError(s, "Boolean");
    }
    default: castError(type(), "Boolean");
    }
}

TDateTime Variant::asDateTime() const
{
    switch (type()) {
    case VarType::Integer: return std::get<int32_t>(m_value);
    case VarType::Double: return std::get<double>(m_value);
    case VarType::DateTime: return std::get<DateTimeValue>(m_value).value;
    case VarType::String: {
        const std::string &s = std::get<std::string>(m_value);
        TDateTime d = 0;
        if (TryStrToDate(std::string(trimmed(s)), d))
            return d;
        textError(s, "Date");
    }
    default: castError(type(), "Date");
    }
}

std::string Variant::toDisplayString() const
{
    switch (type()) {
    case VarType::Null: return {};
    case VarType::Array: {
        std::string out = "[";
        const auto &arr = *std::get<std::shared_ptr<VariantArray>>(m_value);
        for (size_t i = 0; i < arr.size(); ++i) {
            if (i)
                out += ", ";
            out += arr[i].toDisplayString();
        }
        return out + "]";
    }
    case VarType::Packet: {
        const auto &p = packet();
        return "<packet " + std::to_string(p.fields.size()) + " fields, " + std::to_string(p.rows.size())
               + " rows>";
    }
    default: return asString();
    }
}

const VariantArray &Variant::items() const
{
    if (type() != VarType::Array)
        castError(type(), "Array");
    return *std::get<std::shared_ptr<VariantArray>>(m_value);
}

VariantArray &Variant::items()
{
    if (type() != VarType::Array)
        castError(type(), "Array");
    auto &ptr = std::get<std::shared_ptr<VariantArray>>(m_value);
    if (ptr.use_count() > 1) // copy on write: arrays have value semantics
        ptr = std::make_shared<VariantArray>(*ptr);
    return *ptr;
}

size_t Variant::size() const
{
    return items().size();
}

const Variant &Variant::operator[](size_t index) const
{
    const auto &arr = items();
    if (index >= arr.size())
        throw EVariantError("Variant array index " + std::to_string(index) + " out of bounds (size "
                            + std::to_string(arr.size()) + ")");
    return arr[index];
}

const DataPacket &Variant::packet() const
{
    if (type() != VarType::Packet)
        castError(type(), "Packet");
    return *std::get<std::shared_ptr<DataPacket>>(m_value);
}

std::shared_ptr<const DataPacket> Variant::packetPtr() const
{
    if (type() != VarType::Packet)
        castError(type(), "Packet");
    return std::get<std::shared_ptr<DataPacket>>(m_value);
}

DataPacket *Variant::exclusivePacket()
{
    if (type() != VarType::Packet)
        castError(type(), "Packet");
    std::shared_ptr<DataPacket> &held = std::get<std::shared_ptr<DataPacket>>(m_value);
    return held.use_count() == 1 ? held.get() : nullptr;
}

bool Variant::operator==(const Variant &other) const
{
    if (m_value.index() != other.m_value.index())
        return false;
    switch (type()) {
    case VarType::Array: return items() == other.items();
    case VarType::Packet: return packet() == other.packet();
    default: return m_value == other.m_value;
    }
}

} // namespace tk
