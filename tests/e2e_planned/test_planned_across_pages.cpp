// Across the planned pages on the demo database, beside the scenario files of tests/e2e_planned
// (run by tests/e2e/test_scenarios.cpp).

#include "tests/e2e/scenario.h"
#include "tests/e2e/scenariodb.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

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

} // namespace
