#pragma once

// The database a scenario file names in its comment lines:
//   "# database: demo"   a copy of the demo month (demo-db --scale small --month 2026-03)
//   "# fixture: X.sql"   an empty schema (demo-db --schema-only) with the fixture's statements applied
//   "# sql: STATEMENT"   one more statement, after the fixtures
// so that every scenario states exactly the data its figures were computed from. Each test gets its own
// database on each back end the run has: SQLite always, PostgreSQL when COSTANALYSIS_PG_URI names a
// server (a database there the tests may create and drop databases from).

#include "tests/e2e/scenario.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace e2e {

struct ScenarioDatabase
{
    bool demo = false;
    std::vector<std::string> fixtures;   // file names in the fixtures folder
    std::vector<std::string> statements; // "# sql:" lines
};

ScenarioDatabase scenarioDatabase(const std::string &scenarioText);

enum class Backend { Sqlite, Postgres };
std::vector<Backend> backends();
std::string backendName(Backend backend);
// A scenario file on one back end, as a test parameter: "name_sqlite", "name_postgresql".
using BackendCase = std::tuple<std::string, Backend>;
std::string backendCaseName(const ::testing::TestParamInfo<BackendCase> &info);

// One test's database, removed at the end: a file in a folder of its own, or a PostgreSQL database of
// its own (a copy of a template database, made by the server in one statement).
class TestDatabase
{
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;
    // What --db takes: the file or the connection string.
    const std::string &uri() const { return m_uri; }
    Backend backend() const { return m_backend; }
    // Makes it a copy of the master database (a file, or a PostgreSQL database name).
    bool copyOf(const std::string &master);

private:
    Backend m_backend;
    std::string m_uri;
    std::string m_name; // PostgreSQL database name
    std::unique_ptr<TempDir> m_dir;
};

// The demo month and the empty schema, each made once per process and back end: a file, or the name
// of a PostgreSQL database.
const std::string &demoMasterDb(Backend backend = Backend::Sqlite);
const std::string &emptyMasterDb(Backend backend = Backend::Sqlite);

// Makes the scenario's database; false, with a test failure, when it cannot.
bool makeScenarioDatabase(const ScenarioDatabase &wanted, const std::string &fixturesFolder, TestDatabase &database);

std::string readText(const std::string &path);

} // namespace e2e
