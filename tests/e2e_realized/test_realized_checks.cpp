// The realized pages beyond what a scenario file states, beside the scenario files of
// tests/e2e_realized (run by tests/e2e/test_scenarios.cpp): the consumption sub-page against the
// daily table over a whole demo month, and the report module's array, which carries a key the
// server makes.

#include "tests/e2e/scenario.h"
#include "tests/e2e/scenariodb.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>


namespace {

std::string realizedFolder()
{
    return e2e::sourceDir() + "/tests/e2e_realized";
}

// The column of a field in a dataset dump; -1 when the dump has no such field.
int fieldIndex(const QJsonObject &dump, const QString &name)
{
    const QJsonArray fields = dump.value("fields").toArray();
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).toString() == name)
            return i;
    }
    return -1;
}

// On every day of the demo month, the consumption sub-page's type totals add up to the daily
// table's consumption cost of that day: the two are computed on different sides of the wire.
class DemoMonth : public ::testing::TestWithParam<e2e::Backend>
{
};
INSTANTIATE_TEST_SUITE_P(Backends, DemoMonth, ::testing::ValuesIn(e2e::backends()),
                         [](const auto &info) { return e2e::backendName(info.param); });

TEST_P(DemoMonth, ConsumptionTypeTotalsAddUpToTheDailyConsumptionCost)
{
    e2e::TestDatabase db(GetParam());
    ASSERT_TRUE(db.copyOf(e2e::demoMasterDb(GetParam())));
    e2e::DriverProcess driver({"--db", db.uri()});
    ASSERT_TRUE(driver.running());
    ASSERT_TRUE(e2e::AnswerOk(driver.send("open 0001 001 44 44 2026-03-16 2026-03-16 0 0002")));
    ASSERT_TRUE(e2e::AnswerOk(driver.send("page tshConsumoServico")));

    const QJsonObject daily = driver.send("dump qryTrabCusto");
    const int costColumn = fieldIndex(daily, "VRCUSTOCONS");
    ASSERT_GE(costColumn, 0) << "qryTrabCusto has no VRCUSTOCONS";
    const QJsonArray days = daily.value("rows").toArray();
    ASSERT_EQ(days.size(), 31);

    int daysWithConsumption = 0;
    for (int day = 1; day <= days.size(); ++day) {
        SCOPED_TRACE("day " + std::to_string(day));
        ASSERT_TRUE(e2e::AnswerOk(driver.send("move qryTrabCusto " + std::to_string(day))));
        const QJsonObject types = driver.send("dump cdsConsumo");
        const int totalColumn = fieldIndex(types, "CUSTOTOTAL");
        ASSERT_GE(totalColumn, 0);
        double sum = 0;
        for (const QJsonValue &row : types.value("rows").toArray())
            sum += row.toArray().at(totalColumn).toDouble();
        const double expected = days.at(day - 1).toArray().at(costColumn).toDouble();
        EXPECT_NEAR(sum, expected, 1e-6);
        if (expected != 0)
            ++daysWithConsumption;
    }
    // The demo kitchen consumes something on most days; a month of zeros would prove nothing.
    EXPECT_GT(daysWithConsumption, 15);
    EXPECT_TRUE(e2e::NoMessages(driver.send("messages")));
    EXPECT_EQ(driver.finish(), 0) << driver.errorOutput();
}

// The work-set key of the window, from the first GetProdCotDesatu call of a `calls` answer.
std::string workSetKey(const QJsonObject &calls)
{
    for (const QJsonValue &call : calls.value("calls").toArray()) {
        const QJsonObject c = call.toObject();
        if (c.value("method").toString() == "GetProdCotDesatu")
            return c.value("args").toArray().at(0).toString().toStdString();
    }
    return {};
}

// The print button hands KPV49700 the context and the work-set key behind a "1" on the outdated-quote
// page and a "0" on the zero-cost page. The key is made by the server, so the array is checked here
// rather than in a scenario file.
TEST(PrintButton, HandsTheListingOfThePageInFrontToTheReportModule)
{
    struct Case
    {
        const char *open;
        const char *arrayHead; // entries 0 to 5, JSON
        const char *costBranch; // entry 7, added after the seven the report always read
    };
    const Case cases[] = {
        {"open 0001 001 44 44 2026-03-16 2026-03-16 0 0002",
         R"(["0001", "001", 44, "2026-03-16", "2026-03-16", false)", "0002"},
        // A fixed reference date goes in entry 3 and the flag in entry 5.
        {"open 0001 001 44 44 2026-03-16 2026-03-20 1 0002",
         R"(["0001", "001", 44, "2026-03-20", "2026-03-16", true)", "0002"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.open);
        e2e::ScenarioDatabase wanted;
        wanted.fixtures = {"consumo.sql"};
        e2e::TestDatabase db(e2e::Backend::Sqlite);
        ASSERT_TRUE(e2e::makeScenarioDatabase(wanted, realizedFolder() + "/fixtures", db));
        e2e::DriverProcess driver({"--db", db.uri()});
        ASSERT_TRUE(driver.running());
        ASSERT_TRUE(e2e::AnswerOk(driver.send(c.open)));
        driver.send("calls");

        ASSERT_TRUE(e2e::AnswerOk(driver.send("page tshCotDesatu")));
        const std::string key = workSetKey(driver.send("calls"));
        ASSERT_EQ(key.size(), 10u) << "no work-set key in GetProdCotDesatu";
        ASSERT_TRUE(e2e::AnswerOk(driver.send("click sbtCustZero")));
        const std::string launch = R"({"launches": [{"code": "KPV49700", "args": )" + std::string(c.arrayHead);
        EXPECT_TRUE(e2e::JsonContains(launch + ", \"1" + key + "\", \"" + c.costBranch + "\"]}]}", driver.send("launches")));

        ASSERT_TRUE(e2e::AnswerOk(driver.send("page tshProdCustZero")));
        ASSERT_TRUE(e2e::AnswerOk(driver.send("click sbtCustZero")));
        EXPECT_TRUE(e2e::JsonContains(launch + ", \"0" + key + "\", \"" + c.costBranch + "\"]}]}", driver.send("launches")));
        EXPECT_TRUE(e2e::NoMessages(driver.send("messages")));
        EXPECT_EQ(driver.finish(), 0) << driver.errorOutput();
    }
}

} // namespace
