#pragma once

// The database a scenario file names in its comment lines:
//   "# database: demo"   a copy of the demo month (demo-db --scale small --month 2026-03)
//   "# fixture: X.sql"   an empty schema (demo-db --schema-only) with the fixture's statements applied
//   "# sql: STATEMENT"   one more statement, after the fixtures
// so that every scenario states exactly the data its figures were computed from.

#include <string>
#include <vector>

namespace e2e {

struct ScenarioDatabase
{
    bool demo = false;
    std::vector<std::string> fixtures;   // file names in the fixtures folder
    std::vector<std::string> statements; // "# sql:" lines
};

ScenarioDatabase scenarioDatabase(const std::string &scenarioText);

// The demo month and the empty schema, each made once per process and copied for every scenario.
const std::string &demoMasterDb();
const std::string &emptyMasterDb();

// Makes the scenario's database at `file`; false, with a test failure, when it cannot.
bool makeScenarioDatabase(const ScenarioDatabase &wanted, const std::string &fixturesFolder, const std::string &file);

std::string readText(const std::string &path);

} // namespace e2e
