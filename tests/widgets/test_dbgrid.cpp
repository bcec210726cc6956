// The data-aware grid over a real TClientDataSet: model consistency, cursor following, frozen
// states, cell drawing (default and owner-drawn), keys and double clicks.

#include "grid_fixture.h"

#include "platform/toolkit/widgets/errors.h"

#include "platform/toolkit/data/formats.h"

#include <QAbstractItemModelTester>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tk {
namespace {

using test::GridFixture;

void processEventsFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

QPoint cellCentre(TDBGrid &grid, int row, int col)
{
    return grid.visualRect(grid.Model()->index(row, col)).center();
}

TEST(DBGridModel, StaysConsistentUnderTheTester)
{
    GridFixture f;
    QAbstractItemModelTester tester(f.grid->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    DataSetTableModel &model = *f.grid->Model();
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "Feijão carioca");
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "1.234,50000");
    EXPECT_EQ(model.data(model.index(1, 1), DataSetTableModel::RawValueRole).toDouble(), 1234.5);
    EXPECT_EQ(model.data(model.index(1, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Nome do Prato");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
              Qt::AlignRight);

    // Moves, a filter, an append, a delete, closing and reopening: the tester checks every signal.
    f.ds.Next();
    f.ds.SetFilter("CUSTO > 1");
    f.ds.SetFiltered(true);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "Feijão carioca");
    f.ds.SetFiltered(false);
    EXPECT_EQ(model.rowCount(), 5);
    f.ds.Append();
    f.ds.FieldByName("NMPRATO")->SetAsString("Sopa");
    f.ds.Post();
    EXPECT_EQ(model.rowCount(), 6);
    f.ds.First();
    f.ds.Delete();
    EXPECT_EQ(model.rowCount(), 5);
    f.ds.Close();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.data(model.index(0, 0)).isValid());
    f.ds.SetData(test::dishPacket());
    EXPECT_EQ(model.rowCount(), 5);
}

TEST(DBGridCursor, GridMovesTheDataSet)
{
    GridFixture f;
    f.afterScrollRows.clear();

    f.grid->SelectRow(2);
    EXPECT_EQ(f.ds.RecNo(), 3);
    EXPECT_EQ(f.ds.FieldByName("NMPRATO")->AsString(), "Frango grelhado");

    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, cellCentre(*f.grid, 3, 1));
    EXPECT_EQ(f.ds.RecNo(), 4);
    EXPECT_EQ(f.grid->CurrentRow(), 3);
    EXPECT_EQ(f.grid->SelectedIndex(), 1);

    f.grid->setFocus();
    QTest::keyClick(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.ds.RecNo(), 5);
    QTest::keyClick(f.grid, Qt::Key_Up);
    EXPECT_EQ(f.ds.RecNo(), 4);

    // One scroll per move: the two directions do not feed each other.
    EXPECT_EQ(f.afterScrollRows, (std::vector<int>{3, 4, 5, 4}));

    // Moving between columns of the same row does not move the dataset.
    f.grid->SetSelectedIndex(0);
    EXPECT_EQ(f.grid->SelectedIndex(), 0);
    EXPECT_EQ(f.afterScrollRows.size(), 4u);
}

TEST(DBGridCursor, DataSetMovesTheGrid)
{
    GridFixture f;
    EXPECT_EQ(f.grid->CurrentRow(), 0);
    f.ds.Next();
    EXPECT_EQ(f.grid->CurrentRow(), 1);
    f.ds.Last();
    EXPECT_EQ(f.grid->CurrentRow(), 4);
    f.ds.SetRecNo(3);
    EXPECT_EQ(f.grid->CurrentRow(), 2);
    EXPECT_TRUE(f.ds.Locate("NMPRATO", Variant("Arroz branco")));
    EXPECT_EQ(f.grid->CurrentRow(), 0);
    EXPECT_EQ(f.afterScrollRows.size(), 4u);
}

