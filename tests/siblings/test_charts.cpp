// The three chart modules off screen: each window holds one point per row of the caller's chart
// table in each series, with the table's values; the walk leaves the caller's table as it was; a
// malformed array or a bad handle is refused with a clear message; and the real module libraries
// run through the host's LoadBPL.

#include "modalcloser.h"

#include "platform/hostlib/modules.h"
#include "platform/siblings/kpv40207/grafcusto.h"
#include "platform/siblings/kpv40208/grafplanreal.h"
#include "platform/siblings/kpv40210/grafcustoacum.h"
#include "platform/siblings/kpv40213/decomposicao.h"
#include "platform/siblings/common/chartactions.h"
#include "platform/siblings/common/help.h"
#include "platform/hostlib/helpbrowser.h"
#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datasource.h"
#include "platform/toolkit/data/datetime.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QStackedBarSeries>
#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QApplication>
#include <QChartView>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using WindowFactory = std::function<std::unique_ptr<siblings::TfrmGrafico>(const tk::Variant &)>;

struct ChartCase
{
    const char *code;
    const char *table;
    std::vector<std::string> valueFields;  // in the order of the window's series
    std::vector<QString> legend;
    tk::VariantArray extraArgs;            // after the handle: the whole array the cost window sends
    QString titleHas;
    const char *sizes;                     // the array sizes the module takes
    WindowFactory create;
};

void PrintTo(const ChartCase &c, std::ostream *os)
{
    *os << c.code;
}

std::vector<ChartCase> chartCases()
{
    return {
        {"KPV40207",
         "cdsGrafCust",
         {"VrPadrao", "VrCustGraf"},
         {QStringLiteral("Custo padrão"), QStringLiteral("Custo per capita planejado")},
         {tk::Variant("0001"), tk::Variant("001")},
         QStringLiteral("Custo Per Capita - Filial 0001 - Serviço 001"),
         "1 a 3 elementos",
         [](const tk::Variant &a) { return kpv40207::CreateChartWindow(a); }},
        {"KPV40208",
         "cdsGrafPlanReal",
         {"VrPadrao", "VRPERCPLAN", "VRPERCREAL"},
         {QStringLiteral("Custo padrão"), QStringLiteral("Per capita planejado"),
          QStringLiteral("Per capita realizado")},
         {tk::Variant("0001"), tk::Variant("001"), tk::Variant::fromDateTime(tk::EncodeDate(2026, 4, 1))},
         QStringLiteral("Comparação do Per Capita - Filial 0001 - Serviço 001"),
         "3 a 4 elementos",
         [](const tk::Variant &a) { return kpv40208::CreateChartWindow(a); }},
        {"KPV40210",
         "cdsCustoAcum",
         {"VrTotPadrao", "VRTOTTACUM", "VRTOTRACUM"},
         {QStringLiteral("Custo padrão acumulado"), QStringLiteral("Custo planejado acumulado"),
          QStringLiteral("Custo realizado acumulado")},
         {tk::Variant("0001"), tk::Variant("001"), tk::Variant::fromDateTime(tk::EncodeDate(2026, 4, 1))},
         QStringLiteral("Variação do Custo Acumulado - Filial 0001 - Serviço 001"),
         "1 a 4 elementos",
         [](const tk::Variant &a) { return kpv40210::CreateChartWindow(a); }},
    };
}

// A chart table as the cost window declares it: persistent fields, index on DTCARDAPIO.
std::unique_ptr<tk::TClientDataSet> makeTable(const ChartCase &c)
{
    auto ds = std::make_unique<tk::TClientDataSet>(c.table);
    ds->AddField("DTCARDAPIO", tk::FieldType::DateTime)->SetDisplayFormat("dd");
    for (const std::string &field : c.valueFields)
        ds->AddField(field, tk::FieldType::Float)->SetDisplayFormat("#,##0.00000");
    ds->AddIndex("indexPadrao", "DTCARDAPIO");
    ds->SetIndexName("indexPadrao");
    ds->CreateDataSet();
    return ds;
}

