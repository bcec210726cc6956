#include "platform/appserver/errors.h"

#include "platform/contract/conversion.h"
#include "platform/database/sqldb.h"

#include <cstdio>
#include <random>

namespace appsrv {

std::string ErrorReporter::newReference()
{
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<unsigned> pick(10000000u, 99999999u);
    return std::to_string(pick(engine));
}

std::string ErrorReporter::userText(const std::string &method, const std::exception &error) const
{
    if (dynamic_cast<const UserError *>(&error))
        return error.what();
    std::string text;
    if (const auto *argument = dynamic_cast<const contract::ArgumentError *>(&error))
        text = argument->userText();
    else if (const auto *sql = dynamic_cast<const db::SqlError *>(&error))
        text = sql->kind() == db::SqlError::Kind::Connection ? "Banco de dados indisponível"
               : sql->kind() == db::SqlError::Kind::Conflict ? "Banco de dados ocupado, tente de novo"
                                                             : "Falha no banco de dados";
    else
        text = "Erro interno do servidor";
    const std::string reference = newReference();
    if (m_log) {
        try {
            m_log("erro " + reference + " " + method + ": " + error.what());
        } catch (...) {
            // The user still gets the reference; a failing log sink must not hide the error.
        }
    }
    return text + " (referência " + reference + ")";
}

} // namespace appsrv
