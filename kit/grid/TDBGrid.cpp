#include "kit/grid/TDBGrid.h"

#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGridDelegate.h"
#include "kit/grid/TDBGridHeader.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <climits>
#include <memory>

Q_LOGGING_CATEGORY(lcGrid, "kvr.kit.grid")

namespace {

// The character a key event types, as the grid's key event sees it:
// Backspace is 8 and Enter 13; keys that type nothing give a null character.
QChar typedChar(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
        return QChar(char16_t(8));
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QChar(char16_t(13));
    default:
        break;
    }
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return QChar();
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return QChar();
    return text.at(0);
}

// A key event that types `ch` instead of what the user typed.
std::unique_ptr<QKeyEvent> replacement(const QKeyEvent *original, QChar ch)
{
    if (ch.unicode() == 8)
        return std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier,
                                           QStringLiteral("\b"));
    if (ch.unicode() == 13)
        return std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier,
                                           QStringLiteral("\r"));
    const int key = ch.toUpper().unicode();
    return std::make_unique<QKeyEvent>(QEvent::KeyPress, key,
                                       original->modifiers() & Qt::ShiftModifier, QString(ch));
}

bool isEditorWidget(const QObject *object)
{
    return qobject_cast<const QLineEdit *>(object) || qobject_cast<const QComboBox *>(object);
}

} // namespace

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent)
{
    m_header = new TDBGridHeader(this);
    setHorizontalHeader(m_header);
    m_delegate = new TDBGridDelegate(this);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    // By pixel: a column wider than the grid can be scrolled through, and
    // one step never jumps past it.
    setHorizontalScrollMode(ScrollPerPixel);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setMinimumSectionSize(4);
    // The user moved a column: the columns follow the header's order.
    connect(m_header, &QHeaderView::sectionMoved, this, [this] {
        if (m_syncing)
            return;
        std::stable_sort(m_columns.begin(), m_columns.end(), [this](const auto &a, const auto &b) {
            const TField *fa = a->Field();
            const TField *fb = b->Field();
            const int va = fa ? m_header->visualIndex(fa->Index()) : INT_MAX;
            const int vb = fb ? m_header->visualIndex(fb->Index()) : INT_MAX;
            return va < vb;
        });
        mapColumns();
        if (const int c = columnIndexOf(currentIndex().column()); c >= 0)
            m_selectedColumn = c;
    });
    // A width the user gives a column outlives reloads.
    connect(m_header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (m_syncing || m_resetting)
            return;
        if (const TColumn *c = columnForModelColumn(logical))
            m_userWidths[c->FieldName()] = size;
    });
    SetOptions(Options(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines |
                       dgRowLines | dgTabs | dgConfirmDelete | dgCancelOnExit));
}

TDBGrid::~TDBGrid()
{
    for (const auto &c : m_connections)
        disconnect(c);
}

void TDBGrid::SetDataSource(TDataSource *source)
{
    if (m_dataSource == source)
        return;
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = source;
    if (m_dataSource)
        connect(m_dataSource, &TDataSource::DataSetChanged, this, &TDBGrid::bindDataSet);
    bindDataSet();
}

TClientDataSet *TDBGrid::DataSet() const
{
    return m_dataSet;
}

