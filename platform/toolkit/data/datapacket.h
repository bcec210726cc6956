#pragma once

// A data packet: a self-describing copy of a dataset (field definitions and rows), with its
// versioned binary codec. Every remote result that fills a dataset travels as one.

#include "platform/toolkit/data/variant.h"

#include <string>
#include <string_view>
#include <vector>

namespace tk {

enum class FieldType : uint8_t { String = 1, FixedString, Integer, Float, Boolean, DateTime };

const char *fieldTypeName(FieldType type); // "string", "fixedstring", "integer", "float", "boolean", "datetime"
FieldType fieldTypeFromName(std::string_view name); // tk::Exception for an unknown name

enum PacketFieldAttribute : uint32_t {
    pfHidden = 1u << 0,
    pfReadOnly = 1u << 1,
    pfRequired = 1u << 2,
};

struct PacketField
{
    std::string name;
    FieldType type = FieldType::String;
    int32_t size = 0;        // characters for the string types, 0 otherwise
    uint32_t attributes = 0; // PacketFieldAttribute bits
    bool operator==(const PacketField &) const = default;
};

// A damaged or unreadable packet.
class EPacketError : public Exception
{
public:
    using Exception::Exception;
};

class DataPacket
{
public:
    std::vector<PacketField> fields;
    // One Variant per field: Null, or the value in the field's type (Boolean, Integer, Double,
    // DateTime, String). addRow checks the count and coerces numeric values to the field's type.
    std::vector<std::vector<Variant>> rows;

    DataPacket() = default;
    explicit DataPacket(std::vector<PacketField> fieldDefs) : fields(std::move(fieldDefs)) {}

    DataPacket &addField(std::string name, FieldType type, int32_t size = 0, uint32_t attributes = 0);
    void addRow(std::vector<Variant> values);
    int fieldIndex(std::string_view name) const; // -1 when absent (case-insensitive)
    size_t rowCount() const { return rows.size(); }

    // Binary codec. The decoder checks the magic, the version, every count, length and type tag,
    // never allocates beyond what the remaining input can justify, and raises EPacketError.
    std::string encode() const;
    void encodeTo(std::string &out) const;
    static DataPacket decode(std::string_view bytes);
    // The same against a budget of values that the caller shares among everything it decodes: each
    // field definition, each row and each cell (null or not) takes one, and the whole packet's count
    // is taken from `budget` before anything is allocated. A null cell costs one bit of input but a
    // whole Variant in memory, so only such a budget keeps memory proportional to the input.
    static DataPacket decode(std::string_view bytes, uint64_t &budget);
    // The budget decode(bytes) uses: two values per input byte, and never less than kMinValueBudget,
    // so that a small packet always decodes.
    static uint64_t valueBudget(size_t inputBytes);
    static constexpr uint64_t kMinValueBudget = 1u << 16;

    bool operator==(const DataPacket &) const = default;
};

} // namespace tk
