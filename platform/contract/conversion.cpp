#include "platform/contract/conversion.h"

#include <algorithm>
#include <cmath>

namespace contract {

namespace {
// Dates from 1 January 1900 to 31 December 9999: anything else is not a calendar date the
// database can hold.
constexpr double kMinDate = 2.0;
constexpr double kMaxDate = 2958465.0;

Refusal wrongType(const tk::Variant &value)
{
    return Refusal{Refusal::Reason::WrongType, value.type(), 0};
}
} // namespace

const char *argKindName(ArgKind kind)
{
    switch (kind) {
    case ArgKind::Code: return "code";
    case ArgKind::Integer: return "integer";
    case ArgKind::Date: return "date";
    case ArgKind::Flag: return "flag";
    }
    return "unknown";
}

const std::vector<tk::VarType> &acceptedTypes(ArgKind kind)
{
    using tk::VarType;
    static const std::vector<VarType> code{VarType::String};
    static const std::vector<VarType> integer{VarType::Integer, VarType::Double};
    static const std::vector<VarType> date{VarType::DateTime, VarType::Double, VarType::Integer};
    static const std::vector<VarType> flag{VarType::Boolean, VarType::Integer};
    switch (kind) {
    case ArgKind::Code: return code;
    case ArgKind::Integer: return integer;
    case ArgKind::Date: return date;
    case ArgKind::Flag: return flag;
    }
    return code;
}

bool accepts(ArgKind kind, tk::VarType type)
{
    const auto &types = acceptedTypes(kind);
    return std::find(types.begin(), types.end(), type) != types.end();
}

Converted<std::string> toCode(const tk::Variant &value)
{
    if (value.type() != tk::VarType::String)
        return {{}, wrongType(value)};
    return {value.asString(), {}};
}

Converted<int32_t> toInteger(const tk::Variant &value)
{
    if (value.type() == tk::VarType::Integer)
        return {value.asInteger(), {}};
    if (value.type() == tk::VarType::Double) {
        const double d = value.asDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) <= 2147483647.0)
            return {static_cast<int32_t>(d), {}};
        return {0, Refusal{Refusal::Reason::NotWhole, value.type(), 0}};
    }
    return {0, wrongType(value)};
}

Converted<tk::TDateTime> toDate(const tk::Variant &value)
{
    double day = 0;
    switch (value.type()) {
    case tk::VarType::DateTime: day = value.asDateTime(); break;
    case tk::VarType::Double: day = value.asDouble(); break;
    case tk::VarType::Integer: day = value.asInteger(); break;
    default: return {0, wrongType(value)};
    }
    if (!std::isfinite(day) || day < kMinDate || day >= kMaxDate + 1)
        return {0, Refusal{Refusal::Reason::NotACalendarDay, value.type(), 0}};
    return {day, {}};
}

Converted<bool> toFlag(const tk::Variant &value)
{
    if (value.type() == tk::VarType::Boolean)
        return {value.asBoolean(), {}};
    if (value.type() == tk::VarType::Integer) {
        const int32_t i = value.asInteger();
        if (i == -1 || i == 0 || i == 1)
            return {i != 0, {}};
        return {false, Refusal{Refusal::Reason::NotAFlag, value.type(), i}};
    }
    return {false, wrongType(value)};
}

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

std::string describe(ArgKind kind, const Refusal &refusal)
{
    static const char *const expected[] = {"a string", "an integer", "a date", "a boolean"};
    switch (refusal.reason) {
    case Refusal::Reason::NotWhole: return "must be an integer, got a fractional number";
    case Refusal::Reason::NotAFlag: return "must be a boolean, got the integer " + std::to_string(refusal.integer);
    case Refusal::Reason::NotACalendarDay: return "is not a valid date";
    case Refusal::Reason::WrongType: break;
    }
    return std::string("must be ") + expected[static_cast<int>(kind)] + ", got " + typeWord(refusal.got);
}

void refuseArgument(size_t position, const char *name, const std::string &what)
{
    throw ArgumentError("argument " + std::to_string(position) + " (" + name + ") " + what,
                        "argumento " + std::to_string(position) + " (" + name + ") inválido");
}

void refuseCount(size_t expected, size_t got)
{
    throw ArgumentError("expected " + std::to_string(expected) + " arguments, got " + std::to_string(got),
                        "número de argumentos errado: esperados " + std::to_string(expected) + ", recebidos "
                            + std::to_string(got));
}

} // namespace contract
