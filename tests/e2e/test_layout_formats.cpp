// The display formats of the daily grid as a user sees them: every cell of every day, against the
// pattern of its column's format in the Brazilian conventions.

#include "tests/e2e/scenario.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>

#include <map>

namespace {

TEST(LayoutFormats, DailyGridCellsFollowTheirColumnFormats)
{
    e2e::TempDir dir;
    const std::string db = dir.file("demo.db");
    ASSERT_TRUE(e2e::createDemoDb(db));
    e2e::DriverProcess driver({"--db", db});
    ASSERT_TRUE(e2e::AnswerOk(driver.send("open 0001 001 44 44 2026-03-16 2026-03-16 0 0002")));

    // "#,##0" and "#,##0.00000" with a thousands point and a decimal comma; the day as
    // dd/mm/yyyy, " - " and three letters of the weekday.
    const QRegularExpression integer(R"(^-?\d{1,3}(\.\d{3})*$)");
    const QRegularExpression fiveDecimals(R"(^-?\d{1,3}(\.\d{3})*,\d{5}$)");
    const QRegularExpression dayText(R"(^\d{2}/03/2026 - (dom|seg|ter|qua|qui|sex|sáb)$)");
    const std::map<QString, const QRegularExpression *> patterns = {
        {"DTDATA", &dayText},          {"QTCOMENSAIS", &integer},    {"VRCUSTPRODMAT", &fiveDecimals},
        {"VRCUSTOCONS", &fiveDecimals}, {"VRCUSTORAT", &fiveDecimals}, {"VRMATPERC", &fiveDecimals},
        {"VRCUSTOTOTAL", &fiveDecimals}, {"VRTOTPERC", &fiveDecimals}, {"VRCUSTOACU", &fiveDecimals},
        {"QTCOMESACU", &integer},      {"VRCUSTOMEDIO", &fiveDecimals}};

    const QJsonObject grid = driver.send("dump dbgTrabCusto");
    const QJsonArray columns = grid.value("columns").toArray();
    const QJsonArray rows = grid.value("rows").toArray();
    ASSERT_EQ(columns.size(), 11);
    ASSERT_EQ(rows.size(), 31);
    for (int r = 0; r < rows.size(); ++r) {
        const QJsonArray cells = rows[r].toArray();
        ASSERT_EQ(cells.size(), columns.size());
        for (int c = 0; c < cells.size(); ++c) {
            const QString field = columns[c].toObject().value("field").toString();
            const QString text = cells[c].toObject().value("text").toString();
            EXPECT_TRUE(patterns.at(field)->match(text).hasMatch())
                << "row " << r + 1 << " " << field.toStdString() << ": '" << text.toStdString() << "'";
            // Numbers end 2 pixels before the right edge. (The day text nearly fills its 110
            // pixels, so where it sits tells nothing.)
            if (field != "DTDATA")
                EXPECT_EQ(cells[c].toObject().value("align").toString().toStdString(), "right") << field.toStdString();
        }
    }
    EXPECT_TRUE(e2e::NoMessages(driver.send("messages")));
}

} // namespace
