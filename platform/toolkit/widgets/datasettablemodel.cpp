#include "platform/toolkit/widgets/datasettablemodel.h"

namespace tk {

thread_local int DataSetReadScope::s_depth = 0;

TAlignment columnAlignment(const TColumn &column, const TField *field)
{
    if (column.Alignment)
        return *column.Alignment;
    if (field && (field->DataType() == FieldType::Integer || field->DataType() == FieldType::Float))
        return TAlignment::taRightJustify;
    return TAlignment::taLeftJustify;
}

static Qt::Alignment toQtAlignment(TAlignment alignment)
{
    switch (alignment) {
    case TAlignment::taRightJustify: return Qt::AlignRight | Qt::AlignVCenter;
    case TAlignment::taCenter: return Qt::AlignHCenter | Qt::AlignVCenter;
    case TAlignment::taLeftJustify: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QVariant variantToQVariant(const Variant &value)
{
    switch (value.type()) {
    case VarType::Null: return QVariant();
    case VarType::Boolean: return QVariant(value.asBoolean());
    case VarType::Integer: return QVariant(value.asInteger());
    case VarType::Double:
    case VarType::DateTime: return QVariant(value.asDouble());
    case VarType::String: return QVariant(QString::fromStdString(value.asString()));
    case VarType::Array:
    case VarType::Packet: break;
    }
    return QVariant(QString::fromStdString(value.toDisplayString()));
}

DataSetTableModel::DataSetTableModel(const std::vector<TColumn> *columns, const TDataLink *link,
                                     QObject *parent)
    : QAbstractTableModel(parent), m_columns(columns), m_link(link)
{
}

TClientDataSet *DataSetTableModel::DataSet() const
{
    return m_link->DataSet();
}

bool DataSetTableModel::Showing() const
{
    const TClientDataSet *ds = DataSet();
    return ds && m_link->Active() && !ds->ControlsDisabled();
}

int DataSetTableModel::currentRecordCount() const
{
    return Showing() ? DataSet()->RecordCount() : 0;
}

void DataSetTableModel::Refresh()
{
    // Rows added or removed at the end and every row changed, rather than a reset: the columns
    // stay, so the view keeps its header sections (their widths) and does not lay them out again.
    const int next = currentRecordCount();
    m_lastError.clear();
    if (next < m_rows) {
        beginRemoveRows(QModelIndex(), next, m_rows - 1);
        m_rows = next;
        endRemoveRows();
    } else if (next > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, next - 1);
        m_rows = next;
        endInsertRows();
    }
    if (m_rows > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1));
    emit Refreshed();
}

void DataSetTableModel::RowChanged(int row)
{
    if (row < 0 || row >= m_rows || columnCount() == 0)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DataSetTableModel::EndColumnsChange()
{
    m_rows = currentRecordCount();
    endResetModel();
}

void DataSetTableModel::TitlesChanged()
{
    if (columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

TField *DataSetTableModel::FieldOf(int column) const
{
    const TClientDataSet *ds = DataSet();
    if (!ds || column < 0 || column >= columnCount())
        return nullptr;
    return ds->FindField((*m_columns)[size_t(column)].FieldName);
}

std::string DataSetTableModel::TitleOf(int column) const
{
    if (column < 0 || column >= columnCount())
        return {};
    const TColumn &col = (*m_columns)[size_t(column)];
    if (!col.TitleCaption.empty())
        return col.TitleCaption;
    if (const TField *field = FieldOf(column))
        return field->DisplayLabel();
    return col.FieldName;
}

int DataSetTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DataSetTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns->size());
}

QVariant DataSetTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= columnCount())
        return QVariant();
    if (role == Qt::TextAlignmentRole) {
        const TColumn &column = (*m_columns)[size_t(index.column())];
        return QVariant(int(toQtAlignment(columnAlignment(column, FieldOf(index.column())))));
    }
    if (role != Qt::DisplayRole && role != RawValueRole)
        return QVariant();
    if (!Showing())
        return QVariant();
    TClientDataSet *ds = DataSet();
    if (index.row() >= ds->RecordCount())
        return QVariant();
    TField *field = FieldOf(index.column());
    if (!field)
        return QVariant();
    DataSetReadScope scope;
    try {
        if (role == RawValueRole)
            return variantToQVariant(ds->ViewValue(index.row(), field));
        return QVariant(QString::fromStdString(ds->ViewDisplayText(index.row(), field)));
    } catch (const std::exception &e) {
        m_lastError = e.what();
    } catch (...) {
        m_lastError = "unknown error";
    }
    return QVariant();
}

QVariant DataSetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole && section >= 0 && section < m_rows)
            return QVariant(section + 1);
        return QVariant();
    }
    if (section < 0 || section >= columnCount())
        return QVariant();
    if (role == Qt::DisplayRole) {
        const QString title = QString::fromStdString(TitleOf(section));
        return QVariant(TitleText ? TitleText(section, title) : title);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant(int(toQtAlignment((*m_columns)[size_t(section)].TitleAlignment)));
    return QVariant();
}

Qt::ItemFlags DataSetTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace tk
