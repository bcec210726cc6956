#pragma once

// The driver's JSON forms of toolkit values, and the "contains" matching that scenario files and the
// replay server use.
//
//   Null -> null, Boolean -> true/false, Integer and Double -> number, DateTime -> "YYYY-MM-DD"
//   (or "YYYY-MM-DDTHH:MM:SS" when the time is not midnight), String -> string, Array -> array,
//   Packet -> {"fields": [{"name", "type", "size"}], "rows": [[...]]}.

#include "platform/toolkit/data/variant.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <functional>
#include <string>

namespace tk {
class DataPacket;
enum class FieldType : uint8_t;
} // namespace tk

namespace driver {

// Raised for JSON that does not describe a value of the expected kind.
class JsonFormatError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

QString toQString(const std::string &text);
std::string fromQString(const QString &text);

// "YYYY-MM-DD" at midnight, else "YYYY-MM-DDTHH:MM:SS".
QString dateTimeToJson(tk::TDateTime value);

// Variant to JSON. A non-finite double becomes null. `mapDouble`, when given, may replace a Double
// (used for dataset handles: {"dataset": NAME}); it returns an undefined QJsonValue to decline.
using DoubleMapper = std::function<QJsonValue(double)>;
QJsonValue variantToJson(const tk::Variant &value, const DoubleMapper &mapDouble = {});
QJsonObject packetToJson(const tk::DataPacket &packet);
QJsonArray argsToJson(const tk::VariantArray &args, const DoubleMapper &mapDouble = {});

// JSON to Variant, for recorded results. Integral numbers in the 32-bit range become Integer, other
// numbers Double; strings stay strings (dates are typed only inside packets); an object is a packet
// and must have "fields" and "rows". JsonFormatError for anything else.
tk::Variant jsonToVariant(const QJsonValue &value);
tk::DataPacket jsonToPacket(const QJsonObject &object);
// One cell of a packet row in the field's type: datetime cells take ISO text or a raw day number.
tk::Variant jsonToCell(const QJsonValue &value, tk::FieldType type, const std::string &where);

// "Contains" matching: an expected object matches when every key it gives matches the actual value
// of that key (recursively); arrays match element-wise and must have the same length; numbers match
// within 1e-9 (absolute); strings and booleans exactly.
struct MatchOptions
{
    // false (scenarios): an expected null matches only a null or missing actual value.
    // true (replay arguments): an expected null matches anything.
    bool nullMatchesAnything = false;
    double tolerance = 1e-9;
};

// True when actual contains expected. On a mismatch, `why` (when given) receives the path and the
// difference, for example `$.rows[2][0].text: expected "a", got "b"`.
bool jsonContains(const QJsonValue &expected, const QJsonValue &actual, const MatchOptions &options = {},
                  std::string *why = nullptr);

// Compact one-line JSON text of a value (objects and arrays as documents, scalars as literals).
std::string jsonText(const QJsonValue &value);
// Parses one JSON text of any kind (scalars too). False with `error` on bad input.
bool parseJson(const std::string &text, QJsonValue &out, std::string *error = nullptr);

} // namespace driver
