// What every dialect shares: choosing the dialect from the database's name, transactions, and the
// plain bulk insert.

#include "platform/database/connections.h"
#include "platform/database/sqltext.h"

#include <cctype>

namespace db {

namespace {

// The libpq key-value form starts with one of its keywords and '=' ("host=db1 dbname=suite").
bool isKeyValueConnectionString(const std::string &text)
{
    static const char *const keywords[] = {"host", "hostaddr", "port", "dbname", "user", "password", "passfile",
                                           "service", "sslmode", "connect_timeout", "application_name", "options"};
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    size_t end = i;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
        ++end;
    size_t eq = end;
    while (eq < text.size() && text[eq] == ' ')
        ++eq;
    if (eq >= text.size() || text[eq] != '=')
        return false;
    const std::string word = detail::lower(text.substr(i, end - i));
    for (const char *keyword : keywords) {
        if (word == keyword)
            return true;
    }
    return false;
}

// Rows collected into prepared inserts: the form every dialect can run.
class StatementBulkInsert final : public BulkInsert
{
public:
    StatementBulkInsert(Connection &connection, const std::string &table, const std::vector<std::string> &columns)
        : m_connection(connection)
    {
        m_sql = "INSERT INTO " + table + " (";
        std::string values;
        for (size_t i = 0; i < columns.size(); ++i) {
            m_sql += (i ? ", " : "") + columns[i];
            values += (i ? ", :C" : ":C") + std::to_string(i);
            m_params.emplace_back("C" + std::to_string(i), tk::Variant());
        }
        m_sql += ") VALUES (" + values + ")";
    }
    void add(const std::vector<tk::Variant> &row) override
    {
        if (row.size() != m_params.size())
            throw SqlError("SQL error: " + std::to_string(row.size()) + " values for " + std::to_string(m_params.size())
                           + " columns [" + detail::sqlExcerpt(m_sql) + "]");
        for (size_t i = 0; i < row.size(); ++i)
            m_params[i].second = row[i];
        m_connection.execute(m_sql, m_params);
    }
    void finish() override {}

private:
    Connection &m_connection; // Not owned.
    std::string m_sql;
    Params m_params;
};

} // namespace

Connection::~Connection() = default;
BulkInsert::~BulkInsert() = default;

bool Connection::isPostgres(const std::string &uri)
{
    return uri.rfind("postgresql://", 0) == 0 || uri.rfind("postgres://", 0) == 0 || isKeyValueConnectionString(uri);
}

std::string Connection::displayName(const std::string &uri)
{
    if (isPostgres(uri))
        return detail::postgresDisplayName(uri);
    return uri.rfind("sqlite:", 0) == 0 ? uri.substr(7) : uri;
}

std::unique_ptr<Connection> Connection::open(const std::string &uri, OpenMode mode)
{
    if (isPostgres(uri))
        return detail::openPostgres(uri);
    const std::string path = uri.rfind("sqlite:", 0) == 0 ? uri.substr(7) : uri;
    if (path.empty())
        throw SqlError("Cannot open database: no path given", SqlError::Kind::Connection);
    return detail::openSqlite(path, mode);
}

std::unique_ptr<BulkInsert> Connection::bulkInsert(const std::string &table, const std::vector<std::string> &columns)
{
    return std::make_unique<StatementBulkInsert>(*this, table, columns);
}

Transaction::Transaction(Connection &connection, TxMode mode) : m_connection(connection)
{
    m_connection.begin(mode);
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_connection.rollback();
        } catch (...) {
            // A failed rollback in a destructor cannot be reported; the connection closes it anyway.
        }
    }
}

void Transaction::commit()
{
    m_connection.commit();
    m_done = true;
}

} // namespace db
