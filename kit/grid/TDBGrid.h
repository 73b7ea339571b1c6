#pragma once

#include "kit/KvrKitExport.h"

#include <QFont>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "kit/data/TDataSource.h"
#include "kit/grid/TCanvas.h"
#include "kit/grid/TColumn.h"

class TDBGridDelegate;
class TDBGridHeader;
class TField;

// Data grid over a data source: one row per visible record, one column per
// persistent column (or per visible field when none is defined). The dataset
// is the model; the grid keeps its current cell on the dataset's current row.
//
// Events are synchronous hooks. OnKeyPress and OnColExit may refuse by
// discarding the key or raising EAbort; every entry from the event loop
// catches what a handler raises (kvrGuard), so nothing reaches Qt.
class KVRKIT_EXPORT TDBGrid : public QTableView
{
    Q_OBJECT
public:
    enum Option {
        dgEditing = 0x1,
        dgTitles = 0x2,
        dgIndicator = 0x4,
        dgColumnResize = 0x8,
        dgColLines = 0x10,
        dgRowLines = 0x20,
        dgTabs = 0x40,
        dgConfirmDelete = 0x80,
        dgCancelOnExit = 0x100,
        dgColumnMove = 0x200,
    };
    Q_DECLARE_FLAGS(Options, Option)

    enum DrawStateFlag { gdSelected = 0x1, gdFocused = 0x2 };
    Q_DECLARE_FLAGS(DrawState, DrawStateFlag)

    // (grid, character): Backspace is 8, Enter 13; set it to QChar(0) to discard.
    using KeyPressEvent = std::function<void(TDBGrid *grid, QChar &key)>;
    using NotifyEvent = std::function<void(TDBGrid *grid)>;
    // (grid, cell rectangle, column index, column, state); runs after the
    // grid drew the cell, with Canvas() ready and its brush the cell colour.
    using DrawColumnCellEvent = std::function<void(TDBGrid *grid, const QRect &rect, int dataCol,
                                                   TColumn *column, DrawState state)>;

    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source);
    TClientDataSet *DataSet() const;

    // Persistent columns, in display order.
    TColumn *AddColumn(const QString &fieldName);
    void ClearColumns();
    int ColumnCount() const { return int(m_columns.size()); }
    TColumn *Columns(int index) const;
    TColumn *ColumnByFieldName(const QString &fieldName) const;

    Options GetOptions() const { return m_options; }
    void SetOptions(Options options);
    QFont TitleFont() const;
    void SetTitleFont(const QFont &font);

    // The current column (index into the columns) and its field; the field
    // is nullptr when no dataset is open.
    int SelectedIndex() const { return m_selectedColumn; }
    void SetSelectedIndex(int column);
    TField *SelectedField() const;
    TColumn *SelectedColumn() const;

    TCanvas *Canvas() { return &m_canvas; }
    bool EditorOpen() const { return liveEditor() != nullptr; }

    KeyPressEvent OnKeyPress;
    NotifyEvent OnColExit;
    NotifyEvent OnEditButtonClick;
    DrawColumnCellEvent OnDrawColumnCell;

    // The column shown in a model (field) column, nullptr when hidden.
    TColumn *columnForModelColumn(int modelColumn) const;

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

protected Q_SLOTS:
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class TColumn;
    friend class TDBGridDelegate;

    void bindDataSet();
    void columnsChanged(const TColumn *column = nullptr);
    void applyColumns();
    void syncCurrent();
    void focusField(TField *field);
    void dropEditor();
    void closeKeepingFocus(QWidget *editor, QAbstractItemDelegate::EndEditHint hint);
    QWidget *liveEditor() const;
    int modelColumnOf(int column) const;
    int columnIndexOf(int modelColumn) const;
    void mapColumns();
    bool leaveCell(int targetRow, int targetModelColumn);
    bool fireKeyPress(QChar &key);
    void tabTo(bool forward, Qt::KeyboardModifiers modifiers);
    void leaveGrid(bool forward);
    void deleteRecord();
    void openEditor(QEvent *event = nullptr);

    // Called by the delegate.
    void editorCreated(QWidget *editor);
    void assignFromEditor(int modelRow, int modelColumn, const QString &text);
    void editButtonClicked();
    void drawCell(QPainter *painter, const QRect &rect, int modelRow, int modelColumn,
                  const QColor &background, bool selected, bool focused);

    QPointer<TDataSource> m_dataSource;
    QPointer<TClientDataSet> m_dataSet;
    std::vector<QMetaObject::Connection> m_connections;
    std::vector<std::unique_ptr<TColumn>> m_columns;
    std::vector<int> m_columnOfModel; // model column -> column index, -1 hidden
    bool m_defaultColumns = true;
    Options m_options;
    int m_selectedColumn = 0;
    bool m_syncing = false;
    bool m_resetting = false;
    std::map<QString, int> m_userWidths; // field name -> width set by dragging
    bool m_replaying = false;
    TCanvas m_canvas;
    QPointer<QWidget> m_editor;
    TDBGridDelegate *m_delegate;
    TDBGridHeader *m_header;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDBGrid::Options)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDBGrid::DrawState)
