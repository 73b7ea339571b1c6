#include "kit/search/TPesquisaModel.h"

#include "kit/data/TClientDataSet.h"

TPesquisaModel::TPesquisaModel(TClientDataSet *dataSet, bool pickMany, bool allFields,
                               QObject *parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet)
{
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        TField *field = dataSet->Fields(i);
        const bool isMark = field->FieldName() == MarkFieldName;
        if (pickMany && isMark) {
            // The mark field, when shown, is the check column.
            if (field->Visible() && m_markColumn < 0) {
                m_markColumn = static_cast<int>(m_fields.size());
                m_fields.push_back(-1);
            }
            continue;
        }
        if (field->Visible() || allFields)
            m_fields.push_back(i);
    }
    if (pickMany && m_markColumn < 0) {
        m_fields.insert(m_fields.begin(), -1);
        m_markColumn = 0;
    }
}

int TPesquisaModel::FieldOfColumn(int column) const
{
    return column >= 0 && column < static_cast<int>(m_fields.size()) ? m_fields[column] : -1;
}

int TPesquisaModel::ColumnChars(int column) const
{
    const int field = FieldOfColumn(column);
    if (field < 0 || !m_dataSet)
        return 2;
    return m_dataSet->Fields(field)->DisplayWidth();
}

void TPesquisaModel::ToggleMark(int row)
{
    if (row < 0 || row >= rowCount() || m_markColumn < 0)
        return;
    if (!m_marked.removeOne(row))
        m_marked.append(row);
    const QModelIndex cell = index(row, m_markColumn);
    Q_EMIT dataChanged(cell, cell, {Qt::CheckStateRole});
}

QString TPesquisaModel::text(int row, int column) const
{
    const int field = FieldOfColumn(column);
    if (field < 0 || !m_dataSet)
        return QString();
    return m_dataSet->data(m_dataSet->index(row, field), Qt::DisplayRole).toString();
}

int TPesquisaModel::FindRow(const QString &wanted, int column, int from) const
{
    const int rows = rowCount();
    if (wanted.isEmpty() || rows == 0)
        return -1;
    from = qBound(0, from, rows - 1);
    if (FieldOfColumn(column) < 0) {
        // Search the first text column when the check column is current.
        for (int c = 0; c < columnCount(); ++c) {
            if (FieldOfColumn(c) >= 0) {
                column = c;
                break;
            }
        }
    }
    for (int step = 0; step < rows; ++step) {
        const int row = (from + step) % rows;
        if (text(row, column).startsWith(wanted, Qt::CaseInsensitive))
            return row;
    }
    for (int step = 0; step < rows; ++step) {
        const int row = (from + step) % rows;
        for (int c = 0; c < columnCount(); ++c) {
            if (text(row, c).contains(wanted, Qt::CaseInsensitive))
                return row;
        }
    }
    return -1;
}

int TPesquisaModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataSet || !m_dataSet->Active())
        return 0;
    return m_dataSet->RecordCount();
}

int TPesquisaModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size());
}

QVariant TPesquisaModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (index.column() == m_markColumn) {
        if (role == Qt::CheckStateRole)
            return IsMarked(index.row()) ? Qt::Checked : Qt::Unchecked;
        return QVariant();
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return text(index.row(), index.column());
    return QVariant();
}

QVariant TPesquisaModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= columnCount())
        return QVariant();
    const int field = FieldOfColumn(section);
    if (field < 0) {
        TField *mark = m_dataSet ? m_dataSet->FindField(MarkFieldName) : nullptr;
        return mark && mark->Visible() ? mark->DisplayLabel() : QString();
    }
    return m_dataSet ? m_dataSet->Fields(field)->DisplayLabel() : QString();
}

Qt::ItemFlags TPesquisaModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == m_markColumn)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

bool TPesquisaModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || index.column() != m_markColumn ||
        role != Qt::CheckStateRole)
        return false;
    const bool wanted = value.toInt() == Qt::Checked;
    if (wanted != IsMarked(index.row()))
        ToggleMark(index.row());
    return true;
}
