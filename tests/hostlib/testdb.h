#pragma once

// A throw-away SQLite suite database for the host tests: a few small tables in a temporary file,
// installed as the host's shared database for the test's lifetime.

#include "platform/database/sqldb.h"

#include <memory>
#include <string>

namespace hosttest {

class TempSuiteDb
{
public:
    TempSuiteDb();
    ~TempSuiteDb();
    TempSuiteDb(const TempSuiteDb &) = delete;
    TempSuiteDb &operator=(const TempSuiteDb &) = delete;

    const std::string &path() const { return m_path; }
    // A second connection of the test's own, for writes behind the host's back.
    db::Connection &conn() { return *m_conn; }

private:
    std::string m_dir;
    std::string m_path;
    std::unique_ptr<db::Connection> m_conn;
};

} // namespace hosttest
