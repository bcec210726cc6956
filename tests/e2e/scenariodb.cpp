#include "tests/e2e/scenariodb.h"

#include "platform/database/sqldb.h"
#include "tests/e2e/scenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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

const std::string &demoMasterDb()
{
    static e2e::TempDir dir;
    static const std::string path = [] {
        const std::string file = dir.file("demo.db");
        e2e::createDemoDb(file, {"--scale", "small", "--month", "2026-03"});
        return file;
    }();
    return path;
}

const std::string &emptyMasterDb()
{
    static e2e::TempDir dir;
    static const std::string path = [] {
        const std::string file = dir.file("empty.db");
        e2e::createDemoDb(file, {"--schema-only"});
        return file;
    }();
    return path;
}

bool makeScenarioDatabase(const ScenarioDatabase &wanted, const std::string &fixturesFolder, const std::string &file)
{
    if (wanted.demo) {
        std::filesystem::copy_file(demoMasterDb(), file);
        return true;
    }
    if (wanted.fixtures.empty()) {
        ADD_FAILURE() << "the scenario names no database (# database: or # fixture: lines)";
        return false;
    }
    std::filesystem::copy_file(emptyMasterDb(), file);
    auto connection = db::Connection::open(file, db::OpenMode::ExistingOnly);
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
