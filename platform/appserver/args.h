#pragma once

// Validation of remote-call arguments: one place that knows how the client sends each kind of value
// and words the error: the detail for the log ("argument 3 (first) must be a date, got string") and
// the short text for the user ("argumento 3 (first) inválido").

#include "platform/toolkit/data/variant.h"

#include <string>

namespace appsrv {

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

class ArgReader
{
public:
    // ArgumentError unless args has exactly `count` elements.
    ArgReader(std::string method, const tk::VariantArray &args, size_t count);

    // Positions are 1-based, as the error texts name them.
    std::string code(size_t position, const char *name) const;   // a string
    int32_t integer(size_t position, const char *name) const;    // an Integer, or an integral Double
    tk::TDateTime date(size_t position, const char *name) const; // a DateTime, Double or Integer
    bool flag(size_t position, const char *name) const;          // a Boolean, or an Integer -1, 0 or 1

    const std::string &method() const { return m_method; }
    [[noreturn]] void fail(size_t position, const char *name, const std::string &what) const;

private:
    const tk::Variant &at(size_t position) const { return m_args[position - 1]; }

    std::string m_method;
    const tk::VariantArray &m_args; // Not owned.
};

} // namespace appsrv
