#include "platform/toolkit/widgets/dbgrid.h"

#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/gridactions.h"
#include "platform/toolkit/widgets/fonts.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <strings.h>

namespace tk {

// --- Data link and delegate ----------------------------------------------------------------

class TDBGrid::Link : public TDataLink
{
public:
    explicit Link(TDBGrid &grid) : m_grid(grid) {}

    void ActiveChanged() override { m_grid.onActiveChanged(); }
    void DataSetChanged() override { m_grid.requestRefresh(); }
    void DataSetScrolled(int) override { m_grid.onScrolled(); }
    void RecordChanged(TField *) override { m_grid.onRecordChanged(); }

private:
    TDBGrid &m_grid;
};

namespace {

// Paints every cell through the grid's RenderCell, so the module's draw handler runs for real
// cells exactly as it does for recorded ones.
class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        QPainterCanvas canvas(*painter, m_grid->font(), QApplication::palette(m_grid));
        m_grid->RenderCellAt(index.row(), index.column(), option.rect, canvas);
        painter->restore();
        // Rows selected besides the current one: a veil of the highlight colour over what the
        // draw handlers painted, so that their colours stay readable.
        if (m_grid->Actions().HasExplicitSelection() && index.row() != m_grid->CurrentRow()
            && m_grid->Actions().IsRowSelected(index.row())) {
            QColor veil = QApplication::palette(m_grid).color(QPalette::Highlight);
            veil.setAlpha(90);
            painter->fillRect(option.rect, veil);
        }
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        return QSize(m_grid->ColumnWidth(index.column()), m_grid->RowHeight());
    }

private:
    TDBGrid *m_grid; // Not owned (the delegate's parent).
};

// The frozen columns: a second view over the grid's left edge, on the same model and selection,
// showing only the first columns and scrolling vertically with the grid. Its cells are the grid's
// own (RenderCellAt), so they look and select exactly as the grid's.
class FrozenColumnsView : public QTableView
{
public:
    explicit FrozenColumnsView(TDBGrid *grid) : QTableView(grid), m_grid(grid)
    {
        setObjectName(grid->objectName() + QStringLiteral("_frozen"));
        setFocusPolicy(Qt::NoFocus);
        setFrameShape(QFrame::NoFrame);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setWordWrap(false);
        setCornerButtonEnabled(false);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        verticalHeader()->hide();
        verticalHeader()->setMinimumSectionSize(1);
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        horizontalHeader()->setMinimumSectionSize(1);
        horizontalHeader()->setStretchLastSection(false);
        horizontalHeader()->setHighlightSections(false);
        horizontalHeader()->setTextElideMode(Qt::ElideRight);
        setModel(grid->model());
        setSelectionModel(grid->selectionModel());
        setItemDelegate(new GridDelegate(grid));
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        QTableView::mouseDoubleClickEvent(event);
        m_grid->DblClick();
    }
    void wheelEvent(QWheelEvent *event) override { QCoreApplication::sendEvent(m_grid->verticalScrollBar(), event); }

private:
    TDBGrid *m_grid; // Not owned (the parent).
};

} // namespace

// The room a title leaves on the two sides of its section (the style's header margins).
constexpr int kTitleMargins = 8;

// --- Construction --------------------------------------------------------------------------

TDBGrid::TDBGrid(QWidget *parent, const std::string &name)
    : QTableView(parent), m_link(std::make_unique<Link>(*this))
{
    if (!name.empty())
        setObjectName(QString::fromStdString(name));
    m_model = new DataSetTableModel(&m_columns, m_link.get(), this);
    m_actions = new TGridActions(*this);
    setModel(m_model);
    setItemDelegate(new GridDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(RowHeight());
    m_idleCanvas = std::make_unique<RecordingCanvas>(font());
    InstallFontSubstitutes();

    // A user resizing a column changes the column's width, as the column list is the truth.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int newSize) {
        if (m_applyingLayout || newSize <= 0 || logical < 0 || logical >= ColumnCount())
            return;
        m_columns[size_t(logical)].Width = newSize;
        syncFrozen();
    });
    // Titles too wide for their column end in "…" and show whole as a tooltip; a double click on
    // a divider fits the column to its content.
    horizontalHeader()->setTextElideMode(Qt::ElideRight);
    m_model->TitleText = [this](int column, const QString &title) {
        return QFontMetrics(horizontalHeader()->font())
            .elidedText(title, Qt::ElideRight, std::max(0, ColumnWidth(column) - kTitleMargins));
    };
    horizontalHeader()->viewport()->installEventFilter(this);
    connect(horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, this,
            [this](int logical) { FitColumnToContent(logical); });
    applyOptions();
    applyColors();
}

