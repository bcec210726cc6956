// The window's figures taken out, read back by readers that share nothing with the program
// (openpyxl and Python's csv module under Debian's /usr/bin/python3, pdfinfo) and compared with
// the window's own datasets for the small demo month: every sheet, every row. Also the copy of a
// selection in the real window, printing, cancelling a month export and cost-export.

#include "tests/e2e/scenario.h"
#include "tests/e2e/scenariodb.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

namespace {

using e2e::DriverProcess;
using e2e::TempDir;

const char *kOpen = "open 0001 001 44 44 2026-03-16 2026-03-16 0";

QJsonObject readBack(const std::vector<std::string> &args)
{
    std::vector<std::string> argv = {"/usr/bin/python3", e2e::sourceDir() + "/tests/e2e/readback.py"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string output;
    const int status = e2e::runProgram(argv, &output);
    EXPECT_EQ(status, 0) << output;
    const size_t brace = output.find('{');
    return QJsonDocument::fromJson(QByteArray::fromStdString(brace == std::string::npos ? "" : output.substr(brace)))
        .object();
}

std::map<QString, QJsonArray> sheetsOf(const QJsonObject &book)
{
    std::map<QString, QJsonArray> out;
    for (const QJsonValue &s : book["sheets"].toArray())
        out[s.toObject()["name"].toString()] = s.toObject()["rows"].toArray();
    return out;
}

std::vector<QString> sheetNames(const QJsonObject &book)
{
    std::vector<QString> out;
    for (const QJsonValue &s : book["sheets"].toArray())
        out.push_back(s.toObject()["name"].toString());
    return out;
}

bool sameNumber(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

// The cell of an exported sheet against the dataset's value and the grid's painted text.
void expectCell(const QJsonObject &cell, const QJsonValue &value, const QString &painted, const std::string &where)
{
    const QString t = cell["t"].toString();
    if (value.isNull() || value.isUndefined()) {
        if (t == "s")
            EXPECT_EQ(cell["v"].toString(), painted) << where;
        else
            EXPECT_EQ(t, "e") << where;
        return;
    }
    if (value.isDouble()) {
        ASSERT_EQ(t, "n") << where;
        EXPECT_TRUE(sameNumber(cell["v"].toDouble(), value.toDouble()))
            << where << ": " << cell["v"].toDouble() << " exported, " << value.toDouble() << " in the window";
        return;
    }
    if (value.isBool()) {
        EXPECT_EQ(t, "b") << where;
        return;
    }
    if (t == "d") {
        EXPECT_EQ(cell["v"].toString().left(10), value.toString().left(10)) << where;
        return;
    }
    if (painted.isEmpty())
        EXPECT_EQ(t, "e") << where;
    else
        EXPECT_EQ(cell["v"].toString(), painted) << where;
}

// Compares `count` rows of a sheet from row `next` on (after `lead` leading cells) with a grid's
// dump and its dataset's dump; `next` moves past them.
void expectRows(const QJsonArray &sheet, int &next, int lead, const QJsonObject &grid, const QJsonObject &ds,
                const std::string &where)
{
    std::map<QString, int> fieldIndex;
    const QJsonArray fields = ds["fields"].toArray();
    for (int i = 0; i < fields.size(); ++i)
        fieldIndex[fields[i].toString().toUpper()] = i;
    struct Col
    {
        int gridCol;
        int field;
    };
    std::vector<Col> cols;
    const QJsonArray columns = grid["columns"].toArray();
    for (int c = 0; c < columns.size(); ++c) {
        const QJsonObject col = columns[c].toObject();
        const auto f = fieldIndex.find(col["field"].toString().toUpper());
        if (col["visible"].toBool() && f != fieldIndex.end())
            cols.push_back({c, f->second});
    }
    const QJsonArray dsRows = ds["rows"].toArray();
    const QJsonArray gridRows = grid["rows"].toArray();
    ASSERT_EQ(dsRows.size(), gridRows.size()) << where;
    for (int r = 0; r < dsRows.size(); ++r, ++next) {
        ASSERT_LT(next, sheet.size()) << where << ": the sheet ends before row " << r + 1;
        const QJsonArray cells = sheet[next].toArray();
        ASSERT_EQ(cells.size(), lead + int(cols.size())) << where << " row " << r + 1;
        for (size_t c = 0; c < cols.size(); ++c) {
            const QString painted = gridRows[r].toArray()[cols[c].gridCol].toObject()["text"].toString();
            expectCell(cells[lead + int(c)].toObject(), dsRows[r].toArray()[cols[c].field], painted,
                       where + " row " + std::to_string(r + 1) + " column "
                           + columns[cols[c].gridCol].toObject()["title"].toString().toStdString());
        }
    }
}

QJsonValue field(const QJsonObject &ds, int row, const char *name)
{
    const QJsonArray fields = ds["fields"].toArray();
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].toString().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return ds["rows"].toArray()[row].toArray()[i];
    }
    return QJsonValue(QJsonValue::Undefined);
}

class Export : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = dir.file("suite.db");
        std::filesystem::copy_file(e2e::demoMasterDb(), db);
    }
    TempDir dir;
    std::string db;
};

