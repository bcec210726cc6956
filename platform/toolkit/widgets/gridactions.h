#pragma once

// TGridActions: what every data-aware grid offers besides showing its dataset -- a selection of
// rows, copying it, exporting the grid to CSV or XLSX and printing it -- owned by the grid and
// reached through its context menu and keys.
//
// The selection never moves the dataset on its own: a click moves the cursor to the clicked row
// exactly as before (its handlers run once), and Ctrl or Shift held during the click only changes
// which rows are selected besides it. Ctrl+A selects every row without a move. Any other move of
// the cursor (keys without Shift, the program's own moves) and any change of the data collapse the
// selection to the current row. With no rows selected explicitly, the selection is the current row.
//
// Keys (after the grid's own key handler, which may swallow them): Ctrl+C copies the selection
// with the captions as the user sees them (tab-separated text and an HTML table), Ctrl+Shift+C the
// plain values, Ctrl+A selects all.

#include "platform/toolkit/export/tableexport.h"
#include "platform/toolkit/widgets/printframe.h"

#include <QObject>
#include <QString>

#include <functional>
#include <set>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QMimeData;
class QWidget;

namespace tk {

class TDBGrid;

class TGridActions : public QObject
{
    Q_OBJECT

public:
    explicit TGridActions(TDBGrid &grid);
    ~TGridActions() override;

    // --- Selection -----------------------------------------------------------------------------
    // View rows selected, ascending: the explicit selection, else the current row (none when the
    // grid shows no row).
    std::vector<int> SelectedRows() const;
    bool IsRowSelected(int viewRow) const;
    // Rows selected besides the current one (drawn with a highlight over the cells).
    bool HasExplicitSelection() const { return !m_rows.empty(); }
    void SelectAll();
    // Selects the given rows without moving the cursor (rows out of range are left out).
    void SelectRows(const std::vector<int> &viewRows);
    void ClearSelection();

    // --- Copy ----------------------------------------------------------------------------------
    // Tab-separated captions and cells as the grid paints them, one line a row.
    QString SelectionText() const;
    // The same as an HTML table, numbers right-aligned.
    QString SelectionHtml() const;
    // Plain values: numbers in full precision without thousands separators (locale decimal
    // separator), dates in the short date format.
    QString SelectionValues() const;
    QMimeData *SelectionMime(bool values) const; // caller owns
    void Copy(bool values = false);

    // --- Export and print ----------------------------------------------------------------------
    // The grid as a sheet: its visible columns with their titles and widths, the rows of the view
    // (or only the selected ones), values from the dataset, texts as the cells are painted.
    ExportSheet Sheet(bool selectedOnly = false) const;
    // The caption of the page the grid stands on, else the window's title, else the grid's name.
    std::string SheetName() const;
    void ExportCsv(const std::string &path, const CsvOptions &options = {}) const;
    void ExportXlsx(const std::string &path) const;
    // The header printed on each page; without one the sheet name is the title.
    std::function<PrintFrame()> PrintHeader;
    PrintFrame Frame() const;
    PrintedTable PrintPdf(const QString &path) const;
    // The preview dialog (print to a printer or a PDF from there).
    void PrintPreview();

    // --- Menu ----------------------------------------------------------------------------------
    // "Copiar", "Copiar valores", "Selecionar tudo", "Exportar CSV…", "Exportar planilha…",
    // "Imprimir…", then the owner's own actions.
    QMenu *CreateMenu(QWidget *parent);
    std::vector<QAction *> ExtraActions; // Not owned.
    // Asks for a file to write (a save dialog); empty cancels. selectedFilter receives the filter
    // chosen among those given (separated by ";;"). Tests and the driver replace it.
    std::function<QString(const QString &title, const QString &defaultName, const QString &filters,
                          QString *selectedFilter)>
        ChooseFile;
    void ExportCsvByUser();
    void ExportXlsxByUser();

    // --- Hooks the grid calls ----------------------------------------------------------------
    // Around the grid's own handling of a mouse press on a row (-1: below the rows).
    void BeginUserMove();
    void EndMousePress(int viewRow, Qt::KeyboardModifiers modifiers);
    // Around a key the grid moves with; Shift held extends the selection from the anchor.
    void EndKeyMove(Qt::KeyboardModifiers modifiers);
    // A key the actions take (Ctrl+C, Ctrl+Shift+C, Ctrl+A): true when taken.
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
    // The dataset's cursor moved, or its data changed.
    void CursorMoved();
    void DataChanged();

private:
    std::vector<int> rowsOrCurrent() const;
    int rowCount() const;
    void changed();
    QString defaultFileName(const char *extension) const;

    TDBGrid &m_grid;
    std::set<int> m_rows;   // explicit selection; empty: the current row
    int m_anchor = -1;      // where a Shift selection starts
    int m_rowBeforeMove = -1;
    bool m_userMoving = false;
};

} // namespace tk
