// SQLite implementation of db::Connection.

#include "platform/database/connections.h"
#include "platform/database/sqltext.h"

#include "platform/toolkit/data/datetime.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <map>
#include <fstream>
#include <limits>
#include <list>
#include <unordered_map>
#include <utility>

namespace db {

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr size_t kStatementCacheSize = 64;

using detail::equalsNoCase;
using detail::sqlExcerpt;
using detail::upper;

// The packet type and size that a declared column type gives; false when the type says nothing.
bool typeFromDeclared(const char *declared, tk::FieldType &type, int32_t &size)
{
    if (!declared || !*declared)
        return false;
    const std::string decl = upper(declared);
    size = 0;
    auto sizeInParens = [&decl]() -> int32_t {
        const auto open = decl.find('(');
        if (open == std::string::npos)
            return 0;
        try {
            return static_cast<int32_t>(std::stol(decl.substr(open + 1)));
        } catch (const std::exception &) {
            return 0;
        }
    };
    if (decl.find("DATE") != std::string::npos || decl.find("TIMESTAMP") != std::string::npos) {
        type = tk::FieldType::DateTime;
        return true;
    }
    if (decl.find("BOOL") != std::string::npos) {
        type = tk::FieldType::Boolean;
        return true;
    }
    if (decl.find("INT") != std::string::npos) {
        type = tk::FieldType::Integer;
        return true;
    }
    if (decl.find("CHAR") != std::string::npos || decl.find("TEXT") != std::string::npos
        || decl.find("CLOB") != std::string::npos) {
        type = tk::FieldType::String;
        size = sizeInParens();
        return true;
    }
    if (decl.find("REAL") != std::string::npos || decl.find("DOUB") != std::string::npos
        || decl.find("FLOA") != std::string::npos || decl.find("NUMERIC") != std::string::npos
        || decl.find("DECIMAL") != std::string::npos) {
        type = tk::FieldType::Float;
        return true;
    }
    return false;
}

// An existing database must be one before anything touches it: SQLite would take an empty file for
// a new database and write its header (and switching to WAL writes too).
void checkExistingFile(const std::string &path)
{
    if (!std::filesystem::exists(path))
        throw SqlError("Cannot open database '" + path + "': file not found", SqlError::Kind::Connection);
    std::ifstream file(path, std::ios::binary);
    char header[16] = {};
    file.read(header, sizeof header);
    if (file.gcount() == 0)
        throw SqlError("Cannot open database '" + path + "': the file is empty, not a database",
                       SqlError::Kind::Connection);
    static constexpr char kMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    if (file.gcount() != sizeof header || std::memcmp(header, kMagic, sizeof header) != 0)
        throw SqlError("Cannot open database '" + path + "': the file is not an SQLite database",
                       SqlError::Kind::Connection);
}

// One writer mutex per database file in this process, shared by every connection to it (see
// Connection::writerTurn). Kept while a connection to the file is open.
std::shared_ptr<std::mutex> writerMutexOf(const std::string &path)
{
    static std::mutex registryMutex;
    static std::map<std::string, std::weak_ptr<std::mutex>> registry;
    std::error_code error;
    std::string key = std::filesystem::weakly_canonical(path, error).string();
    if (error)
        key = path;
    std::lock_guard lock(registryMutex);
    std::erase_if(registry, [](const auto &entry) { return entry.second.expired(); });
    std::shared_ptr<std::mutex> mutex = registry[key].lock();
    if (!mutex) {
        mutex = std::make_shared<std::mutex>();
        registry[key] = mutex;
    }
    return mutex;
}

class SqliteConnection final : public Connection
{
public:
    SqliteConnection(const std::string &path, OpenMode mode)
    {
        if (mode == OpenMode::ExistingOnly && path != ":memory:")
            checkExistingFile(path);
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        const int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
            sqlite3_close(m_db);
            m_db = nullptr;
            throw SqlError("Cannot open database '" + path + "': " + message, SqlError::Kind::Connection);
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        // An in-memory database is private to its connection: nobody to queue behind.
        m_writers = path == ":memory:" ? std::make_shared<std::mutex>() : writerMutexOf(path);
        try {
            exec("PRAGMA foreign_keys = ON");
            // A new file gives back the pages that deletes free (PRAGMA incremental_vacuum, run by the
            // work-set clean-up). The mode can be chosen only while the file is empty, before WAL.
            if (path != ":memory:" && countOf("PRAGMA page_count") == 0)
                exec("PRAGMA auto_vacuum = INCREMENTAL");
            if (path != ":memory:")
                exec("PRAGMA journal_mode = WAL");
            exec("PRAGMA synchronous = NORMAL");
        } catch (...) {
            sqlite3_close(m_db);
            m_db = nullptr;
            throw;
        }
    }

