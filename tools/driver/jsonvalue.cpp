#include "tools/driver/jsonvalue.h"

#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/datetime.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace driver {

QString toQString(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string fromQString(const QString &text)
{
    return text.toUtf8().toStdString();
}

QString dateTimeToJson(tk::TDateTime value)
{
    return toQString(tk::DateTimeToIso(value, true));
}

QJsonObject packetToJson(const tk::DataPacket &packet)
{
    QJsonArray fields;
    for (const tk::PacketField &f : packet.fields) {
        QJsonObject field;
        field.insert("name", toQString(f.name));
        field.insert("type", QString::fromLatin1(tk::fieldTypeName(f.type)));
        field.insert("size", f.size);
        fields.append(field);
    }
    QJsonArray rows;
    for (const auto &row : packet.rows) {
        QJsonArray cells;
        for (const tk::Variant &cell : row)
            cells.append(variantToJson(cell));
        rows.append(cells);
    }
    QJsonObject out;
    out.insert("fields", fields);
    out.insert("rows", rows);
    return out;
}

QJsonValue variantToJson(const tk::Variant &value, const DoubleMapper &mapDouble)
{
    switch (value.type()) {
    case tk::VarType::Null: return QJsonValue(QJsonValue::Null);
    case tk::VarType::Boolean: return value.asBoolean();
    case tk::VarType::Integer: return value.asInteger();
    case tk::VarType::Double: {
        const double d = value.asDouble();
        if (mapDouble) {
            const QJsonValue mapped = mapDouble(d);
            if (!mapped.isUndefined())
                return mapped;
        }
        if (!std::isfinite(d))
            return QJsonValue(QJsonValue::Null);
        return d;
    }
    case tk::VarType::DateTime: return dateTimeToJson(value.asDateTime());
    case tk::VarType::String: return toQString(value.asString());
    case tk::VarType::Array: return argsToJson(value.items(), mapDouble);
    case tk::VarType::Packet: return packetToJson(value.packet());
    }
    return QJsonValue(QJsonValue::Null);
}

QJsonArray argsToJson(const tk::VariantArray &args, const DoubleMapper &mapDouble)
{
    QJsonArray out;
    for (const tk::Variant &arg : args)
        out.append(variantToJson(arg, mapDouble));
    return out;
}

namespace {

bool integral32(double d)
{
    return std::isfinite(d) && d == std::floor(d) && d >= double(std::numeric_limits<int32_t>::min())
           && d <= double(std::numeric_limits<int32_t>::max());
}

const char *jsonTypeName(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null: return "null";
    case QJsonValue::Bool: return "boolean";
    case QJsonValue::Double: return "number";
    case QJsonValue::String: return "string";
    case QJsonValue::Array: return "array";
    case QJsonValue::Object: return "object";
    case QJsonValue::Undefined: return "nothing";
    }
    return "nothing";
}

} // namespace

tk::Variant jsonToCell(const QJsonValue &value, tk::FieldType type, const std::string &where)
{
    if (value.isNull())
        return {};
    const auto bad = [&](const char *wanted) -> JsonFormatError {
        return JsonFormatError(where + ": expected " + wanted + ", got " + jsonTypeName(value));
    };
    switch (type) {
    case tk::FieldType::String:
    case tk::FieldType::FixedString:
        if (!value.isString())
            throw bad("a string");
        return fromQString(value.toString());
    case tk::FieldType::Integer: {
        if (!value.isDouble() || !integral32(value.toDouble()))
            throw bad("an integer");
        return int32_t(value.toDouble());
    }
    case tk::FieldType::Float:
        if (!value.isDouble())
            throw bad("a number");
        return value.toDouble();
    case tk::FieldType::Boolean:
        if (!value.isBool())
            throw bad("a boolean");
        return value.toBool();
    case tk::FieldType::DateTime: {
        if (value.isDouble())
            return tk::Variant::fromDateTime(value.toDouble());
        if (!value.isString())
            throw bad("a date");
        tk::TDateTime d = 0;
        if (!tk::TryIsoToDateTime(fromQString(value.toString()), d))
            throw JsonFormatError(where + ": bad date \"" + fromQString(value.toString()) + "\"");
        return tk::Variant::fromDateTime(d);
    }
    }
    throw bad("a value");
}

