#pragma once

// DataSetTableModel: the one table model behind every data-aware grid.
//
// Rows are the records of the dataset's view, columns the grid's column list. The model reads
// through the dataset's view access (ViewDisplayText / ViewValue), so showing a row never moves
// the cursor. It never shows dialogs: a failing read gives an empty cell and is kept in
// LastError(). The row count is cached and changes only on Refresh, which the grid calls when its
// data link says the dataset changed; while the source is disabled, the dataset is closed or its
// controls are disabled, the model shows nothing and reads nothing.

#include "platform/toolkit/data/datasource.h"

#include <QAbstractTableModel>

#include <functional>

#include <optional>
#include <string>
#include <vector>

namespace tk {

// One column of a grid.
struct TColumn
{
    std::string FieldName;
    std::string TitleCaption;                         // empty: the field's DisplayLabel
    TAlignment TitleAlignment = TAlignment::taLeftJustify;
    int Width = -1;                                   // pixels; -1 or 0: from the field's DisplayWidth
    bool Visible = true;
    std::optional<TAlignment> Alignment;              // cell text; unset: numbers right, others left
    TField *Field = nullptr;                          // Not owned. Set by the grid before each draw call.
};

// The cell alignment a column uses: its own, else right for numeric fields and left otherwise.
TAlignment columnAlignment(const TColumn &column, const TField *field);

// Depth of reads of datasets by grids and their models on this thread. While it is positive a
// grid defers the refreshes its data link asks for, so a model is never reset in the middle of
// a paint or a data() call (calculated fields computed while painting may notify other grids).
class DataSetReadScope
{
public:
    DataSetReadScope() { ++s_depth; }
    ~DataSetReadScope() { --s_depth; }
    DataSetReadScope(const DataSetReadScope &) = delete;
    DataSetReadScope &operator=(const DataSetReadScope &) = delete;
    static bool Active() { return s_depth > 0; }

private:
    static thread_local int s_depth;
};

class DataSetTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The raw field value (QVariant of the field's type; date-times as a double).
    static constexpr int RawValueRole = Qt::UserRole + 1;

    // columns: the grid's column list; link: the grid's data link, through which the model finds
    // its data source (so a source or dataset destroyed first is simply gone). Neither is owned;
    // both must outlive the model.
    DataSetTableModel(const std::vector<TColumn> *columns, const TDataLink *link, QObject *parent = nullptr);

    TDataSource *DataSource() const { return m_link->DataSource(); } // Not owned.
    TClientDataSet *DataSet() const;

    // True when rows can be read: the source is enabled, its dataset open and its controls
    // not disabled.
    bool Showing() const;

    // Re-reads the row count and everything shown (rows added or removed at the end, all rows
    // changed; the columns stay).
    void Refresh();
    // The values of one row changed.
    void RowChanged(int row);
    // Titles or title alignments changed.
    void TitlesChanged();
    // Around a change of the column list (a model reset).
    void BeginColumnsChange() { beginResetModel(); }
    void EndColumnsChange();

    TField *FieldOf(int column) const;
    std::string TitleOf(int column) const;
    // The title text the header draws (nullptr: TitleOf itself); the grid shortens titles wider
    // than their columns here, so the header never cuts one off.
    std::function<QString(int column, const QString &title)> TitleText;
    const std::string &LastError() const { return m_lastError; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // After each Refresh: the rows were read again from the dataset.
    void Refreshed();

private:
    int currentRecordCount() const;

    const std::vector<TColumn> *m_columns; // Not owned.
    const TDataLink *m_link;               // Not owned.
    int m_rows = 0;
    mutable std::string m_lastError;
};

QVariant variantToQVariant(const Variant &value);

} // namespace tk