TEST(DBGridCursor, AFailingScrollHandlerLeavesGridAndDataSetTogether)
{
    ExceptionRecorder recorder;
    GridFixture f;
    f.ds.AfterScroll = [](TClientDataSet &) { throw std::runtime_error("Erro ao carregar o dia"); };
    f.grid->SelectRow(3);
    EXPECT_EQ(recorder.Messages(), std::vector<std::string>{"Erro ao carregar o dia"});
    EXPECT_EQ(f.grid->CurrentRow(), f.ds.RecNo() - 1);

    // A handler that moves the dataset somewhere else: the grid ends where the dataset is.
    f.ds.AfterScroll = [](TClientDataSet &d) {
        if (d.RecNo() == 2)
            d.SetRecNo(5);
    };
    f.grid->SelectRow(1);
    EXPECT_EQ(f.ds.RecNo(), 5);
    EXPECT_EQ(f.grid->CurrentRow(), 4);
}

// The day handling walks the table it was called from, with its controls disabled and its own
// after-scroll handler detached, and returns to the starting row: the click stays where it was.
TEST(DBGridCursor, ScrollHandlerThatWalksTheSameDataSet)
{
    GridFixture f;
    QAbstractItemModelTester tester(f.grid->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    int handled = 0;
    double sum = 0;
    f.ds.AfterScroll = [&](TClientDataSet &d) {
        ++handled;
        DetachEventGuard<TClientDataSet::TDataSetNotifyEvent> detach(d.AfterScroll);
        DisableControlsGuard controls(d);
        const TBookmark here = d.GetBookmark();
        sum = 0;
        for (d.First(); !d.Eof(); d.Next())
            sum += d.FieldByName("CUSTO")->AsFloat();
        d.GotoBookmark(here);
    };
    QSignalSpy resets(f.grid->Model(), &tk::DataSetTableModel::Refreshed);
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, cellCentre(*f.grid, 2, 0));
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(f.ds.RecNo(), 3);
    EXPECT_EQ(f.grid->CurrentRow(), 2);
    EXPECT_DOUBLE_EQ(sum, 0.41235 + 1234.5 + 3.10001 + 0.0 + 12.0);
    processEventsFor(50);
    EXPECT_EQ(resets.count(), 1); // the one refresh after the walk, from the event loop
    EXPECT_EQ(f.grid->CurrentRow(), 2);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(f.grid->RecordCell(2, 0).brushColor, clHighlight);
}

TEST(DBGridFrozen, DisableControlsRefreshesOnceAfter)
{
    GridFixture f;
    QSignalSpy resets(f.grid->Model(), &tk::DataSetTableModel::Refreshed);
    {
        DisableControlsGuard guard(f.ds);
        f.ds.Next();
        f.ds.Next();
        f.ds.SetFilter("IDCUSTODESATU = 'S'");
        f.ds.SetFiltered(true);
        f.ds.First();
        EXPECT_EQ(resets.count(), 0);
        EXPECT_FALSE(f.grid->Showing());
        // Nothing is read or shown meanwhile.
        const PaintedCell cell = f.grid->RecordCell(0, 0);
        EXPECT_FALSE(cell.hasText);
        EXPECT_FALSE(f.grid->Model()->data(f.grid->Model()->index(0, 0)).isValid());
        f.grid->grab();
    }
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(f.grid->Model()->rowCount(), 2);
    EXPECT_EQ(f.grid->CurrentRow(), 0);
    EXPECT_EQ(f.grid->RecordCell(1, 0).text, "Pudim");
}