TDBGrid::~TDBGrid()
{
    // The model reads through the link: it goes first.
    setModel(nullptr);
    delete m_model;
    m_model = nullptr;
    m_link.reset();
}

// --- Data ----------------------------------------------------------------------------------

TDataSource *TDBGrid::DataSource() const
{
    return m_link->DataSource();
}

TClientDataSet *TDBGrid::DataSet() const
{
    return m_model->DataSet();
}

bool TDBGrid::Showing() const
{
    return m_model->Showing();
}

void TDBGrid::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
    m_model->Refresh();
    applyLayout();
    syncCurrentFromDataSet();
}

void TDBGrid::onActiveChanged()
{
    // A disabled source freezes the grid: it shows nothing and is not reset until the source is
    // enabled again, which refreshes it.
    if (DataSource() && !DataSource()->Enabled()) {
        viewport()->update();
        return;
    }
    // A closed dataset empties the grid now. An opened one (or a source enabled again after the
    // dataset changed) is followed by DataSetChanged, which refreshes the grid once; a source
    // enabled again over an unchanged dataset only shows its rows again.
    if (!Showing())
        requestRefresh();
    else
        viewport()->update();
}

void TDBGrid::requestRefresh()
{
    if (!DataSetReadScope::Active() && m_paintDepth == 0 && m_deferDepth == 0) {
        refresh();
        return;
    }
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, [this] {
        if (m_refreshPending)
            refresh();
    }, Qt::QueuedConnection);
}

void TDBGrid::refresh()
{
    m_refreshPending = false;
    ++m_refreshCount;
    m_lastReportedError.clear();
    {
        // Rows removed under the view's current index move it: the dataset does not follow.
        QScopedValueRollback<bool> guard(m_syncing, true);
        m_model->Refresh();
    }
    applyLayout();
    syncCurrentFromDataSet();
    m_actions->DataChanged();
    viewport()->update();
}

void TDBGrid::onScrolled()
{
    TClientDataSet *ds = DataSet();
    if (!Showing())
        return;
    if (m_refreshPending || m_model->rowCount() != ds->RecordCount() || DataSetReadScope::Active()) {
        requestRefresh();
        return;
    }
    // Only the rows that lose and gain the cursor change: the rest of the grid is not drawn again.
    const int before = currentIndex().isValid() ? currentIndex().row() : -1;
    syncCurrentFromDataSet();
    updateRow(before); // also when the view's current index did not change
    updateRow(ds->CurrentViewRow());
    if (HasOption(dgIndicator))
        verticalHeader()->viewport()->update();
    m_actions->CursorMoved();
}

void TDBGrid::updateRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    viewport()->update(QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row)));
}

void TDBGrid::onRecordChanged()
{
    if (!Showing())
        return;
    m_model->RowChanged(DataSet()->CurrentViewRow());
    viewport()->update();
}

void TDBGrid::syncCurrentFromDataSet()
{
    if (!Showing() || ColumnCount() == 0)
        return;
    const int row = DataSet()->CurrentViewRow();
    QScopedValueRollback<bool> guard(m_syncing, true);
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clear();
        return;
    }
    int col = currentIndex().isValid() ? currentIndex().column() : firstVisibleColumn();
    if (col < 0)
        col = 0;
    const QModelIndex index = m_model->index(row, col);
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (HasOption(dgRowSelect))
        flags |= QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(index, flags);
    scrollTo(index);
}

