#include "CLI/STD/KVR/KVR51400/RuleMapModel.h"

#include "fiscal/MapRecord.h"

#include <QColor>

using kvr::fiscal::MapRecord;

QString RuleMapModel::Kind(const Counts &counts)
{
    if (counts.blocked && counts.admitted)
        return QStringLiteral("C");
    if (counts.blocked)
        return QStringLiteral("B");
    if (counts.admitted)
        return QStringLiteral("A");
    return QString();
}

void RuleMapModel::SetCells(const QList<QStringList> &rows)
{
    beginResetModel();
    m_cfops.clear();
    m_csts.clear();
    m_counts.clear();
    QHash<QString, int> cfopAt;
    QHash<QString, int> cstAt;
    for (const QStringList &row : rows) {
        const QString &cfop = row.at(MapRecord::CDFISCOPER);
        const QString &cst = row.at(MapRecord::CDSITUTRIB);
        if (!cfopAt.contains(cfop)) {
            cfopAt.insert(cfop, int(m_cfops.size()));
            m_cfops.append(cfop);
        }
        if (!cstAt.contains(cst)) {
            cstAt.insert(cst, int(m_csts.size()));
            m_csts.append(cst);
        }
        m_counts.insert({cfopAt.value(cfop), cstAt.value(cst)},
                        {row.at(MapRecord::QTBLOQUEADAS).toLongLong(),
                         row.at(MapRecord::QTADMITIDAS).toLongLong()});
    }
    endResetModel();
}

RuleMapModel::Counts RuleMapModel::CountsAt(int row, int column) const
{
    return m_counts.value({row, column});
}

int RuleMapModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_cfops.size());
}

int RuleMapModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_csts.size());
}

QVariant RuleMapModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Counts counts = CountsAt(index.row(), index.column());
    const QString kind = Kind(counts);
    switch (role) {
    case Qt::DisplayRole:
        if (kind.isEmpty())
            return QString();
        return QStringLiteral("%1/%2").arg(counts.blocked).arg(counts.admitted);
    case Qt::BackgroundRole:
        if (kind == QLatin1String("B"))
            return QColor(0xe5, 0x39, 0x35);
        if (kind == QLatin1String("A"))
            return QColor(0x43, 0xa0, 0x47);
        if (kind == QLatin1String("C"))
            return QColor(0xfb, 0x8c, 0x00);
        return QColor(0xf2, 0xf2, 0xf2);
    case Qt::ForegroundRole:
        return kind.isEmpty() ? QColor(Qt::gray) : QColor(Qt::white);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::ToolTipRole: {
        const QString cfop = Cfop(index.row());
        const QString cst = Cst(index.column());
        QString tip = QStringLiteral("CFOP %1, CST %2: %3 bloqueada(s), %4 admitida(s)")
                          .arg(cfop, cst.isEmpty() ? QStringLiteral("Todos") : cst)
                          .arg(counts.blocked)
                          .arg(counts.admitted);
        if (!kind.isEmpty() && m_rulesOfCell)
            tip += QLatin1Char('\n') + m_rulesOfCell(cfop, cst);
        return tip;
    }
    default:
        return {};
    }
}

QVariant RuleMapModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return Cfop(section);
    const QString cst = Cst(section);
    return cst.isEmpty() ? QStringLiteral("Todos") : cst;
}
