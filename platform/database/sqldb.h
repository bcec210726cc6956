#pragma once

// The suite database's SQL access layer. One interface for every dialect (SQLite and PostgreSQL):
// statements are plain SQL with named parameters ":NAME", results come back as data packets with the
// same field types and values on both. A Connection is not thread-safe: open one per thread and never
// share it.

#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace db {

// Any failure of the database: opening, preparing, binding, running, converting a value.
class SqlError : public tk::Exception
{
public:
    enum class Kind {
        Statement,  // the statement or its values are at fault
        Conflict,   // lost a race with another transaction: running it again may succeed
        Connection, // the database cannot be reached or the connection broke
    };
    explicit SqlError(const std::string &message, Kind kind = Kind::Statement)
        : tk::Exception(message), m_kind(kind)
    {
    }
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// Named parameters; names without the leading ':' and matched case-insensitively. A parameter that
// the statement uses but the list lacks is an error; extra entries are ignored.
using Params = std::vector<std::pair<std::string, tk::Variant>>;

enum class OpenMode {
    CreateIfMissing, // a missing file is created (empty)
    ExistingOnly,    // a missing file is an error: a mistyped path never yields an empty database
};

enum class TxMode {
    Deferred,  // read transaction; a consistent snapshot from its first read
    Immediate, // write transaction; takes the write lock at once (waits up to the busy timeout)
    Bulk,      // a load of many rows into a new database: a write transaction that keeps no snapshot
               // (READ COMMITTED on PostgreSQL, whose bookkeeping would grow with every row read)
};

// Rows written in bulk into one table: COPY on PostgreSQL, one prepared insert a row on SQLite. Rows
// are buffered and may reach the table only at finish(); an unfinished writer discards the rest. Values
// convert as parameters do. Run inside a transaction for speed.
class BulkInsert
{
public:
    virtual ~BulkInsert();
    virtual void add(const std::vector<tk::Variant> &row) = 0;
    virtual void finish() = 0;
};

class Connection
{
public:
    // SQLite: "path/to/file.db", "sqlite:path/to/file.db" or ":memory:"; WAL mode, busy timeout 5 s,
    // foreign keys on. PostgreSQL: "postgresql://user@host:port/dbname" (or "postgres://") or the
    // key-value form "host=... dbname=..."; the database must exist (the mode does not apply).
    // Failures name the database (never its password) and are SqlErrors of kind Connection.
    static std::unique_ptr<Connection> open(const std::string &uri,
                                            OpenMode mode = OpenMode::CreateIfMissing);
    // Whether uri names a PostgreSQL database (rather than a SQLite file).
    static bool isPostgres(const std::string &uri);
    // The database as error texts name it: the file, or "postgresql://user@host:port/dbname" without
    // the password.
    static std::string displayName(const std::string &uri);

    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    virtual ~Connection();

    // Runs one or more statements without parameters (schema scripts).
    virtual void exec(const std::string &sql) = 0;

    // Runs one statement with parameters; returns the number of rows it changed. Statements are
    // prepared once per connection and reused, so repeated inserts in a transaction are cheap.
    virtual int64_t execute(const std::string &sql, const Params &params) = 0;

    // Runs a SELECT and returns its rows as a data packet. Every occurrence of a named parameter gets
    // the same value. Column types come from the declared column type (INTEGER -> Integer,
    // REAL/NUMERIC/DOUBLE/FLOAT/DECIMAL -> Float, DATE/TIMESTAMP/DATETIME -> DateTime decoded from
    // ISO text, VARCHAR(n)/CHAR(n)/TEXT -> String of size n, BOOLEAN -> Boolean); for an expression
    // column, from its first non-null value (String when every value is null).
    // Parameters: a DateTime binds as ISO text "YYYY-MM-DD" ("YYYY-MM-DD HH:MM:SS" when it carries a
    // time), a Boolean as 1/0; arrays and packets cannot be bound.
    virtual tk::DataPacket query(const std::string &sql, const Params &params = {}) = 0;

    // One row of forEachRow, valid only during the call that receives it. Columns are 0-based.
    class Row
    {
    public:
        virtual int columnCount() const = 0;
        virtual bool isNull(int column) const = 0;
        // The value as text (numbers in their shortest form); empty for NULL.
        virtual std::string_view text(int column) const = 0;
        // The value as a number; 0 for NULL, SqlError for a text that is not a number.
        virtual double number(int column) const = 0;
        // An ISO date or date-time ("YYYY-MM-DD[ HH:MM:SS]") as a date-time; 0 for NULL, SqlError
        // for any other text.
        virtual tk::TDateTime dateTime(int column) const = 0;