void TDBGrid::moveDataSetTo(int viewRow)
{
    TClientDataSet *ds = DataSet();
    if (!Showing() || viewRow < 0 || viewRow >= ds->RecordCount())
        return;
    if (ds->CurrentViewRow() != viewRow)
        CallSafely([ds, viewRow] { ds->SetRecNo(viewRow + 1); });
    // The dataset may have refused the move or gone elsewhere; the grid shows where it is.
    syncCurrentFromDataSet();
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    // The cursor's rows are drawn highlighted (the whole row with row selection).
    updateRow(previous.isValid() ? previous.row() : -1);
    updateRow(current.isValid() ? current.row() : -1);
    if (m_syncing || !current.isValid())
        return;
    if (previous.isValid() && previous.row() == current.row())
        return;
    // A reset asked for by the handlers this move runs waits until the view's own change is done.
    ++m_deferDepth;
    moveDataSetTo(current.row());
    --m_deferDepth;
}

// --- Columns -------------------------------------------------------------------------------

TColumn &TDBGrid::Column(int index)
{
    return m_columns.at(size_t(index));
}

void TDBGrid::SetColumns(std::vector<TColumn> columns)
{
    m_model->BeginColumnsChange();
    m_columns = std::move(columns);
    m_model->EndColumnsChange();
    applyLayout();
    syncCurrentFromDataSet();
}

int TDBGrid::AddColumn(const std::string &fieldName, const std::string &title, int width,
                       TAlignment titleAlignment)
{
    TColumn column;
    column.FieldName = fieldName;
    column.TitleCaption = title;
    column.Width = width;
    column.TitleAlignment = titleAlignment;
    m_model->BeginColumnsChange();
    m_columns.push_back(std::move(column));
    m_model->EndColumnsChange();
    applyLayout();
    syncCurrentFromDataSet();
    return ColumnCount() - 1;
}

void TDBGrid::ClearColumns()
{
    SetColumns({});
}

int TDBGrid::ColumnIndexByField(const std::string &fieldName) const
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (strcasecmp(m_columns[i].FieldName.c_str(), fieldName.c_str()) == 0)
            return int(i);
    }
    return -1;
}

TColumn *TDBGrid::ColumnByField(const std::string &fieldName)
{
    const int index = ColumnIndexByField(fieldName);
    return index < 0 ? nullptr : &m_columns[size_t(index)];
}

void TDBGrid::SetColumnWidth(int index, int width)
{
    Column(index).Width = width;
    applyLayout();
}

void TDBGrid::SetColumnVisible(int index, bool visible)
{
    Column(index).Visible = visible;
    applyLayout();
}

void TDBGrid::SetColumnTitle(int index, const std::string &caption)
{
    Column(index).TitleCaption = caption;
    m_model->TitlesChanged();
}

void TDBGrid::SetColumnTitleAlignment(int index, TAlignment alignment)
{
    Column(index).TitleAlignment = alignment;
    m_model->TitlesChanged();
}

int TDBGrid::defaultColumnWidth(int index) const
{
    if (m_digitWidth < 0)
        m_digitWidth = QFontMetrics(font()).horizontalAdvance(QLatin1Char('0'));
    const TField *field = m_model->FieldOf(index);
    int width = field ? field->DisplayWidth() * m_digitWidth + 4 : 64;
    if (HasOption(dgTitles)) {
        const QString title = QString::fromStdString(ColumnTitle(index));
        auto found = m_titleWidths.constFind(title);
        if (found == m_titleWidths.constEnd())
            found = m_titleWidths.insert(title, QFontMetrics(horizontalHeader()->font()).horizontalAdvance(title));
        width = std::max(width, found.value() + 4);
    }
    return width;
}

int TDBGrid::ColumnWidth(int index) const
{
    if (index < 0 || index >= ColumnCount())
        return 0;
    const int width = m_columns[size_t(index)].Width;
    return width > 0 ? width : defaultColumnWidth(index);
}

std::string TDBGrid::ColumnTitle(int index) const
{
    return m_model->TitleOf(index);
}

bool TDBGrid::ColumnVisible(int index) const
{
    return index >= 0 && index < ColumnCount() && m_columns[size_t(index)].Visible;
}

int TDBGrid::firstVisibleColumn() const
{
    for (int i = 0; i < ColumnCount(); ++i) {
        if (m_columns[size_t(i)].Visible)
            return i;
    }
    return -1;
}