TEST(DBGridFrozen, DisabledSourceShowsNothingAndRefreshesOnceAfter)
{
    GridFixture f;
    QSignalSpy resets(f.grid->Model(), &tk::DataSetTableModel::Refreshed);
    {
        DisableSourceGuard guard(f.source);
        f.ds.Last();
        f.ds.SetFilter("CUSTO < 1");
        f.ds.SetFiltered(true);
        EXPECT_EQ(resets.count(), 0);
        EXPECT_FALSE(f.grid->RecordCell(0, 0).hasText);
        EXPECT_EQ(f.grid->CurrentRow(), 0); // frozen where it was
    }
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(f.grid->Model()->rowCount(), 2);
    EXPECT_EQ(f.grid->CurrentRow(), f.ds.RecNo() - 1);
    EXPECT_EQ(f.grid->RecordCell(1, 0).text, "Salada verde");
}

TEST(DBGridFrozen, SourceOrDataSetDestroyedFirstShowsNothing)
{
    QWidget window;
    auto ds = std::make_unique<TClientDataSet>("cdsDieta");
    auto source = std::make_unique<TDataSource>("dtsDieta", ds.get());
    ds->SetData(test::dishPacket());
    TDBGrid grid(&window, "dbgDieta");
    grid.AddColumn("NMPRATO");
    grid.SetDataSource(source.get());
    window.show();
    EXPECT_EQ(grid.RecordCell(0, 0).text, "Arroz branco");
    ds.reset();
    EXPECT_FALSE(grid.RecordCell(0, 0).hasText);
    grid.viewport()->grab();
    source.reset();
    EXPECT_EQ(grid.DataSource(), nullptr);
    EXPECT_FALSE(grid.RecordCell(0, 0).hasText);
    EXPECT_FALSE(grid.Model()->data(grid.Model()->index(0, 0)).isValid());
    grid.viewport()->grab();
}

TEST(DBGridDrawing, DefaultDrawingOfSelectedAndUnselectedCells)
{
    GridFixture f;
    TDBGrid &grid = *f.grid;
    f.ds.SetRecNo(2);
    RecordingCanvas metrics(grid.font());

    struct Case
    {
        int row;
        int col;
        const char *text;
        TColor brush;
        TColor font;
        CellAlignment alignment;
    };
    const Case cases[] = {
        {1, 0, "Feijão carioca", clHighlight, clHighlightText, CellAlignment::Left},  // the current cell
        {1, 1, "1.234,50000", clInfoBk, clWindowText, CellAlignment::Right},     // same row, other column
        {0, 0, "Arroz branco", clInfoBk, clWindowText, CellAlignment::Left},
        {0, 1, "0,41235", clInfoBk, clWindowText, CellAlignment::Right},
        {3, 1, "0,00000", clInfoBk, clWindowText, CellAlignment::Right},
        {0, 2, "01/03/2024", clInfoBk, clWindowText, CellAlignment::Left},            // dates on the left
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const PaintedCell cell = grid.RecordCell(c.row, c.col);
        EXPECT_EQ(cell.text, c.text);
        EXPECT_EQ(ColorToString(cell.brushColor), ColorToString(c.brush));
        EXPECT_EQ(ColorToString(cell.fontColor), ColorToString(c.font));
        EXPECT_EQ(cell.alignment, c.alignment);
        EXPECT_EQ(cell.textTop, 3);
        const QRect rect = grid.CellRect(c.row, c.col);
        if (c.alignment == CellAlignment::Left) {
            EXPECT_EQ(cell.textLeft, 3);
        } else {
            EXPECT_EQ(cell.textLeft, rect.width() - (metrics.TextWidth(c.text) + 2));
        }
    }

    // With row selection every cell of the current row is selected.
    grid.SetOptions(grid.Options() | dgRowSelect);
    EXPECT_EQ(grid.RecordCell(1, 1).brushColor, clHighlight);
    EXPECT_EQ(grid.RecordCell(1, 3).fontColor, clHighlightText);
    EXPECT_EQ(grid.RecordCell(2, 1).brushColor, clInfoBk);
    EXPECT_TRUE(grid.CellState(1, 3) & gdSelected);

    // Without an always-shown selection an unfocused grid shows none; the grid colour is used.
    grid.SetOptions(grid.Options() & ~dgAlwaysShowSelection);
    grid.clearFocus();
    EXPECT_EQ(grid.RecordCell(1, 0).brushColor, clInfoBk);
    grid.SetColor(clWindow);
    EXPECT_EQ(grid.RecordCell(0, 0).brushColor, clWindow);
}