double valueOf(int day, size_t series)
{
    return 1000.0 * static_cast<double>(series) + 3.125 * day + 0.00001 * day;
}

// Rows appended out of date order: the view (and so the chart) follows the index.
void fill(tk::TClientDataSet &ds, const ChartCase &c, int days)
{
    for (int k = 0; k < days; ++k) {
        const int day = (k * 7) % days + 1; // a permutation of 1..days when days is not a multiple of 7
        ds.Append();
        ds.FieldByName("DTCARDAPIO")->SetAsDateTime(tk::EncodeDate(2026, 3, day));
        for (size_t s = 0; s < c.valueFields.size(); ++s)
            ds.FieldByName(c.valueFields[s])->SetAsFloat(valueOf(day, s));
        ds.Post();
    }
}

tk::Variant argsFor(const ChartCase &c, tk::TClientDataSet *ds)
{
    tk::VariantArray items{host::DataSetHandle(ds)};
    items.insert(items.end(), c.extraArgs.begin(), c.extraArgs.end());
    return tk::Variant(items);
}

class ChartWindows : public ::testing::TestWithParam<ChartCase>
{
};

TEST_P(ChartWindows, OnePointPerRowWithTheTablesValues)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    fill(*ds, c, 31);
    const auto window = c.create(argsFor(c, ds.get()));

    EXPECT_TRUE(window->windowTitle().contains(c.titleHas)) << window->windowTitle().toStdString();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_TRUE(window->Chart()->legend()->isVisible());
    ASSERT_EQ(window->Series().size(), c.valueFields.size());
    for (size_t s = 0; s < c.valueFields.size(); ++s) {
        QLineSeries *series = window->Series()[s];
        EXPECT_EQ(series->name(), c.legend[s]);
        ASSERT_EQ(series->count(), 31) << c.valueFields[s];
        for (int day = 1; day <= 31; ++day) {
            const QPointF point = series->at(day - 1);
            EXPECT_DOUBLE_EQ(point.x(), tk::EncodeDate(2026, 3, day)) << c.valueFields[s] << " day " << day;
            EXPECT_DOUBLE_EQ(point.y(), valueOf(day, s)) << c.valueFields[s] << " day " << day;
        }
    }
    // The horizontal axis names the day of the month.
    const QStringList labels = window->DayAxis()->categoriesLabels();
    ASSERT_EQ(labels.size(), 31);
    EXPECT_EQ(labels.first(), QStringLiteral("01"));
    EXPECT_EQ(labels.last(), QStringLiteral("31"));
}

TEST_P(ChartWindows, LeavesTheCallersCursorHandlersAndControlsAsTheyWere)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    fill(*ds, c, 10);

    struct Position
    {
        const char *name;
        std::function<void(tk::TClientDataSet &)> move;
        int recNo;
    };
    const std::vector<Position> positions = {
        {"middle", [](tk::TClientDataSet &d) { d.SetRecNo(4); }, 4},
        {"first", [](tk::TClientDataSet &d) { d.First(); }, 1},
        {"last", [](tk::TClientDataSet &d) { d.Last(); }, 10},
        {"past the end", [](tk::TClientDataSet &d) { d.Last(); d.Next(); }, 10},
        {"before the start", [](tk::TClientDataSet &d) { d.SetRecNo(3); d.First(); d.Prior(); }, 1},
        {"back to the first", [](tk::TClientDataSet &d) { d.SetRecNo(2); d.Prior(); }, 1},
    };
    for (const Position &p : positions) {
        SCOPED_TRACE(p.name);
        p.move(*ds);
        const bool eof = ds->Eof();
        const bool bof = ds->Bof();
        const tk::TDateTime day = ds->FieldByName("DTCARDAPIO")->AsDateTime();
        int scrolls = 0;
        ds->BeforeScroll = [&](tk::TClientDataSet &) { ++scrolls; };
        ds->AfterScroll = [&](tk::TClientDataSet &) { ++scrolls; };
        tk::TDataSource source("dtsGrafico", ds.get());
        int changes = 0;
        source.OnDataChange = [&](tk::TDataSource &, tk::TField *) { ++changes; };

        const auto window = c.create(argsFor(c, ds.get()));

        EXPECT_EQ(window->Series()[0]->count(), 10);
        EXPECT_EQ(scrolls, 0) << "the caller's scroll handlers ran during the walk";
        EXPECT_LE(changes, 1) << "the controls followed the walk";
        EXPECT_FALSE(ds->ControlsDisabled());
        EXPECT_EQ(ds->RecNo(), p.recNo);
        EXPECT_EQ(ds->Eof(), eof);
        EXPECT_EQ(ds->Bof(), bof);
        EXPECT_DOUBLE_EQ(ds->FieldByName("DTCARDAPIO")->AsDateTime(), day);
        // The handlers are attached again.
        ds->SetRecNo(2);
        EXPECT_EQ(scrolls, 2);
        ds->BeforeScroll = nullptr;
        ds->AfterScroll = nullptr;
    }
}

