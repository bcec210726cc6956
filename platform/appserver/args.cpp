#include "platform/appserver/args.h"

#include <cmath>

namespace appsrv {

namespace {
// Dates from 1 January 1900 to 31 December 9999: anything else is not a calendar date the
// database can hold.
constexpr double kMinDate = 2.0;
constexpr double kMaxDate = 2958465.0;
// Lower-case type words for the error texts ("got string").
std::string typeWord(tk::VarType type)
{
    switch (type) {
    case tk::VarType::Null: return "null";
    case tk::VarType::Boolean: return "boolean";
    case tk::VarType::Integer: return "integer";
    case tk::VarType::Double: return "double";
    case tk::VarType::DateTime: return "date";
    case tk::VarType::String: return "string";
    case tk::VarType::Array: return "array";
    case tk::VarType::Packet: return "packet";
    }
    return "unknown";
}
} // namespace

ArgReader::ArgReader(std::string method, const tk::VariantArray &args, size_t count)
    : m_method(std::move(method)), m_args(args)
{
    if (args.size() != count) {
        throw ArgumentError("expected " + std::to_string(count) + " arguments, got " + std::to_string(args.size()),
                            "número de argumentos errado: esperados " + std::to_string(count) + ", recebidos "
                                + std::to_string(args.size()));
    }
}

void ArgReader::fail(size_t position, const char *name, const std::string &what) const
{
    throw ArgumentError("argument " + std::to_string(position) + " (" + name + ") " + what,
                        "argumento " + std::to_string(position) + " (" + name + ") inválido");
}

std::string ArgReader::code(size_t position, const char *name) const
{
    const tk::Variant &v = at(position);
    if (v.type() != tk::VarType::String)
        fail(position, name, "must be a string, got " + typeWord(v.type()));
    return v.asString();
}

int32_t ArgReader::integer(size_t position, const char *name) const
{
    const tk::Variant &v = at(position);
    if (v.type() == tk::VarType::Integer)
        return v.asInteger();
    if (v.type() == tk::VarType::Double) {
        const double d = v.asDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) <= 2147483647.0)
            return static_cast<int32_t>(d);
        fail(position, name, "must be an integer, got a fractional number");
    }
    fail(position, name, "must be an integer, got " + typeWord(v.type()));
}

tk::TDateTime ArgReader::date(size_t position, const char *name) const
{
    const tk::Variant &v = at(position);
    double value = 0;
    switch (v.type()) {
    case tk::VarType::DateTime: value = v.asDateTime(); break;
    case tk::VarType::Double: value = v.asDouble(); break;
    case tk::VarType::Integer: value = v.asInteger(); break;
    default: fail(position, name, "must be a date, got " + typeWord(v.type()));
    }
    if (!std::isfinite(value) || value < kMinDate || value >= kMaxDate + 1)
        fail(position, name, "is not a valid date");
    return value;
}

bool ArgReader::flag(size_t position, const char *name) const
{
    const tk::Variant &v = at(position);
    if (v.type() == tk::VarType::Boolean)
        return v.asBoolean();
    if (v.type() == tk::VarType::Integer) {
        const int32_t i = v.asInteger();
        if (i == 0)
            return false;
        if (i == -1 || i == 1)
            return true;
        fail(position, name, "must be a boolean, got the integer " + std::to_string(i));
    }
    fail(position, name, "must be a boolean, got " + typeWord(v.type()));
}

} // namespace appsrv