// An owner-draw handler in the way the window's handlers are written.
void drawDish(TDBGrid &grid, const QRect &rect, int, TColumn &column, TGridDrawState state)
{
    TCanvas &canvas = grid.Canvas();
    TClientDataSet &ds = *grid.DataSet();
    canvas.FillRect(rect);
    if (state & gdSelected) {
        canvas.BrushColor = clHighlight;
        canvas.FontColor = clHighlightText;
    } else {
        canvas.BrushColor = clInfoBk;
        canvas.FontColor = clWindowText;
        if (ds.FieldByName("IDCUSTODESATU")->AsString() == "S")
            canvas.FontColor = clRed;
    }
    const std::string text = column.Field->DisplayText();
    if (column.FieldName == "NMPRATO")
        canvas.TextRect(rect, rect.left() + 3, rect.top() + 3, text);
    else
        canvas.TextRect(rect, rect.left() + rect.width() - (canvas.TextWidth(text) + 2), rect.top() + 3,
                        text);
    if (column.FieldName == "SAFRA") {
        canvas.BrushColor = TColor(ds.FieldByName("SAFRA")->AsInteger());
        canvas.FillRect(rect);
    }
}

TEST(DBGridDrawing, OwnerDrawHandlerSeesThePaintedRow)
{
    GridFixture f;
    TDBGrid &grid = *f.grid;
    grid.OnDrawColumnCell = drawDish;
    f.ds.SetRecNo(3);

    struct Case
    {
        int row;
        int col;
        const char *text;
        TColor font;
        TColor brush;
        CellAlignment alignment;
        bool swatch;
        TColor fill;
    };
    const Case cases[] = {
        {1, 0, "Feijão carioca", clRed, clInfoBk, CellAlignment::Left, false, 0},     // outdated: red
        {1, 1, "1.234,50000", clRed, clInfoBk, CellAlignment::Right, false, 0},
        {0, 1, "0,41235", clWindowText, clInfoBk, CellAlignment::Right, false, 0},
        {2, 0, "Frango grelhado", clHighlightText, clHighlight, CellAlignment::Left, false, 0}, // selected
        {4, 3, "8421504", clRed, clInfoBk, CellAlignment::Right, true, 0x00808080},   // swatch over the text
        {0, 3, "65280", clWindowText, clInfoBk, CellAlignment::Right, true, 0x0000FF00},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const PaintedCell cell = grid.RecordCell(c.row, c.col);
        // The 30-pixel swatch column elides its number, which the swatch covers anyway.
        EXPECT_EQ(cell.fullText, c.text);
        EXPECT_EQ(ColorToString(cell.fontColor), ColorToString(c.font));
        EXPECT_EQ(ColorToString(cell.brushColor), ColorToString(c.brush));
        EXPECT_EQ(cell.alignment, c.alignment);
        EXPECT_EQ(cell.hasFill, c.swatch);
        if (c.swatch) {
            EXPECT_EQ(cell.fill, c.fill);
            EXPECT_TRUE(cell.fillCoversCell);
        }
    }
    // Drawing other rows never moved the cursor.
    EXPECT_EQ(f.ds.RecNo(), 3);
    EXPECT_EQ(f.afterScrollRows.size(), 1u);

    // A handler that paints everything itself, without the default drawing.
    grid.DefaultDrawing = false;
    grid.OnDrawColumnCell = [](TDBGrid &g, const QRect &rect, int, TColumn &, TGridDrawState) {
        g.Canvas().TextOut(rect.left() + 1, rect.top() + 1, g.DataSet()->FieldByName("NMPRATO")->AsString());
    };
    RecordingCanvas canvas(grid.font());
    grid.RenderCell(4, 1, canvas);
    ASSERT_EQ(canvas.Ops().size(), 1u);
    EXPECT_EQ(canvas.Ops()[0].text, "Pudim");
}

