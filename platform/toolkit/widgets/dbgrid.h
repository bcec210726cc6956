#pragma once

// TDBGrid: the data-aware grid.
//
// Columns name the fields they show; the grid's current row and its dataset's cursor follow each
// other both ways (a click or a key moves the dataset, a dataset move moves the grid). Every cell
// is drawn by RenderCell: first the default drawing (background or highlight colours and the
// field's display text) when DefaultDrawing is set, then OnDrawColumnCell, both on the same
// canvas and with the dataset's active record set to the cell's row. The delegate calls
// RenderCell with a painting canvas; tests and the driver call it with a RecordingCanvas.
//
// While the data source is disabled, the dataset closed or its controls disabled, the grid
// shows nothing and reads nothing; it refreshes once when they are back.

#include "platform/toolkit/widgets/canvas.h"
#include "platform/toolkit/widgets/datasettablemodel.h"

#include <QHash>
#include <QTableView>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tk {

class TGridActions;

enum TDBGridOption : unsigned {
    dgEditing = 1u << 0,         // records may be deleted (Ctrl+Delete); cells are not edited in place
    dgTitles = 1u << 1,
    dgIndicator = 1u << 2,
    dgColumnResize = 1u << 3,
    dgColLines = 1u << 4,
    dgRowLines = 1u << 5,
    dgTabs = 1u << 6,
    dgRowSelect = 1u << 7,
    dgAlwaysShowSelection = 1u << 8,
    dgConfirmDelete = 1u << 9,
};
using TDBGridOptions = unsigned;
constexpr TDBGridOptions kDefaultGridOptions =
    dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs | dgConfirmDelete;

enum TGridDrawStateFlag : unsigned {
    gdSelected = 1u << 0,
    gdFocused = 1u << 1,
    gdFixed = 1u << 2,
};
using TGridDrawState = unsigned;

class TDBGrid : public QTableView
{
    Q_OBJECT

public:
    explicit TDBGrid(QWidget *parent = nullptr, const std::string &name = {});
    ~TDBGrid() override;

    // --- Data --------------------------------------------------------------------------------
    TDataSource *DataSource() const; // Not owned.
    void SetDataSource(TDataSource *source);
    TClientDataSet *DataSet() const;
    // Rows can be shown: source enabled, dataset open, controls not disabled.
    bool Showing() const;

    // --- Columns -----------------------------------------------------------------------------
    const std::vector<TColumn> &Columns() const { return m_columns; }
    int ColumnCount() const { return int(m_columns.size()); }
    TColumn &Column(int index);
    void SetColumns(std::vector<TColumn> columns);
    int AddColumn(const std::string &fieldName, const std::string &title = {}, int width = -1,
                  TAlignment titleAlignment = TAlignment::taLeftJustify);
    void ClearColumns();
    int ColumnIndexByField(const std::string &fieldName) const; // -1 when absent (case-insensitive)
    TColumn *ColumnByField(const std::string &fieldName);
    void SetColumnWidth(int index, int width); // -1 or 0: the default width
    void SetColumnVisible(int index, bool visible);
    void SetColumnTitle(int index, const std::string &caption);
    void SetColumnTitleAlignment(int index, TAlignment alignment);
    // What the grid shows: the effective width in pixels, the title text.
    int ColumnWidth(int index) const;
    std::string ColumnTitle(int index) const;
    bool ColumnVisible(int index) const;

