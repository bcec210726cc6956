#include "platform/toolkit/widgets/gridactions.h"

#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/widgets/dbgrid.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/pagecontrol.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tk {

namespace {

const QString kCsvSemicolon = QStringLiteral("CSV - ponto e vírgula, vírgula decimal (*.csv)");
const QString kCsvComma = QStringLiteral("CSV - vírgula, ponto decimal (*.csv)");

QString html(const std::string &text)
{
    return QString::fromStdString(text).toHtmlEscaped();
}

// Tabs and line breaks inside a cell would split it on pasting.
QString tsvCell(const std::string &text)
{
    QString out = QString::fromStdString(text);
    out.replace(QLatin1Char('\t'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    out.remove(QLatin1Char('\r'));
    return out;
}

QString valueText(const ExportColumn &column, const ExportCell &cell)
{
    if (cell.null)
        return column.kind == ExportKind::Text ? tsvCell(cell.text) : QString();
    switch (column.kind) {
    case ExportKind::Number:
        return QString::fromStdString(FullNumberText(cell.number, FormatSettings().decimalSeparator));
    case ExportKind::Date:
    case ExportKind::DateTime:
        return QString::fromStdString(std::floor(cell.number) == cell.number ? DateToStr(cell.number)
                                                                           : DateTimeToStr(cell.number));
    case ExportKind::Boolean: return cell.number != 0 ? QStringLiteral("1") : QStringLiteral("0");
    case ExportKind::Text: break;
    }
    return tsvCell(cell.text);
}

} // namespace

TGridActions::TGridActions(TDBGrid &grid) : QObject(&grid), m_grid(grid) {}

TGridActions::~TGridActions() = default;

int TGridActions::rowCount() const
{
    return m_grid.Showing() ? m_grid.DataSet()->RecordCount() : 0;
}

// --- Selection ----------------------------------------------------------------------------

std::vector<int> TGridActions::SelectedRows() const
{
    return rowsOrCurrent();
}

std::vector<int> TGridActions::rowsOrCurrent() const
{
    const int count = rowCount();
    std::vector<int> rows;
    for (int r : m_rows) {
        if (r < count)
            rows.push_back(r);
    }
    if (rows.empty() && m_rows.empty()) {
        const int current = m_grid.CurrentRow();
        if (current >= 0 && current < count)
            rows.push_back(current);
    }
    return rows;
}

bool TGridActions::IsRowSelected(int viewRow) const
{
    if (m_rows.empty())
        return viewRow >= 0 && viewRow == m_grid.CurrentRow();
    return m_rows.count(viewRow) > 0;
}

void TGridActions::SelectAll()
{
    m_rows.clear();
    for (int r = 0; r < rowCount(); ++r)
        m_rows.insert(r);
    changed();
}

void TGridActions::SelectRows(const std::vector<int> &viewRows)
{
    m_rows.clear();
    const int count = rowCount();
    for (int r : viewRows) {
        if (r >= 0 && r < count)
            m_rows.insert(r);
    }
    changed();
}

void TGridActions::ClearSelection()
{
    if (m_rows.empty())
        return;
    m_rows.clear();
    changed();
}

void TGridActions::changed()
{
    m_grid.viewport()->update();
}

void TGridActions::BeginUserMove()
{
    m_userMoving = true;
    m_rowBeforeMove = m_grid.CurrentRow();
    if (m_anchor < 0)
        m_anchor = m_rowBeforeMove;
}

void TGridActions::EndMousePress(int viewRow, Qt::KeyboardModifiers modifiers)
{
    m_userMoving = false;
    if (viewRow < 0 || viewRow >= rowCount())
        return;
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    if (shift) {
        const int anchor = m_anchor >= 0 ? m_anchor : viewRow;
        if (!ctrl)
            m_rows.clear();
        for (int r = std::min(anchor, viewRow); r <= std::max(anchor, viewRow); ++r)
            m_rows.insert(r);
    } else if (ctrl) {
        if (m_rows.empty() && m_rowBeforeMove >= 0)
            m_rows.insert(m_rowBeforeMove);
        if (!m_rows.erase(viewRow))
            m_rows.insert(viewRow);
        m_anchor = viewRow;
    } else {
        m_rows.clear();
        m_anchor = viewRow;
    }
    changed();
}

void TGridActions::EndKeyMove(Qt::KeyboardModifiers modifiers)
{
    m_userMoving = false;
    const int current = m_grid.CurrentRow();
    if (!(modifiers & Qt::ShiftModifier) || current < 0) {
        m_rows.clear();
        m_anchor = current;
        changed();
        return;
    }
    const int anchor = m_anchor >= 0 ? m_anchor : m_rowBeforeMove;
    m_rows.clear();
    for (int r = std::min(anchor, current); r <= std::max(anchor, current); ++r)
        m_rows.insert(r);
    changed();
}

bool TGridActions::HandleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers mods = modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (key == Qt::Key_C && mods == Qt::ControlModifier) {
        Copy(false);
        return true;
    }
    if (key == Qt::Key_C && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        Copy(true);
        return true;
    }
    if (key == Qt::Key_Insert && mods == Qt::ControlModifier) {
        Copy(false);
        return true;
    }
    if (key == Qt::Key_A && mods == Qt::ControlModifier) {
        SelectAll();
        return true;
    }
    return false;
}

void TGridActions::CursorMoved()
{
    if (m_userMoving)
        return;
    m_anchor = m_grid.CurrentRow();
    ClearSelection();
}

void TGridActions::DataChanged()
{
    m_anchor = -1;
    ClearSelection();
}

// --- Sheets -------------------------------------------------------------------------------

ExportSheet TGridActions::Sheet(bool selectedOnly) const
{
    ExportSheet sheet;
    sheet.name = SheetName();
    if (!m_grid.Showing())
        return sheet;
    TClientDataSet &ds = *m_grid.DataSet();
    std::vector<DataSetColumn> wanted;
    std::vector<int> gridColumns;
    for (int c = 0; c < m_grid.ColumnCount(); ++c) {
        if (!m_grid.ColumnVisible(c) || !ds.FindField(m_grid.Columns()[size_t(c)].FieldName))
            continue;
        wanted.push_back({m_grid.Columns()[size_t(c)].FieldName, m_grid.ColumnTitle(c), m_grid.ColumnWidth(c)});
        gridColumns.push_back(c);
    }
    if (wanted.empty())
        return sheet;
    sheet.columns = ColumnsOf(ds, wanted);
    for (size_t i = 0; i < gridColumns.size(); ++i) {
        const TColumn &column = m_grid.Columns()[size_t(gridColumns[i])];
        sheet.columns[i].rightAligned = columnAlignment(column, ds.FindField(column.FieldName))
                                        == TAlignment::taRightJustify;
    }
    std::vector<int> rows;
    if (selectedOnly) {
        rows = rowsOrCurrent();
        if (rows.empty())
            return sheet;
    } else {
        for (int r = 0; r < ds.RecordCount(); ++r)
            rows.push_back(r);
    }
    DataSetReadScope reading;
    AppendRows(sheet, ds, rows);
    // The texts as the cells are painted: the grid's draw handlers have the last word.
    auto &grid = const_cast<TDBGrid &>(m_grid);
    for (size_t i = 0; i < rows.size() && i < sheet.rows.size(); ++i) {
        for (size_t c = 0; c < gridColumns.size(); ++c) {
            const PaintedCell painted = grid.RecordCell(rows[i], gridColumns[c]);
            sheet.rows[i][c].text = painted.hasText ? painted.fullText : std::string();
        }
    }
    return sheet;
}

std::string TGridActions::SheetName() const
{
    for (QWidget *w = m_grid.parentWidget(); w; w = w->parentWidget()) {
        if (auto *page = qobject_cast<TTabSheet *>(w)) {
            if (!page->Caption().empty())
                return page->Caption();
        }
    }
    if (QWidget *top = m_grid.window(); top && !top->windowTitle().isEmpty())
        return top->windowTitle().toStdString();
    return m_grid.objectName().toStdString();
}

// --- Copy ---------------------------------------------------------------------------------

namespace {

// Tab-separated lines: the captions, then one line per row with each cell as cellText gives it.
QString tsvLines(const ExportSheet &sheet,
                 const std::function<QString(const ExportColumn &, const ExportCell &)> &cellText)
{
    QStringList lines;
    QStringList captions;
    for (const ExportColumn &c : sheet.columns)
        captions << tsvCell(c.caption);
    lines << captions.join(QLatin1Char('\t'));
    for (const auto &row : sheet.rows) {
        QStringList cells;
        for (size_t c = 0; c < row.size(); ++c)
            cells << cellText(sheet.columns[c], row[c]);
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

QString TGridActions::SelectionText() const
{
    return tsvLines(Sheet(true), [](const ExportColumn &, const ExportCell &cell) { return tsvCell(cell.text); });
}

QString TGridActions::SelectionValues() const
{
    return tsvLines(Sheet(true), [](const ExportColumn &column, const ExportCell &cell) {
        return valueText(column, cell);
    });
}

QString TGridActions::SelectionHtml() const
{
    const ExportSheet sheet = Sheet(true);
    QString out = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><table border=\"1\">\n<tr>");
    for (const ExportColumn &c : sheet.columns)
        out += QStringLiteral("<th>%1</th>").arg(html(c.caption));
    out += QStringLiteral("</tr>\n");
    for (const auto &row : sheet.rows) {
        out += QStringLiteral("<tr>");
        for (size_t c = 0; c < row.size(); ++c) {
            out += sheet.columns[c].rightAligned ? QStringLiteral("<td align=\"right\">") : QStringLiteral("<td>");
            out += html(row[c].text) + QStringLiteral("</td>");
        }
        out += QStringLiteral("</tr>\n");
    }
    out += QStringLiteral("</table></body></html>\n");
    return out;
}

QMimeData *TGridActions::SelectionMime(bool values) const
{
    auto *mime = new QMimeData;
    if (values) {
        mime->setText(SelectionValues());
    } else {
        mime->setText(SelectionText());
        mime->setHtml(SelectionHtml());
    }
    return mime;
}

void TGridActions::Copy(bool values)
{
    CallSafely([&] {
        if (!m_grid.Showing())
            return;
        QApplication::clipboard()->setMimeData(SelectionMime(values));
    });
}

// --- Export and print ---------------------------------------------------------------------

void TGridActions::ExportCsv(const std::string &path, const CsvOptions &options) const
{
    WriteCsv(Sheet(false), path, options);
}

void TGridActions::ExportXlsx(const std::string &path) const
{
    XlsxOptions options;
    options.title = SheetName();
    WriteXlsx({Sheet(false)}, path, options);
}

PrintFrame TGridActions::Frame() const
{
    if (PrintHeader)
        return PrintHeader();
    PrintFrame frame;
    frame.title = QString::fromStdString(SheetName());
    return frame;
}

PrintedTable TGridActions::PrintPdf(const QString &path) const
{
    return WriteTablePdf(Sheet(false), Frame(), path);
}

void TGridActions::PrintPreview()
{
    CallSafely([&] {
        const ExportSheet sheet = Sheet(false);
        const PrintFrame frame = Frame();
        QPrintPreviewDialog dialog(&m_grid);
        dialog.setWindowTitle(QStringLiteral("Imprimir - ") + frame.title);
        dialog.printer()->setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                                    TableNeedsLandscape(sheet) ? QPageLayout::Landscape
                                                                               : QPageLayout::Portrait,
                                                    QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        dialog.printer()->setDocName(frame.title);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                [&](QPrinter *printer) { CallSafely([&] { PrintTable(*printer, sheet, frame); }); });
        dialog.exec();
    });
}

QString TGridActions::defaultFileName(const char *extension) const
{
    QString name = QString::fromStdString(SheetName());
    for (QChar &c : name) {
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    return name + QLatin1Char('.') + QLatin1String(extension);
}

void TGridActions::ExportCsvByUser()
{
    QString filter = kCsvSemicolon;
    const QString filters = kCsvSemicolon + QStringLiteral(";;") + kCsvComma;
    QString path;
    if (ChooseFile) {
        path = ChooseFile(QStringLiteral("Exportar CSV"), defaultFileName("csv"), filters, &filter);
    } else {
        path = QFileDialog::getSaveFileName(&m_grid, QStringLiteral("Exportar CSV"), defaultFileName("csv"), filters,
                                            &filter);
        if (!path.isEmpty() && !path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
            path += QStringLiteral(".csv");
    }
    if (path.isEmpty())
        return;
    CsvOptions options;
    if (filter == kCsvComma) {
        options.separator = ',';
        options.decimalSeparator = '.';
    }
    CallSafely([&] { ExportCsv(path.toStdString(), options); });
}

void TGridActions::ExportXlsxByUser()
{
    const QString filters = QStringLiteral("Planilha do Excel (*.xlsx)");
    QString path;
    if (ChooseFile) {
        QString filter;
        path = ChooseFile(QStringLiteral("Exportar planilha"), defaultFileName("xlsx"), filters, &filter);
    } else {
        path = QFileDialog::getSaveFileName(&m_grid, QStringLiteral("Exportar planilha"), defaultFileName("xlsx"),
                                            filters);
        if (!path.isEmpty() && !path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
            path += QStringLiteral(".xlsx");
    }
    if (path.isEmpty())
        return;
    CallSafely([&] { ExportXlsx(path.toStdString()); });
}

QMenu *TGridActions::CreateMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mnuGrade"));
    const bool rows = !rowsOrCurrent().empty();
    QAction *copy = menu->addAction(QStringLiteral("Copiar"), this, [this] { Copy(false); });
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    copy->setEnabled(rows);
    QAction *values = menu->addAction(QStringLiteral("Copiar valores"), this, [this] { Copy(true); });
    values->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    values->setEnabled(rows);
    QAction *all = menu->addAction(QStringLiteral("Selecionar tudo"), this, [this] { SelectAll(); });
    all->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    all->setEnabled(rowCount() > 0);
    menu->addSeparator();
    const bool showing = m_grid.Showing();
    menu->addAction(QStringLiteral("Exportar CSV…"), this, [this] { ExportCsvByUser(); })->setEnabled(showing);
    menu->addAction(QStringLiteral("Exportar planilha…"), this, [this] { ExportXlsxByUser(); })->setEnabled(showing);
    menu->addAction(QStringLiteral("Imprimir…"), this, [this] { PrintPreview(); })->setEnabled(showing);
    if (!ExtraActions.empty()) {
        menu->addSeparator();
        for (QAction *action : ExtraActions)
            menu->addAction(action);
    }
    return menu;
}

} // namespace tk
