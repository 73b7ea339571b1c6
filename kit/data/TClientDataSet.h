#pragma once

#include "kit/KvrKitExport.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

#include "kit/data/TField.h"

// In-memory table of fixed-width text fields, loaded whole from a data
// packet, with dataset states, a filter, before/after events and a change
// log that it gives back as one delta. As a model it shows the visible
// (filtered) rows; columns are all fields in declaration order. It holds no
// widget code: controls follow it through its signals.
//
// Misuse (unknown field, bad packet, writing outside edit state, ...) raises
// EKvrError with a Portuguese message; EAbort raised in a before-event
// refuses the operation and propagates to the caller.
class KVRKIT_EXPORT TClientDataSet : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    Q_ENUM(State)
    using NotifyEvent = std::function<void(TClientDataSet *dataSet)>;

    explicit TClientDataSet(QObject *parent = nullptr);
    ~TClientDataSet() override;

    // Field definitions: declared before the dataset is opened.
    TField *AddField(const QString &name, int size, const QString &label = QString(),
                     bool visible = true, int displayWidth = 0);
    int FieldCount() const;
    TField *Fields(int index) const;
    TField *FieldByName(const QString &name) const; // EKvrError when unknown
    TField *FindField(const QString &name) const;   // nullptr when unknown

    // Loading. SetData accepts a packet as a connection returns it (a parsed
    // kvr::protocol::PacketData), a QJsonObject or a QVariantMap, read by
    // protocol/ as the wire defines it (widths in characters), matches
    // its fields to the declared ones by name (undeclared packet fields are
    // ignored; a declared field missing from the packet is an error), opens
    // the dataset in browse state on the first visible row and empties the
    // change log; it signals stateChanged and runs AfterScroll. A dataset
    // without declared fields takes the packet's. On error the dataset keeps
    // what it held.
    void SetData(const QVariant &packet);
    void CreateDataSet(); // open, empty, browse
    void EmptyDataSet();  // drop all rows and changes, stays open
    void Close();         // inactive; rows and changes dropped
    bool Active() const;

    State state() const;
    int RecordCount() const; // visible rows
    bool IsEmpty() const;    // no visible row

    // Navigation over the visible rows. RecNo is 0-based, -1 when none.
    int RecNo() const;
    void First();
    void Last();
    void Next();
    void Prior();
    void MoveBy(int distance);
    void SetRecNo(int row);
    bool Bof() const;
    bool Eof() const;
    bool Locate(const QString &fieldName, const QString &value);

    // Navigating while editing posts the row first (an untouched inserted
    // row is dropped instead); BeforeScroll/AfterScroll run only on a move.

    // Filter expression: FIELD = 'literal' (or <>) joined by and / or (and
    // binds tighter), not and parentheses allowed. An expression that cannot
    // be parsed is an EKvrError when the filter is switched on. Switching the
    // filter, or changing it while on, goes to the first visible row and runs
    // BeforeScroll/AfterScroll. A posted row that fails the filter leaves the
    // view only: it is still held (TotalRecordCount) and its change stays.
    QString Filter() const;
    void SetFilter(const QString &expression);
    bool Filtered() const;
    void SetFiltered(bool on);

    // Record operations; each runs its before/after events. Post and Cancel
    // outside edit/insert state do nothing. Edit of an empty dataset inserts.
    // Delete runs BeforeDelete, BeforeScroll, AfterDelete, AfterScroll.
    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();

    // Change log: one change per loaded row changed or deleted since the
    // last load. Delta() is a packet {"fields","changes"} as a QJsonObject
    // (toMap() converts), written by protocol/:
    // {"op":"update","old","new"}, {"op":"delete","old"} with old = the row
    // as loaded, and {"op":"insert","new"} for a posted new row. A row edited
    // back to what was loaded has no change. SetData, EmptyDataSet and Close
    // empty the log; Delta of a closed dataset is an EKvrError.
    int ChangeCount() const;
    QVariant Delta() const;

    QString Value(int visibleRow, int fieldIndex) const;
    // While painting a row other than the current one: fields read the given
    // visible row until it is set back to -1.
    void SetActiveRecord(int visibleRow);
    // True while editing once a field was assigned.
    bool Modified() const;
    // Rows held, visible or not (an unposted inserted row included).
    int TotalRecordCount() const;

    NotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit, BeforePost, AfterPost,
        BeforeDelete, AfterDelete, BeforeCancel, AfterCancel, BeforeScroll, AfterScroll;

    // QAbstractItemModel: DisplayRole is the field's display text, EditRole
    // its edit text; setData(EditRole) assigns a text (edit state required).
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

Q_SIGNALS:
    void stateChanged(TClientDataSet::State state);
    void currentChanged(int recNo);
    void fieldVisibilityChanged(TField *field);
    void focusFieldRequested(TField *field);
    // Emitted (directly) at the start of Post, before BeforePost, so that
    // controls with a pending edit store it into the fields first.
    void updateRecord();

private:
    void refilter(const std::function<void()> &change);
    void insertRow(bool append);

    friend class TField;
    QString fieldValue(int field) const;
    void setFieldValue(int field, const QString &value);

    struct Private;
    std::unique_ptr<Private> d;
};

// Wires a form's member function as the display handler of a field.
template <class Form>
void BindGetText(TClientDataSet *dataSet, const char *fieldName, Form *form,
                 void (Form::*handler)(TField *, QString &, bool))
{
    dataSet->FieldByName(QString::fromLatin1(fieldName))->OnGetText =
        [form, handler](TField *sender, QString &text, bool displayText) {
            (form->*handler)(sender, text, displayText);
        };
}