    // --- Options and appearance -----------------------------------------------------------------
    TDBGridOptions Options() const { return m_options; }
    void SetOptions(TDBGridOptions options);
    bool HasOption(TDBGridOption option) const { return (m_options & option) != 0; }
    bool ReadOnly() const { return m_readOnly || !HasOption(dgEditing); }
    void SetReadOnly(bool value) { m_readOnly = value; }
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);
    // The font of the column titles (the cells use the grid's font).
    QFont TitleFont() const;
    void SetTitleFont(const QFont &font);
    bool DefaultDrawing = true;

    // --- Events (nullptr: none) ---------------------------------------------------------------
    std::function<void(TDBGrid &grid, const QRect &rect, int dataCol, TColumn &column, TGridDrawState state)>
        OnDrawColumnCell;
    // Set key to 0 to swallow the key.
    std::function<void(TDBGrid &grid, int &key, Qt::KeyboardModifiers shift)> OnKeyDown;
    // A double click, and Enter (without modifiers, outside cell editing) on the grid.
    std::function<void(TDBGrid &grid)> OnDblClick;
    // A cell's own hint, shown as its tooltip before any whole text of an elided cell; empty: none.
    // Runs with the cell's record current (WithViewRecord), so it may read the dataset's fields.
    std::function<std::string(TDBGrid &grid, TColumn &column)> OnCellHint;
    // Asked before Ctrl+Delete deletes a record with dgConfirmDelete; the default asks the user.
    std::function<bool(TDBGrid &grid)> ConfirmDelete;

    // --- Drawing -------------------------------------------------------------------------------
    // The canvas the running draw handler paints on (an idle recording canvas outside drawing).
    TCanvas &Canvas();
    // Draws a cell as the default drawing does, on Canvas(), with its current colours.
    void DefaultDrawColumnCell(const QRect &rect, int dataCol, TColumn &column, TGridDrawState state);
    // Draws one cell (default drawing, then OnDrawColumnCell) on any canvas, in the rectangle
    // CellRect gives. An error raised while drawing is reported, never thrown.
    void RenderCell(int viewRow, int col, TCanvas &canvas);
    void RenderCellAt(int viewRow, int col, const QRect &rect, TCanvas &canvas);
    // RenderCell on a RecordingCanvas with the grid's font: what a user sees in the cell.
    PaintedCell RecordCell(int viewRow, int col);
    // The cell's rectangle in grid coordinates: columns laid side by side by their widths
    // (hidden ones taking no room), rows by the row height; independent of scrolling.
    QRect CellRect(int viewRow, int col) const;
    int RowHeight() const;
    TGridDrawState CellState(int viewRow, int col) const;
    // With dgRowSelect every cell of the current row, else the current cell.
    bool IsSelectedCell(int viewRow, int col) const;

    // --- Cursor --------------------------------------------------------------------------------
    int CurrentRow() const; // 0-based view row, -1 when none
    int SelectedIndex() const; // current column, -1 when none
    void SetSelectedIndex(int col);
    // What a click on a row does: the grid and the dataset move to it.
    void SelectRow(int viewRow);

    // --- Reading what does not fit ---------------------------------------------------------------
    // A cell drawn elided (its text wider than its column) shows its whole text as a tooltip; so
    // does a title wider than its column. Empty when the text fits.
    std::string CellToolTip(int viewRow, int col);
    std::string TitleToolTip(int col) const;
    // What a double click on a column's right divider does: the column takes the width of its
    // widest cell text or its title, whichever is wider; returns the new width.
    int FitColumnToContent(int col);
    // The first `count` visible columns stay in view while the user scrolls right (0: none).
    void SetFrozenColumns(int count);
    int FrozenColumns() const { return m_frozenCount; }
    // How many times the grid has read its rows again from the dataset (a reload, a filter, its data
    // source enabled again); the driver reports it, so a handler that refreshes a grid more often
    // than once per user action shows.
    int RefreshCount() const { return m_refreshCount; }
    // The view that shows the frozen columns over the grid's left edge; nullptr when none.
    QTableView *FrozenView() const { return m_frozen; }

    // --- User actions for tests and the driver ---------------------------------------------------
    void PressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void DblClick();

    DataSetTableModel *Model() const { return m_model; } // Owned (child object).
    // Row selection, copy, export and print (gridactions.h). Owned (child object).
    TGridActions &Actions() const { return *m_actions; }

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void updateGeometries() override;

private:
    class Link;
    friend class Link;

    void refresh();
    void requestRefresh();
    void onScrolled();
    void onRecordChanged();
    void onActiveChanged();
    void syncCurrentFromDataSet();
    void updateRow(int row); // schedules a repaint of one view row
    void moveDataSetTo(int viewRow);
    void applyLayout();
    void applyOptions();
    void applyColors();
    void deleteCurrentRecord();
    void reportDrawError(const std::string &message);
    int defaultColumnWidth(int index) const;
    void syncFrozen();          // the frozen view's columns, colours and place
    int firstVisibleColumn() const;

    std::unique_ptr<Link> m_link;
    std::vector<TColumn> m_columns;
    DataSetTableModel *m_model = nullptr; // Owned (child object).
    TGridActions *m_actions = nullptr;    // Owned (child object).
    TDBGridOptions m_options = kDefaultGridOptions;
    bool m_readOnly = false;
    TColor m_color = clInfoBk;
    TColor m_fontColor = clWindowText;

    TCanvas *m_canvas = nullptr; // Not owned: the canvas of the cell being drawn.
    std::unique_ptr<RecordingCanvas> m_idleCanvas;
    bool m_syncing = false;       // moving the view to follow the dataset
    bool m_refreshPending = false;
    bool m_applyingLayout = false;
    // Measured widths by font: "0" in the cell font and each title in the title font, so that a
    // refresh does not shape the same texts again. Cleared when a font changes.
    mutable int m_digitWidth = -1;
    mutable QHash<QString, int> m_titleWidths;
    int m_paintDepth = 0;
    int m_deferDepth = 0;         // > 0 while refreshes must wait for the event loop
    std::string m_paintError;        // first draw error of the paint in progress
    std::string m_lastReportedError; // not reported again until the data changes
    int m_frozenCount = 0;
    int m_refreshCount = 0;
    QTableView *m_frozen = nullptr; // Owned (child widget); shares the model and the selection
};

} // namespace tk