void TDBGrid::bindDataSet()
{
    TClientDataSet *ds = m_dataSource ? m_dataSource->DataSet() : nullptr;
    if (ds == m_dataSet && model() == ds)
        return;
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_editor = nullptr;
    m_dataSet = ds;
    if (ds) {
        // Before the view's own handlers: an editor on rows about to go must
        // not write into them while the view lets it go.
        m_connections.push_back(
            connect(ds, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { dropEditor(); }));
        m_connections.push_back(connect(ds, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
            dropEditor();
            m_resetting = true;
        }));
    }
    setModel(ds);
    if (ds) {
        // Connected after the view's own handlers, so they see a settled view.
        m_connections.push_back(connect(ds, &QAbstractItemModel::modelReset, this, [this] {
            m_editor = nullptr; // the view has already let its editors go
            m_resetting = false;
            applyColumns();
            syncCurrent();
        }));
        m_connections.push_back(
            connect(ds, &QAbstractItemModel::columnsInserted, this, [this] { applyColumns(); }));
        m_connections.push_back(
            connect(ds, &TClientDataSet::currentChanged, this, [this] { syncCurrent(); }));
        m_connections.push_back(
            connect(ds, &TClientDataSet::focusFieldRequested, this, &TDBGrid::focusField));
        m_connections.push_back(connect(ds, &TClientDataSet::fieldVisibilityChanged, this, [this] {
            if (m_defaultColumns)
                applyColumns();
        }));
        m_connections.push_back(connect(ds, &TClientDataSet::updateRecord, this, [this] {
            if (QWidget *editor = liveEditor())
                commitData(editor);
        }));
        // After a post (already stored) or a cancel the editor's text is stale.
        m_connections.push_back(
            connect(ds, &TClientDataSet::stateChanged, this, [this](TClientDataSet::State state) {
                if (state != TClientDataSet::State::Edit && state != TClientDataSet::State::Insert)
                    dropEditor();
            }));
    }
    applyColumns();
    syncCurrent();
}

TColumn *TDBGrid::AddColumn(const QString &fieldName)
{
    if (m_defaultColumns) {
        m_columns.clear();
        m_defaultColumns = false;
    }
    m_columns.push_back(std::make_unique<TColumn>(this, fieldName));
    applyColumns();
    return m_columns.back().get();
}

void TDBGrid::ClearColumns()
{
    m_columns.clear();
    m_defaultColumns = true;
    applyColumns();
}

TColumn *TDBGrid::Columns(int index) const
{
    if (index < 0 || index >= int(m_columns.size()))
        return nullptr;
    return m_columns[size_t(index)].get();
}