    ~SqliteConnection() override
    {
        for (auto &entry : m_lru)
            sqlite3_finalize(entry.second);
        m_lru.clear();
        m_cache.clear();
        if (m_db) {
            if (!sqlite3_get_autocommit(m_db))
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close_v2(m_db);
        }
    }

    // The first column of a one-row statement without parameters, as an integer.
    int64_t countOf(const char *sql)
    {
        sqlite3_stmt *stmt = nullptr;
        int64_t value = -1;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            value = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return value;
    }

    void exec(const std::string &sql) override
    {
        char *error = nullptr;
        const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            std::string message = error ? error : sqlite3_errstr(rc);
            sqlite3_free(error);
            throw SqlError("SQL error: " + message + " [" + sqlExcerpt(sql) + "]");
        }
    }

    int64_t execute(const std::string &sql, const Params &params) override
    {
        StatementUse use(*this, sql);
        bind(use.stmt, sql, params);
        while (step(use.stmt, sql)) {
        }
        return sqlite3_changes64(m_db);
    }

    tk::DataPacket query(const std::string &sql, const Params &params) override
    {
        StatementUse use(*this, sql);
        sqlite3_stmt *stmt = use.stmt;
        bind(stmt, sql, params);

        const int columns = sqlite3_column_count(stmt);
        tk::DataPacket packet;
        std::vector<bool> typed(static_cast<size_t>(columns), false);
        std::vector<bool> declared(static_cast<size_t>(columns), false);
        packet.fields.resize(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            tk::PacketField &field = packet.fields[static_cast<size_t>(c)];
            const char *name = sqlite3_column_name(stmt, c);
            field.name = name ? name : "";
            declared[static_cast<size_t>(c)] = typeFromDeclared(sqlite3_column_decltype(stmt, c), field.type,
                                                                field.size);
            typed[static_cast<size_t>(c)] = declared[static_cast<size_t>(c)];
        }

        // Rows are read raw first: an expression column takes its type from its first non-null value.
        std::vector<std::vector<tk::Variant>> rows;
        while (step(stmt, sql)) {
            std::vector<tk::Variant> row;
            row.reserve(static_cast<size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                const auto index = static_cast<size_t>(c);
                if (!typed[index] && sqlite3_column_type(stmt, c) != SQLITE_NULL) {
                    tk::PacketField &field = packet.fields[index];
                    switch (sqlite3_column_type(stmt, c)) {
                    case SQLITE_INTEGER: field.type = tk::FieldType::Integer; break;
                    case SQLITE_FLOAT: field.type = tk::FieldType::Float; break;
                    default: field.type = tk::FieldType::String; break;
                    }
                    typed[index] = true;
                } else if (!declared[index] && packet.fields[index].type == tk::FieldType::Integer
                           && sqlite3_column_type(stmt, c) == SQLITE_FLOAT) {
                    // An expression mixing integers and reals is a real column.
                    packet.fields[index].type = tk::FieldType::Float;
                }
                row.push_back(readValue(stmt, c, packet.fields[index], sql));
            }
            rows.push_back(std::move(row));
        }
        for (int c = 0; c < columns; ++c) {
            if (!typed[static_cast<size_t>(c)])
                packet.fields[static_cast<size_t>(c)].type = tk::FieldType::String;
        }
        // Columns typed late: convert the values read before their type was known.
        for (auto &row : rows) {
            for (size_t c = 0; c < row.size(); ++c) {
                if (!declared[c])
                    row[c] = coerce(std::move(row[c]), packet.fields[c], sql);
            }
        }
        packet.rows = std::move(rows);
        return packet;
    }