TEST(DBGridDrawing, RealPaintUsesTheSameDrawing)
{
    GridFixture f;
    f.grid->OnDrawColumnCell = drawDish;
    f.ds.SetRecNo(1);
    const QImage image = f.grid->viewport()->grab().toImage();
    // The SAFRA cell of row 2 is a green swatch over its whole rectangle.
    const QRect swatch = f.grid->visualRect(f.grid->Model()->index(2, 3));
    EXPECT_EQ(QColor(image.pixel(swatch.center())), QColor(0, 0, 255)); // 0x00FF0000 is blue
    // The selected cell is painted in the highlight colour.
    const QRect selected = f.grid->visualRect(f.grid->Model()->index(0, 0));
    const QRect plain = f.grid->visualRect(f.grid->Model()->index(0, 1));
    EXPECT_EQ(QColor(image.pixel(plain.left() + 1, plain.bottom() - 1)).rgb(),
              toQColor(clInfoBk, QApplication::palette(f.grid)).rgb());
    EXPECT_EQ(QColor(image.pixel(selected.left() + 1, selected.bottom() - 1)).rgb(),
              toQColor(clHighlight, QApplication::palette(f.grid)).rgb());
}

TEST(DBGridDrawing, DrawErrorsAreReportedOnceAndNeverThrown)
{
    ExceptionRecorder recorder;
    GridFixture f;
    f.grid->OnDrawColumnCell = [](TDBGrid &g, const QRect &, int, TColumn &, TGridDrawState) {
        g.DataSet()->FieldByName("NAOEXISTE");
    };
    // Outside a paint the error is shown at once.
    f.grid->RecordCell(0, 0);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_NE(recorder.Messages()[0].find("NAOEXISTE"), std::string::npos);

    // Inside paints it is shown once, from the event loop, however often the grid repaints.
    recorder.Clear();
    f.grid->viewport()->grab();
    f.grid->viewport()->grab();
    EXPECT_TRUE(recorder.Messages().empty());
    processEventsFor(100);
    EXPECT_EQ(recorder.Messages().size(), 1u);
}

TEST(DBGridColumns, TitlesWidthsAndVisibility)
{
    GridFixture f;
    TDBGrid &grid = *f.grid;
    EXPECT_EQ(grid.ColumnTitle(0), "Nome do Prato"); // the field's display label
    EXPECT_EQ(grid.ColumnTitle(1), "Custo do Prato");
    EXPECT_EQ(grid.ColumnWidth(0), 150);
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(1), 90);
    EXPECT_EQ(grid.ColumnIndexByField("custo"), 1);
    EXPECT_EQ(grid.ColumnIndexByField("CUSTOPRODANT"), -1);
    EXPECT_EQ(grid.ColumnByField("SAFRA")->TitleCaption, "Safra");

    // Hidden with the default width, then shown with 78 and hidden again (the previous-cost toggle).
    grid.SetColumnVisible(1, false);
    grid.SetColumnWidth(1, -1);
    EXPECT_TRUE(grid.isColumnHidden(1));
    EXPECT_FALSE(grid.ColumnVisible(1));
    const int zero = QFontMetrics(grid.font()).horizontalAdvance(QLatin1Char('0'));
    EXPECT_GE(grid.ColumnWidth(1), f.ds.FieldByName("CUSTO")->DisplayWidth() * zero + 4);
    EXPECT_EQ(grid.CellRect(0, 2).left(), 150); // a hidden column takes no room
    grid.SetColumnVisible(1, true);
    grid.SetColumnWidth(1, 78);
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(1), 78);
    EXPECT_EQ(grid.CellRect(0, 2).left(), 228);

    // A title replaced at run time.
    QSignalSpy headers(grid.Model(), &QAbstractItemModel::headerDataChanged);
    grid.SetColumnTitle(1, "Comensais (Cliente)");
    EXPECT_EQ(grid.ColumnTitle(1), "Comensais (Cliente)");
    grid.SetColumnWidth(1, 200);
    EXPECT_EQ(grid.Model()->headerData(1, Qt::Horizontal).toString(), "Comensais (Cliente)");
    EXPECT_EQ(headers.count(), 1);

    // A user resizing a column changes its width.
    grid.horizontalHeader()->resizeSection(0, 200);
    EXPECT_EQ(grid.Columns()[0].Width, 200);
}