    protected:
        ~Row() = default;
    };

    // Runs a SELECT and hands its rows to fn one at a time, in order, without building a packet:
    // for large reads that go straight into the caller's own structures. Parameters as in query.
    virtual void forEachRow(const std::string &sql, const Params &params,
                            const std::function<void(const Row &row)> &fn) = 0;

    virtual void begin(TxMode mode = TxMode::Deferred) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;

    // "sqlite" or "postgresql": for the rare statement that must differ.
    virtual std::string dialect() const = 0;

    // True once the connection to the server is lost: the owner drops it and opens another.
    virtual bool broken() const { return false; }

    // This process's turn to write to the database, held by writeTransaction around each attempt.
    // SQLite has one writer lock per file that waiting writers poll until their busy timeout, so under
    // load they fail; its connections to one file share one mutex, and the process's writers queue on
    // it instead (readers never take it). Empty where the database orders writers itself (PostgreSQL).
    virtual std::unique_lock<std::mutex> writerTurn() { return {}; }

    // A writer of many rows into `table` (columns in the order the rows give them).
    virtual std::unique_ptr<BulkInsert> bulkInsert(const std::string &table, const std::vector<std::string> &columns);
};

// Times a write transaction runs before a lost race (SqlError::Kind::Conflict) is reported.
constexpr int kWriteAttempts = 5;

// Begins in the constructor; rolls back in the destructor unless commit() ran.
class Transaction
{
public:
    explicit Transaction(Connection &connection, TxMode mode = TxMode::Deferred);
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction();
    void commit();

private:
    Connection &m_connection; // Not owned.
    bool m_done = false;
};

// Runs fn in one write transaction and commits; when it loses a race with another writer, rolls back
// and runs it again from the start, up to kWriteAttempts times, then reports the conflict. The one place
// where writes are retried: fn must be safe to run again (it writes only through the transaction).
template<typename Fn>
auto writeTransaction(Connection &connection, Fn &&fn) -> decltype(fn())
{
    for (int attempt = 1;; ++attempt) {
        try {
            const std::unique_lock<std::mutex> turn = connection.writerTurn();
            Transaction tx(connection, TxMode::Immediate);
            if constexpr (std::is_void_v<decltype(fn())>) {
                fn();
                tx.commit();
                return;
            } else {
                auto result = fn();
                tx.commit();
                return result;
            }
        } catch (const SqlError &e) {
            if (e.kind() != SqlError::Kind::Conflict)
                throw;
            if (attempt >= kWriteAttempts)
                throw SqlError(std::string(e.what()) + " (gave up after " + std::to_string(attempt)
                                   + " attempts)",
                               SqlError::Kind::Conflict);
        }
    }
}

// The whole suite schema as one SQL script (portable SQL: the same text runs on PostgreSQL).
const std::string &schemaSql();
// The script as a dialect runs it (the one place where the dialects' schemas differ).
std::string schemaSql(const std::string &dialect);
// Runs schemaSql() in one transaction.
void createSchema(Connection &connection);
// PostgreSQL: the same server and credentials as uri, another database (a key-value connection string).
std::string withDatabaseName(const std::string &uri, const std::string &dbname);

// Whether the database holds the suite schema (its first table, FILIAL).
bool hasSchema(Connection &connection);

// A bulk load of `tables`, inside the caller's TxMode::Bulk transaction. On PostgreSQL the keys,
// foreign keys and indexes of the tables (and the foreign keys that point at them) are taken off when
// the load starts and put back by finish(), one build each instead of an update and a check per row;
// finish() then analyses them, so that the planner knows their new size (autovacuum would do it only
// later). On SQLite a load changes nothing but the rows. A load that ends without finish() must roll
// back (the transaction's rollback puts everything back).
class BulkLoad
{
public:
    BulkLoad(Connection &connection, const std::vector<std::string> &tables);
    void finish();

private:
    Connection &m_connection; // Not owned.
    std::vector<std::string> m_tables;
    std::vector<std::string> m_restore; // the statements that put back what was taken off, in order
};

} // namespace db
