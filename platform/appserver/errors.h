#pragma once

// Failures of the remote methods as the user reads them and as the server's log keeps them.

#include "platform/toolkit/data/variant.h"

#include <functional>
#include <string>

namespace appsrv {

// A failure whose text is meant for the user as it stands: short, Portuguese, no SQL
// ("Produto 'X' não encontrado"). Business rules raise it.
class UserError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

// Turns any failure of a method into the text the user sees. A UserError keeps its text. Anything
// else (a database failure, a bad argument, a fault) goes to the log in full, as
// "erro REF METHOD: detail", and the user reads a short Portuguese text ending in
// "(referência REF)", so that the support team finds the detail in the log. The method name is
// not in the user's text: the client puts it in front.
class ErrorReporter
{
public:
    using Log = std::function<void(const std::string &line)>;
    explicit ErrorReporter(Log log = {}) : m_log(std::move(log)) {}

    std::string userText(const std::string &method, const std::exception &error) const;

    // A fresh 8-digit reference; references of different servers and restarts do not repeat in practice.
    static std::string newReference();

private:
    Log m_log;
};

} // namespace appsrv