TColumn *TDBGrid::ColumnByFieldName(const QString &fieldName) const
{
    for (const auto &c : m_columns)
        if (c->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return c.get();
    return nullptr;
}

void TDBGrid::SetOptions(Options options)
{
    m_options = options;
    horizontalHeader()->setVisible(options.testFlag(dgTitles));
    verticalHeader()->setVisible(options.testFlag(dgIndicator));
    setShowGrid(options.testFlag(dgColLines) || options.testFlag(dgRowLines));
    horizontalHeader()->setSectionResizeMode(
        options.testFlag(dgColumnResize) ? QHeaderView::Interactive : QHeaderView::Fixed);
    horizontalHeader()->setSectionsMovable(options.testFlag(dgColumnMove));
    setTabKeyNavigation(options.testFlag(dgTabs));
    setEditTriggers(options.testFlag(dgEditing) ? EditTriggers(DoubleClicked | SelectedClicked |
                                                               AnyKeyPressed | EditKeyPressed)
                                                : EditTriggers(NoEditTriggers));
}

QFont TDBGrid::TitleFont() const
{
    return m_header->font();
}

void TDBGrid::SetTitleFont(const QFont &font)
{
    m_header->setFont(font);
    applyColumns();
}

void TDBGrid::SetSelectedIndex(int column)
{
    if (column < 0 || column >= int(m_columns.size()))
        return;
    m_selectedColumn = column;
    syncCurrent();
}

TColumn *TDBGrid::SelectedColumn() const
{
    return Columns(m_selectedColumn);
}

TField *TDBGrid::SelectedField() const
{
    if (!m_dataSet || !m_dataSet->Active())
        return nullptr;
    const TColumn *column = SelectedColumn();
    return column ? column->Field() : nullptr;
}

TColumn *TDBGrid::columnForModelColumn(int modelColumn) const
{
    const int c = columnIndexOf(modelColumn);
    return c < 0 ? nullptr : m_columns[size_t(c)].get();
}

int TDBGrid::modelColumnOf(int column) const
{
    const TColumn *c = Columns(column);
    const TField *f = c ? c->Field() : nullptr;
    return f ? f->Index() : -1;
}

int TDBGrid::columnIndexOf(int modelColumn) const
{
    if (modelColumn < 0 || modelColumn >= int(m_columnOfModel.size()))
        return -1;
    return m_columnOfModel[size_t(modelColumn)];
}

void TDBGrid::mapColumns()
{
    m_columnOfModel.assign(m_dataSet ? size_t(m_dataSet->FieldCount()) : 0, -1);
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (const TField *f = m_columns[i]->Field())
            if (m_columnOfModel[size_t(f->Index())] < 0)
                m_columnOfModel[size_t(f->Index())] = int(i);
}

void TDBGrid::columnsChanged(const TColumn *column)
{
    if (column)
        m_userWidths.erase(column->FieldName());
    applyColumns();
}

void TDBGrid::applyColumns()
{
    if (m_defaultColumns) {
        // One column per visible field, rebuilt only when the fields changed.
        QStringList wanted;
        if (m_dataSet)
            for (int i = 0; i < m_dataSet->FieldCount(); ++i)
                if (m_dataSet->Fields(i)->Visible())
                    wanted << m_dataSet->Fields(i)->FieldName();
        QStringList have;
        for (const auto &c : m_columns)
            have << c->FieldName();
        if (wanted != have) {
            m_columns.clear();
            for (const QString &name : wanted)
                m_columns.push_back(std::make_unique<TColumn>(this, name));
        }
    }
    mapColumns();
    if (!model())
        return;
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    QHeaderView *h = horizontalHeader();
    const int n = model()->columnCount();
    for (int l = 0; l < n; ++l)
        h->setSectionHidden(l, columnIndexOf(l) < 0);
    int position = 0;
    for (const auto &c : m_columns) {
        const TField *f = c->Field();
        if (!f)
            continue;
        const int from = h->visualIndex(f->Index());
        if (from != position)
            h->moveSection(from, position);
        const auto user = m_userWidths.find(c->FieldName());
        h->resizeSection(f->Index(),
                         user != m_userWidths.end() ? user->second : c->EffectiveWidth());
        ++position;
    }
    m_syncing = wasSyncing;
    h->viewport()->update();
}

void TDBGrid::syncCurrent()
{
    if (!m_dataSet || model() != m_dataSet)
        return;
    const int row = m_dataSet->RecNo();
    int column = modelColumnOf(m_selectedColumn);
    if (column < 0)
        for (int c = 0; c < ColumnCount() && column < 0; ++c)
            column = modelColumnOf(c);
    if (row < 0 || column < 0)
        return;
    const QModelIndex target = m_dataSet->index(row, column);
    if (target == currentIndex())
        return;
    // The dataset moved on its own: a pending edit was already stored
    // (updateRecord), so the editor goes without writing again.
    if (currentIndex().row() != row)
        dropEditor();
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    setCurrentIndex(target);
    m_syncing = wasSyncing;
}

QWidget *TDBGrid::liveEditor() const
{
    // The view hides an editor it lets go (rows removed) before deleting it later.
    return m_editor && !m_editor->isHidden() ? m_editor.data() : nullptr;
}

void TDBGrid::dropEditor()
{
    if (!m_editor)
        return;
    QWidget *editor = m_editor;
    m_editor = nullptr;
    if (editor->isVisible()) // else the view has let it go already
        closeKeepingFocus(editor, QAbstractItemDelegate::NoHint);
}

void TDBGrid::closeKeepingFocus(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Qt passes the focus of a closing editor down the focus chain (out of
    // the grid) when it sits in a child of the editor, as in a drop-down.
    QWidget *focus = QApplication::focusWidget();
    const bool hadFocus = focus && (focus == editor || editor->isAncestorOf(focus));
    QTableView::closeEditor(editor, hint);
    QWidget *now = QApplication::focusWidget();
    const bool stillInGrid = now && (now == this || isAncestorOf(now));
    if (hadFocus && !stillInGrid && isVisible())
        setFocus(Qt::OtherFocusReason);
}

void TDBGrid::focusField(TField *field)
{
    if (!field)
        return;
    const int column = columnIndexOf(field->Index());
    if (column < 0)
        return;
    m_selectedColumn = column;
    syncCurrent();
    // An editor still open on that cell keeps the focus.
    QWidget *focus = QApplication::focusWidget();
    if (!(m_editor && focus && m_editor->isAncestorOf(focus)) && focus != m_editor)
        setFocus();
}

bool TDBGrid::leaveCell(int targetRow, int targetModelColumn)
{
    if (!m_dataSet || !m_dataSet->Active())
        return true;
    const QModelIndex from = currentIndex();
    return kvrGuard([&] {
        if (QWidget *editor = liveEditor())
            commitData(editor);
        if (from.isValid() && targetModelColumn != from.column() && OnColExit)
            OnColExit(this);
        if (targetRow >= 0 && targetRow != m_dataSet->RecNo() &&
            targetRow < m_dataSet->RecordCount())
            m_dataSet->SetRecNo(targetRow); // posts a pending edit first
    });
}

bool TDBGrid::fireKeyPress(QChar &key)
{
    if (!OnKeyPress)
        return true;
    const bool completed = kvrGuard([&] { OnKeyPress(this, key); });
    return completed && !key.isNull();
}

void TDBGrid::openEditor(QEvent *event)
{
    const QModelIndex index = currentIndex();
    if (!index.isValid() || !m_options.testFlag(dgEditing))
        return;
    const bool wasReplaying = m_replaying;
    m_replaying = true;
    if (event)
        edit(index, AnyKeyPressed, event);
    else
        edit(index);
    m_replaying = wasReplaying;
}

void TDBGrid::deleteRecord()
{
    if (!m_dataSet || !m_dataSet->Active() || m_dataSet->IsEmpty())
        return;
    if (m_options.testFlag(dgConfirmDelete)) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmação"),
                        QStringLiteral("Excluir registro?"), QMessageBox::Ok | QMessageBox::Cancel,
                        this);
        box.setObjectName(QStringLiteral("confirmDelete"));
        if (box.exec() != QMessageBox::Ok)
            return;
    }
    kvrGuard([this] { m_dataSet->Delete(); });
}

