// The display formats of the daily grid as a user sees them: every cell of every day, against the
// pattern of its column's format in the Brazilian conventions.

#include "tests/e2e/scenario.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

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

namespace {

struct Box
{
    int left, top, width, height, needed;
    bool looksEnabled, readOnly;
};

Box boxOf(const QJsonObject &o)
{
    return {o.value("left").toInt(), o.value("top").toInt(), o.value("width").toInt(), o.value("height").toInt(),
            o.value("neededHeight").toInt(), o.value("looksEnabled").toBool(), o.value("readOnly").toBool()};
}

// The summary panel as a user reads it: in every group box each number box is at least as high as
// its number needs and lies inside the box; in "Dia" (grbCustTotaDia) the rows are the figures and
// the columns "Planejado" and "Realizado"; the read-only boxes do not look greyed, and only the
// realized items the window disables do.
void checkSummaryPanel(e2e::DriverProcess &driver, const std::string &size)
{
    SCOPED_TRACE(size);
    const std::vector<std::pair<std::string, std::vector<std::string>>> groups = {
        {"grbCustTotaDia", {"nedMatPriCardPlan", "nedConsCardPlan", "nedCustoCardPlan", "nedCustoCardReal"}},
        {"grbCustoDia",
         {"nedMatPriPerc", "nedMatPriMes", "nedConsPerc", "nedConsMes", "nedPercDia", "nedTotalMes", "nedPadrPerc",
          "nedPadrMens", "nedSaldoPerc", "nedSaldoMes"}},
        {"grbCustoAcum",
         {"nedMatPriAcuPlan", "nedConsAcuPlan", "nedTotalTAcum", "nedTotalRAcum", "nedEstimados", "nedEfetivos",
          "nedPuMedioTeor", "nedPuMedioReal"}},
    };
    for (const auto &[group, edits] : groups) {
        const QJsonObject g = driver.send("dump " + group);
        EXPECT_TRUE(g.value("looksEnabled").toBool()) << group;
        for (const std::string &name : edits) {
            const Box b = boxOf(driver.send("dump " + name));
            EXPECT_GE(b.height, b.needed) << name << " is squashed";
            EXPECT_GE(b.top, 0) << name;
            EXPECT_LE(b.top + b.height, g.value("height").toInt()) << name << " leaves its box";
            EXPECT_LE(b.left + b.width, g.value("width").toInt()) << name << " leaves its box";
            EXPECT_TRUE(b.readOnly) << name;
        }
    }
    const Box mat = boxOf(driver.send("dump nedMatPriCardPlan"));
    const Box cons = boxOf(driver.send("dump nedConsCardPlan"));
    const Box plan = boxOf(driver.send("dump nedCustoCardPlan"));
    const Box real = boxOf(driver.send("dump nedCustoCardReal"));
    EXPECT_EQ(mat.left, cons.left);
    EXPECT_EQ(mat.left, plan.left) << "the planned figures are one column";
    EXPECT_LT(mat.top + mat.height, cons.top + 1);
    EXPECT_LT(cons.top + cons.height, plan.top + 1) << "one row per figure";
    EXPECT_EQ(real.top, plan.top) << "the realized total beside the planned one";
    EXPECT_GE(real.left, plan.left + plan.width);
    // The groups do not overlap each other inside the panel.
    const QJsonObject dia = driver.send("dump grbCustTotaDia");
    const QJsonObject custoDia = driver.send("dump grbCustoDia");
    const QJsonObject acum = driver.send("dump grbCustoAcum");
    const QJsonObject graficos = driver.send("dump grbGraficos");
    EXPECT_LE(dia.value("top").toInt() + dia.value("height").toInt(), acum.value("top").toInt());
    EXPECT_LE(graficos.value("top").toInt() + graficos.value("height").toInt(), custoDia.value("top").toInt());
    EXPECT_LE(custoDia.value("left").toInt() + custoDia.value("width").toInt(), acum.value("left").toInt());
    const QJsonObject sub = driver.send("dump subPanCusto");
    EXPECT_LE(acum.value("top").toInt() + acum.value("height").toInt(), sub.value("height").toInt());
    EXPECT_LE(custoDia.value("top").toInt() + custoDia.value("height").toInt(), sub.value("height").toInt());
}

void checkSummaryAtSizes()
{
    e2e::TempDir dir;
    const std::string db = dir.file("demo.db");
    ASSERT_TRUE(e2e::createDemoDb(db));
    e2e::DriverProcess driver({"--db", db});
    ASSERT_TRUE(e2e::AnswerOk(driver.send("open 0001 001 44 44 2026-03-16 2026-03-16 0 0002")));
    ASSERT_TRUE(e2e::AnswerOk(driver.send("click sbtCustos")));
    // On "Realizado", a day before the processing date: the realized figures are enabled.
    ASSERT_TRUE(e2e::AnswerOk(driver.send("page tshRealizado")));
    ASSERT_TRUE(e2e::AnswerOk(driver.send("move qryRealizado 2")));
    checkSummaryPanel(driver, "875x529 (restored to the default size)");
    EXPECT_TRUE(driver.send("dump nedCustoCardReal").value("looksEnabled").toBool())
        << "an enabled realized figure looks enabled";
    EXPECT_TRUE(driver.send("dump lblRealizado").value("looksEnabled").toBool());
    ASSERT_TRUE(e2e::AnswerOk(driver.send("resize 900 700")));
    checkSummaryPanel(driver, "900x700");
    ASSERT_TRUE(e2e::AnswerOk(driver.send("maximize")));
    checkSummaryPanel(driver, "maximized");
    // Back on the planned page the realized items are disabled, and look it.
    ASSERT_TRUE(e2e::AnswerOk(driver.send("page tshPlanejado")));
    EXPECT_FALSE(driver.send("dump nedCustoCardReal").value("looksEnabled").toBool());
    EXPECT_TRUE(driver.send("dump nedCustoCardPlan").value("looksEnabled").toBool());
    EXPECT_TRUE(e2e::NoMessages(driver.send("messages")));
}

TEST(LayoutSummaryPanel, EveryNumberBoxReadableAndOnlyDisabledItemsGrey)
{
    checkSummaryAtSizes();
}

TEST(LayoutSummaryPanel, ReadableAtTwiceTheScale)
{
    setenv("QT_SCALE_FACTOR", "2", 1);
    checkSummaryAtSizes();
    unsetenv("QT_SCALE_FACTOR");
}

} // namespace
