// Runs every scenario file of tests/e2e/scenarios against the real driver, the real in-process
// server and a fresh demo database.

#include "tests/e2e/scenario.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class DemoDatabase
{
public:
    // Made once for the run; each scenario gets its own copy, since work sets are written to it.
    static const std::string &master()
    {
        static e2e::TempDir dir;
        static const std::string path = [] {
            const std::string file = dir.file("demo.db");
            e2e::createDemoDb(file);
            return file;
        }();
        return path;
    }
};

std::string scenarioFolder()
{
    return e2e::sourceDir() + "/tests/e2e/scenarios";
}

class ScenarioFile : public ::testing::TestWithParam<std::string>
{
};

TEST_P(ScenarioFile, Passes)
{
    const e2e::Scenario scenario = e2e::loadScenario(GetParam());
    ASSERT_FALSE(scenario.steps.empty()) << GetParam() << " has no command";
    ASSERT_TRUE(std::filesystem::exists(DemoDatabase::master()));

    e2e::TempDir dir;
    const std::string db = dir.file("suite.db");
    std::filesystem::copy_file(DemoDatabase::master(), db);

    std::vector<std::string> args = {"--db", db};
    args.insert(args.end(), scenario.driverArgs.begin(), scenario.driverArgs.end());
    e2e::DriverProcess driver(args);
    ASSERT_TRUE(driver.running());
    for (const std::string &failure : e2e::runScenario(scenario, driver))
        ADD_FAILURE() << failure;
    EXPECT_EQ(driver.finish(), 0) << driver.errorOutput();
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioFile, ::testing::ValuesIn(e2e::scenarioFiles(scenarioFolder())),
                         e2e::scenarioCaseName);

} // namespace