void TDBGrid::keyPressEvent(QKeyEvent *event)
{
    const bool open = m_dataSet && m_dataSet->Active();
    QChar key = typedChar(event);
    if (!key.isNull()) {
        event->accept();
        if (liveEditor())
            return; // came up from the editor, which already handled it
        if (!fireKeyPress(key) || !open || !m_options.testFlag(dgEditing))
            return;
        if (key.unicode() == 13) {
            openEditor();
            return;
        }
        // Typing starts the edit of the current row; a refused edit changes nothing.
        if (!kvrGuard([this] { m_dataSet->Edit(); }))
            return;
        if (m_dataSet->state() != TClientDataSet::State::Edit &&
            m_dataSet->state() != TClientDataSet::State::Insert)
            return;
        const auto typed = replacement(event, key);
        openEditor(typed.get());
        return;
    }
    if (open) {
        const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
        switch (event->key()) {
        case Qt::Key_Insert:
            if (m_options.testFlag(dgEditing))
                kvrGuard([this] { m_dataSet->Insert(); });
            event->accept();
            return;
        case Qt::Key_Delete:
            if (ctrl) {
                event->accept();
                deleteRecord();
                return;
            }
            break;
        case Qt::Key_Escape:
            event->accept();
            kvrGuard([this] { m_dataSet->Cancel(); });
            return;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (m_options.testFlag(dgTabs)) {
                // Tab stays in the grid, refused or not.
                event->accept();
                tabTo(event->key() == Qt::Key_Tab &&
                          !event->modifiers().testFlag(Qt::ShiftModifier),
                      event->modifiers());
                return;
            }
            break;
        default:
            break;
        }
    }
    // Navigation keys; other keys with text must not start Qt's own editing.
    if (!event->text().isEmpty() && event->key() != Qt::Key_Tab &&
        event->key() != Qt::Key_Backtab && event->key() != Qt::Key_F2) {
        event->ignore();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool TDBGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !isEditorWidget(watched))
        return QTableView::eventFilter(watched, event);
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    QChar key = typedChar(keyEvent);
    if (key.isNull()) {
        switch (keyEvent->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (!m_options.testFlag(dgTabs))
                return false;
            tabTo(keyEvent->key() == Qt::Key_Tab &&
                      !keyEvent->modifiers().testFlag(Qt::ShiftModifier),
                  keyEvent->modifiers());
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            // A closed drop-down leaves row moves to the grid, as a line edit does.
            if (auto *combo = qobject_cast<QComboBox *>(watched);
                combo && !keyEvent->modifiers().testFlag(Qt::AltModifier)) {
                keyPressEvent(keyEvent);
                // The view leaves arrow keys ignored; an ignored key would go
                // on up to the grid and move a second row.
                keyEvent->accept();
                return true;
            }
            return false;
        default:
            return false;
        }
    }
    const QChar typed = key;
    if (!m_replaying) {
        if (!fireKeyPress(key))
            return true; // discarded: the editor never sees it
        if (m_dataSet && m_dataSet->state() == TClientDataSet::State::Browse &&
            key.unicode() != 13) {
            if (!kvrGuard([this] { m_dataSet->Edit(); }))
                return true;
        }
    }
    if (key.unicode() == 13)
        return false; // the view commits and closes the editor
    // The editor takes no more characters than the field holds.
    if (key.unicode() != 8) {
        const TField *field = SelectedField();
        auto *edit = qobject_cast<QLineEdit *>(watched);
        if (!edit)
            edit = static_cast<QComboBox *>(watched)->lineEdit();
        if (field && edit && edit->text().size() - edit->selectedText().size() + 1 > field->Size())
            return true;
    }
    if (key != typed) {
        const auto substitute = replacement(keyEvent, key);
        const bool wasReplaying = m_replaying;
        m_replaying = true;
        QCoreApplication::sendEvent(watched, substitute.get());
        m_replaying = wasReplaying;
        return true;
    }
    return false;
}

