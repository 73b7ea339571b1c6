#include "kit/grid/TDBGridHeader.h"

#include "kit/grid/TColumn.h"
#include "kit/grid/TDBGrid.h"

#include <QPainter>
#include <QStyleOptionHeader>

TDBGridHeader::TDBGridHeader(TDBGrid *grid) : QHeaderView(Qt::Horizontal, grid), m_grid(grid)
{
    setSectionsClickable(false);
    setHighlightSections(false);
}

QString TDBGridHeader::titleOf(int logicalIndex) const
{
    if (const TColumn *column = m_grid->columnForModelColumn(logicalIndex))
        return column->Title();
    return model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
}

void TDBGridHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = rect;
    opt.section = logicalIndex;
    opt.text = titleOf(logicalIndex);
    opt.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    opt.state |= QStyle::State_Enabled;
    if (isEnabled() && window()->isActiveWindow())
        opt.state |= QStyle::State_Active;
    const int visual = visualIndex(logicalIndex);
    if (count() == 1)
        opt.position = QStyleOptionHeader::OnlyOneSection;
    else if (visual == 0)
        opt.position = QStyleOptionHeader::Beginning;
    else if (visual == count() - 1)
        opt.position = QStyleOptionHeader::End;
    else
        opt.position = QStyleOptionHeader::Middle;
    painter->save();
    painter->setFont(font());
    style()->drawControl(QStyle::CE_Header, &opt, painter, this);
    painter->restore();
}

QSize TDBGridHeader::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    const QFontMetrics fm(font());
    size.setWidth(fm.horizontalAdvance(titleOf(logicalIndex)) + 8);
    return size;
}