    void forEachRow(const std::string &sql, const Params &params,
                    const std::function<void(const Row &row)> &fn) override
    {
        StatementUse use(*this, sql);
        bind(use.stmt, sql, params);
        const StatementRow row(use.stmt, sql);
        while (step(use.stmt, sql))
            fn(row);
    }

    void begin(TxMode mode) override
    {
        exec(mode == TxMode::Deferred ? "BEGIN" : "BEGIN IMMEDIATE");
    }
    void commit() override { exec("COMMIT"); }
    void rollback() override
    {
        if (!sqlite3_get_autocommit(m_db))
            exec("ROLLBACK");
    }
    bool inTransaction() const override { return !sqlite3_get_autocommit(m_db); }
    std::string dialect() const override { return "sqlite"; }
    std::unique_lock<std::mutex> writerTurn() override { return std::unique_lock(*m_writers); }

private:
    // The current row of a stepping statement, read column by column without copies.
    class StatementRow final : public Row
    {
    public:
        StatementRow(sqlite3_stmt *stmt, const std::string &sql) : m_stmt(stmt), m_sql(sql) {}
        int columnCount() const override { return sqlite3_column_count(m_stmt); }
        bool isNull(int column) const override { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
        std::string_view text(int column) const override
        {
            const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
            return data ? std::string_view(data, static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)))
                        : std::string_view();
        }
        double number(int column) const override
        {
            switch (sqlite3_column_type(m_stmt, column)) {
            case SQLITE_NULL: return 0.0;
            case SQLITE_INTEGER: return static_cast<double>(sqlite3_column_int64(m_stmt, column));
            case SQLITE_FLOAT: return sqlite3_column_double(m_stmt, column);
            default:
                throw SqlError("SQL error: column " + columnName(column) + ": text '" + std::string(text(column))
                               + "' in a numeric column [" + sqlExcerpt(m_sql) + "]");
            }
        }
        tk::TDateTime dateTime(int column) const override
        {
            if (isNull(column))
                return 0.0;
            double value = 0;
            if (!tk::TryIsoToDateTime(text(column), value))
                throw SqlError("SQL error: column " + columnName(column) + ": '" + std::string(text(column))
                               + "' is not an ISO date [" + sqlExcerpt(m_sql) + "]");
            return value;
        }

