#pragma once

#include "kit/KvrKitExport.h"

#include <QString>
#include <QStringList>

class TDBGrid;
class TField;

// A persistent grid column: the field it shows, its title, width and pick
// list, and whether its cells offer an ellipsis button.
class KVRKIT_EXPORT TColumn final
{
public:
    enum class ButtonStyle { Auto, Ellipsis };

    TColumn(TDBGrid *grid, QString fieldName);

    TDBGrid *Grid() const { return m_grid; }
    const QString &FieldName() const { return m_fieldName; }
    // The column's field in the grid's open dataset, nullptr when there is none.
    TField *Field() const;

    // The title set here, else the field's label, else the field name.
    QString Title() const;
    void SetTitle(const QString &title);
    // Width in pixels; 0 takes the field's display width in characters of
    // the grid font, or the title's width when that is larger.
    int Width() const { return m_width; }
    void SetWidth(int pixels);
    // The width actually used.
    int EffectiveWidth() const;

    // Items offered by the cell's drop-down; the chosen one is assigned to the
    // field as a whole text (the field keeps what fits).
    QStringList &PickList() { return m_pickList; }
    const QStringList &PickList() const { return m_pickList; }
    void SetPickList(const QStringList &items) { m_pickList = items; }

    ButtonStyle GetButtonStyle() const { return m_buttonStyle; }
    void SetButtonStyle(ButtonStyle style) { m_buttonStyle = style; }

private:
    TDBGrid *m_grid;
    QString m_fieldName;
    QString m_title;
    int m_width = 0;
    QStringList m_pickList;
    ButtonStyle m_buttonStyle = ButtonStyle::Auto;
};