void TDBGrid::applyLayout()
{
    QScopedValueRollback<bool> guard(m_applyingLayout, true);
    for (int i = 0; i < ColumnCount(); ++i) {
        const bool visible = m_columns[size_t(i)].Visible;
        setColumnHidden(i, !visible);
        if (visible)
            horizontalHeader()->resizeSection(i, ColumnWidth(i));
    }
    syncFrozen();
}

// --- Options and colours -------------------------------------------------------------------

void TDBGrid::SetOptions(TDBGridOptions options)
{
    m_options = options;
    applyOptions();
}

void TDBGrid::applyOptions()
{
    horizontalHeader()->setVisible(HasOption(dgTitles));
    verticalHeader()->setVisible(HasOption(dgIndicator));
    horizontalHeader()->setSectionResizeMode(HasOption(dgColumnResize) ? QHeaderView::Interactive
                                                                       : QHeaderView::Fixed);
    setShowGrid(HasOption(dgColLines) || HasOption(dgRowLines));
    setTabKeyNavigation(HasOption(dgTabs));
    setSelectionBehavior(HasOption(dgRowSelect) ? QAbstractItemView::SelectRows
                                                : QAbstractItemView::SelectItems);
    syncCurrentFromDataSet();
    syncFrozen();
    viewport()->update();
}

void TDBGrid::SetColor(TColor color)
{
    m_color = color;
    applyColors();
}

void TDBGrid::SetFontColor(TColor color)
{
    m_fontColor = color;
    viewport()->update();
}

void TDBGrid::applyColors()
{
    // The empty area below the last row shows the grid's colour too.
    QPalette pal = palette();
    const QColor background = toQColor(m_color, QApplication::palette(this));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::Base, background);
    setPalette(pal);
    syncFrozen();
    viewport()->update();
}

QFont TDBGrid::TitleFont() const
{
    return horizontalHeader()->font();
}

void TDBGrid::SetTitleFont(const QFont &font)
{
    horizontalHeader()->setFont(font);
    m_titleWidths.clear();
    applyLayout();
}

void TDBGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        verticalHeader()->setDefaultSectionSize(RowHeight());
        m_digitWidth = -1;
        m_titleWidths.clear();
        m_idleCanvas = std::make_unique<RecordingCanvas>(font());
        applyLayout();
    }
}

void TDBGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    syncFrozen();
}

void TDBGrid::updateGeometries()
{
    QTableView::updateGeometries();
    syncFrozen();
}

// --- Drawing -------------------------------------------------------------------------------

TCanvas &TDBGrid::Canvas()
{
    return m_canvas ? *m_canvas : *m_idleCanvas;
}

int TDBGrid::RowHeight() const
{
    return QFontMetrics(font()).height() + 6;
}

bool TDBGrid::IsSelectedCell(int viewRow, int col) const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.row() != viewRow)
        return false;
    if (!HasOption(dgAlwaysShowSelection) && !hasFocus())
        return false;
    return HasOption(dgRowSelect) || current.column() == col;
}

TGridDrawState TDBGrid::CellState(int viewRow, int col) const
{
    TGridDrawState state = 0;
    if (IsSelectedCell(viewRow, col)) {
        state |= gdSelected;
        if (hasFocus() && currentIndex().column() == col)
            state |= gdFocused;
    }
    return state;
}

QRect TDBGrid::CellRect(int viewRow, int col) const
{
    int left = 0;
    for (int i = 0; i < col && i < ColumnCount(); ++i) {
        if (m_columns[size_t(i)].Visible)
            left += ColumnWidth(i);
    }
    const int line = showGrid() ? 1 : 0;
    const int height = RowHeight();
    return QRect(left, viewRow * height, std::max(0, ColumnWidth(col) - line), height - line);
}

