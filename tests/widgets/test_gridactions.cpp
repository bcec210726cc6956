// Row selection, copy, export and print of the data-aware grid: the cursor and its handlers behave
// as without a selection, and every copy or file holds the grid's captions and values.

#include "grid_fixture.h"

#include "platform/toolkit/widgets/gridactions.h"
#include "platform/toolkit/widgets/errors.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tk {
namespace {

using test::GridFixture;

QPoint cellCentre(TDBGrid &grid, int row, int col)
{
    return grid.visualRect(grid.Model()->index(row, col)).center();
}

void click(TDBGrid &grid, int row, Qt::KeyboardModifiers mods = {})
{
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, mods, cellCentre(grid, row, 0));
}

TEST(GridSelection, ClicksSelectRowsWithOneScrollEach)
{
    GridFixture f;
    f.afterScrollRows.clear();
    click(*f.grid, 1);
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{1}));
    click(*f.grid, 3, Qt::ControlModifier);
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{1, 3}));
    // The current record is the clicked row, as without a selection.
    EXPECT_EQ(f.ds.RecNo(), 4);
    click(*f.grid, 4, Qt::ShiftModifier); // from the last Ctrl click
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{3, 4}));
    click(*f.grid, 1, Qt::ControlModifier | Qt::ShiftModifier); // adds 1..3
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{1, 2, 3, 4}));
    click(*f.grid, 2, Qt::ControlModifier); // Ctrl toggles a row off
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{1, 3, 4}));
    // One after-scroll per click that moved the cursor, none for the selection itself.
    EXPECT_EQ(f.afterScrollRows, (std::vector<int>{2, 4, 5, 2, 3}));

    f.grid->setFocus();
    QTest::keyClick(f.grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(f.afterScrollRows.size(), 5u);
    EXPECT_EQ(f.ds.RecNo(), 3);

    // A move that is not a selection (the program's own, a key without Shift) collapses it.
    f.ds.First();
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{0}));
    f.grid->Actions().SelectAll();
    QTest::keyClick(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{1}));
    QTest::keyClick(f.grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(f.grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(f.ds.RecNo(), 4);
    // New data: the selection is gone.
    f.ds.SetData(test::dishPacket());
    EXPECT_EQ(f.grid->Actions().SelectedRows(), (std::vector<int>{0}));
}

TEST(GridSelection, CopyOfThreeRowsAsTextHtmlAndValues)
{
    GridFixture f;
    click(*f.grid, 0);
    click(*f.grid, 1, Qt::ShiftModifier);
    click(*f.grid, 3, Qt::ControlModifier);
    f.afterScrollRows.clear();
    f.grid->setFocus();
    QTest::keyClick(f.grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(f.afterScrollRows.empty());

    const QMimeData *mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->text().toStdString(), QStringLiteral("Nome do Prato\tCusto do Prato\tData\tSafra\n"
                                           "Arroz branco\t0,41235\t01/03/2024\t65280\n"
                                           "Feijão carioca\t1.234,50000\t02/03/2024\t255\n"
                                           "Salada verde\t0,00000\t04/03/2024\t65535\n").toStdString());
    const QString html = mime->html();
    EXPECT_TRUE(html.contains(QStringLiteral("<th>Nome do Prato</th><th>Custo do Prato</th>"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("<td>Feijão carioca</td><td align=\"right\">1.234,50000</td>")))
        << html.toStdString();
    EXPECT_EQ(html.count(QStringLiteral("<tr>")), 4);

    QTest::keyClick(f.grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Nome do Prato\tCusto do Prato\tData\tSafra\n"
                                                                "Arroz branco\t0,41235\t01/03/2024\t65280\n"
                                                                "Feijão carioca\t1234,5\t02/03/2024\t255\n"
                                                                "Salada verde\t0\t04/03/2024\t65535\n"));
}

TEST(GridSelection, CopyShowsWhatTheDrawHandlerPaints)
{
    GridFixture f;
    f.grid->OnDrawColumnCell = [](TDBGrid &g, const QRect &rect, int, TColumn &column, TGridDrawState) {
        if (column.FieldName == "NMPRATO")
            g.Canvas().TextRect(rect, rect.left() + 3, rect.top() + 3, "* " + column.Field->AsString());
    };
    f.grid->Actions().SelectRows({1});
    EXPECT_TRUE(f.grid->Actions().SelectionText().contains(QStringLiteral("\n* Feijão carioca\t")));
    // A key handler that swallows Ctrl+C keeps the clipboard as it was.
    QApplication::clipboard()->setText(QStringLiteral("antes"));
    f.grid->OnKeyDown = [](TDBGrid &, int &key, Qt::KeyboardModifiers) { key = 0; };
    f.grid->PressKey(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("antes"));
}

TEST(GridSelection, ContextMenuOffersCopyExportAndPrint)
{
    GridFixture f;
    QAction extra(QStringLiteral("Exportar mês…"));
    f.grid->Actions().ExtraActions = {&extra};
    std::unique_ptr<QMenu> menu(f.grid->Actions().CreateMenu(nullptr));
    QStringList texts;
    for (QAction *a : menu->actions()) {
        if (!a->isSeparator())
            texts << a->text();
    }
    EXPECT_EQ(texts, (QStringList{"Copiar", "Copiar valores", "Selecionar tudo", "Exportar CSV…",
                                  "Exportar planilha…", "Imprimir…", "Exportar mês…"}));
}

TEST(GridExport, CsvByUserWithEitherSeparator)
{
    GridFixture f;
    f.grid->SetColumnVisible(3, false); // hidden columns stay out
    QTemporaryDir dir;
    QString chosenFilter;
    f.grid->Actions().ChooseFile = [&](const QString &, const QString &name, const QString &filters, QString *filter) {
        *filter = chosenFilter.isEmpty() ? filters.section(QStringLiteral(";;"), 0, 0) : chosenFilter;
        return dir.filePath(name);
    };
    f.grid->Actions().ExportCsvByUser();
    QFile semicolon(dir.filePath(QStringLiteral("dbgCardapio.csv")));
    ASSERT_TRUE(semicolon.open(QIODevice::ReadOnly));
    const QByteArray bytes = semicolon.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")); // spreadsheets read the accents as UTF-8
    const QString text = QString::fromUtf8(bytes.mid(3));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Nome do Prato;Custo do Prato;Data\r\n"
                                               "Arroz branco;0,41235;01/03/2024\r\n"
                                               "Feijão carioca;1234,50000;02/03/2024\r\n")))
        << text.toStdString();

    chosenFilter = QStringLiteral("CSV - vírgula, ponto decimal (*.csv)");
    f.grid->Actions().ExportCsvByUser();
    semicolon.close();
    ASSERT_TRUE(semicolon.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(semicolon.readAll()).contains(QStringLiteral("Feijão carioca,1234.50000,02/03/2024")));
}

TEST(GridPrint, PdfOfAGridInTheFrame)
{
    GridFixture f;
    QTemporaryDir dir;
    f.grid->Actions().PrintHeader = [] {
        return PrintFrame{QStringLiteral("Cardápio"), {QStringLiteral("Filial: 0001")}, QStringLiteral("5 pratos")};
    };
    const PrintedTable printed = f.grid->Actions().PrintPdf(dir.filePath(QStringLiteral("grade.pdf")));
    EXPECT_EQ(printed.pages, 1);
    EXPECT_EQ(printed.rows, 5);
    QFile pdf(dir.filePath(QStringLiteral("grade.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");

    ExportSheet wide = f.grid->Actions().Sheet();
    EXPECT_FALSE(TableNeedsLandscape(wide));
    for (ExportColumn &c : wide.columns)
        c.widthPixels = 300;
    EXPECT_TRUE(TableNeedsLandscape(wide));
}

} // namespace
} // namespace tk
