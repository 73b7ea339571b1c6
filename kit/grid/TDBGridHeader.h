#pragma once

#include <QHeaderView>

class TDBGrid;

// The grid's title row: shows each column's title rather than the model's
// header text, in the grid's title font.
class TDBGridHeader final : public QHeaderView
{
    Q_OBJECT
public:
    explicit TDBGridHeader(TDBGrid *grid);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    QString titleOf(int logicalIndex) const;

    TDBGrid *m_grid;
};
