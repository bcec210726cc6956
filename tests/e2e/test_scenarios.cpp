// Runs every scenario file of tests/e2e/scenarios against the real driver, the real in-process
// server and a fresh demo database, on every back end.

#include "tests/e2e/scenario.h"
#include "tests/e2e/scenariodb.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string scenarioFolder()
{
    return e2e::sourceDir() + "/tests/e2e/scenarios";
}

class ScenarioFile : public ::testing::TestWithParam<e2e::BackendCase>
{
};

TEST_P(ScenarioFile, Passes)
{
    const auto &[file, backend] = GetParam();
    const e2e::Scenario scenario = e2e::loadScenario(file);
    ASSERT_FALSE(scenario.steps.empty()) << file << " has no command";

    // Each scenario gets its own copy of the demo month, since work sets are written to it.
    e2e::TestDatabase db(backend);
    ASSERT_TRUE(db.copyOf(e2e::demoMasterDb(backend)));

    std::vector<std::string> args = {"--db", db.uri()};
    args.insert(args.end(), scenario.driverArgs.begin(), scenario.driverArgs.end());
    e2e::DriverProcess driver(args);
    ASSERT_TRUE(driver.running());
    for (const std::string &failure : e2e::runScenario(scenario, driver))
        ADD_FAILURE() << failure;
    EXPECT_EQ(driver.finish(), 0) << driver.errorOutput();
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioFile,
                         ::testing::Combine(::testing::ValuesIn(e2e::scenarioFiles(scenarioFolder())),
                                            ::testing::ValuesIn(e2e::backends())),
                         e2e::backendCaseName);

} // namespace