// A number wider than its column is never cut on its left, where it would read as another number:
// it is elided visibly and the whole value is the cell's tooltip. A text that fits has none.
TEST(DBGridFit, WideNumbersAreElidedWithTheWholeValueAsTooltip)
{
    GridFixture f;
    TDBGrid &grid = *f.grid;
    grid.SetColumnWidth(1, 40);
    const PaintedCell wide = grid.RecordCell(1, 1); // 1.234,50000
    EXPECT_TRUE(wide.elided);
    EXPECT_EQ(wide.fullText, "1.234,50000");
    EXPECT_NE(wide.text, "1.234,50000");
    EXPECT_EQ(wide.text.rfind("\u2026"), wide.text.size() - 3) << wide.text << " ends in an ellipsis";
    EXPECT_EQ(wide.text.rfind("1.2", 0), 0u) << wide.text << " keeps its leading digits";
    // Still right-aligned: it ends 2 pixels before the right edge, and starts inside the cell.
    EXPECT_GE(wide.textLeft, 0);
    EXPECT_EQ(grid.CellToolTip(1, 1), "1.234,50000");

    grid.SetColumnWidth(1, 90);
    EXPECT_FALSE(grid.RecordCell(1, 1).elided);
    EXPECT_EQ(grid.CellToolTip(1, 1), "");
    EXPECT_EQ(grid.CellToolTip(0, 0), "");

    // Owner-drawn cells go through the same canvas.
    grid.SetColumnWidth(0, 30);
    grid.OnDrawColumnCell = [](TDBGrid &g, const QRect &rect, int, TColumn &column, TGridDrawState) {
        const std::string text = column.Field->DisplayText();
        g.Canvas().TextRect(rect, rect.left() + rect.width() - g.Canvas().TextWidth(text) - 2, rect.top() + 3, text);
    };
    EXPECT_EQ(grid.CellToolTip(2, 0), "Frango grelhado");
}

TEST(DBGridFit, TitleTooltipAndFitOnDoubleClickOfTheDivider)
{
    GridFixture f;
    TDBGrid &grid = *f.grid;
    grid.SetColumnWidth(1, 200);
    EXPECT_EQ(grid.TitleToolTip(1), "");
    grid.SetColumnWidth(1, 50);
    EXPECT_EQ(grid.TitleToolTip(1), "Custo do Prato");
    // The header draws it shortened with an ellipsis, never cut off on one side.
    const QString drawn = grid.Model()->headerData(1, Qt::Horizontal).toString();
    EXPECT_TRUE(drawn.endsWith(QChar(0x2026))) << drawn.toStdString();
    EXPECT_TRUE(drawn.startsWith(QStringLiteral("Cu"))) << drawn.toStdString();
    EXPECT_LE(QFontMetrics(grid.TitleFont()).horizontalAdvance(drawn), 50 - 8);
    EXPECT_EQ(grid.horizontalHeader()->textElideMode(), Qt::ElideRight);

    // A double click on the divider fits the column to its widest text, the title included.
    emit grid.horizontalHeader()->sectionHandleDoubleClicked(1);
    const QFontMetrics cells(grid.font());
    const QFontMetrics titles(grid.TitleFont());
    const int widest = std::max(cells.horizontalAdvance(QStringLiteral("1.234,50000")) + 8,
                                titles.horizontalAdvance(QStringLiteral("Custo do Prato")) + 8);
    EXPECT_EQ(grid.ColumnWidth(1), widest);
    EXPECT_EQ(grid.Columns()[1].Width, widest);
    EXPECT_EQ(grid.TitleToolTip(1), "");
    for (int row = 0; row < f.ds.RecordCount(); ++row)
        EXPECT_FALSE(grid.RecordCell(row, 1).elided) << row;
}