    private:
        std::string columnName(int column) const
        {
            const char *name = sqlite3_column_name(m_stmt, column);
            return name ? name : "?";
        }
        sqlite3_stmt *m_stmt;
        const std::string &m_sql;
    };

    // A cached prepared statement, reset and unbound when the use ends.
    struct StatementUse
    {
        StatementUse(SqliteConnection &owner, const std::string &sql) : stmt(owner.prepare(sql)) {}
        ~StatementUse()
        {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
        }
        sqlite3_stmt *stmt; // Not owned: the connection's cache owns it.
    };

    sqlite3_stmt *prepare(const std::string &sql)
    {
        auto found = m_cache.find(sql);
        if (found != m_cache.end()) {
            m_lru.splice(m_lru.begin(), m_lru, found->second);
            return found->second->second;
        }
        sqlite3_stmt *stmt = nullptr;
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail) != SQLITE_OK)
            fail(sql);
        if (!stmt)
            throw SqlError("SQL error: empty statement");
        while (tail && *tail && std::isspace(static_cast<unsigned char>(*tail)))
            ++tail;
        if (tail && *tail && *tail != ';') {
            sqlite3_finalize(stmt);
            throw SqlError("SQL error: more than one statement given where one is expected ["
                           + sqlExcerpt(sql) + "]");
        }
        m_lru.emplace_front(sql, stmt);
        m_cache[sql] = m_lru.begin();
        if (m_lru.size() > kStatementCacheSize) {
            sqlite3_finalize(m_lru.back().second);
            m_cache.erase(m_lru.back().first);
            m_lru.pop_back();
        }
        return stmt;
    }

    // One step: true with a row to read, false when done; SqlError on a failure.
    bool step(sqlite3_stmt *stmt, const std::string &sql)
    {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail(sql);
        return false;
    }

    [[noreturn]] void fail(const std::string &sql)
    {
        // A read transaction whose snapshot went stale before it could write lost a race.
        const auto kind = sqlite3_extended_errcode(m_db) == SQLITE_BUSY_SNAPSHOT ? SqlError::Kind::Conflict
                                                                                 : SqlError::Kind::Statement;
        throw SqlError(std::string("SQL error: ") + sqlite3_errmsg(m_db) + " [" + sqlExcerpt(sql) + "]", kind);
    }

    void bind(sqlite3_stmt *stmt, const std::string &sql, const Params &params)
    {
        const int count = sqlite3_bind_parameter_count(stmt);
        for (int i = 1; i <= count; ++i) {
            const char *rawName = sqlite3_bind_parameter_name(stmt, i);
            if (!rawName)
                throw SqlError("SQL error: positional parameters are not supported [" + sqlExcerpt(sql) + "]");
            std::string_view name(rawName);
            if (!name.empty() && (name[0] == ':' || name[0] == '@' || name[0] == '$'))
                name.remove_prefix(1);
            const tk::Variant *value = nullptr;
            for (const auto &param : params) {
                if (equalsNoCase(param.first, name)) {
                    value = &param.second;
                    break;
                }
            }
            if (!value)
                throw SqlError("SQL error: parameter :" + std::string(name) + " has no value ["
                               + sqlExcerpt(sql) + "]");
            bindValue(stmt, i, *value, name, sql);
        }
    }

    void bindValue(sqlite3_stmt *stmt, int index, const tk::Variant &value, std::string_view name,
                   const std::string &sql)
    {
        int rc = SQLITE_OK;
        switch (value.type()) {
        case tk::VarType::Null: rc = sqlite3_bind_null(stmt, index); break;
        case tk::VarType::Boolean: rc = sqlite3_bind_int(stmt, index, value.asBoolean() ? 1 : 0); break;
        case tk::VarType::Integer: rc = sqlite3_bind_int(stmt, index, value.asInteger()); break;
        case tk::VarType::Double: rc = sqlite3_bind_double(stmt, index, value.asDouble()); break;
        case tk::VarType::DateTime: {
            std::string iso;
            try {
                iso = tk::DateTimeToIso(value.asDateTime());
            } catch (const std::exception &e) {
                throw SqlError("SQL error: parameter :" + std::string(name) + " is not a valid date: " + e.what());
            }
            rc = sqlite3_bind_text(stmt, index, iso.c_str(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
            break;
        }
        case tk::VarType::String: {
            // Not copied: the caller's parameters outlive every step of this use of the statement,
            // and StatementUse unbinds them before the call returns.
            const std::string &text = std::get<std::string>(value.storage());
            rc = sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
            break;
        }
        case tk::VarType::Array:
        case tk::VarType::Packet:
            throw SqlError("SQL error: parameter :" + std::string(name) + " cannot take a "
                           + varTypeName(value.type()) + " value [" + sqlExcerpt(sql) + "]");
        }
        if (rc != SQLITE_OK)
            fail(sql);
    }

    static tk::Variant readValue(sqlite3_stmt *stmt, int c, const tk::PacketField &field, const std::string &sql)
    {
        const int storage = sqlite3_column_type(stmt, c);
        if (storage == SQLITE_NULL)
            return {};
        tk::Variant raw;
        switch (storage) {
        case SQLITE_INTEGER: {
            const sqlite3_int64 v = sqlite3_column_int64(stmt, c);
            if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
                raw = tk::Variant(static_cast<int32_t>(v));
            else
                raw = tk::Variant(static_cast<double>(v));
            break;
        }
        case SQLITE_FLOAT: raw = tk::Variant(sqlite3_column_double(stmt, c)); break;
        default: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
            raw = tk::Variant(std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
            break;
        }
        }
        return coerce(std::move(raw), field, sql);
    }

    // Converts a raw value to the field's type; a value that does not fit is an error, never a guess.
    // Taken by value: a value already of the field's type is moved through, not copied.
    static tk::Variant coerce(tk::Variant raw, const tk::PacketField &field, const std::string &sql)
    {
        if (raw.isNull())
            return raw;
        auto bad = [&](const std::string &why) -> SqlError {
            return SqlError("SQL error: column " + field.name + ": " + why + " [" + sqlExcerpt(sql) + "]");
        };
        switch (field.type) {
        case tk::FieldType::String:
        case tk::FieldType::FixedString:
            if (raw.type() == tk::VarType::String)
                return raw;
            return tk::Variant(numberText(raw));
        case tk::FieldType::Integer:
            if (raw.type() == tk::VarType::Integer)
                return raw;
            if (raw.type() == tk::VarType::Double) {
                const double d = raw.asDouble();
                if (d == std::floor(d) && d >= std::numeric_limits<int32_t>::min()
                    && d <= std::numeric_limits<int32_t>::max())
                    return tk::Variant(static_cast<int32_t>(d));
                throw bad("value " + numberText(raw) + " does not fit a 32-bit integer");
            }
            throw bad("text '" + raw.asString() + "' in an integer column");
        case tk::FieldType::Float:
            if (raw.type() == tk::VarType::Double)
                return raw;
            if (raw.type() == tk::VarType::Integer)
                return tk::Variant(static_cast<double>(raw.asInteger()));
            throw bad("text '" + raw.asString() + "' in a numeric column");
        case tk::FieldType::Boolean:
            if (raw.type() == tk::VarType::Boolean)
                return raw;
            if (raw.type() == tk::VarType::Integer)
                return tk::Variant(raw.asInteger() != 0);
            if (raw.type() == tk::VarType::Double)
                return tk::Variant(raw.asDouble() != 0.0);
            throw bad("text '" + raw.asString() + "' in a boolean column");
        case tk::FieldType::DateTime: {
            if (raw.type() == tk::VarType::String) {
                tk::TDateTime value = 0;
                if (!tk::TryIsoToDateTime(raw.asString(), value))
                    throw bad("'" + raw.asString() + "' is not an ISO date");
                return tk::Variant::fromDateTime(value);
            }
            return tk::Variant::fromDateTime(raw.asDouble());
        }
        }
        return raw;
    }

    static std::string numberText(const tk::Variant &value)
    {
        if (value.type() == tk::VarType::Integer)
            return std::to_string(value.asInteger());
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", value.asDouble());
        return buffer;
    }

    sqlite3 *m_db = nullptr; // Owned.
    std::shared_ptr<std::mutex> m_writers;
    using CacheList = std::list<std::pair<std::string, sqlite3_stmt *>>;
    CacheList m_lru; // Owns the statements; most recently used first.
    std::unordered_map<std::string, CacheList::iterator> m_cache;
};

} // namespace

std::unique_ptr<Connection> detail::openSqlite(const std::string &path, OpenMode mode)
{
    return std::make_unique<SqliteConnection>(path, mode);
}

} // namespace db
