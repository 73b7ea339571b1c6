#include "kit/grid/TColumn.h"

#include "kit/data/TClientDataSet.h"
#include "kit/grid/TDBGrid.h"

#include <QFontMetrics>
#include <QHeaderView>

TColumn::TColumn(TDBGrid *grid, QString fieldName) : m_grid(grid), m_fieldName(std::move(fieldName))
{
}

TField *TColumn::Field() const
{
    TClientDataSet *ds = m_grid->DataSet();
    return ds ? ds->FindField(m_fieldName) : nullptr;
}

QString TColumn::Title() const
{
    if (!m_title.isEmpty())
        return m_title;
    if (const TField *f = Field())
        return f->DisplayLabel();
    return m_fieldName;
}

void TColumn::SetTitle(const QString &title)
{
    m_title = title;
    m_grid->columnsChanged();
}

void TColumn::SetWidth(int pixels)
{
    m_width = pixels;
    m_grid->columnsChanged(this);
}

int TColumn::EffectiveWidth() const
{
    if (m_width > 0)
        return m_width;
    const TField *f = Field();
    const int chars = f ? f->DisplayWidth() : 10;
    const QFontMetrics cellFont(m_grid->font());
    const QFontMetrics titleFont(m_grid->horizontalHeader()->font());
    const int cell = cellFont.averageCharWidth() * chars + 4;
    const int title = titleFont.horizontalAdvance(Title()) + 8;
    return std::max(cell, title);
}
