#pragma once

// The toolkit's variant: the value type of fields, remote-call arguments and results.
// Plain C++20, no Qt: the application server shares it.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tk {

// Days since 30 December 1899; the time of day is the fraction.
using TDateTime = double;

class DataPacket;
class Variant;

// Base of every error the toolkit raises.
class Exception : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The runtime's variant error: a conversion that cannot be made.
class EVariantError : public Exception
{
public:
    using Exception::Exception;
};

enum class VarType { Null, Boolean, Integer, Double, DateTime, String, Array, Packet };

const char *varTypeName(VarType type);

using VariantArray = std::vector<Variant>;

class Variant
{
public:
    Variant() = default; // Null
    Variant(bool value) : m_value(value) {}
    Variant(int32_t value) : m_value(value) {}
    Variant(double value) : m_value(value) {}
    Variant(const char *value) : m_value(std::string(value)) {}
    Variant(std::string value) : m_value(std::move(value)) {}
    Variant(std::string_view value) : m_value(std::string(value)) {}
    Variant(VariantArray items);
    Variant(DataPacket packet);

    static Variant fromDateTime(TDateTime value);
    static Variant array(std::initializer_list<Variant> items) { return Variant(VariantArray(items)); }

    VarType type() const;
    bool isNull() const { return type() == VarType::Null; }
    bool isArray() const { return type() == VarType::Array; }
    bool isPacket() const { return type() == VarType::Packet; }
    bool isNumeric() const; // integer, double or date-time

    // Standard conversions; EVariantError when impossible (Null, "abc" to integer, an array to text).
    std::string asString() const;
    int32_t asInteger() const;
    double asDouble() const;
    bool asBoolean() const;
    TDateTime asDateTime() const;

    // Lenient text form for display and logs: Null gives "", an array "[...]".
    std::string toDisplayString() const;

    // Array access; EVariantError when not an array or the index is out of range.
    const VariantArray &items() const;
    VariantArray &items();
    size_t size() const;
    const Variant &operator[](size_t index) const;

    // Packet access; EVariantError when not a packet.
    const DataPacket &packet() const;
    std::shared_ptr<const DataPacket> packetPtr() const;
    // The packet, open to change, when this variant holds its only reference; nullptr when other
    // variants share it. EVariantError when not a packet.
    DataPacket *exclusivePacket();

    // Exact equality of type and value (an integer 1 differs from a double 1.0).
    bool operator==(const Variant &other) const;
    bool operator!=(const Variant &other) const { return !(*this == other); }

    // Raw access for codecs.
    struct DateTimeValue { double value; bool operator==(const DateTimeValue &) const = default; };
    using Storage = std::variant<std::monostate, bool, int32_t, double, DateTimeValue, std::string,
                                 std::shared_ptr<VariantArray>, std::shared_ptr<DataPacket>>;
    const Storage &storage() const { return m_value; }

private:
    Storage m_value;
};

} // namespace tk