void TDBGrid::tabTo(bool forward, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex from = currentIndex();
    // Past the last cell Tab leaves the grid forwards, before the first one
    // Shift+Tab backwards; Ctrl+Tab leaves from anywhere.
    const QModelIndex step = QTableView::moveCursor(forward ? MoveNext : MovePrevious, modifiers);
    const bool atEdge = !from.isValid() || !step.isValid() || step == from ||
                        (forward ? step.row() < from.row() : step.row() > from.row());
    if (atEdge || modifiers.testFlag(Qt::ControlModifier)) {
        leaveGrid(forward);
        return;
    }
    const QModelIndex target = moveCursor(forward ? MoveNext : MovePrevious, modifiers);
    if (!target.isValid() || target == currentIndex() || target == from)
        return;
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    setCurrentIndex(target);
    m_syncing = wasSyncing;
}

void TDBGrid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    QTableView::scrollTo(index, hint);
    if (!index.isValid() || isColumnHidden(index.column()))
        return;
    // Qt brings a cell wider than the grid in by its right edge: an empty
    // far end. Its left edge is where the text begins and the editor types.
    if (columnWidth(index.column()) > viewport()->width())
        horizontalScrollBar()->setValue(columnViewportPosition(index.column()) +
                                        horizontalOffset());
}

bool TDBGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        // A text cut off in its cell (or by the grid's edge) is shown whole.
        const QPoint position = static_cast<QHelpEvent *>(event)->pos();
        const QModelIndex index = indexAt(position);
        const QString text = index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
        const QRect visible = visualRect(index).intersected(viewport()->rect());
        if (!text.isEmpty() && fontMetrics().horizontalAdvance(text) + 8 > visible.width()) {
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, viewport(),
                               visible);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QTableView::viewportEvent(event);
}

void TDBGrid::leaveGrid(bool forward)
{
    // The typed text is kept; the editor goes so it cannot take the focus back.
    if (QWidget *editor = liveEditor()) {
        if (!kvrGuard([&] { commitData(editor); }))
            return;
        dropEditor();
    }
    QWidget::focusNextPrevChild(forward);
}