TEST_P(ChartWindows, FilteredAndEmptyTables)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    fill(*ds, c, 20);
    ds->SetFilter("DTCARDAPIO >= '11/03/2026'");
    ds->SetFiltered(true);
    ds->SetRecNo(3);
    {
        const auto window = c.create(argsFor(c, ds.get()));
        for (QLineSeries *series : window->Series()) {
            ASSERT_EQ(series->count(), 10);
            EXPECT_DOUBLE_EQ(series->at(0).x(), tk::EncodeDate(2026, 3, 11));
        }
        EXPECT_EQ(ds->RecNo(), 3);
        EXPECT_TRUE(ds->Filtered());
    }
    // An empty table still opens the chart: the cost window starts the module for an empty month.
    ds->SetFiltered(false);
    ds->EmptyDataSet();
    const auto window = c.create(argsFor(c, ds.get()));
    for (QLineSeries *series : window->Series())
        EXPECT_EQ(series->count(), 0);
    EXPECT_TRUE(window->DayAxis()->categoriesLabels().isEmpty());
}

TEST_P(ChartWindows, TooltipShowsTheDayAndTheValueInBrazilianFormat)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    ds->Append();
    ds->FieldByName("DTCARDAPIO")->SetAsDateTime(tk::EncodeDate(2026, 3, 5));
    for (size_t s = 0; s < c.valueFields.size(); ++s)
        ds->FieldByName(c.valueFields[s])->SetAsFloat(1234.5678912 + static_cast<double>(s));
    ds->Post();
    ds->Append();
    ds->FieldByName("DTCARDAPIO")->SetAsDateTime(tk::EncodeDate(2026, 3, 6));
    ds->Post(); // nulls read as 0
    const auto window = c.create(argsFor(c, ds.get()));

    EXPECT_EQ(window->PointText(0, 0), c.legend[0] + QStringLiteral("\nDia 05/03/2026: 1.234,56789"));
    EXPECT_EQ(window->PointText(1, 1), c.legend[1] + QStringLiteral("\nDia 06/03/2026: 0,00000"));

    // A hover near the first point of the last series shows that point; leaving hides it.
    QLineSeries *last = window->Series().back();
    const size_t lastIndex = window->Series().size() - 1;
    emit last->hovered(QPointF(tk::EncodeDate(2026, 3, 5) + 0.2, 1000.0), true);
    EXPECT_EQ(window->HoverText(),
              c.legend[lastIndex] + QStringLiteral("\nDia 05/03/2026: ")
                  + (lastIndex == 1 ? QStringLiteral("1.235,56789") : QStringLiteral("1.236,56789")));
    // The realized series of the comparison and accumulated charts have no point on the 6th (no
    // realized data there): the hover shows the nearest day that has one.
    emit last->hovered(QPointF(tk::EncodeDate(2026, 3, 6) - 0.1, 0.0), true);
    const bool realizedLast = std::string(c.code) != "KPV40207";
    EXPECT_TRUE(window->HoverText().contains(realizedLast ? QStringLiteral("05/03/2026") : QStringLiteral("06/03/2026")))
        << window->HoverText().toStdString();
    emit last->hovered(QPointF(), false);
    EXPECT_TRUE(window->HoverText().isEmpty());
}

