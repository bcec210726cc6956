#include "tests/e2e/scenariodb.h"

#include "platform/database/sqldb.h"
#include "tests/e2e/scenario.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace e2e {

std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

ScenarioDatabase scenarioDatabase(const std::string &text)
{
    ScenarioDatabase wanted;
    std::istringstream in(text);
    std::string line;
    auto after = [&](const std::string &prefix, std::string &rest) {
        if (line.rfind(prefix, 0) != 0)
            return false;
        rest = line.substr(prefix.size());
        while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r'))
            rest.pop_back();
        return true;
    };
    while (std::getline(in, line)) {
        std::string rest;
        if (after("# database: ", rest))
            wanted.demo = rest == "demo";
        else if (after("# fixture: ", rest))
            wanted.fixtures.push_back(rest);
        else if (after("# sql: ", rest))
            wanted.statements.push_back(rest);
    }
    return wanted;
}

std::vector<Backend> backends()
{
    std::vector<Backend> list{Backend::Sqlite};
    const char *uri = std::getenv("COSTANALYSIS_PG_URI");
    if (uri && *uri)
        list.push_back(Backend::Postgres);
    return list;
}

std::string backendName(Backend backend)
{
    return backend == Backend::Postgres ? "postgresql" : "sqlite";
}

std::string backendCaseName(const ::testing::TestParamInfo<BackendCase> &info)
{
    const ::testing::TestParamInfo<std::string> file(std::get<0>(info.param), info.index);
    return scenarioCaseName(file) + "_" + backendName(std::get<1>(info.param));
}

namespace {

std::string pgAdminUri()
{
    const char *uri = std::getenv("COSTANALYSIS_PG_URI");
    return uri ? uri : "";
}

db::Connection &pgAdmin()
{
    static std::unique_ptr<db::Connection> connection = db::Connection::open(pgAdminUri());
    return *connection;
}

std::string pgUniqueName(const std::string &tag)
{
    static std::atomic<int> counter{0};
    return "e2e_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

void pgDrop(const std::string &name)
{
    try {
        pgAdmin().exec("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    } catch (const std::exception &e) {
        std::fprintf(stderr, "cannot drop test database %s: %s\n", name.c_str(), e.what());
    }
}

// A master database: demo-db with `options` into a file, or into a new PostgreSQL database; removed
// when the process ends.
class Master
{
public:
    Master(Backend backend, const std::string &tag, const std::vector<std::string> &options)
    {
        if (backend == Backend::Sqlite) {
            m_dir = std::make_unique<TempDir>();
            m_id = m_dir->file(tag + ".db");
            createDemoDb(m_id, options);
            return;
        }
        m_id = pgUniqueName(tag);
        pgAdmin().exec("CREATE DATABASE " + m_id);
        m_created = true;
        createDemoDb(db::withDatabaseName(pgAdminUri(), m_id), options);
    }
    ~Master()
    {
        if (m_created)
            pgDrop(m_id);
    }
    const std::string &id() const { return m_id; }

private:
    std::unique_ptr<TempDir> m_dir;
    std::string m_id;
    bool m_created = false;
};

} // namespace

TestDatabase::TestDatabase(Backend backend) : m_backend(backend)
{
    if (backend == Backend::Sqlite) {
        m_dir = std::make_unique<TempDir>();
        m_uri = m_dir->file("suite.db");
    } else {
        m_name = pgUniqueName("t");
        m_uri = db::withDatabaseName(pgAdminUri(), m_name);
    }
}

TestDatabase::~TestDatabase()
{
    if (!m_name.empty())
        pgDrop(m_name);
}

bool TestDatabase::copyOf(const std::string &master)
{
    try {
        if (m_backend == Backend::Sqlite)
            std::filesystem::copy_file(master, m_uri);
        else
            pgAdmin().exec("CREATE DATABASE " + m_name + " TEMPLATE " + master);
    } catch (const std::exception &e) {
        ADD_FAILURE() << "cannot copy the database " << master << ": " << e.what();
        return false;
    }
    return true;
}

const std::string &demoMasterDb(Backend backend)
{
    if (backend == Backend::Postgres) {
        static const Master master(backend, "demo", {"--scale", "small", "--month", "2026-03"});
        return master.id();
    }
    static const Master master(backend, "demo", {"--scale", "small", "--month", "2026-03"});
    return master.id();
}

const std::string &emptyMasterDb(Backend backend)
{
    if (backend == Backend::Postgres) {
        static const Master master(backend, "empty", {"--schema-only"});
        return master.id();
    }
    static const Master master(backend, "empty", {"--schema-only"});
    return master.id();
}

bool makeScenarioDatabase(const ScenarioDatabase &wanted, const std::string &fixturesFolder, TestDatabase &database)
{
    if (wanted.demo)
        return database.copyOf(demoMasterDb(database.backend()));
    if (wanted.fixtures.empty()) {
        ADD_FAILURE() << "the scenario names no database (# database: or # fixture: lines)";
        return false;
    }
    if (!database.copyOf(emptyMasterDb(database.backend())))
        return false;
    auto connection = db::Connection::open(database.uri(), db::OpenMode::ExistingOnly);
    for (const std::string &fixture : wanted.fixtures) {
        const std::string path = fixturesFolder + "/" + fixture;
        if (!std::filesystem::exists(path)) {
            ADD_FAILURE() << "no fixture " << path;
            return false;
        }
        connection->exec(readText(path));
    }
    for (const std::string &statement : wanted.statements)
        connection->exec(statement);
    return true;
}

} // namespace e2e
