#pragma once

// The suite database's SQL access layer. One interface for every dialect (SQLite now, PostgreSQL
// later): statements are plain SQL with named parameters ":NAME", results come back as data packets.
// A Connection is not thread-safe: open one per thread and never share it.

#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace db {

// Any failure of the database: opening, preparing, binding, running, converting a value.
class SqlError : public tk::Exception
{
public:
    using tk::Exception::Exception;
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
};

class Connection
{
public:
    // "path/to/file.db", "sqlite:path/to/file.db" or ":memory:". WAL mode, busy timeout 5 s,
    // foreign keys on.
    static std::unique_ptr<Connection> open(const std::string &uri,
                                            OpenMode mode = OpenMode::CreateIfMissing);

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

    // "sqlite" (later "postgresql"): for the rare statement that must differ.
    virtual std::string dialect() const = 0;
};

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

// The whole suite schema as one SQL script (portable SQL: the same text runs on PostgreSQL).
const std::string &schemaSql();
// Runs schemaSql() in one transaction.
void createSchema(Connection &connection);

} // namespace db
