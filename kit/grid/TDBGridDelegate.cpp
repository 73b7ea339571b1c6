#include "kit/grid/TDBGridDelegate.h"

#include "kit/data/TClientDataSet.h"
#include "kit/grid/TColumn.h"
#include "kit/grid/TDBGrid.h"
#include "kit/widgets/FitPopupToItems.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace {

const char *const kStartText = "kvrStartText";

QLineEdit *lineEditOf(const QWidget *editor)
{
    if (auto *combo = qobject_cast<const QComboBox *>(editor))
        return combo->lineEdit();
    if (auto *edit = qobject_cast<const QLineEdit *>(editor))
        return const_cast<QLineEdit *>(edit);
    return editor->findChild<QLineEdit *>();
}

} // namespace

TDBGridDelegate::TDBGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

void TDBGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    // The colour the cell was just painted with: highlight when selected,
    // else the grid's background.
    const QPalette::ColorGroup group =
        !option.state.testFlag(QStyle::State_Enabled) ? QPalette::Disabled
        : option.state.testFlag(QStyle::State_Active) ? QPalette::Active
                                                      : QPalette::Inactive;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QColor background =
        option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
    m_grid->drawCell(painter, option.rect, index.row(), index.column(), background, selected,
                     option.state.testFlag(QStyle::State_HasFocus));
}

QWidget *TDBGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                       const QModelIndex &index) const
{
    const TColumn *column = m_grid->columnForModelColumn(index.column());
    QWidget *editor = nullptr;
    if (column && !column->PickList().isEmpty()) {
        auto *combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Typed text is taken as typed: completing "5" to "50 - ..." would
        // store a code the user never typed. Only a pick assigns an item.
        combo->setCompleter(nullptr);
        combo->addItems(column->PickList());
        combo->setFrame(false);
        FitPopupToItems(combo);
        editor = combo;
    } else if (column && column->GetButtonStyle() == TColumn::ButtonStyle::Ellipsis) {
        auto *box = new QWidget(parent);
        auto *layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto *edit = new QLineEdit(box);
        edit->setFrame(false);
        auto *button = new QToolButton(box);
        button->setObjectName(QStringLiteral("ellipsis"));
        button->setText(QStringLiteral("..."));
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(edit, 1);
        layout->addWidget(button);
        box->setFocusProxy(edit);
        box->setAutoFillBackground(true);
        connect(button, &QToolButton::clicked, m_grid,
                [grid = m_grid] { grid->editButtonClicked(); });
        editor = box;
    } else {
        auto *edit = new QLineEdit(parent);
        edit->setFrame(false);
        editor = edit;
    }
    m_grid->editorCreated(editor);
    return editor;
}

void TDBGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QString text = index.data(Qt::EditRole).toString();
    editor->setProperty(kStartText, text);
    const TColumn *column = m_grid->columnForModelColumn(index.column());
    const TField *field = column ? column->Field() : nullptr;
    QLineEdit *edit = lineEditOf(editor);
    if (edit) {
        // The starting text may be a longer display text ("Todos"), and a
        // picked item is shown whole; typing is held to the field width by
        // the grid's key handling.
        if (!qobject_cast<QComboBox *>(editor))
            edit->setMaxLength(std::max(field ? field->Size() : 32767, int(text.size())));
        edit->setText(text);
        // Selected whole, cursor at the start: a text wider than the cell
        // shows where it begins.
        edit->setSelection(int(text.size()), -int(text.size()));
    }
    // Our key handling must see keys before the view's own editor filter.
    editor->installEventFilter(m_grid);
    if (edit && edit != editor)
        edit->installEventFilter(m_grid);
}

void TDBGridDelegate::setModelData(QWidget *editor, QAbstractItemModel *,
                                   const QModelIndex &index) const
{
    const QString text = editorText(editor);
    if (text == editor->property(kStartText).toString())
        return;
    m_grid->assignFromEditor(index.row(), index.column(), text);
}

void TDBGridDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    QRect rect = option.rect;
    // A narrow column with an ellipsis button: the editor grows to the
    // right so the whole code stays readable beside the button.
    if (auto *button = editor->findChild<QToolButton *>(QStringLiteral("ellipsis"))) {
        const TColumn *column = m_grid->columnForModelColumn(index.column());
        const TField *field = column ? column->Field() : nullptr;
        const int chars = field ? field->Size() : 4;
        const int needed =
            editor->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 12 +
            button->sizeHint().width();
        rect.setWidth(std::max(rect.width(), needed));
    }
    editor->setGeometry(rect);
}

QString TDBGridDelegate::editorText(const QWidget *editor)
{
    if (auto *combo = qobject_cast<const QComboBox *>(editor))
        return combo->currentText();
    const QLineEdit *edit = lineEditOf(editor);
    return edit ? edit->text() : QString();
}