void TDBGrid::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex target = indexAt(event->position().toPoint());
    const QModelIndex from = currentIndex();
    if (target.isValid() && from.isValid() && target != from &&
        !leaveCell(target.row(), target.column())) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void TDBGrid::focusOutEvent(QFocusEvent *event)
{
    QWidget *next = QApplication::focusWidget();
    const bool intoEditor = next && isAncestorOf(next);
    if (!intoEditor && m_options.testFlag(dgCancelOnExit) && m_dataSet &&
        m_dataSet->state() == TClientDataSet::State::Insert && !m_dataSet->Modified())
        kvrGuard([this] { m_dataSet->Cancel(); });
    QTableView::focusOutEvent(event);
}

QModelIndex TDBGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex target = QTableView::moveCursor(action, modifiers);
    const QModelIndex from = currentIndex();
    if (!target.isValid() || !from.isValid() || target == from)
        return target;
    // Tab stops at the last cell instead of wrapping to the top (and never appends).
    if ((action == MoveNext && target.row() < from.row()) ||
        (action == MovePrevious && target.row() > from.row()))
        return from;
    const int column = target.column();
    if (!leaveCell(target.row(), column))
        return currentIndex();
    if (!m_dataSet || m_dataSet->RecNo() < 0)
        return target;
    // The move may have reloaded the rows: build a fresh index.
    return m_dataSet->index(m_dataSet->RecNo(), column);
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (!current.isValid())
        return;
    const int column = columnIndexOf(current.column());
    if (column >= 0)
        m_selectedColumn = column;
    // The dataset's row is the truth; a view-only move is set back.
    if (!m_syncing && m_dataSet && current.row() != m_dataSet->RecNo())
        QMetaObject::invokeMethod(
            this, [this] { syncCurrent(); }, Qt::QueuedConnection);
}

void TDBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (editor == m_editor)
        m_editor = nullptr;
    closeKeepingFocus(editor, hint);
}

void TDBGrid::editorCreated(QWidget *editor)
{
    m_editor = editor;
}

void TDBGrid::assignFromEditor(int modelRow, int modelColumn, const QString &text)
{
    // Only into the row the dataset is on: anything else is a stale editor.
    if (!m_dataSet || !m_dataSet->Active() || modelRow != m_dataSet->RecNo() ||
        modelColumn >= m_dataSet->FieldCount())
        return;
    TField *field = m_dataSet->Fields(modelColumn);
    kvrGuard([&] {
        if (m_dataSet->state() == TClientDataSet::State::Browse)
            m_dataSet->Edit();
        // Through the field's text handler, as any text a control enters.
        field->SetText(text);
    });
}

void TDBGrid::editButtonClicked()
{
    if (OnEditButtonClick)
        kvrGuard([this] { OnEditButtonClick(this); });
}

void TDBGrid::drawCell(QPainter *painter, const QRect &rect, int modelRow, int modelColumn,
                       const QColor &background, bool selected, bool focused)
{
    if (!OnDrawColumnCell || !m_dataSet)
        return;
    const int column = columnIndexOf(modelColumn);
    if (column < 0)
        return;
    DrawState state;
    if (selected)
        state |= gdSelected;
    if (focused)
        state |= gdFocused;
    m_canvas.SetPainter(painter);
    m_canvas.Brush.Color = background;
    painter->save();
    m_dataSet->SetActiveRecord(modelRow);
    // A dialog in the middle of a paint would re-enter it: failures are logged.
    try {
        OnDrawColumnCell(this, rect, column, m_columns[size_t(column)].get(), state);
    } catch (const EAbort &) {
    } catch (const EKvrError &e) {
        qCWarning(lcGrid) << "drawing a cell:" << e.message();
    } catch (const std::exception &e) {
        qCWarning(lcGrid) << "drawing a cell:" << e.what();
    } catch (...) {
        qCWarning(lcGrid) << "drawing a cell: unknown failure";
    }
    m_dataSet->SetActiveRecord(-1);
    painter->restore();
    m_canvas.SetPainter(nullptr);
}