void TDBGrid::DefaultDrawColumnCell(const QRect &rect, int dataCol, TColumn &column, TGridDrawState state)
{
    TCanvas &canvas = Canvas();
    const std::string text = column.Field ? column.Field->DisplayText() : std::string();
    const int width = canvas.TextWidth(text);
    int x = rect.left() + 3;
    switch (columnAlignment(column, column.Field)) {
    case TAlignment::taRightJustify: x = rect.left() + rect.width() - (width + 2); break;
    case TAlignment::taCenter: x = rect.left() + (rect.width() - width) / 2; break;
    case TAlignment::taLeftJustify: break;
    }
    canvas.TextRect(rect, x, rect.top() + 3, text);
}

void TDBGrid::RenderCell(int viewRow, int col, TCanvas &canvas)
{
    RenderCellAt(viewRow, col, CellRect(viewRow, col), canvas);
}

void TDBGrid::RenderCellAt(int viewRow, int col, const QRect &rect, TCanvas &canvas)
{
    if (col < 0 || col >= ColumnCount())
        return;
    canvas.BeginCell(rect);
    const TGridDrawState state = CellState(viewRow, col);
    const bool highlight = (state & gdSelected) != 0;
    canvas.FontBold = false;
    canvas.BrushColor = highlight ? clHighlight : m_color;
    canvas.FontColor = highlight ? clHighlightText : m_fontColor;

    TClientDataSet *ds = DataSet();
    if (!Showing() || viewRow < 0 || viewRow >= ds->RecordCount()) {
        canvas.BrushColor = m_color;
        canvas.FillRect(rect);
        return;
    }
    TColumn &column = m_columns[size_t(col)];
    DataSetReadScope scope;
    TCanvas *const saved = m_canvas;
    m_canvas = &canvas;
    try {
        column.Field = ds->FindField(column.FieldName);
        ds->WithViewRecord(viewRow, [&] {
            if (DefaultDrawing)
                DefaultDrawColumnCell(rect, col, column, state);
            if (OnDrawColumnCell)
                OnDrawColumnCell(*this, rect, col, column, state);
        });
    } catch (const std::exception &e) {
        reportDrawError(e.what());
    } catch (...) {
        reportDrawError(kUnknownErrorText);
    }
    m_canvas = saved;
}

PaintedCell TDBGrid::RecordCell(int viewRow, int col)
{
    RecordingCanvas canvas(font());
    RenderCell(viewRow, col, canvas);
    return canvas.Result();
}

void TDBGrid::reportDrawError(const std::string &message)
{
    // Inside a paint a dialog would repaint the grid and fail again: the first error of the paint
    // is reported once the paint is over, and the same error only once until the data changes.
    if (m_paintDepth > 0) {
        if (m_paintError.empty())
            m_paintError = message;
        return;
    }
    ShowExceptionMessage(message);
}

void TDBGrid::paintEvent(QPaintEvent *event)
{
    ++m_paintDepth;
    m_paintError.clear();
    QTableView::paintEvent(event);
    --m_paintDepth;
    // The frozen columns show the same rows: whatever the grid repaints, they repaint too.
    if (m_frozen)
        m_frozen->viewport()->update();
    if (!m_paintError.empty() && m_paintError != m_lastReportedError) {
        m_lastReportedError = m_paintError;
        ShowExceptionLater(m_paintError);
    }
}

// --- Cursor --------------------------------------------------------------------------------

int TDBGrid::CurrentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TDBGrid::SelectedIndex() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : -1;
}

void TDBGrid::SetSelectedIndex(int col)
{
    if (col < 0 || col >= ColumnCount())
        return;
    const int row = CurrentRow();
    if (row < 0)
        return;
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (HasOption(dgRowSelect))
        flags |= QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(m_model->index(row, col), flags);
}

void TDBGrid::SelectRow(int viewRow)
{
    if (viewRow < 0 || viewRow >= m_model->rowCount() || ColumnCount() == 0)
        return;
    int col = SelectedIndex();
    if (col < 0)
        col = std::max(0, firstVisibleColumn());
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (HasOption(dgRowSelect))
        flags |= QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(m_model->index(viewRow, col), flags);
}

// --- Keys and mouse ------------------------------------------------------------------------

