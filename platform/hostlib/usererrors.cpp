#include "platform/hostlib/usererrors.h"

#include "platform/database/sqldb.h"
#include "platform/toolkit/widgets/errors.h"

#include <cerrno>
#include <new>
#include <system_error>
#include <utility>

namespace host {

namespace {

// The causes the database layer words in English, as the user reads them.
std::string databaseCause(const std::string &text)
{
    static const std::pair<const char *, const char *> causes[] = {
        {"file not found", "arquivo não encontrado"},
        {"the file is empty, not a database", "o arquivo está vazio, não é um banco de dados"},
        {"is not an SQLite database", "o arquivo não é um banco de dados SQLite"},
        {"no path given", "nenhum banco de dados informado"},
        {"holds no suite schema", "o banco não tem as tabelas da suíte"},
        {"out of memory", "memória insuficiente"},
        {"Lost the connection", "a conexão com o banco caiu"},
        {"database is locked", "o banco está em uso por outro programa"},
        {"readonly database", "o banco só permite leitura"},
        {"disk I/O error", "erro de leitura ou gravação no disco"},
        {"password authentication failed", "usuário ou senha recusados"},
        {"Connection refused", "o servidor do banco recusou a conexão"},
    };
    for (const auto &[english, portuguese] : causes) {
        if (text.find(english) != std::string::npos)
            return portuguese;
    }
    return {};
}

std::string systemCause(const std::error_code &code)
{
    if (code == std::errc::no_such_file_or_directory)
        return "arquivo ou pasta não encontrado";
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted)
        return "permissão negada";
    if (code == std::errc::no_space_on_device)
        return "disco cheio";
    if (code == std::errc::read_only_file_system)
        return "disco somente leitura";
    if (code == std::errc::not_enough_memory)
        return "memória insuficiente";
    return {};
}

std::string sentence(const std::string &lead, const std::string &cause, const std::string &detail)
{
    return lead + (cause.empty() ? std::string() : ": " + cause) + " (" + detail + ")";
}

// Installed when the library loads: everything that shows errors through the toolkit links it.
const bool g_describerInstalled = (tk::SetErrorDescriber(&UserErrorText), true);

} // namespace

std::string UserErrorText(const std::exception &e)
{
    const std::string detail = e.what();
    if (const auto *sql = dynamic_cast<const db::SqlError *>(&e)) {
        const std::string cause = databaseCause(detail);
        switch (sql->kind()) {
        case db::SqlError::Kind::Connection:
            return sentence("Banco de dados indisponível", cause, detail);
        case db::SqlError::Kind::Conflict:
            return sentence("Banco de dados ocupado, tente de novo", cause, detail);
        case db::SqlError::Kind::Statement:
            return sentence("Falha no banco de dados", cause, detail);
        }
    }
    if (const auto *system = dynamic_cast<const std::system_error *>(&e))
        return sentence("Falha do sistema", systemCause(system->code()), detail);
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return sentence("Memória insuficiente", {}, detail);
    return detail;
}

} // namespace host
