#pragma once

// TADOIBQuery: a local SQL query over the suite database. Its SQL is given as lines, its named
// parameters (":NAME", one name may occur several times) are set with ParamByName, and Open loads
// the result into the dataset it is.

#include "platform/toolkit/data/dataset.h"

#include <memory>
#include <string>
#include <vector>

namespace db {
class Connection;
}

namespace host {

// The SQL text of a query, as a list of lines.
class TSQLLines
{
public:
    void Clear();
    void Add(const std::string &line);
    void SetText(const std::string &text); // split on '\n'
    std::string Text() const;              // lines joined with '\n'
    int Count() const { return static_cast<int>(m_lines.size()); }
    const std::string &operator[](int index) const { return m_lines.at(static_cast<size_t>(index)); }
    // Changes with every edit, so the query knows when to parse its parameters again.
    uint64_t Revision() const { return m_revision; }

private:
    std::vector<std::string> m_lines;
    uint64_t m_revision = 0;
};

class TParam
{
public:
    explicit TParam(std::string name) : m_name(std::move(name)) {}

    const std::string &Name() const { return m_name; }
    void SetAsString(const std::string &value) { SetValue(tk::Variant(value)); }
    void SetAsFloat(double value) { SetValue(tk::Variant(value)); }
    void SetAsInteger(int32_t value) { SetValue(tk::Variant(value)); }
    // The date part only (midnight), bound as a date.
    void SetAsDate(tk::TDateTime value);
    void SetAsDateTime(tk::TDateTime value);
    void SetAsBoolean(bool value) { SetValue(tk::Variant(value)); }
    // An explicit Null binds SQL NULL; a parameter never set is an error at Open.
    void SetValue(const tk::Variant &value);
    void Clear();
    const tk::Variant &Value() const { return m_value; }
    bool Assigned() const { return m_assigned; }

private:
    std::string m_name;
    tk::Variant m_value;
    bool m_assigned = false;
};

class TADOIBQuery : public tk::TClientDataSet
{
public:
    explicit TADOIBQuery(std::string name = {});
    ~TADOIBQuery() override;

    TSQLLines &SQL() { return m_sql; }
    const TSQLLines &SQL() const { return m_sql; }

    // The parameter of that name in the SQL (case-insensitive). EHostError when the SQL has none.
    // Values (and the object) survive a change of the SQL for the names that remain.
    TParam &ParamByName(const std::string &name);
    // Parameter names in order of first occurrence, as written in the SQL.
    std::vector<std::string> ParamNames();

    // The connection used by Open; nullptr (the default) uses host::SharedDatabase(). Not owned.
    void SetConnection(db::Connection *connection) { m_connection = connection; }

    // Runs the SQL with every parameter and loads the rows (TClientDataSet::SetData). Does nothing
    // when the query is already open (Close first to run it again). EHostError for an empty SQL or
    // a parameter without a value (naming it), or a database error (with the query's name).
    void Open();
    int GetRecordCount() const { return RecordCount(); }

    // The SQL as sent to the database: every parameter written in upper case, so that all
    // occurrences of a name bind the same value whatever their spelling.
    std::string PreparedSQL();

private:
    void parseIfNeeded();

    TSQLLines m_sql;
    uint64_t m_parsedRevision = ~uint64_t(0);
    std::string m_preparedSql;
    std::vector<std::unique_ptr<TParam>> m_params; // Owned. In order of first occurrence.
    db::Connection *m_connection = nullptr; // Not owned.
};

} // namespace host