void TDBGrid::keyPressEvent(QKeyEvent *event)
{
    int key = event->key();
    // The keypad flag is not a modifier the user holds: Delete on the keypad with Ctrl is Ctrl+Delete.
    const Qt::KeyboardModifiers shift = event->modifiers() & ~Qt::KeypadModifier;
    if (OnKeyDown)
        CallSafely([&] { OnKeyDown(*this, key, shift); });
    if (key == 0) {
        event->accept();
        return;
    }
    if (key == Qt::Key_Delete && shift == Qt::ControlModifier) {
        deleteCurrentRecord();
        event->accept();
        return;
    }
    // Enter on a row does what a double click on it does (the keyboard's way into a drill-down);
    // a grid without a double-click handler leaves Enter to the window.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && shift == Qt::NoModifier && OnDblClick
        && state() != QAbstractItemView::EditingState) {
        DblClick();
        event->accept();
        return;
    }
    // Copy and select-all are the actions' (the view's own copy of one cell never runs).
    if (m_actions->HandleKey(key, shift)) {
        event->accept();
        return;
    }
    const bool moves = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown
                       || key == Qt::Key_Home || key == Qt::Key_End;
    if (moves)
        m_actions->BeginUserMove();
    if (key != event->key()) {
        QKeyEvent replaced(event->type(), key, event->modifiers());
        QTableView::keyPressEvent(&replaced);
        event->setAccepted(replaced.isAccepted());
    } else {
        QTableView::keyPressEvent(event);
    }
    if (moves)
        m_actions->EndKeyMove(shift);
}

void TDBGrid::mousePressEvent(QMouseEvent *event)
{
    const int row = rowAt(event->position().toPoint().y());
    // A right click inside the selection keeps it (and the cursor) for the context menu.
    if (event->button() == Qt::RightButton && row >= 0 && m_actions->IsRowSelected(row)) {
        event->accept();
        return;
    }
    m_actions->BeginUserMove();
    QTableView::mousePressEvent(event);
    m_actions->EndMousePress(row, event->modifiers());
}

void TDBGrid::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = m_actions->CreateMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TDBGrid::deleteCurrentRecord()
{
    TClientDataSet *ds = DataSet();
    if (ReadOnly() || !Showing() || ds->IsEmpty())
        return;
    CallSafely([this, ds] {
        if (HasOption(dgConfirmDelete)) {
            const bool confirmed = ConfirmDelete
                ? ConfirmDelete(*this)
                : QMessageBox::question(this, QApplication::applicationDisplayName(),
                                        QStringLiteral("Excluir registro?")) == QMessageBox::Yes;
            if (!confirmed)
                return;
        }
        ds->Delete();
    });
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    DblClick();
}

void TDBGrid::PressKey(int key, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    keyPressEvent(&event);
}

void TDBGrid::DblClick()
{
    if (OnDblClick)
        CallSafely([this] { OnDblClick(*this); });
}

// --- Reading what does not fit ---------------------------------------------------------------

std::string TDBGrid::CellToolTip(int viewRow, int col)
{
    if (!Showing() || viewRow < 0 || viewRow >= DataSet()->RecordCount() || col < 0 || col >= ColumnCount())
        return {};
    const PaintedCell cell = RecordCell(viewRow, col);
    std::string text = cell.hasText && cell.elided ? cell.fullText : std::string();
    if (OnCellHint) {
        std::string hint;
        DataSet()->WithViewRecord(viewRow, [&] { hint = OnCellHint(*this, m_columns[static_cast<size_t>(col)]); });
        if (!hint.empty())
            text = text.empty() ? hint : hint + "\n" + text;
    }
    return text;
}

std::string TDBGrid::TitleToolTip(int col) const
{
    if (col < 0 || col >= ColumnCount() || !HasOption(dgTitles))
        return {};
    const std::string title = ColumnTitle(col);
    const int needed =
        QFontMetrics(horizontalHeader()->font()).horizontalAdvance(QString::fromStdString(title)) + kTitleMargins;
    return needed > ColumnWidth(col) ? title : std::string();
}