// The day column stays in view while the user scrolls right: a view of the first column over the
// grid's left edge, on the same rows, selection and cell drawing.
TEST(DBGridFit, FrozenFirstColumnStaysInViewWhenScrolledRight)
{
    GridFixture f;
    TDBGrid &grid = *f.grid;
    grid.setGeometry(0, 0, 200, 120);
    EXPECT_EQ(grid.FrozenView(), nullptr);
    grid.SetFrozenColumns(1);
    QCoreApplication::processEvents();
    QTableView *frozen = grid.FrozenView();
    ASSERT_NE(frozen, nullptr);
    EXPECT_TRUE(frozen->isVisible());
    EXPECT_FALSE(frozen->isColumnHidden(0));
    for (int c = 1; c < grid.ColumnCount(); ++c)
        EXPECT_TRUE(frozen->isColumnHidden(c)) << c;
    EXPECT_EQ(frozen->width(), grid.ColumnWidth(0));
    EXPECT_EQ(frozen->x(), grid.frameWidth());

    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    QCoreApplication::processEvents();
    ASSERT_GT(grid.horizontalScrollBar()->value(), 0) << "the grid is wider than its view";
    EXPECT_EQ(frozen->x(), grid.frameWidth()) << "the frozen column does not scroll";
    EXPECT_EQ(frozen->columnViewportPosition(0), 0);

    // Rows follow the grid: a click on the frozen day moves the dataset, and the grid's vertical
    // scrolling moves the frozen rows.
    f.ds.First();
    frozen->selectionModel()->setCurrentIndex(frozen->model()->index(3, 0), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(f.ds.RecNo(), 4);
    EXPECT_EQ(grid.CurrentRow(), 3);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    EXPECT_EQ(frozen->verticalScrollBar()->value(), grid.verticalScrollBar()->value());

    // A wider day column widens the frozen view; none frozen removes it.
    grid.SetColumnWidth(0, 120);
    EXPECT_EQ(frozen->width(), 120);
    EXPECT_EQ(frozen->columnWidth(0), 120);
    grid.SetFrozenColumns(0);
    EXPECT_EQ(grid.FrozenView(), nullptr);
}

TEST(DBGridKeys, KeyHandlerSwallowsCtrlDelete)
{
    GridFixture f;
    TDBGrid &grid = *f.grid;
    grid.ConfirmDelete = [](TDBGrid &) { return true; };
    std::vector<std::pair<int, int>> seen;
    grid.OnKeyDown = [&](TDBGrid &, int &key, Qt::KeyboardModifiers shift) {
        seen.emplace_back(key, int(shift));
        if (key == Qt::Key_Delete && shift == Qt::ControlModifier)
            key = 0;
    };
    grid.PressKey(Qt::Key_Delete, Qt::ControlModifier);
    grid.PressKey(Qt::Key_Delete, Qt::ControlModifier | Qt::KeypadModifier); // keypad Delete
    EXPECT_EQ(f.ds.RecordCount(), 5);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].second, int(Qt::ControlModifier));

    // Ctrl+Shift+Delete passes the handler and reaches the grid, which does not delete on it.
    grid.PressKey(Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.ds.RecordCount(), 5);
    grid.PressKey(Qt::Key_Down);
    EXPECT_EQ(f.ds.RecNo(), 2);

    // Without the handler, an editable grid deletes the current record on Ctrl+Delete.
    grid.OnKeyDown = nullptr;
    grid.PressKey(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.ds.RecordCount(), 4);
    EXPECT_EQ(grid.Model()->rowCount(), 4);
    grid.ConfirmDelete = [](TDBGrid &) { return false; };
    grid.PressKey(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.ds.RecordCount(), 4);
    grid.ConfirmDelete = [](TDBGrid &) { return true; };
    grid.SetReadOnly(true);
    grid.PressKey(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.ds.RecordCount(), 4);
}