tk::DataPacket jsonToPacket(const QJsonObject &object)
{
    if (!object.value("fields").isArray() || !object.value("rows").isArray())
        throw JsonFormatError("a packet needs \"fields\" and \"rows\" arrays");
    tk::DataPacket packet;
    const QJsonArray fields = object.value("fields").toArray();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QJsonObject f = fields.at(i).toObject();
        const std::string where = "field " + std::to_string(i);
        if (!f.value("name").isString() || f.value("name").toString().isEmpty())
            throw JsonFormatError(where + ": needs a \"name\"");
        if (!f.value("type").isString())
            throw JsonFormatError(where + ": needs a \"type\"");
        tk::FieldType type;
        try {
            type = tk::fieldTypeFromName(fromQString(f.value("type").toString()));
        } catch (const std::exception &e) {
            throw JsonFormatError(where + ": " + e.what());
        }
        const QJsonValue size = f.value("size");
        if (!size.isUndefined() && !(size.isDouble() && integral32(size.toDouble()) && size.toDouble() >= 0))
            throw JsonFormatError(where + ": \"size\" must be a non-negative integer");
        packet.addField(fromQString(f.value("name").toString()), type, size.isUndefined() ? 0 : size.toInt());
    }
    const QJsonArray rows = object.value("rows").toArray();
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (!rows.at(r).isArray())
            throw JsonFormatError("row " + std::to_string(r) + ": not an array");
        const QJsonArray cells = rows.at(r).toArray();
        if (size_t(cells.size()) != packet.fields.size())
            throw JsonFormatError("row " + std::to_string(r) + ": " + std::to_string(cells.size())
                                  + " values for " + std::to_string(packet.fields.size()) + " fields");
        std::vector<tk::Variant> values;
        values.reserve(packet.fields.size());
        for (qsizetype c = 0; c < cells.size(); ++c)
            values.push_back(
                jsonToCell(cells.at(c), packet.fields[size_t(c)].type,
                           "row " + std::to_string(r) + ", field " + packet.fields[size_t(c)].name));
        packet.addRow(std::move(values));
    }
    return packet;
}

tk::Variant jsonToVariant(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: return {};
    case QJsonValue::Bool: return value.toBool();
    case QJsonValue::Double: {
        const double d = value.toDouble();
        if (integral32(d))
            return int32_t(d);
        return d;
    }
    case QJsonValue::String: return fromQString(value.toString());
    case QJsonValue::Array: {
        tk::VariantArray items;
        for (const QJsonValue &item : value.toArray())
            items.push_back(jsonToVariant(item));
        return tk::Variant(std::move(items));
    }
    case QJsonValue::Object: return tk::Variant(jsonToPacket(value.toObject()));
    }
    return {};
}

namespace {

bool fail(std::string *why, const std::string &path, const std::string &text)
{
    if (why)
        *why = (path.empty() ? std::string("$") : path) + ": " + text;
    return false;
}

bool containsAt(const QJsonValue &expected, const QJsonValue &actual, const MatchOptions &options,
                const std::string &path, std::string *why)
{
    if (expected.isNull() || expected.isUndefined()) {
        if (options.nullMatchesAnything || actual.isNull() || actual.isUndefined())
            return true;
        return fail(why, path, "expected null, got " + jsonText(actual));
    }
    if (actual.isUndefined())
        return fail(why, path, "missing, expected " + jsonText(expected));
    if (expected.type() != actual.type())
        return fail(why, path, "expected " + jsonText(expected) + ", got " + jsonText(actual));
    switch (expected.type()) {
    case QJsonValue::Bool:
    case QJsonValue::String:
        if (expected != actual)
            return fail(why, path, "expected " + jsonText(expected) + ", got " + jsonText(actual));
        return true;
    case QJsonValue::Double: {
        // Absolute: colour numbers and counts are large integers that must match exactly.
        const double e = expected.toDouble(), a = actual.toDouble();
        if (!(std::fabs(e - a) <= options.tolerance))
            return fail(why, path, "expected " + jsonText(expected) + ", got " + jsonText(actual));
        return true;
    }
    case QJsonValue::Array: {
        const QJsonArray e = expected.toArray(), a = actual.toArray();
        if (e.size() != a.size())
            return fail(why, path,
                        "expected " + std::to_string(e.size()) + " elements, got " + std::to_string(a.size())
                            + ": " + jsonText(actual));
        for (qsizetype i = 0; i < e.size(); ++i)
            if (!containsAt(e.at(i), a.at(i), options, path + "[" + std::to_string(i) + "]", why))
                return false;
        return true;
    }
    case QJsonValue::Object: {
        const QJsonObject e = expected.toObject(), a = actual.toObject();
        for (auto it = e.begin(); it != e.end(); ++it) {
            const std::string sub = (path.empty() ? std::string("$") : path) + "." + fromQString(it.key());
            if (!containsAt(it.value(), a.value(it.key()), options, sub, why))
                return false;
        }
        return true;
    }
    default: return true;
    }
}

} // namespace

bool jsonContains(const QJsonValue &expected, const QJsonValue &actual, const MatchOptions &options,
                  std::string *why)
{
    return containsAt(expected, actual, options, {}, why);
}

std::string jsonText(const QJsonValue &value)
{
    if (value.isUndefined())
        return "nothing";
    QJsonArray wrapper;
    wrapper.append(value);
    QByteArray text = QJsonDocument(wrapper).toJson(QJsonDocument::Compact);
    // "[...]" -> "..."
    return text.mid(1, text.size() - 2).toStdString();
}

bool parseJson(const std::string &text, QJsonValue &out, std::string *error)
{
    // QJsonDocument takes only objects and arrays; a one-element array carries any value.
    const QByteArray wrapped = "[" + QByteArray::fromStdString(text) + "\n]";
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(wrapped, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isArray() || doc.array().size() != 1) {
        if (error) {
            *error = parseError.error != QJsonParseError::NoError
                         ? fromQString(parseError.errorString()) + " at offset "
                               + std::to_string(parseError.offset - 1)
                         : std::string("expected exactly one JSON value");
        }
        return false;
    }
    out = doc.array().at(0);
    return true;
}

} // namespace driver