TEST_P(ChartWindows, CloseButtonClosesTheWindow)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    fill(*ds, c, 3);
    const auto window = c.create(argsFor(c, ds.get()));
    window->show();
    QSignalSpy accepted(window.get(), &QDialog::accepted);
    window->CloseButton()->click();
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_FALSE(window->isVisible());
}

// F1 in a chart window opens its module's page in the host's help browser.
TEST_P(ChartWindows, F1OpensTheModulesHelpPage)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    fill(*ds, c, 3);
    const auto window = c.create(argsFor(c, ds.get()));
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 5000));
    QTest::keyClick(window.get(), Qt::Key_F1);
    const auto *browser = window->findChild<host::THelpBrowser *>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->PageTitle().contains(QString::fromLatin1(c.code))) << browser->PageTitle().toStdString();
}

// Every sibling module carries its page; the context is the number of the module code.
TEST(SiblingHelp, EveryModuleHasItsPage)
{
    for (const char *module : {"KPV40207", "KPV40208", "KPV40210", "KPV40212", "KPV40213", "KPV49700"}) {
        SCOPED_TRACE(module);
        const int context = siblings::HelpContextOf(module);
        EXPECT_EQ(context, 12300000 + std::stoi(std::string(module).substr(3)));
        const QUrl page = host::HelpPage("Kpvhelp.hlp", context);
        ASSERT_FALSE(page.isEmpty());
        QFile file(QStringLiteral(":") + page.path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains(QStringLiteral("(%1)</title>").arg(module)));
    }
    for (const char *bad : {"", "KPV", "KPV402070", "KPV4020x"})
        EXPECT_EQ(siblings::HelpContextOf(bad), 0) << bad;
}