TEST_F(Export, MonthWorkbookHoldsTheWindowsFiguresEverySheetEveryRow)
{
    DriverProcess driver({"--db", db});
    ASSERT_TRUE(e2e::AnswerOk(driver.send(kOpen)));
    driver.send("move qryTrabCusto 16");
    const std::string path = dir.file("mes.xlsx");
    const QJsonObject exported = driver.send("exportmonth " + path);
    ASSERT_TRUE(e2e::JsonContains(R"({"cancelled": false, "steps": 66, "total": 66})", exported));
    // The window is as it was: the day and the pages.
    EXPECT_TRUE(e2e::JsonContains(R"({"recno": 16})", driver.send("dump qryTrabCusto")));
    EXPECT_TRUE(e2e::JsonContains(R"({"active": "tshAnaCusto"})", driver.send("dump pgcPlanejado")));
    EXPECT_TRUE(e2e::JsonContains(R"({"active": "tshPlanejado"})", driver.send("dump pgcPadrao")));

    const QJsonObject book = readBack({path});
    EXPECT_EQ(sheetNames(book),
              (std::vector<QString>{"Parâmetros", "Dias", "Pratos", "Ingredientes", "Consumo por Tipo", "Consumo",
                                    "Realizado", "Planejado x Realizado", "Produtos Custo Zero",
                                    "Cotação Desatualizada"}));
    for (const QJsonValue &s : book["sheets"].toArray())
        EXPECT_EQ(s.toObject()["frozen"].toString(), "A2") << s.toObject()["name"].toString().toStdString();
    auto sheets = sheetsOf(book);

    const QJsonArray params = sheets["Parâmetros"][1].toArray();
    EXPECT_EQ(params[0].toObject()["v"].toString(), "0001");
    EXPECT_EQ(params[1].toObject()["v"].toString(), "001");
    EXPECT_EQ(params[3].toObject()["v"].toString(), "2026-03-01 00:00:00");
    EXPECT_EQ(params[4].toObject()["v"].toDouble(), 44);
    const QJsonObject padrao = driver.send("dump nedCustoPadrao");
    EXPECT_TRUE(sameNumber(params[7].toObject()["v"].toDouble(), padrao["value"].toDouble()));
    EXPECT_EQ(params[7].toObject()["f"].toString(), "#,##0.00000");

    // The daily table, its captions bold, its 5-decimal format kept, then the month totals.
    const QJsonObject trab = driver.send("dump qryTrabCusto");
    const QJsonObject trabGrid = driver.send("dump dbgTrabCusto");
    const QJsonArray dias = sheets["Dias"];
    EXPECT_EQ(dias[0].toArray()[2].toObject()["v"].toString(), "Matéria Prima");
    EXPECT_TRUE(dias[0].toArray()[2].toObject()["bold"].toBool());
    EXPECT_EQ(dias[1].toArray()[2].toObject()["f"].toString(), "#,##0.00000");
    int next = 1;
    expectRows(dias, next, 0, trabGrid, trab, "Dias");
    ASSERT_EQ(dias.size(), next + 1);
    const QJsonArray total = dias[next].toArray();
    const QJsonObject totalMes = driver.send("dump cdsTotalMes");
    EXPECT_EQ(total[0].toObject()["v"].toString(), "Total do mês");
    EXPECT_TRUE(total[2].toObject()["bold"].toBool());
    EXPECT_TRUE(sameNumber(total[2].toObject()["v"].toDouble(), field(totalMes, 0, "VRTOTMATPRIM").toDouble()));
    EXPECT_TRUE(sameNumber(total[3].toObject()["v"].toDouble(), field(totalMes, 0, "VRTOTCONS").toDouble()));
    EXPECT_TRUE(sameNumber(total[8].toObject()["v"].toDouble(), field(trab, 30, "VRCUSTOACU").toDouble()));

    // Dishes and ingredients of every day, as the raw-material page shows them day by day.
    ASSERT_TRUE(e2e::JsonContains(R"({"selected": true})", driver.send("page tshMatPrima")));
    int nextDish = 1, nextIngredient = 1;
    for (int d = 1; d <= 31; ++d) {
        driver.send("move qryTrabCusto " + std::to_string(d));
        const QString day = field(trab, d - 1, "DTDATA").toString();
        const QJsonObject dishes = driver.send("dump qryCardapio");
        const int first = nextDish;
        expectRows(sheets["Pratos"], nextDish, 1, driver.send("dump dbgCardapio"), dishes, "Pratos day " + std::to_string(d));
        for (int r = first; r < nextDish; ++r)
            EXPECT_EQ(sheets["Pratos"][r].toArray()[0].toObject()["v"].toString().left(10), day.left(10));
        for (int k = 1; k <= dishes["recordCount"].toInt(); ++k) {
            driver.send("move qryCardapio " + std::to_string(k));
            const int from = nextIngredient;
            expectRows(sheets["Ingredientes"], nextIngredient, 2, driver.send("dump dbgPrato"),
                       driver.send("dump qryProduto"), "Ingredientes day " + std::to_string(d) + " dish " + std::to_string(k));
            for (int r = from; r < nextIngredient; ++r)
                EXPECT_EQ(sheets["Ingredientes"][r].toArray()[1].toObject()["v"].toString(),
                          field(dishes, k - 1, "NMPRATO").toString());
        }
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(nextDish, sheets["Pratos"].size());
    EXPECT_EQ(nextIngredient, sheets["Ingredientes"].size());
    EXPECT_GT(nextIngredient, 100);

    // Consumption of every day: the types, and the items of each type.
    ASSERT_TRUE(e2e::JsonContains(R"({"selected": true})", driver.send("page tshConsumoServico")));
    int nextType = 1, nextItem = 1;
    for (int d = 1; d <= 31; ++d) {
        driver.send("move qryTrabCusto " + std::to_string(d));
        const QJsonObject types = driver.send("dump cdsConsumo");
        expectRows(sheets["Consumo por Tipo"], nextType, 1, driver.send("dump dbgTipoCons"), types,
                   "Consumo por Tipo day " + std::to_string(d));
        for (int k = 1; k <= types["recordCount"].toInt(); ++k) {
            driver.send("move cdsConsumo " + std::to_string(k));
            expectRows(sheets["Consumo"], nextItem, 2, driver.send("dump dbgConsPerc"), driver.send("dump qryConsServ"),
                       "Consumo day " + std::to_string(d) + " type " + std::to_string(k));
        }
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(nextType, sheets["Consumo por Tipo"].size());
    EXPECT_EQ(nextItem, sheets["Consumo"].size());

    // The other pages.
    const struct
    {
        const char *page, *grid, *dataset, *sheet;
    } pages[] = {{"tshRealizado", "dbgRealizado", "qryRealizado", "Realizado"},
                 {"tshPlanReal", "dbgPlanReal", "cdsPlanReal", "Planejado x Realizado"},
                 {"tshProdCustZero", "dbgCustZero", "cdsProdCustZero", "Produtos Custo Zero"},
                 {"tshCotDesatu", "dbgCotDesatu", "cdsProdCotDesatu", "Cotação Desatualizada"}};
    for (const auto &p : pages) {
        driver.send(std::string("page ") + p.page);
        int row = 1;
        expectRows(sheets[p.sheet], row, 0, driver.send(std::string("dump ") + p.grid),
                   driver.send(std::string("dump ") + p.dataset), p.sheet);
        EXPECT_EQ(row, sheets[p.sheet].size()) << p.sheet;
        EXPECT_GT(row, 1) << p.sheet;
    }
    EXPECT_TRUE(e2e::NoMessages(driver.send("messages")));

    // cost-export computes the same workbook through the same window.
    const std::string cli = dir.file("cli.xlsx");
    std::string output;
    ASSERT_EQ(e2e::runProgram({e2e::binDir() + "/cost-export", "--db", db, "--branch", "0001", "--service", "001",
                               "--month", "2026-03", "--cost-type", "44", "--out", cli},
                              &output, std::chrono::seconds(120)),
              0)
        << output;
    auto again = sheetsOf(readBack({cli}));
    ASSERT_EQ(again.size(), sheets.size());
    for (const auto &[name, rows] : sheets) {
        QJsonArray a = rows, b = again[name];
        if (name == "Parâmetros") { // the moment of export differs
            QJsonArray ra = a[1].toArray(), rb = b[1].toArray();
            ra.removeLast();
            rb.removeLast();
            a[1] = ra;
            b[1] = rb;
        }
        EXPECT_EQ(a, b) << name.toStdString();
    }
}

// With the indicators on, the workbook adds the days' confidence, the products it rests on and the
// variance split, each with the window's figures, and the month's line under the days.
TEST_F(Export, MonthWorkbookCarriesTheIndicators)
{
    DriverProcess driver({"--db", db, "--indicadores", "5"});
    ASSERT_TRUE(e2e::AnswerOk(driver.send(kOpen)));
    ASSERT_TRUE(e2e::AnswerOk(driver.send("page tshPlanReal")));
    const std::string path = dir.file("indicadores.xlsx");
    ASSERT_TRUE(e2e::AnswerOk(driver.send("exportmonth " + path)));
    const QJsonObject book = readBack({path});
    const std::vector<QString> names = sheetNames(book);
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(std::vector<QString>(names.end() - 3, names.end()),
              (std::vector<QString>{"Confiança", "Confiança por Produto", "Decomposição da Variação"}));
    auto sheets = sheetsOf(book);

    const struct
    {
        const char *sheet, *dataset, *month;
        std::vector<const char *> fields; // in the sheet's column order
    } lists[] = {{"Confiança", "cdsConfianca", "cdsConfiancaMes",
                  {"DTDATA", "VRCUSTPRODMAT", "VRCUSTDESATU", "VRCUSTESTIM", "QTPRODDESATU", "QTPRODSEMCUSTO",
                   "PCDESATU", "PCSEMCUSTO", "PCCONFIANCA"}},
                 {"Confiança por Produto", "cdsConfiancaProd", nullptr,
                  {"DTDATA", "CDPRODUTO", "NMPRODUTO", "IDMOTIVO", "VRCUSTO", "PCCUSTO"}},
                 {"Decomposição da Variação", "cdsVariacao", "cdsVariacaoMes",
                  {"DTDATA", "VRDIFERENCA", "VREFEITOCOMENS", "VREFEITOPRECO", "VREFEITOQTDE", "VRFORACARD",
                   "VRCONSINDIR", "VRRESIDUO"}}};
    for (const auto &list : lists) {
        SCOPED_TRACE(list.sheet);
        const QJsonObject ds = driver.send(std::string("dump ") + list.dataset);
        const int count = ds["recordCount"].toInt();
        const QJsonArray rows = sheets[list.sheet];
        ASSERT_GT(count, 0);
        ASSERT_EQ(rows.size(), 1 + count + (list.month ? 1 : 0));
        for (int r = 0; r < count; ++r) {
            const QJsonArray cells = rows[r + 1].toArray();
            for (size_t c = 0; c < list.fields.size(); ++c) {
                const QJsonValue want = field(ds, r, list.fields[c]);
                const QJsonObject got = cells[qsizetype(c)].toObject();
                if (std::string(list.fields[c]) == "IDMOTIVO")
                    EXPECT_EQ(got["v"].toString(), want.toString() == "E" ? "Sem custo (estimado)"
                                                                          : "Cotação desatualizada");
                else if (want.isDouble())
                    EXPECT_TRUE(sameNumber(got["v"].toDouble(), want.toDouble())) << list.fields[c] << " row " << r;
                else if (want.isString() && c > 0)
                    EXPECT_EQ(got["v"].toString(), want.toString());
            }
        }
        if (!list.month)
            continue;
        const QJsonArray total = rows[count + 1].toArray();
        const QJsonObject month = driver.send(std::string("dump ") + list.month);
        EXPECT_TRUE(total[0].toObject()["bold"].toBool() || total[1].toObject()["bold"].toBool());
        for (size_t c = 1; c < list.fields.size(); ++c) {
            const QJsonValue want = field(month, 0, list.fields[c]);
            if (want.isDouble())
                EXPECT_TRUE(sameNumber(total[qsizetype(c)].toObject()["v"].toDouble(), want.toDouble()))
                    << list.fields[c];
        }
    }
    EXPECT_EQ(sheets["Confiança"][1].toArray()[1].toObject()["f"].toString(), "#,##0.00000");
    EXPECT_TRUE(e2e::NoMessages(driver.send("messages")));

    // cost-export with the same switch writes the same indicator sheets.
    const std::string cli = dir.file("indicadores_cli.xlsx");
    std::string output;
    ASSERT_EQ(e2e::runProgram({e2e::binDir() + "/cost-export", "--db", db, "--branch", "0001", "--service", "001",
                               "--month", "2026-03", "--cost-type", "44", "--out", cli, "--indicadores", "5"},
                              &output, std::chrono::seconds(120)),
              0)
        << output;
    auto again = sheetsOf(readBack({cli}));
    for (const auto &list : lists)
        EXPECT_EQ(again[list.sheet], sheets[list.sheet]) << list.sheet;
}

TEST_F(Export, DailyTableAsCsvWithEitherSeparator)
{
    DriverProcess driver({"--db", db});
    ASSERT_TRUE(e2e::AnswerOk(driver.send(kOpen)));
    const QJsonObject trab = driver.send("dump qryTrabCusto");
    const QJsonObject grid = driver.send("dump dbgTrabCusto");
    const std::string semicolon = dir.file("dias.csv"), comma = dir.file("dias_comma.csv");
    EXPECT_TRUE(e2e::JsonContains(R"({"rows": 31, "columns": 11, "sheet": "Análise de Custo"})",
                                  driver.send("export dbgTrabCusto " + semicolon)));
    driver.send("export dbgTrabCusto " + comma + " comma");
    const struct
    {
        std::string path, separator;
        QChar decimal;
    } files[] = {{semicolon, ";", QLatin1Char(',')}, {comma, ",", QLatin1Char('.')}};
    for (const auto &f : files) {
        const QJsonArray rows = readBack({"--csv", f.separator, f.path})["rows"].toArray();
        ASSERT_EQ(rows.size(), 32) << f.path;
        const QJsonArray columns = grid["columns"].toArray();
        for (int c = 0; c < columns.size(); ++c)
            EXPECT_EQ(rows[0].toArray()[c].toString(), columns[c].toObject()["title"].toString());
        for (int r = 0; r < 31; ++r) {
            const QJsonArray cells = rows[r + 1].toArray();
            const QString iso = field(trab, r, "DTDATA").toString();
            EXPECT_EQ(cells[0].toString(), iso.mid(8, 2) + "/" + iso.mid(5, 2) + "/" + iso.left(4));
            for (int c = 1; c < columns.size(); ++c) {
                QString text = cells[c].toString();
                // Plain numbers with the display decimals: no thousands separator, the chosen decimal.
                EXPECT_FALSE(text.contains(f.decimal == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',')))
                    << text.toStdString();
                const int decimals = text.contains(f.decimal) ? int(text.size() - text.indexOf(f.decimal) - 1) : 0;
                text.replace(f.decimal, QLatin1Char('.'));
                bool ok = false;
                const double value = text.toDouble(&ok);
                ASSERT_TRUE(ok) << f.path << " row " << r + 1 << ": " << text.toStdString();
                const double expected =
                    field(trab, r, columns[c].toObject()["field"].toString().toLatin1().constData()).toDouble();
                EXPECT_LE(std::fabs(value - expected), 0.5 * std::pow(10.0, -decimals) + 1e-9)
                    << f.path << " row " << r + 1 << " column " << c;
            }
        }
    }
}

TEST_F(Export, CopyOfAThreeRowSelectionMovesOnlyWhereClicked)
{
    DriverProcess driver({"--db", db});
    ASSERT_TRUE(e2e::AnswerOk(driver.send(kOpen)));
    driver.send("page tshMatPrima");
    driver.send("calls");
    EXPECT_TRUE(e2e::JsonContains(R"({"selected": [2], "recno": 2})", driver.send("rowclick dbgTrabCusto 2")));
    EXPECT_TRUE(e2e::JsonContains(R"({"selected": [2, 3, 4], "recno": 4})",
                                  driver.send("rowclick dbgTrabCusto 4 shift")));
    // Each click moved the day once: one day load each, none for the selection.
    QJsonArray calls = driver.send("calls")["calls"].toArray();
    int produto = 0;
    for (const QJsonValue &c : calls)
        produto += c.toObject()["method"].toString() == "GetProduto";
    EXPECT_EQ(produto, 2);

    const QJsonObject copied = driver.send("copy dbgTrabCusto");
    const QJsonObject grid = driver.send("dump dbgTrabCusto");
    const QStringList lines = copied["text"].toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Data\tComensais Estimados\tMatéria Prima\t")));
    for (int r = 0; r < 3; ++r) {
        const QStringList cells = lines[r + 1].split(QLatin1Char('\t'));
        const QJsonArray shown = grid["rows"].toArray()[r + 1].toArray();
        ASSERT_EQ(cells.size(), shown.size());
        for (int c = 0; c < cells.size(); ++c)
            EXPECT_EQ(cells[c], shown[c].toObject()["text"].toString());
    }
    const QString html = copied["html"].toString();
    EXPECT_EQ(html.count(QStringLiteral("<tr>")), 4);
    EXPECT_TRUE(html.contains(QStringLiteral("<th>Matéria Prima</th>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td>") + grid["rows"].toArray()[2].toArray()[0].toObject()["text"].toString()
                              + QStringLiteral("</td>")));

    const QJsonObject values = driver.send("copy dbgTrabCusto values");
    const QJsonObject trab = driver.send("dump qryTrabCusto");
    const QStringList valueLines = values["text"].toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(valueLines.size(), 4);
    const double materia = valueLines[1].split(QLatin1Char('\t'))[2].replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    EXPECT_DOUBLE_EQ(materia, field(trab, 1, "VRCUSTPRODMAT").toDouble());

    // Select-all and copying call nothing and leave the day where it is.
    driver.send("key dbgTrabCusto ctrl+a");
    EXPECT_TRUE(e2e::JsonContains(R"({"calls": []})", driver.send("calls")));
    EXPECT_TRUE(e2e::JsonContains(R"({"recno": 4})", driver.send("dump qryTrabCusto")));
    EXPECT_EQ(driver.send("select dbgTrabCusto all")["selected"].toArray().size(), 31);
}

TEST_F(Export, PrintedGridsAndACancelledMonth)
{
    DriverProcess driver({"--db", db});
    ASSERT_TRUE(e2e::AnswerOk(driver.send(kOpen)));
    const struct
    {
        const char *page, *grid;
    } grids[] = {{"tshPlanejado", "dbgTrabCusto"}, {"tshRealizado", "dbgRealizado"}, {"tshPlanReal", "dbgPlanReal"}};
    for (const auto &g : grids) {
        driver.send(std::string("page ") + g.page);
        const std::string pdf = dir.file(std::string(g.grid) + ".pdf");
        const QJsonObject printed = driver.send(std::string("print ") + g.grid + " " + pdf);
        ASSERT_TRUE(e2e::AnswerOk(printed));
        EXPECT_TRUE(printed["info"].toArray()[0].toString().startsWith(
            QStringLiteral("Filial: 0001     Serviço: 001     Mês: março/2026")));
        std::string info;
        ASSERT_EQ(e2e::runProgram({"/usr/bin/pdfinfo", pdf}, &info), 0) << info;
        EXPECT_NE(info.find("Pages:           " + std::to_string(printed["pages"].toInt()) + "\n"), std::string::npos)
            << info;
        // The daily table's eleven columns need a landscape page.
        if (std::string(g.grid) == "dbgTrabCusto")
            EXPECT_NE(info.find("842 x 595 pts"), std::string::npos) << info;
    }

    driver.send("page tshPlanejado");
    driver.send("move qryTrabCusto 9");
    const std::string path = dir.file("cancelada.xlsx");
    EXPECT_TRUE(e2e::JsonContains(R"({"cancelled": true, "steps": 5})", driver.send("exportmonth " + path + " cancel 5")));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(e2e::JsonContains(R"({"recno": 9})", driver.send("dump qryTrabCusto")));
    EXPECT_TRUE(e2e::JsonContains(R"({"active": "tshAnaCusto"})", driver.send("dump pgcPlanejado")));
    EXPECT_TRUE(e2e::NoMessages(driver.send("messages")));
}

TEST_F(Export, CostExportExitsClearlyWithoutServerOrData)
{
    const std::string exe = e2e::binDir() + "/cost-export";
    std::string out;
    EXPECT_EQ(e2e::runProgram({exe, "--help"}, &out), 0);
    EXPECT_NE(out.find("usage: cost-export"), std::string::npos);
    EXPECT_EQ(e2e::runProgram({exe, "--db", db, "--month", "2026-13"}, &out), 2);
    EXPECT_NE(out.find("--month takes YYYY-MM"), std::string::npos) << out;
    EXPECT_EQ(e2e::runProgram({exe, "--bogus"}, &out), 2);

    const std::vector<std::string> month = {"--branch", "0001", "--service", "001", "--cost-type", "44"};
    auto run = [&](std::vector<std::string> extra, const std::string &file) {
        std::vector<std::string> argv = {exe};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.insert(argv.end(), month.begin(), month.end());
        argv.insert(argv.end(), {"--out", dir.file(file)});
        return e2e::runProgram(argv, &out, std::chrono::seconds(120));
    };
    EXPECT_EQ(run({"--db", db, "--month", "2026-03", "--server", "127.0.0.1:1"}, "a.xlsx"), 1);
    EXPECT_NE(out.find("127.0.0.1:1"), std::string::npos) << out;
    EXPECT_EQ(run({"--db", db, "--month", "2025-03"}, "b.xlsx"), 1);
    EXPECT_NE(out.find("no planned day"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.xlsx")));
    EXPECT_EQ(run({"--db", dir.file("missing.db"), "--month", "2026-03"}, "c.xlsx"), 1);
    EXPECT_NE(out.find("database not found"), std::string::npos) << out;

    // The daily table as CSV, with the month totals as its last line.
    ASSERT_EQ(run({"--db", db, "--month", "2026-03"}, "dias.csv"), 0) << out;
    const QJsonArray rows = readBack({"--csv", ";", dir.file("dias.csv")})["rows"].toArray();
    ASSERT_EQ(rows.size(), 33);
    EXPECT_EQ(rows[32].toArray()[0].toString(), "Total do mês");
}

} // namespace
