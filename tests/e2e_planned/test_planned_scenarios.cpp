// Runs every scenario file of tests/e2e_planned/scenarios against the real driver and server.
//
// Besides the runner's own syntax, a scenario names its database in comment lines:
//   # database: demo              the small demo database of March 2026 (made once per run)
//   # fixture: NAME.sql           an empty schema with fixtures/NAME.sql applied (several allowed,
//                                 applied in order)
//   # sql: STATEMENT;             one more statement applied after the fixtures
// A scenario without a database line is an error.
//
// Expectations are matched as in the runner's scenario files, with one addition: an empty object {}
// stands for any value (in a row, a column the case does not care about).
//
// The scenarios are split over two executables so that each stays short: PLANNED_PREFIXES names the
// file-name prefixes this one runs (comma-separated); PLANNED_WITH_DEMO adds the demo-database check.

#include "platform/database/sqldb.h"
#include "tests/e2e/scenario.h"
#include "tests/e2e/scenariodb.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string plannedFolder()
{
    return e2e::sourceDir() + "/tests/e2e_planned";
}

// The scenario files of this executable's groups, sorted by name.
std::vector<std::string> groupFiles()
{
    std::vector<std::string> prefixes;
    std::stringstream list(PLANNED_PREFIXES);
    for (std::string prefix; std::getline(list, prefix, ',');)
        prefixes.push_back(prefix);
    std::vector<std::string> files;
    for (const std::string &file : e2e::scenarioFiles(plannedFolder() + "/scenarios")) {
        const std::string name = std::filesystem::path(file).filename().string();
        for (const std::string &prefix : prefixes)
            if (name.rfind(prefix, 0) == 0) {
                files.push_back(file);
                break;
            }
    }
    return files;
}

// The expectation with every {} replaced by the value found at the same place in the answer, so
// that the runner's "contains" matching treats it as "anything".
QJsonValue relaxed(const QJsonValue &expected, const QJsonValue &actual)
{
    if (expected.isObject()) {
        const QJsonObject object = expected.toObject();
        if (object.isEmpty())
            return actual.isUndefined() ? expected : actual;
        if (!actual.isObject())
            return expected;
        QJsonObject result;
        const QJsonObject other = actual.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            result.insert(it.key(), relaxed(it.value(), other.value(it.key())));
        return result;
    }
    if (expected.isArray() && actual.isArray()) {
        const QJsonArray array = expected.toArray();
        const QJsonArray other = actual.toArray();
        QJsonArray result;
        for (qsizetype i = 0; i < array.size(); ++i)
            result.append(i < other.size() ? relaxed(array.at(i), other.at(i)) : array.at(i));
        return result;
    }
    return expected;
}

// Runs the steps like the runner does, with relaxed expectations; one failure per unmet expectation.
void runSteps(const e2e::Scenario &scenario, e2e::DriverProcess &driver)
{
    for (const e2e::ScenarioStep &step : scenario.steps) {
        const std::string where = scenario.path + ":" + std::to_string(step.line) + ": " + step.command;
        QJsonObject answer;
        std::string error;
        if (!driver.send(step.command, answer, error)) {
            ADD_FAILURE() << where << ": " << error;
            return;
        }
        bool namesOk = false;
        for (const QJsonValue &expectation : step.expectations) {
            namesOk = namesOk || (expectation.isObject() && expectation.toObject().contains("ok"));
            const ::testing::AssertionResult matched = e2e::JsonContains(relaxed(expectation, answer), answer);
            if (!matched)
                ADD_FAILURE() << where << ": " << matched.message();
        }
        if (!namesOk) {
            const ::testing::AssertionResult ok = e2e::AnswerOk(answer);
            if (!ok)
                ADD_FAILURE() << where << ": " << ok.message();
        }
    }
}

class PlannedScenario : public ::testing::TestWithParam<e2e::BackendCase>
{
};

