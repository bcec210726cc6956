// PostgreSQL implementation of db::Connection, on libpq.
//
// Statements: the named parameters ":NAME" become $1..$n once per statement text, and the statement
// is prepared once per connection. Values are sent as text with no declared type, so that the server
// gives each parameter the type of what it is compared with (a date parameter against a DATE column
// is a date); a statement where that cannot be told ("SELECT :X") is prepared again with the types of
// the values. Results come back as text and are read by their type OIDs into the values the SQLite
// connection gives: integers, floats, date-times, booleans and strings whose field size is the
// VARCHAR(n) or CHAR(n) of the column. Column names keep the spelling of the statement's text, since
// the server folds unquoted names to lower case.

#include "platform/database/connections.h"
#include "platform/database/sqltext.h"

#include "platform/toolkit/data/datetime.h"

#include <libpq-fe.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <list>
#include <unordered_map>
#include <utility>

namespace db {

namespace {

using detail::equalsNoCase;
using detail::oneLine;
using detail::sqlExcerpt;

constexpr size_t kStatementCacheSize = 64;
// Bulk rows stream to the server in pieces of kCopySendBytes while their writer holds the connection's
// COPY; a writer whose rows wait for the wire takes it over once kCopyChunkBytes of them are waiting.
constexpr size_t kCopySendBytes = 64 << 10;
constexpr size_t kCopyChunkBytes = 1 << 20;
const char *const kConnectTimeoutSeconds = "10";

// Built-in type OIDs (fixed by the server's catalogue).
constexpr Oid kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kTextOid = 25, kOidOid = 26,
              kFloat4Oid = 700, kFloat8Oid = 701, kBpcharOid = 1042, kVarcharOid = 1043, kDateOid = 1082,
              kTimestampOid = 1114, kTimestampTzOid = 1184, kNumericOid = 1700;

enum class Kind { Text, FixedText, Integer, Float, Boolean, Date };

Kind kindOf(Oid type)
{
    switch (type) {
    case kBoolOid: return Kind::Boolean;
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid: return Kind::Integer;
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid: return Kind::Float;
    case kDateOid:
    case kTimestampOid:
    case kTimestampTzOid: return Kind::Date;
    case kBpcharOid: return Kind::FixedText;
    default: return Kind::Text;
    }
}

tk::FieldType fieldTypeOf(Kind kind)
{
    switch (kind) {
    case Kind::Integer: return tk::FieldType::Integer;
    case Kind::Float: return tk::FieldType::Float;
    case Kind::Boolean: return tk::FieldType::Boolean;
    case Kind::Date: return tk::FieldType::DateTime;
    default: return tk::FieldType::String;
    }
}

// CHAR(n) comes back padded to n; SQLite keeps what was written, which the suite never pads.
std::string_view unpadded(std::string_view text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS[.ffffff][+zz]" as a date-time (the session's time zone is UTC).
bool parseDate(std::string_view text, tk::TDateTime &value)
{
    if (text.size() > 19) {
        const size_t cut = text.find_first_of(".+-", 19);
        text = text.substr(0, cut == std::string_view::npos ? text.size() : cut);
    }
    return tk::TryIsoToDateTime(text, value);
}

bool parseNumber(std::string_view text, double &value)
{
    const std::string copy(text); // strtod reads "NaN" and "Infinity" as the server writes them
    char *end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end && *end == 0;
}

std::string numberText(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// A statement with its parameters numbered.
struct Translated
{
    std::string sql;
    std::vector<std::string> names;                              // name of $1, $2, ... as written
    std::unordered_map<std::string, std::string> spelling;       // lower-case word -> first spelling
};

bool identStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool identPart(char c)
{
    return identStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

Translated translate(const std::string &sql)
{
    Translated out;
    out.sql.reserve(sql.size() + 8);
    const size_t n = sql.size();
    size_t i = 0;
    auto copyUntil = [&](size_t end) {
        out.sql.append(sql, i, end - i);
        i = end;
    };
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            size_t j = i + 1;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            copyUntil(std::min(n, j + 1));
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            const size_t end = sql.find('\n', i);
            copyUntil(end == std::string::npos ? n : end);
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            copyUntil(end == std::string::npos ? n : end + 2);
        } else if (c == ':' && i + 1 < n && sql[i + 1] == ':') {
            copyUntil(i + 2); // a cast
        } else if (c == ':' && i + 1 < n && identStart(sql[i + 1])) {
            size_t j = i + 1;
            while (j < n && (identPart(sql[j]) && sql[j] != '$'))
                ++j;
            const std::string name = sql.substr(i + 1, j - i - 1);
            size_t number = 0;
            for (; number < out.names.size(); ++number) {
                if (equalsNoCase(out.names[number], name))
                    break;
            }
            if (number == out.names.size())
                out.names.push_back(name);
            out.sql += '$' + std::to_string(number + 1);
            i = j;
        } else if (c == '?' || (c == '$' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            throw SqlError("SQL error: positional parameters are not supported [" + sqlExcerpt(sql) + "]");
        } else if (c == ';') {
            size_t j = i + 1;
            while (j < n && std::isspace(static_cast<unsigned char>(sql[j])))
                ++j;
            if (j < n)
                throw SqlError("SQL error: more than one statement given where one is expected [" + sqlExcerpt(sql)
                               + "]");
            i = n;
        } else if (identStart(c)) {
            size_t j = i + 1;
            while (j < n && identPart(sql[j]))
                ++j;
            const std::string word = sql.substr(i, j - i);
            out.spelling.emplace(detail::lower(word), word);
            copyUntil(j);
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = i + 1;
            while (j < n && (identPart(sql[j]) || sql[j] == '.'))
                ++j;
            copyUntil(j);
        } else {
            copyUntil(i + 1);
        }
    }
    return out;
}

// Parameter values as the server reads them from text; false for a value that cannot be sent.
bool valueText(const tk::Variant &value, std::string &text, bool &isNull)
{
    isNull = false;
    switch (value.type()) {
    case tk::VarType::Null: isNull = true; return true;
    case tk::VarType::Boolean: text = value.asBoolean() ? "1" : "0"; return true;
    case tk::VarType::Integer: text = std::to_string(value.asInteger()); return true;
    case tk::VarType::Double: text = numberText(value.asDouble()); return true;
    case tk::VarType::DateTime: text = tk::DateTimeToIso(value.asDateTime()); return true;
    case tk::VarType::String: text = std::get<std::string>(value.storage()); return true;
    case tk::VarType::Array:
    case tk::VarType::Packet: return false;
    }
    return false;
}

// The type a value declares when the server cannot infer one from the statement.
Oid declaredType(const tk::Variant &value)
{
    switch (value.type()) {
    case tk::VarType::Boolean: return kBoolOid;
    case tk::VarType::Integer: return kInt4Oid;
    case tk::VarType::Double: return kFloat8Oid;
    case tk::VarType::DateTime: {
        const double v = value.asDateTime();
        return v == std::floor(v) ? kDateOid : kTimestampOid;
    }
    default: return kTextOid;
    }
}

struct ResultDeleter
{
    void operator()(PGresult *result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// The columns of a result: kinds, packet fields, names as the statement spelled them.
struct Columns
{
    std::vector<Kind> kinds;
    std::vector<tk::PacketField> fields;
};

class PgConnection;

// Rows in COPY's text form. The writer that holds the connection's COPY streams its rows as they come,
// so that the server stores them while the caller makes the next ones; the others keep theirs until
// the wire is free, they have a chunk's worth, or they finish.
class PgBulkInsert final : public BulkInsert
{
public:
    PgBulkInsert(PgConnection &connection, const std::string &table, const std::vector<std::string> &columns);
    ~PgBulkInsert() override;
    void add(const std::vector<tk::Variant> &row) override;
    void finish() override;

private:
    void send();
    PgConnection &m_connection; // Not owned.
    std::string m_copy;
    size_t m_columns;
    std::string m_buffer;
};

class PgConnection final : public Connection
{
public:
    explicit PgConnection(const std::string &uri) : m_name(detail::postgresDisplayName(uri))
    {
        // The caller's own connect_timeout, when it gives one, comes later and wins.
        const char *keywords[] = {"connect_timeout", "dbname", nullptr};
        const char *values[] = {kConnectTimeoutSeconds, uri.c_str(), nullptr};
        m_conn = PQconnectdbParams(keywords, values, 1);
        if (!m_conn)
            throw SqlError("Cannot open database '" + m_name + "': out of memory", SqlError::Kind::Connection);
        if (PQstatus(m_conn) != CONNECTION_OK) {
            std::string message = oneLine(PQerrorMessage(m_conn));
            // A connection string libpq cannot read is quoted whole in its message, password included.
            for (size_t at = message.find(uri); !uri.empty() && at != std::string::npos; at = message.find(uri))
                message.replace(at, uri.size(), m_name);
            PQfinish(m_conn);
            m_conn = nullptr;
            throw SqlError("Cannot open database '" + m_name + "': " + message, SqlError::Kind::Connection);
        }
        // Notices ("table does not exist, skipping") are not errors and must not reach standard error.
        PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
        exec("SET DateStyle = ISO, YMD; SET TimeZone = 'UTC'; SET client_encoding = 'UTF8'; "
             "SET extra_float_digits = 1");
    }

    ~PgConnection() override
    {
        if (m_conn)
            PQfinish(m_conn); // an open transaction ends with the session
    }

    void exec(const std::string &sql) override
    {
        endCopy();
        check(Result(PQexec(m_conn, sql.c_str())), sql);
    }

    int64_t execute(const std::string &sql, const Params &params) override
    {
        const Result result = run(sql, params);
        const char *count = PQcmdTuples(result.get());
        return count && *count ? std::strtoll(count, nullptr, 10) : 0;
    }

    tk::DataPacket query(const std::string &sql, const Params &params) override
    {
        Statement *statement = nullptr;
        const Result result = run(sql, params, &statement);
        const Columns columns = describe(result.get(), *statement);
        tk::DataPacket packet;
        packet.fields = columns.fields;
        const int rows = PQntuples(result.get());
        const int count = PQnfields(result.get());
        packet.rows.reserve(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            std::vector<tk::Variant> row;
            row.reserve(static_cast<size_t>(count));
            for (int c = 0; c < count; ++c)
                row.push_back(value(result.get(), r, c, columns, sql));
            packet.rows.push_back(std::move(row));
        }
        return packet;
    }

    void forEachRow(const std::string &sql, const Params &params,
                    const std::function<void(const Row &row)> &fn) override
    {
        Statement *statement = nullptr;
        const Result result = run(sql, params, &statement);
        const Columns columns = describe(result.get(), *statement);
        ResultRow row(result.get(), columns, sql);
        const int rows = PQntuples(result.get());
        for (int r = 0; r < rows; ++r) {
            row.row = r;
            fn(row);
        }
    }

    // Both see one snapshot; a write that meets a row another transaction changed since fails as a
    // Conflict that writeTransaction runs again. (Not SERIALIZABLE: its predicate locks on every row
    // read run out in a large load, and the suite's writes are keyed rows that cannot skew.)
    void begin(TxMode mode) override
    {
        exec(mode == TxMode::Bulk ? "BEGIN ISOLATION LEVEL READ COMMITTED" : "BEGIN ISOLATION LEVEL REPEATABLE READ");
    }
    void commit() override
    {
        if (PQtransactionStatus(m_conn) == PQTRANS_INERROR) {
            // COMMIT would silently roll back.
            exec("ROLLBACK");
            throw SqlError("SQL error: the transaction was cancelled by an earlier error; nothing was written");
        }
        exec("COMMIT");
    }
    void rollback() override
    {
        abandonCopy();
        if (inTransaction())
            exec("ROLLBACK");
    }
    bool inTransaction() const override
    {
        const PGTransactionStatusType status = PQtransactionStatus(m_conn);
        return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
    }
    std::string dialect() const override { return "postgresql"; }
    bool broken() const override { return m_broken || PQstatus(m_conn) == CONNECTION_BAD; }

    std::unique_ptr<BulkInsert> bulkInsert(const std::string &table, const std::vector<std::string> &columns) override
    {
        return std::make_unique<PgBulkInsert>(*this, table, columns);
    }

    // The connection has at most one COPY ... FROM STDIN open, held by one writer. copyData sends
    // `data` (rows in COPY's text form) into the writer's COPY, opening it (and ending another's) first.
    void copyData(const PgBulkInsert *writer, const std::string &command, const std::string &data)
    {
        if (m_copyWriter != writer || !m_copyOpen) {
            endCopy();
            Result start(PQexec(m_conn, command.c_str()));
            if (!start || PQresultStatus(start.get()) != PGRES_COPY_IN) {
                check(std::move(start), command);
                throw SqlError("SQL error: the server did not start the copy [" + sqlExcerpt(command) + "]");
            }
            m_copyOpen = true;
            m_copyCommand = command;
            m_copyWriter = writer;
        }
        if (PQputCopyData(m_conn, data.data(), static_cast<int>(data.size())) != 1) {
            // The server refused a row (its error is the COPY's result) or the connection broke.
            endCopy();
            throw SqlError("SQL error: the rows could not be sent: " + oneLine(PQerrorMessage(m_conn)) + " ["
                               + sqlExcerpt(command) + "]",
                           broken() ? SqlError::Kind::Connection : SqlError::Kind::Statement);
        }
    }
    bool copyHeldBy(const PgBulkInsert *writer) const { return m_copyOpen && m_copyWriter == writer; }
    bool copyOpen() const { return m_copyOpen; }
    // A writer that goes away leaves what it sent in its COPY, which the next statement ends.
    void releaseCopy(const PgBulkInsert *writer)
    {
        if (m_copyWriter == writer)
            m_copyWriter = nullptr;
    }

    // Ends the open COPY, if any, and reports its failure.
    void endCopy()
    {
        if (!m_copyOpen)
            return;
        m_copyOpen = false;
        m_copyWriter = nullptr;
        PQputCopyEnd(m_conn, nullptr);
        check(copyResult(), m_copyCommand);
    }

private:
    // The last result after a COPY ended: its failure, when it failed.
    Result copyResult()
    {
        Result last;
        while (PGresult *r = PQgetResult(m_conn)) {
            if (!last || PQresultStatus(r) != PGRES_COMMAND_OK)
                last.reset(r);
            else
                PQclear(r);
        }
        return last;
    }

    // A rollback cancels the open COPY rather than storing it, and cannot fail on it.
    void abandonCopy()
    {
        if (!m_copyOpen)
            return;
        m_copyOpen = false;
        m_copyWriter = nullptr;
        PQputCopyEnd(m_conn, "rolled back");
        copyResult();
    }

    struct Statement
    {
        std::string name;
        Translated translated;
    };

    class ResultRow final : public Row
    {
    public:
        ResultRow(const PGresult *result, const Columns &columns, const std::string &sql)
            : m_result(result), m_columns(columns), m_sql(sql)
        {
        }
        int columnCount() const override { return static_cast<int>(m_columns.kinds.size()); }
        bool isNull(int column) const override { return PQgetisnull(m_result, row, column) != 0; }
        std::string_view text(int column) const override
        {
            if (isNull(column))
                return {};
            const std::string_view raw(PQgetvalue(m_result, row, column),
                                       static_cast<size_t>(PQgetlength(m_result, row, column)));
            switch (kind(column)) {
            case Kind::FixedText: return unpadded(raw);
            case Kind::Boolean: return raw == "t" ? "1" : "0";
            default: return raw;
            }
        }
        double number(int column) const override
        {
            if (isNull(column))
                return 0.0;
            double value = 0;
            switch (kind(column)) {
            case Kind::Boolean: return text(column) == "1" ? 1.0 : 0.0;
            case Kind::Integer:
            case Kind::Float:
                if (parseNumber(text(column), value))
                    return value;
                [[fallthrough]];
            default:
                throw SqlError("SQL error: column " + m_columns.fields[static_cast<size_t>(column)].name + ": text '"
                               + std::string(text(column)) + "' in a numeric column [" + sqlExcerpt(m_sql) + "]");
            }
        }
        tk::TDateTime dateTime(int column) const override
        {
            if (isNull(column))
                return 0.0;
            double value = 0;
            const Kind k = kind(column);
            if ((k == Kind::Date || k == Kind::Text || k == Kind::FixedText) && parseDate(text(column), value))
                return value;
            throw SqlError("SQL error: column " + m_columns.fields[static_cast<size_t>(column)].name + ": '"
                           + std::string(text(column)) + "' is not an ISO date [" + sqlExcerpt(m_sql) + "]");
        }
        int row = 0;

    private:
        Kind kind(int column) const { return m_columns.kinds[static_cast<size_t>(column)]; }
        const PGresult *m_result;   // Not owned.
        const Columns &m_columns;   // Not owned.
        const std::string &m_sql;   // Not owned.
    };

    // Throws the result's error; a result that succeeded passes.
    void check(Result result, const std::string &sql)
    {
        if (result) {
            const ExecStatusType status = PQresultStatus(result.get());
            if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY)
                return;
        }
        const char *state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
        const char *primary = result ? PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        const std::string code = state ? state : "";
        const std::string message = primary ? oneLine(primary) : oneLine(PQerrorMessage(m_conn));
        // Class 08: connection exceptions; 57P01-57P03: the server shut down or is starting.
        if (PQstatus(m_conn) == CONNECTION_BAD || code.rfind("08", 0) == 0 || code.rfind("57P0", 0) == 0) {
            m_broken = true;
            throw SqlError("Lost the connection to database '" + m_name + "': " + message,
                           SqlError::Kind::Connection);
        }
        const auto kind = code == "40001" || code == "40P01" ? SqlError::Kind::Conflict : SqlError::Kind::Statement;
        throw SqlError("SQL error: " + message + " [" + sqlExcerpt(sql) + "]", kind);
    }

    Statement &prepare(const std::string &sql, const std::vector<const tk::Variant *> *values)
    {
        auto found = m_cache.find(sql);
        if (found != m_cache.end()) {
            m_lru.splice(m_lru.begin(), m_lru, found->second);
            return found->second->second;
        }
        Statement statement{"s" + std::to_string(++m_statements), translate(sql)};
        if (statement.translated.sql.find_first_not_of(" \t\r\n") == std::string::npos)
            throw SqlError("SQL error: empty statement");
        const int count = static_cast<int>(statement.translated.names.size());
        // A failed prepare would cancel the caller's transaction: it is tried under a savepoint.
        const bool guarded = inTransaction();
        if (guarded)
            exec("SAVEPOINT db_prepare");
        Result result(PQprepare(m_conn, statement.name.c_str(), statement.translated.sql.c_str(), count, nullptr));
        const char *state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
        if (state && std::strcmp(state, "42P18") == 0 && values) {
            // "could not determine data type of parameter": the values say what they are.
            if (guarded)
                exec("ROLLBACK TO SAVEPOINT db_prepare");
            std::vector<Oid> types;
            for (const tk::Variant *value : *values)
                types.push_back(value ? declaredType(*value) : kTextOid);
            result.reset(PQprepare(m_conn, statement.name.c_str(), statement.translated.sql.c_str(), count,
                                   types.data()));
        }
        if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
            if (guarded && !broken())
                exec("ROLLBACK TO SAVEPOINT db_prepare; RELEASE SAVEPOINT db_prepare");
            check(std::move(result), sql);
        }
        if (guarded)
            exec("RELEASE SAVEPOINT db_prepare");
        m_lru.emplace_front(sql, std::move(statement));
        m_cache[sql] = m_lru.begin();
        if (m_lru.size() > kStatementCacheSize) {
            // Outside a cancelled transaction the server forgets it too; inside one it lingers harmlessly.
            if (PQtransactionStatus(m_conn) != PQTRANS_INERROR)
                PQclear(PQexec(m_conn, ("DEALLOCATE " + m_lru.back().second.name).c_str()));
            m_cache.erase(m_lru.back().first);
            m_lru.pop_back();
        }
        return m_lru.front().second;
    }

    // The parameter values in $n order (nullptr where the list lacks the name: an error once known).
    static std::vector<const tk::Variant *> lookup(const Translated &translated, const Params &params)
    {
        std::vector<const tk::Variant *> values;
        values.reserve(translated.names.size());
        for (const std::string &name : translated.names) {
            const tk::Variant *value = nullptr;
            for (const auto &param : params) {
                if (equalsNoCase(param.first, name)) {
                    value = &param.second;
                    break;
                }
            }
            values.push_back(value);
        }
        return values;
    }

    Result run(const std::string &sql, const Params &params, Statement **used = nullptr)
    {
        endCopy();
        // The names are read before the statement is prepared, so that a missing value is reported
        // as such and the values can give the types when the statement alone cannot.
        const Translated *translated = nullptr;
        Translated fresh;
        auto cached = m_cache.find(sql);
        if (cached != m_cache.end()) {
            translated = &cached->second->second.translated;
        } else {
            fresh = translate(sql);
            translated = &fresh;
        }
        const std::vector<const tk::Variant *> values = lookup(*translated, params);
        std::vector<std::string> texts(values.size());
        std::vector<const char *> pointers(values.size(), nullptr);
        for (size_t i = 0; i < values.size(); ++i) {
            const std::string &name = translated->names[i];
            if (!values[i])
                throw SqlError("SQL error: parameter :" + name + " has no value [" + sqlExcerpt(sql) + "]");
            bool isNull = false;
            bool ok = false;
            try {
                ok = valueText(*values[i], texts[i], isNull);
            } catch (const std::exception &e) {
                throw SqlError("SQL error: parameter :" + name + " is not a valid date: " + e.what());
            }
            if (!ok)
                throw SqlError("SQL error: parameter :" + name + " cannot take a " + varTypeName(values[i]->type())
                               + " value [" + sqlExcerpt(sql) + "]");
            pointers[i] = isNull ? nullptr : texts[i].c_str();
        }
        Statement &statement = prepare(sql, &values);
        if (used)
            *used = &statement;
        Result result(PQexecPrepared(m_conn, statement.name.c_str(), static_cast<int>(pointers.size()),
                                     pointers.data(), nullptr, nullptr, 0));
        if (!result || (PQresultStatus(result.get()) != PGRES_COMMAND_OK
                        && PQresultStatus(result.get()) != PGRES_TUPLES_OK))
            check(std::move(result), sql);
        return result;
    }

    static Columns describe(const PGresult *result, const Statement &statement)
    {
        Columns columns;
        const int count = PQnfields(result);
        for (int c = 0; c < count; ++c) {
            const Oid type = PQftype(result, c);
            const Kind kind = kindOf(type);
            tk::PacketField field;
            const char *raw = PQfname(result, c);
            const std::string name = raw ? raw : "";
            const auto spelled = statement.translated.spelling.find(name);
            // A quoted name comes back as written; any other was folded to lower case.
            const bool quoted = detail::lower(name) != name;
            field.name = quoted ? name
                         : spelled != statement.translated.spelling.end() ? spelled->second
                                                                          : detail::upper(name);
            field.type = fieldTypeOf(kind);
            const int modifier = PQfmod(result, c);
            // VARCHAR(n) and CHAR(n) carry n plus the 4-byte length header.
            field.size = (type == kVarcharOid || type == kBpcharOid) && modifier >= 4 ? modifier - 4 : 0;
            columns.kinds.push_back(kind);
            columns.fields.push_back(std::move(field));
        }
        return columns;
    }

    static tk::Variant value(const PGresult *result, int row, int column, const Columns &columns, const std::string &sql)
    {
        if (PQgetisnull(result, row, column))
            return {};
        const std::string_view text(PQgetvalue(result, row, column),
                                    static_cast<size_t>(PQgetlength(result, row, column)));
        const tk::PacketField &field = columns.fields[static_cast<size_t>(column)];
        auto bad = [&](const std::string &why) {
            return SqlError("SQL error: column " + field.name + ": " + why + " [" + sqlExcerpt(sql) + "]");
        };
        switch (columns.kinds[static_cast<size_t>(column)]) {
        case Kind::Text: return tk::Variant(std::string(text));
        case Kind::FixedText: return tk::Variant(std::string(unpadded(text)));
        case Kind::Boolean: return tk::Variant(text == "t");
        case Kind::Integer: {
            int64_t v = 0;
            const auto parsed = std::from_chars(text.data(), text.data() + text.size(), v);
            if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
                throw bad("'" + std::string(text) + "' is not an integer");
            if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
                throw bad("value " + std::string(text) + " does not fit a 32-bit integer");
            return tk::Variant(static_cast<int32_t>(v));
        }
        case Kind::Float: {
            double v = 0;
            if (!parseNumber(text, v))
                throw bad("'" + std::string(text) + "' is not a number");
            return tk::Variant(v);
        }
        case Kind::Date: {
            tk::TDateTime v = 0;
            if (!parseDate(text, v))
                throw bad("'" + std::string(text) + "' is not an ISO date");
            return tk::Variant::fromDateTime(v);
        }
        }
        return {};
    }

    PGconn *m_conn = nullptr; // Owned.
    std::string m_name;
    bool m_broken = false;
    int64_t m_statements = 0;
    using CacheList = std::list<std::pair<std::string, Statement>>;
    CacheList m_lru; // Most recently used first.
    std::unordered_map<std::string, CacheList::iterator> m_cache;
    bool m_copyOpen = false;
    std::string m_copyCommand;
    const PgBulkInsert *m_copyWriter = nullptr; // Not owned; null once its writer went away.
};

PgBulkInsert::PgBulkInsert(PgConnection &connection, const std::string &table, const std::vector<std::string> &columns)
    : m_connection(connection), m_columns(columns.size())
{
    m_copy = "COPY " + table + " (";
    for (size_t i = 0; i < columns.size(); ++i)
        m_copy += (i ? ", " : "") + columns[i];
    m_copy += ") FROM STDIN";
}

void PgBulkInsert::add(const std::vector<tk::Variant> &row)
{
    if (row.size() != m_columns)
        throw SqlError("SQL error: " + std::to_string(row.size()) + " values for " + std::to_string(m_columns)
                       + " columns [" + m_copy + "]");
    std::string text;
    for (size_t i = 0; i < row.size(); ++i) {
        if (i)
            m_buffer += '\t';
        bool isNull = false;
        if (!valueText(row[i], text, isNull))
            throw SqlError("SQL error: a " + std::string(varTypeName(row[i].type())) + " value cannot be copied ["
                           + m_copy + "]");
        if (isNull) {
            m_buffer += "\\N";
            continue;
        }
        for (char c : text) {
            switch (c) {
            case '\\': m_buffer += "\\\\"; break;
            case '\t': m_buffer += "\\t"; break;
            case '\n': m_buffer += "\\n"; break;
            case '\r': m_buffer += "\\r"; break;
            default: m_buffer += c; break;
            }
        }
    }
    m_buffer += '\n';
    const size_t due = m_connection.copyHeldBy(this) || !m_connection.copyOpen() ? kCopySendBytes : kCopyChunkBytes;
    if (m_buffer.size() >= due)
        send();
}

void PgBulkInsert::finish()
{
    if (!m_buffer.empty())
        send();
    if (m_connection.copyHeldBy(this))
        m_connection.endCopy();
}

PgBulkInsert::~PgBulkInsert()
{
    m_connection.releaseCopy(this);
}

void PgBulkInsert::send()
{
    m_connection.copyData(this, m_copy, m_buffer);
    m_buffer.clear();
}

std::string quoteConninfo(const std::string &value)
{
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

} // namespace

std::string detail::postgresDisplayName(const std::string &uri)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.c_str(), &error);
    if (!options) {
        if (error)
            PQfreemem(error);
        // Unreadable: shown up to the user part, which may carry the password.
        const size_t scheme = uri.find("://");
        if (scheme != std::string::npos)
            return uri.substr(0, scheme + 3) + "...";
        return "(unreadable PostgreSQL connection string)";
    }
    std::string user, host, port, dbname;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const std::string keyword = o->keyword;
        if (keyword == "user")
            user = o->val;
        else if (keyword == "host" || (keyword == "hostaddr" && host.empty()))
            host = o->val;
        else if (keyword == "port")
            port = o->val;
        else if (keyword == "dbname")
            dbname = o->val;
    }
    PQconninfoFree(options);
    std::string name = "postgresql://";
    if (!user.empty())
        name += user + "@";
    name += host.empty() ? "localhost" : host;
    if (!port.empty())
        name += ":" + port;
    return name + "/" + dbname;
}

std::unique_ptr<Connection> detail::openPostgres(const std::string &uri)
{
    return std::make_unique<PgConnection>(uri);
}

std::string withDatabaseName(const std::string &uri, const std::string &dbname)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.c_str(), &error);
    if (!options) {
        const std::string message = error ? oneLine(error) : "unreadable";
        if (error)
            PQfreemem(error);
        throw SqlError("Cannot read the connection string of '" + detail::postgresDisplayName(uri) + "': " + message,
                       SqlError::Kind::Connection);
    }
    std::string conninfo;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val || std::strcmp(o->keyword, "dbname") == 0)
            continue;
        conninfo += std::string(o->keyword) + "=" + quoteConninfo(o->val) + " ";
    }
    PQconninfoFree(options);
    return conninfo + "dbname=" + quoteConninfo(dbname);
}

} // namespace db
