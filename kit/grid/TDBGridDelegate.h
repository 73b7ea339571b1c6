#pragma once

#include <QStyledItemDelegate>

class TDBGrid;

// Cell painting and in-place editors of a data grid: a line edit limited to
// the field's width, an editable drop-down for a column with a pick list
// (typed text is kept as typed, never completed from the list), and a line
// edit with an ellipsis button for a column that asks for one.
// Edited text reaches the field only when it differs from the text the
// editor started with.
class TDBGridDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TDBGridDelegate(TDBGrid *grid);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

    // The text an editor shows, whatever its kind.
    static QString editorText(const QWidget *editor);

private:
    TDBGrid *m_grid;
};
