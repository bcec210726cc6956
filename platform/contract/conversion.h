#pragma once

// The one set of rules by which a remote-call or module argument is read from a Variant. Each reader
// (the server's method arguments, a sibling module's array) words a refusal in its own language, but
// what is accepted is decided here:
//   code     a String
//   integer  an Integer, or a Double with no fraction inside the 32-bit range
//   date     a DateTime, Double or Integer from 1 January 1900 to 31 December 9999
//   flag     a Boolean, or an Integer -1, 0 or 1

#include "platform/toolkit/data/variant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace contract {

enum class ArgKind { Code, Integer, Date, Flag };

const char *argKindName(ArgKind kind); // "code", "integer", "date", "flag"

// The wire types an argument of the kind may arrive as.
const std::vector<tk::VarType> &acceptedTypes(ArgKind kind);
bool accepts(ArgKind kind, tk::VarType type);

// Why a value was refused.
struct Refusal
{
    enum class Reason {
        WrongType,     // the type is not one the kind accepts
        NotWhole,      // an integer given as a Double with a fraction, or beyond 32 bits
        NotAFlag,      // an Integer other than -1, 0 and 1 for a flag
        NotACalendarDay // a date outside 1900..9999, or not finite
    };
    Reason reason = Reason::WrongType;
    tk::VarType got = tk::VarType::Null;
    int32_t integer = 0; // the refused Integer of NotAFlag
};

// A converted value, or why not.
template<typename T>
struct Converted
{
    T value{};
    std::optional<Refusal> refusal;
    explicit operator bool() const { return !refusal; }
};

Converted<std::string> toCode(const tk::Variant &value);
Converted<int32_t> toInteger(const tk::Variant &value);
Converted<tk::TDateTime> toDate(const tk::Variant &value);
Converted<bool> toFlag(const tk::Variant &value);

// The wire's own wording of a refusal, as the server's log keeps it: "must be a date, got string".
std::string describe(ArgKind kind, const Refusal &refusal);
// Lower-case type words of that wording ("string", "date", ...).
std::string typeWord(tk::VarType type);

// A remote call whose arguments do not fit its method: the detail for the log ("argument 3 (first)
// must be a date, got string") and the short text for the user ("argumento 3 (first) inválido").
class ArgumentError : public tk::Exception
{
public:
    ArgumentError(const std::string &detail, std::string userText)
        : tk::Exception(detail), m_userText(std::move(userText))
    {
    }
    const std::string &userText() const { return m_userText; }

private:
    std::string m_userText;
};

// Raises the ArgumentError of argument `position` (1-based) named `name`: "argument P (NAME) WHAT".
[[noreturn]] void refuseArgument(size_t position, const char *name, const std::string &what);
// Raises the ArgumentError of a wrong argument count.
[[noreturn]] void refuseCount(size_t expected, size_t got);

} // namespace contract