TEST_P(ChartWindows, SaveCopyPrintAndPdfOfTheChart)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    fill(*ds, c, 5);
    const auto window = c.create(argsFor(c, ds.get()));
    window->show();
    siblings::ChartActions &actions = *window->Actions();
    for (QPushButton *b : {actions.SaveImageButton, actions.CopyButton, actions.CopyDataButton, actions.PrintButton,
                           actions.ExportPdfButton})
        ASSERT_NE(b, nullptr);
    EXPECT_EQ(actions.SaveImageButton->text(), QStringLiteral("Salvar imagem…"));
    EXPECT_EQ(actions.ExportPdfButton->text(), QStringLiteral("Exportar PDF…"));

    QTemporaryDir dir;
    QString chosen;
    actions.ChooseFile = [&](const QString &, const QString &, const QString &) { return chosen; };
    chosen = dir.filePath(QStringLiteral("grafico.png"));
    actions.SaveImageButton->click();
    QImage png(chosen);
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), window->ChartView()->size());
    EXPECT_GT(png.width(), 400);
    chosen = dir.filePath(QStringLiteral("grafico.svg"));
    actions.SaveImageButton->click();
    QFile svg(chosen);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));

    actions.CopyButton->click();
    EXPECT_EQ(QApplication::clipboard()->image().size(), png.size());
    actions.CopyDataButton->click();
    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], QStringLiteral("Dia\t") + c.legend[0] + QLatin1Char('\t') + c.legend[1]
                            + (c.legend.size() > 2 ? QLatin1Char('\t') + c.legend[2] : QString()));
    // Day 1 first, as the chart table's index orders it, with the chart's number format.
    EXPECT_EQ(lines[1].section(QLatin1Char('\t'), 0, 1),
              QStringLiteral("01/03/2026\t") + siblings::FormatChartValue(valueOf(1, 0)));

    chosen = dir.filePath(QStringLiteral("grafico"));
    actions.ExportPdfButton->click();
    QFile pdf(chosen + QStringLiteral(".pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdf.read(5), QByteArray("%PDF-"));
    QProcess info;
    info.start(QStringLiteral("/usr/bin/pdfinfo"), {pdf.fileName()});
    ASSERT_TRUE(info.waitForFinished(20000));
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("Pages:           1\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("842 x 595 pts"))) << text.toStdString(); // landscape A4
    EXPECT_THROW(actions.WritePdf(QStringLiteral("/nonexistent-folder/g.pdf")), tk::Exception);
}

// Every refusal names the module and says what is wrong.
TEST_P(ChartWindows, MalformedArraysAndBadHandlesAreRefusedClearly)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    fill(*ds, c, 3);
    const size_t size = 1 + c.extraArgs.size();
    auto withHandle = [&](const tk::Variant &handle) {
        tk::VariantArray items{handle};
        items.insert(items.end(), c.extraArgs.begin(), c.extraArgs.end());
        return tk::Variant(items);
    };
    tk::VariantArray tooLong = argsFor(c, ds.get()).items();
    tooLong.push_back(tk::Variant("sobra"));

    struct Bad
    {
        const char *name;
        tk::Variant args;
        std::string message;
    };
    const std::string module = c.code;
    const std::string handleParam = std::string("parâmetro 0 (") + c.table + ") ";
    std::vector<Bad> cases = {
        {"no array", tk::Variant(), module + ": parâmetros inválidos: esperado um vetor de " + c.sizes + ", recebido nulo"},
        {"too long", tk::Variant(tooLong), "recebido um vetor de " + std::to_string(size + 1) + " elementos"},
        {"null handle", withHandle(tk::Variant()), handleParam + "Handle de dataset inválido"},
        {"zero handle", withHandle(tk::Variant(0)), handleParam + "Handle de dataset inválido"},
        {"negative handle", withHandle(tk::Variant(-4096.0)), handleParam + "Handle de dataset inválido"},
        {"fractional handle", withHandle(tk::Variant(1234.5)), handleParam + "Handle de dataset inválido"},
        {"text handle", withHandle(tk::Variant("cdsGrafCust")), handleParam + "Handle de dataset inválido"},
    };
    if (module == "KPV40208") {
        cases.push_back(
            {"branch as a number",
             tk::Variant::array({host::DataSetHandle(ds.get()), tk::Variant(1), tk::Variant("001")}),
             "KPV40208: parâmetro 1 (CdFilial) deve ser um texto, recebido inteiro"});
        cases.push_back({"service missing",
                         tk::Variant::array({host::DataSetHandle(ds.get()), tk::Variant("0001")}),
                         "esperado um vetor de 3 a 4 elementos, recebido um vetor de 2 elementos"});
    }
    for (const Bad &bad : cases) {
        SCOPED_TRACE(bad.name);
        try {
            c.create(bad.args);
            ADD_FAILURE() << "accepted";
        } catch (const tk::Exception &e) {
            EXPECT_NE(std::string(e.what()).find(bad.message), std::string::npos) << e.what();
        }
    }
}

TEST_P(ChartWindows, TablesThatCannotBeReadAreRefusedClearly)
{
    const ChartCase &c = GetParam();
    auto expectError = [&](tk::TClientDataSet *ds, const std::string &message) {
        try {
            c.create(argsFor(c, ds));
            ADD_FAILURE() << "accepted: " << message;
        } catch (const tk::Exception &e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    };
    auto closed = makeTable(c);
    closed->Close();
    expectError(closed.get(), std::string(c.code) + ": parâmetro 0 (" + c.table + ") não está aberto");

    auto editing = makeTable(c);
    fill(*editing, c, 2);
    editing->Edit();
    expectError(editing.get(), std::string("a tabela ") + c.table + " está em edição");
    EXPECT_EQ(editing->State(), tk::TDataSetState::dsEdit) << "the caller's edit was posted";
    editing->Cancel();

    // A table without the last value field.
    tk::TClientDataSet partial(c.table);
    partial.AddField("DTCARDAPIO", tk::FieldType::DateTime);
    for (size_t s = 0; s + 1 < c.valueFields.size(); ++s)
        partial.AddField(c.valueFields[s], tk::FieldType::Float);
    partial.CreateDataSet();
    expectError(&partial, std::string("a tabela ") + c.table + " não tem o campo " + c.valueFields.back());
}

// Every chart names the branch, the service and the month; the realized lines have no point on a
// day without realized data (the table's 0) nor from the processing date on, which is marked on
// the day axis; the axes keep their titles and Brazilian numbers.
TEST_P(ChartWindows, TitlesRealizedPointsAndProcessingDate)
{
    const ChartCase &c = GetParam();
    auto ds = makeTable(c);
    fill(*ds, c, 31);
    // Days 2 and 5 without realized data.
    for (const int day : {2, 5}) {
        ASSERT_TRUE(ds->Locate("DTCARDAPIO", tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, day))));
        ds->Edit();
        ds->FieldByName(c.valueFields.back())->SetAsFloat(0);
        ds->Post();
    }
    tk::VariantArray items = argsFor(c, ds.get()).items();
    if (items.size() == 4)
        items[3] = tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 16));
    const auto window = c.create(tk::Variant(items));

    const QString title = window->Chart()->title();
    EXPECT_TRUE(title.endsWith(QStringLiteral(" - Filial 0001 - Serviço 001 - março de 2026"))) << title.toStdString();
    EXPECT_EQ(window->DayAxis()->titleText(), QStringLiteral("Dia"));
    EXPECT_FALSE(window->ValueAxis()->titleText().isEmpty());
    EXPECT_TRUE(window->Chart()->localizeNumbers());
    EXPECT_EQ(window->Chart()->locale().name(), QStringLiteral("pt_BR"));

    const bool realized = std::string(c.code) != "KPV40207";
    QLineSeries *last = window->Series().back();
    if (!realized) {
        EXPECT_EQ(last->count(), 31) << "a planned line keeps its zeros";
        EXPECT_EQ(window->ProcessingMarker(), nullptr);
        return;
    }
    // Days 1 to 15 but 2 and 5.
    ASSERT_EQ(last->count(), 13);
    EXPECT_DOUBLE_EQ(last->at(0).x(), tk::EncodeDate(2026, 3, 1));
    EXPECT_DOUBLE_EQ(last->at(1).x(), tk::EncodeDate(2026, 3, 3));
    EXPECT_DOUBLE_EQ(last->at(12).x(), tk::EncodeDate(2026, 3, 15));
    EXPECT_FALSE(window->HasPoint(window->Series().size() - 1, 15));
    EXPECT_EQ(window->Series()[1]->count(), 31) << "the planned line runs the whole month";
    QLineSeries *marker = window->ProcessingMarker();
    ASSERT_NE(marker, nullptr);
    ASSERT_EQ(marker->count(), 2);
    EXPECT_DOUBLE_EQ(marker->at(0).x(), tk::EncodeDate(2026, 3, 16));
    EXPECT_EQ(marker->name(), QStringLiteral("(*) Data de processamento: 16/03/2026"));
    EXPECT_EQ(window->DayAxis()->categoriesLabels().at(15), QStringLiteral("16*"));
}

