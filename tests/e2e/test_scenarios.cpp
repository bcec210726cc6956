// The one runner of scenario files: every *.scn file of a folder against the real driver and its
// in-process server, each on every back end over the database the file names (# database: demo, or
// # fixture: lines and # sql: statements; see scenariodb.h). Expectations are matched by
// e2e::answerContains.
//
// Each test target compiles this file with its folder:
//   SCENARIO_FOLDER     the scenario folder, from the source folder ("tests/e2e/scenarios")
//   SCENARIO_FIXTURES   the folder of the fixtures its files name ("" when they name none)
//   SCENARIO_PREFIXES   optional: the file-name prefixes it runs, comma-separated, so that one folder
//                       can be split over several executables

#include "tests/e2e/scenario.h"
#include "tests/e2e/scenariodb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace {

std::string fromSource(const std::string &folder)
{
    return folder.empty() ? folder : e2e::sourceDir() + "/" + folder;
}

// The scenario files of this target, sorted by name.
std::vector<std::string> targetFiles()
{
    std::vector<std::string> files = e2e::scenarioFiles(fromSource(SCENARIO_FOLDER));
#ifdef SCENARIO_PREFIXES
    std::vector<std::string> prefixes;
    std::stringstream list(SCENARIO_PREFIXES);
    for (std::string prefix; std::getline(list, prefix, ',');)
        prefixes.push_back(prefix);
    std::erase_if(files, [&](const std::string &file) {
        const std::string name = std::filesystem::path(file).filename().string();
        return std::none_of(prefixes.begin(), prefixes.end(),
                            [&](const std::string &prefix) { return name.rfind(prefix, 0) == 0; });
    });
#endif
    return files;
}

class ScenarioFile : public ::testing::TestWithParam<e2e::BackendCase>
{
};

TEST_P(ScenarioFile, Passes)
{
    const auto &[file, backend] = GetParam();
    const std::string text = e2e::readText(file);
    const e2e::Scenario scenario = e2e::parseScenario(text, file);
    ASSERT_FALSE(scenario.steps.empty()) << file << " has no command";

    // Each scenario gets a database of its own, since work sets are written to it.
    e2e::TestDatabase db(backend);
    ASSERT_TRUE(e2e::makeScenarioDatabase(e2e::scenarioDatabase(text), fromSource(SCENARIO_FIXTURES), db));

    std::vector<std::string> args = {"--db", db.uri()};
    args.insert(args.end(), scenario.driverArgs.begin(), scenario.driverArgs.end());
    e2e::DriverProcess driver(args);
    ASSERT_TRUE(driver.running());
    for (const std::string &failure : e2e::runScenario(scenario, driver))
        ADD_FAILURE() << failure;
    EXPECT_EQ(driver.finish(), 0) << driver.errorOutput();
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioFile,
                         ::testing::Combine(::testing::ValuesIn(targetFiles()), ::testing::ValuesIn(e2e::backends())),
                         e2e::backendCaseName);

} // namespace
