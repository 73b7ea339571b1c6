#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

#include <functional>
#include <utility>

// The CFOP x CST map of a tax: one row a CFOP, one column a CST, each cell
// the number of blocked and admitted rules that match it, coloured by what
// applies there. The rules of a cell, for its tooltip, come from a callback.
class RuleMapModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Counts
    {
        qint64 blocked = 0;
        qint64 admitted = 0;
    };
    // What a cell shows: "" none, "B" blocked only, "A" admitted only, "C" both.
    static QString Kind(const Counts &counts);
    using RulesOfCell = std::function<QString(const QString &cfop, const QString &cst)>;

    explicit RuleMapModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    // The cells of a map packet (MapRecord rows), in packet order.
    void SetCells(const QList<QStringList> &rows);
    void SetRulesOfCell(RulesOfCell rulesOfCell) { m_rulesOfCell = std::move(rulesOfCell); }
    QString Cfop(int row) const { return m_cfops.value(row); }
    QString Cst(int column) const { return m_csts.value(column); }
    Counts CountsAt(int row, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList m_cfops;
    QStringList m_csts;
    QHash<std::pair<int, int>, Counts> m_counts;
    RulesOfCell m_rulesOfCell;
};