TEST(DBGridMouse, DoubleClickRunsAfterTheRowMoved)
{
    ExceptionRecorder recorder;
    GridFixture f;
    std::vector<std::string> opened;
    f.grid->OnDblClick = [&](TDBGrid &g) {
        opened.push_back(g.DataSet()->FieldByName("NMPRATO")->AsString());
    };
    QTest::mouseDClick(f.grid->viewport(), Qt::LeftButton, {}, cellCentre(*f.grid, 2, 0));
    EXPECT_EQ(opened, std::vector<std::string>{"Frango grelhado"});

    // Enter on the current row is the keyboard's double click; with a modifier it is not.
    f.grid->PressKey(Qt::Key_Down, Qt::NoModifier);
    f.grid->PressKey(Qt::Key_Return, Qt::NoModifier);
    f.grid->PressKey(Qt::Key_Enter, Qt::KeypadModifier);
    f.grid->PressKey(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[1], opened[2]) << "the same row, by Return and by the keypad's Enter";
    EXPECT_NE(opened[1], opened[0]);

    f.grid->OnDblClick = [](TDBGrid &) { throw std::runtime_error("Buscando origem do custo..."); };
    f.grid->DblClick();
    EXPECT_EQ(recorder.Messages(), std::vector<std::string>{"Buscando origem do custo..."});
}

// A dataset whose calculated field moves another dataset behind a disabled source while the
// first grid paints, as a dish computation walks its ingredients: the second grid is refreshed
// after the paint, never inside it.
TEST(DBGridNesting, CalculatedFieldsThatMoveAnotherGridWhilePainting)
{
    GridFixture ingredients;
    QAbstractItemModelTester tester(ingredients.grid->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);

    TClientDataSet dishes("qryPratos");
    dishes.AddField("NMPRATO", FieldType::String, 40);
    dishes.AddField("Total", FieldType::Float, 0, TFieldKind::fkCalculated);
    TClientDataSet &ing = ingredients.ds;
    TDataSource &ingSource = ingredients.source;
    dishes.OnCalcFields = [&](TClientDataSet &d) {
        DisableSourceGuard guard(ingSource);
        double total = 0;
        ing.SetFilter(FilterEq("IDCUSTODESATU", "S"));
        ing.SetFiltered(true);
        for (ing.First(); !ing.Eof(); ing.Next())
            total += ing.FieldByName("CUSTO")->AsFloat();
        ing.SetFiltered(false);
        d.FieldByName("Total")->SetAsFloat(total);
    };
    dishes.CreateDataSet();
    dishes.Append();
    dishes.FieldByName("NMPRATO")->SetAsString("Prato do dia");
    dishes.Post();
    TDataSource dishSource("dtsPratos", &dishes);
    QWidget window;
    TDBGrid dishGrid(&window, "dbgPratos");
    dishGrid.AddColumn("NMPRATO");
    dishGrid.AddColumn("Total");
    dishGrid.SetDataSource(&dishSource);
    window.show();

    dishes.Refresh();
    dishGrid.viewport()->grab();
    EXPECT_EQ(dishGrid.RecordCell(0, 1).text, FloatToStr(1246.5));
    processEventsFor(100);
    EXPECT_EQ(ingredients.grid->Model()->rowCount(), 5);
    EXPECT_EQ(ingredients.grid->CurrentRow(), ing.RecNo() - 1);
}

} // namespace
} // namespace tk
