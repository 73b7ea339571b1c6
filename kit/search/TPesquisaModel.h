#pragma once

#include "kit/KvrKitExport.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <vector>

class TClientDataSet;

// The rows of a dataset as a search window lists them: the visible fields
// (or all, on request) with their labels and display texts, and in pick-many
// mode a check column whose marks keep the order they were set in. The
// dataset's own rows are read in place, never copied.
class KVRKIT_EXPORT TPesquisaModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static inline const QString MarkFieldName = QStringLiteral("IDMARCADO");

    TPesquisaModel(TClientDataSet *dataSet, bool pickMany, bool allFields,
                   QObject *parent = nullptr);

    // Field index behind a column, -1 for the check column.
    int FieldOfColumn(int column) const;
    int MarkColumn() const { return m_markColumn; }
    // Width of a column in characters (the field's display width).
    int ColumnChars(int column) const;

    // Picked rows, in the order they were marked.
    const QList<int> &Marked() const { return m_marked; }
    bool IsMarked(int row) const { return m_marked.contains(row); }
    void ToggleMark(int row);

    // First row at or after `from` (wrapping) whose text in `column` starts
    // with `text`, else whose text in any column contains it; -1 if none.
    int FindRow(const QString &text, int column, int from) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    QString text(int row, int column) const;

    QPointer<TClientDataSet> m_dataSet;
    std::vector<int> m_fields; // field index per column, -1 for the check column
    int m_markColumn = -1;
    QList<int> m_marked;
};