int TDBGrid::FitColumnToContent(int col)
{
    if (col < 0 || col >= ColumnCount())
        return 0;
    int width = QFontMetrics(horizontalHeader()->font()).horizontalAdvance(QString::fromStdString(ColumnTitle(col)))
                + kTitleMargins;
    if (Showing()) {
        const QFontMetrics metrics(font());
        DataSetReadScope reading;
        const int rows = DataSet()->RecordCount();
        for (int r = 0; r < rows; ++r) {
            const PaintedCell cell = RecordCell(r, col);
            if (cell.hasText)
                width = std::max(width, metrics.horizontalAdvance(QString::fromStdString(cell.fullText)) + 8);
        }
    }
    SetColumnWidth(col, width);
    return width;
}

void TDBGrid::SetFrozenColumns(int count)
{
    m_frozenCount = std::max(0, count);
    if (m_frozenCount == 0) {
        delete m_frozen;
        m_frozen = nullptr;
        return;
    }
    if (!m_frozen) {
        auto *view = new FrozenColumnsView(this);
        connect(view->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(), &QAbstractSlider::setValue);
        connect(verticalScrollBar(), &QAbstractSlider::valueChanged, view->verticalScrollBar(), &QAbstractSlider::setValue);
        // A frozen column is resized and fitted from its own title, as the grid's are.
        connect(view->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int newSize) {
            if (m_applyingLayout || newSize <= 0 || logical < 0 || logical >= ColumnCount())
                return;
            m_columns[size_t(logical)].Width = newSize;
            applyLayout();
        });
        connect(view->horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, this,
                [this](int logical) { FitColumnToContent(logical); });
        view->horizontalHeader()->viewport()->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        m_frozen = view;
        view->show();
    }
    syncFrozen();
}

void TDBGrid::syncFrozen()
{
    if (!m_frozen)
        return;
    QScopedValueRollback<bool> guard(m_applyingLayout, true);
    QTableView *view = m_frozen;
    view->setFont(font());
    view->horizontalHeader()->setFont(horizontalHeader()->font());
    view->setPalette(palette());
    view->setShowGrid(showGrid());
    view->setSelectionBehavior(selectionBehavior());
    view->horizontalHeader()->setSectionResizeMode(horizontalHeader()->sectionResizeMode(0));
    view->verticalHeader()->setDefaultSectionSize(RowHeight());
    int shown = 0;
    int width = 0;
    for (int c = 0; c < ColumnCount(); ++c) {
        const bool frozen = ColumnVisible(c) && shown < m_frozenCount;
        if (ColumnVisible(c))
            ++shown;
        view->setColumnHidden(c, !frozen);
        if (frozen) {
            view->setColumnWidth(c, ColumnWidth(c));
            width += ColumnWidth(c);
        }
    }
    const bool titles = horizontalHeader()->isVisible();
    view->horizontalHeader()->setVisible(titles);
    const int headerHeight = titles ? horizontalHeader()->height() : 0;
    view->horizontalHeader()->setFixedHeight(headerHeight);
    const int left = frameWidth() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0);
    view->setGeometry(left, frameWidth(), std::min(width, viewport()->width()), viewport()->height() + headerHeight);
    view->verticalScrollBar()->setValue(verticalScrollBar()->value());
    view->setVisible(width > 0);
}

bool TDBGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        const std::string text = index.isValid() ? CellToolTip(index.row(), index.column()) : std::string();
        if (text.empty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), QString::fromStdString(text), viewport());
        return true;
    }
    return QTableView::viewportEvent(event);
}

bool TDBGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        std::string text;
        QWidget *where = nullptr;
        if (watched == horizontalHeader()->viewport()) {
            text = TitleToolTip(horizontalHeader()->logicalIndexAt(help->pos()));
            where = horizontalHeader()->viewport();
        } else if (m_frozen && watched == m_frozen->horizontalHeader()->viewport()) {
            text = TitleToolTip(m_frozen->horizontalHeader()->logicalIndexAt(help->pos()));
            where = m_frozen->horizontalHeader()->viewport();
        } else if (m_frozen && watched == m_frozen->viewport()) {
            const QModelIndex index = m_frozen->indexAt(help->pos());
            text = index.isValid() ? CellToolTip(index.row(), index.column()) : std::string();
            where = m_frozen->viewport();
        } else {
            return QTableView::eventFilter(watched, event);
        }
        if (text.empty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), QString::fromStdString(text), where);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

} // namespace tk