TEST_P(PlannedScenario, Passes)
{
    const auto &[file, backend] = GetParam();
    const std::string text = e2e::readText(file);
    const e2e::Scenario scenario = e2e::parseScenario(text, file);
    ASSERT_FALSE(scenario.steps.empty()) << file << " has no command";

    e2e::TestDatabase db(backend);
    ASSERT_TRUE(e2e::makeScenarioDatabase(e2e::scenarioDatabase(text), plannedFolder() + "/fixtures", db));

    std::vector<std::string> args = {"--db", db.uri()};
    args.insert(args.end(), scenario.driverArgs.begin(), scenario.driverArgs.end());
    e2e::DriverProcess driver(args);
    ASSERT_TRUE(driver.running());
    runSteps(scenario, driver);
    EXPECT_EQ(driver.finish(), 0) << driver.errorOutput();
}

#ifdef PLANNED_WITH_DEMO
// Across pages on the demo database: for every day of March, the dishes the "Matéria Prima" page
// costs for that day add up to the day's raw-material cost in the daily table (the cost branch 0002
// prices both).
class PlannedDemo : public ::testing::TestWithParam<e2e::Backend>
{
};
INSTANTIATE_TEST_SUITE_P(Backends, PlannedDemo, ::testing::ValuesIn(e2e::backends()),
                         [](const auto &info) { return e2e::backendName(info.param); });

TEST_P(PlannedDemo, DishCostsAddUpToTheDailyMaterialCost)
{
    e2e::TestDatabase db(GetParam());
    ASSERT_TRUE(db.copyOf(e2e::demoMasterDb(GetParam())));
    e2e::DriverProcess driver({"--db", db.uri()});
    ASSERT_TRUE(driver.running());

    ASSERT_TRUE(e2e::JsonContains(R"({"ok": true, "window": true})",
                                  driver.send("open 0001 001 44 44 2026-03-16 2026-03-16 0 0002")));
    const QJsonObject daily = driver.send("dump qryTrabCusto");
    const QJsonArray fields = daily.value("fields").toArray();
    const int material = static_cast<int>(fields.toVariantList().indexOf("VRCUSTPRODMAT"));
    ASSERT_GE(material, 0);
    const QJsonArray days = daily.value("rows").toArray();
    ASSERT_EQ(days.size(), 31);

    ASSERT_TRUE(e2e::AnswerOk(driver.send("page tshMatPrima")));
    int daysWithDishes = 0;
    for (int day = 1; day <= days.size(); ++day) {
        ASSERT_TRUE(e2e::AnswerOk(driver.send("move qryTrabCusto " + std::to_string(day))));
        const QJsonObject dishes = driver.send("dump qryCardapio");
        const int custoPrato =
            static_cast<int>(dishes.value("fields").toArray().toVariantList().indexOf("CustoPrato"));
        ASSERT_GE(custoPrato, 0);
        double sum = 0;
        const QJsonArray rows = dishes.value("rows").toArray();
        for (const QJsonValue &row : rows)
            sum += row.toArray().at(custoPrato).toDouble(); // an uncosted dish (null) adds 0
        if (!rows.isEmpty())
            ++daysWithDishes;
        const double expected = days.at(day - 1).toArray().at(material).toDouble();
        EXPECT_NEAR(sum, expected, 5e-6) << "day " << day << ", " << rows.size() << " dishes";
    }
    EXPECT_GE(daysWithDishes, 20) << "the demo month should have menus on most days";
    EXPECT_TRUE(e2e::NoMessages(driver.send("messages")));
    EXPECT_EQ(driver.finish(), 0) << driver.errorOutput();
}
#endif

INSTANTIATE_TEST_SUITE_P(Planned, PlannedScenario,
                         ::testing::Combine(::testing::ValuesIn(groupFiles()), ::testing::ValuesIn(e2e::backends())),
                         e2e::backendCaseName);

} // namespace