INSTANTIATE_TEST_SUITE_P(Modules, ChartWindows, ::testing::ValuesIn(chartCases()),
                         [](const ::testing::TestParamInfo<ChartCase> &info) {
                             return std::string(info.param.code);
                         });

// The real module libraries, loaded and started by the host: IniProc opens its window modally over
// the caller's table, and an error in the array reaches the caller of LoadBPL.
TEST(ChartModules, RunThroughLoadBPL)
{
    for (const ChartCase &c : chartCases()) {
        SCOPED_TRACE(c.code);
        auto ds = makeTable(c);
        fill(*ds, c, 5);
        ds->SetRecNo(2);
        QString title;
        int points = -1;
        ModalCloser closer([&](QWidget *w) {
            title = w->windowTitle();
            if (auto *chart = qobject_cast<siblings::TfrmGrafico *>(w))
                points = chart->Series().back()->count();
        });
        host::LoadBPL(c.code, argsFor(c, ds.get()));
        EXPECT_TRUE(closer.Closed());
        EXPECT_FALSE(closer.TimedOut());
        EXPECT_TRUE(title.contains(c.titleHas)) << title.toStdString();
        EXPECT_EQ(points, 5);
        EXPECT_EQ(ds->RecNo(), 2);

        try {
            host::LoadBPL(c.code, tk::Variant::array({tk::Variant(0)}));
            ADD_FAILURE() << "accepted a zero handle";
        } catch (const tk::Exception &e) {
            EXPECT_NE(std::string(e.what()).find(c.code), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(host::PackageInfo("KPV40208"), "KPV40208: Comparação do Per Capita");
    host::UnloadModules();
}

// KPV40213: one stacked bar a day of the caller's variance table, a segment per line of the split, in
// the order the lines add up; a negative line stacks below zero, so the range holds both sides.
TEST(ChartWindowsBars, VarianceSplitAsStackedBarsOfEachDay)
{
    const std::vector<std::string> lines = {"VREFEITOCOMENS", "VREFEITOPRECO", "VREFEITOQTDE",
                                            "VRFORACARD", "VRCONSINDIR", "VRRESIDUO"};
    tk::TClientDataSet ds("cdsVariacao");
    ds.AddField("DTDATA", tk::FieldType::DateTime);
    for (const std::string &line : lines)
        ds.AddField(line, tk::FieldType::Float);
    ds.CreateDataSet();
    // 2 March as the tiny kitchen splits it, then a day with a product outside the menu only.
    const std::vector<std::vector<double>> days = {{-7.4, -4.25, -98.1, 0, -384, 0}, {0, 0, 0, 15, 0, 0}};
    for (size_t d = 0; d < days.size(); ++d) {
        ds.Append();
        ds.FieldByName("DTDATA")->SetAsDateTime(tk::EncodeDate(2026, 3, 2 + static_cast<int>(d)));
        for (size_t l = 0; l < lines.size(); ++l)
            ds.FieldByName(lines[l])->SetAsFloat(days[d][l]);
        ds.Post();
    }
    const auto window = kpv40213::CreateChartWindow(tk::Variant::array(
        {host::DataSetHandle(&ds), "0001", "001", tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 16))}));
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Decomposição da Variação - Filial 0001")));
    EXPECT_TRUE(window->Series().empty());
    ASSERT_NE(window->Bars(), nullptr);
    ASSERT_EQ(window->Bars()->count(), static_cast<int>(lines.size()));
    EXPECT_EQ(window->Bars()->barSets()[3]->label(), QStringLiteral("Fora do cardápio"));
    for (size_t l = 0; l < lines.size(); ++l) {
        const QBarSet *set = window->Bars()->barSets()[static_cast<qsizetype>(l)];
        ASSERT_EQ(set->count(), 2);
        EXPECT_DOUBLE_EQ(set->at(0), days[0][l]);
        EXPECT_DOUBLE_EQ(set->at(1), days[1][l]);
    }
    EXPECT_EQ(window->BarAxis()->categories(), (QStringList{"02/03", "03/03"}));
    EXPECT_LE(window->ValueAxis()->min(), -493.75);
    EXPECT_GE(window->ValueAxis()->max(), 15);
    EXPECT_EQ(window->PointText(2, 0), QStringLiteral("Efeito quantidade\nDia 02/03/2026: -98,10000"));
    EXPECT_EQ(window->ProcessingMarker(), nullptr);

    // A malformed array is refused with the module's name.
    try {
        kpv40213::CreateChartWindow(tk::Variant::array({host::DataSetHandle(&ds)}));
        ADD_FAILURE() << "accepted a one-element array";
    } catch (const std::exception &e) {
        EXPECT_NE(std::string(e.what()).find("KPV40213"), std::string::npos) << e.what();
    }
}

} // namespace
