#include "kit/data/TClientDataSet.h"

#include "kit/core/Consiste.h"
#include "kit/data/ChangeLog.h"
#include "kit/data/FilterExpression.h"
#include "protocol/PacketData.h"
#include "protocol/PacketReader.h"
#include "protocol/PacketRows.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>

using kvr::protocol::PacketField;

namespace {

// A row is one string: first one character per field holding the end offset
// of that field's value, then the values back to back. One allocation a row
// keeps large loads fast and small.
QStringView rowValue(const QString &row, int field, int fieldCount)
{
    const int begin = field == 0 ? 0 : int(row.at(field - 1).unicode());
    const int end = int(row.at(field).unicode());
    return QStringView(row).mid(fieldCount + begin, end - begin);
}

QString encodeRow(const QStringView *values, int count)
{
    qsizetype total = 0;
    for (int f = 0; f < count; ++f)
        total += values[f].size();
    QString row(count + total, Qt::Uninitialized);
    QChar *ends = row.data();
    QChar *text = ends + count;
    int end = 0;
    for (int f = 0; f < count; ++f) {
        text = std::copy(values[f].begin(), values[f].end(), text);
        end += int(values[f].size());
        ends[f] = QChar(char16_t(end));
    }
    return row;
}

QString encodeRow(const std::vector<QString> &values)
{
    std::vector<QStringView> views(values.begin(), values.end());
    return encodeRow(views.data(), int(views.size()));
}

std::vector<QString> decodeRow(const QString &row, int fieldCount)
{
    std::vector<QString> values;
    values.reserve(size_t(fieldCount));
    for (int f = 0; f < fieldCount; ++f)
        values.push_back(rowValue(row, f, fieldCount).toString());
    return values;
}

QStringList rowList(const QString &row, int fieldCount)
{
    QStringList values;
    values.reserve(fieldCount);
    for (int f = 0; f < fieldCount; ++f)
        values.append(rowValue(row, f, fieldCount).toString());
    return values;
}

QString emptyRow(int fieldCount)
{
    return QString(fieldCount, QChar(char16_t(0)));
}

[[noreturn]] void packetError(const QString &what)
{
    throw EKvrError(QStringLiteral("Pacote de dados inválido: %1").arg(what));
}

} // namespace

struct TClientDataSet::Private
{
    struct Row
    {
        QString data;
        int change = -1; // index into changes, -1 when unchanged
    };

    TClientDataSet *q;
    std::vector<std::unique_ptr<TField>> fields;
    QHash<QString, int> byName; // upper-case name -> index
    int totalSize = 0;

    std::vector<Row> rows;    // every row held, in load order
    std::vector<int> visible; // rows passing the filter
    int cur = -1;             // index into visible
    bool bof = true;
    bool eof = true;
    State state = State::Inactive;

    std::vector<QString> buffer; // the edited row while editing
    bool modified = false;

    QString filterText;
    FilterExpression filter;
    bool filtered = false;

    ChangeLog changes;

    int peekRow = -1; // row read by the fields while a cell's text is built

    explicit Private(TClientDataSet *owner) : q(owner) {}

    int fieldCount() const { return int(fields.size()); }
    bool editing() const { return state == State::Edit || state == State::Insert; }
    int curRow() const { return cur >= 0 ? visible[size_t(cur)] : -1; }

    void requireActive() const
    {
        if (state == State::Inactive)
            throw EKvrError(QStringLiteral("O conjunto de dados está fechado."));
    }

    int resolve(const QString &name) const { return byName.value(name.toUpper(), -1); }

    FilterExpression compile(const QString &text) const
    {
        return FilterExpression::parse(text, [this](const QString &n) { return resolve(n); });
    }

    bool passes(int row) const
    {
        if (!filtered || filter.isEmpty())
            return true;
        const QString &data = rows[size_t(row)].data;
        const int n = fieldCount();
        return filter.matches([&](int f) { return rowValue(data, f, n); });
    }

    void rebuildVisible()
    {
        visible.clear();
        if (!filtered || filter.isEmpty()) {
            visible.resize(rows.size());
            for (size_t i = 0; i < rows.size(); ++i)
                visible[i] = int(i);
            return;
        }
        visible.reserve(rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            if (passes(int(i)))
                visible.push_back(int(i));
    }

    // The current value of a field of a stored row, the edit buffer for the
    // row being edited.
    QString valueOf(int row, int field) const
    {
        if (editing() && row == curRow())
            return buffer[size_t(field)];
        return rowValue(rows[size_t(row)].data, field, fieldCount()).toString();
    }

    void setState(State s)
    {
        state = s;
        Q_EMIT q->stateChanged(s);
    }

    void fire(const NotifyEvent &event)
    {
        if (event)
            event(q);
    }

    void setCurrent(int visibleIndex)
    {
        cur = visibleIndex;
        Q_EMIT q->currentChanged(cur);
    }

    // Leaves edit or insert state before moving: an untouched inserted row is
    // dropped, anything else is posted (and may be refused).
    void checkBrowseMode()
    {
        if (!editing())
            return;
        if (state == State::Insert && !modified)
            q->Cancel();
        else
            q->Post();
    }

    void moveTo(int target)
    {
        requireActive();
        // Leaving the row may drop it from the view (an untouched insert, a
        // post that fails the filter): rows after it move up by one.
        const int countBefore = int(visible.size());
        const int left = cur;
        checkBrowseMode();
        if (int(visible.size()) == countBefore - 1 && left >= 0 && target > left)
            --target;
        const int count = int(visible.size());
        if (count == 0)
            return;
        target = std::clamp(target, 0, count - 1);
        if (target == cur)
            return;
        fire(q->BeforeScroll);
        setCurrent(target);
        bof = eof = false;
        fire(q->AfterScroll);
    }

    // Takes a row out of the view only: it stays held, with its change.
    void hideRow(int visibleIndex)
    {
        q->beginRemoveRows(QModelIndex(), visibleIndex, visibleIndex);
        visible.erase(visible.begin() + visibleIndex);
        q->endRemoveRows();
    }

    // Drops a stored row (deleted, or an insert cancelled) and its place in the view.
    void removeRow(int visibleIndex)
    {
        const int row = visible[size_t(visibleIndex)];
        q->beginRemoveRows(QModelIndex(), visibleIndex, visibleIndex);
        rows.erase(rows.begin() + row);
        visible.erase(visible.begin() + visibleIndex);
        for (int &v : visible)
            if (v > row)
                --v;
        q->endRemoveRows();
    }

    void load(const QVariant &packet);
    struct Loader;

    // The one way the held rows are replaced: any edit and every change
    // dropped, the view rebuilt, the first visible row current.
    void resetRows(std::vector<Row> newRows, State newState)
    {
        q->beginResetModel();
        rows = std::move(newRows);
        buffer.clear();
        modified = false;
        changes.clear();
        state = newState;
        rebuildVisible();
        if (visible.empty())
            visible.shrink_to_fit();
        cur = visible.empty() ? -1 : 0;
        bof = true;
        eof = visible.empty();
        q->endResetModel();
    }
};

// Takes the rows of a packet as protocol/ reads them, matched by name to the
// declared fields and checked against their widths.
struct TClientDataSet::Private::Loader final : kvr::protocol::PacketSink
{
    explicit Loader(Private &owner) : d(owner) {}

    void fields(const QList<PacketField> &packetFields, qsizetype rowCount) override
    {
        // A dataset without declared fields takes the packet's.
        if (d.fields.empty())
            for (const PacketField &f : packetFields)
                d.q->AddField(f.name, std::max(f.size, 1));
        names.clear();
        columnOf.assign(d.fields.size(), -1);
        for (qsizetype c = 0; c < packetFields.size(); ++c) {
            names.append(packetFields.at(c).name);
            const int f = d.resolve(packetFields.at(c).name);
            if (f >= 0)
                columnOf[size_t(f)] = int(c);
        }
        for (size_t f = 0; f < d.fields.size(); ++f)
            if (columnOf[f] < 0)
                packetError(QStringLiteral("falta o campo %1.").arg(d.fields[f]->FieldName()));
        sizes.clear();
        for (const auto &f : d.fields)
            sizes.push_back(f->Size());
        rows.reserve(size_t(rowCount));
    }

    void row(const QStringView *values) override
    {
        ++number;
        const int n = d.fieldCount();
        qsizetype total = 0;
        for (int f = 0; f < n; ++f) {
            const int column = columnOf[size_t(f)];
            const QStringView text = values[column];
            if (!kvr::protocol::rows::fits(text, sizes[size_t(f)]))
                packetError(
                    kvr::protocol::rows::tooLong(kvr::protocol::rows::Row, number, text,
                                                 PacketField{names.at(column), sizes[size_t(f)]}));
            total += text.size();
        }
        // Offsets are held in one UTF-16 unit each.
        if (total > 0xFFFF)
            packetError(QStringLiteral("a linha %1 é longa demais.").arg(number));
        QString data(n + total, Qt::Uninitialized);
        QChar *ends = data.data();
        QChar *text = ends + n;
        for (int f = 0; f < n; ++f) {
            const QStringView v = values[columnOf[size_t(f)]];
            text = std::copy(v.begin(), v.end(), text);
            ends[f] = QChar(char16_t(text - (ends + n)));
        }
        rows.push_back(Row{std::move(data), -1});
    }

    Private &d;
    QStringList names;
    std::vector<int> columnOf;
    std::vector<int> sizes;
    std::vector<Row> rows;
    qsizetype number = 0;
};

void TClientDataSet::Private::load(const QVariant &packet)
{
    using namespace kvr::protocol;
    Loader loader(*this);
    QString problem;
    bool read = false;
    const QMetaType type = packet.metaType();
    if (type == QMetaType::fromType<PacketData>())
        read = readPacket(*static_cast<const PacketData *>(packet.constData()), loader, problem);
    else if (type == QMetaType::fromType<QJsonObject>())
        read = readPacket(*static_cast<const QJsonObject *>(packet.constData()), loader, problem);
    else if (type == QMetaType::fromType<QJsonValue>())
        read = readPacket(packet.value<QJsonValue>().toObject(), loader, problem);
    else if (type == QMetaType::fromType<QJsonDocument>())
        read = readPacket(packet.value<QJsonDocument>().object(), loader, problem);
    else if (type == QMetaType::fromType<QVariantMap>())
        read = readPacket(*static_cast<const QVariantMap *>(packet.constData()), loader, problem);
    else if (type == QMetaType::fromType<QVariantHash>()) {
        const QVariantHash hash = packet.toHash();
        QVariantMap map;
        for (auto it = hash.begin(); it != hash.end(); ++it)
            map.insert(it.key(), it.value());
        read = readPacket(map, loader, problem);
    } else
        packetError(QStringLiteral("não é um pacote de registros."));
    if (!read)
        throw EKvrError(problem);

    resetRows(std::move(loader.rows), State::Browse);
    Q_EMIT q->stateChanged(state);
    Q_EMIT q->currentChanged(cur);
    fire(q->AfterScroll);
}

TClientDataSet::TClientDataSet(QObject *parent)
    : QAbstractTableModel(parent), d(std::make_unique<Private>(this))
{
}

TClientDataSet::~TClientDataSet() = default;

TField *TClientDataSet::AddField(const QString &name, int size, const QString &label, bool visible,
                                 int displayWidth)
{
    if (d->state != State::Inactive)
        throw EKvrError(
            QStringLiteral("O campo %1 não pode ser definido com o conjunto de dados aberto.")
                .arg(name));
    if (name.isEmpty() || size <= 0)
        throw EKvrError(
            QStringLiteral("Definição de campo inválida: \"%1\" (%2).").arg(name).arg(size));
    if (d->byName.contains(name.toUpper()))
        throw EKvrError(QStringLiteral("O campo %1 já está definido.").arg(name));
    // Row offsets are kept in one UTF-16 unit each.
    if (d->totalSize + size > 0xFFFF)
        throw EKvrError(QStringLiteral("Registro largo demais no campo %1.").arg(name));

    const int index = d->fieldCount();
    beginInsertColumns(QModelIndex(), index, index);
    auto field = std::make_unique<TField>(this, index, name, size);
    field->SetDisplayLabel(label);
    field->SetDisplayWidth(displayWidth);
    if (!visible)
        field->SetVisible(false);
    TField *raw = field.get();
    d->fields.push_back(std::move(field));
    d->byName.insert(name.toUpper(), index);
    d->totalSize += size;
    endInsertColumns();
    return raw;
}

int TClientDataSet::FieldCount() const
{
    return d->fieldCount();
}

TField *TClientDataSet::Fields(int index) const
{
    if (index < 0 || index >= d->fieldCount())
        throw EKvrError(QStringLiteral("Campo de índice %1 não existe.").arg(index));
    return d->fields[size_t(index)].get();
}

TField *TClientDataSet::FieldByName(const QString &name) const
{
    TField *f = FindField(name);
    if (!f)
        throw EKvrError(QStringLiteral("Campo %1 não encontrado.").arg(name));
    return f;
}

TField *TClientDataSet::FindField(const QString &name) const
{
    const int index = d->resolve(name);
    return index < 0 ? nullptr : d->fields[size_t(index)].get();
}

void TClientDataSet::SetData(const QVariant &packet)
{
    d->load(packet);
}

void TClientDataSet::CreateDataSet()
{
    if (d->fields.empty())
        throw EKvrError(QStringLiteral("O conjunto de dados não tem campos definidos."));
    d->resetRows({}, State::Browse);
    Q_EMIT stateChanged(d->state);
    Q_EMIT currentChanged(d->cur);
    d->fire(AfterScroll);
}

void TClientDataSet::EmptyDataSet()
{
    d->requireActive();
    const bool wasEditing = d->editing();
    d->resetRows({}, State::Browse);
    if (wasEditing)
        Q_EMIT stateChanged(d->state);
    Q_EMIT currentChanged(d->cur);
    d->fire(AfterScroll);
}

void TClientDataSet::Close()
{
    if (d->state == State::Inactive)
        return;
    d->resetRows({}, State::Inactive);
    Q_EMIT stateChanged(d->state);
    Q_EMIT currentChanged(d->cur);
}

bool TClientDataSet::Active() const
{
    return d->state != State::Inactive;
}

TClientDataSet::State TClientDataSet::state() const
{
    return d->state;
}

int TClientDataSet::RecordCount() const
{
    return int(d->visible.size());
}

bool TClientDataSet::IsEmpty() const
{
    return d->visible.empty();
}

int TClientDataSet::TotalRecordCount() const
{
    return int(d->rows.size());
}

int TClientDataSet::RecNo() const
{
    return d->cur;
}

void TClientDataSet::First()
{
    d->moveTo(0);
    d->bof = true;
    d->eof = d->visible.empty();
}

void TClientDataSet::Last()
{
    d->moveTo(int(d->visible.size()) - 1);
    d->eof = true;
    d->bof = d->visible.empty();
}

void TClientDataSet::Next()
{
    d->requireActive();
    if (d->cur + 1 >= int(d->visible.size())) {
        d->checkBrowseMode();
        d->eof = true;
        return;
    }
    d->moveTo(d->cur + 1);
}

void TClientDataSet::Prior()
{
    d->requireActive();
    if (d->cur <= 0) {
        d->checkBrowseMode();
        d->bof = true;
        return;
    }
    d->moveTo(d->cur - 1);
}

void TClientDataSet::MoveBy(int distance)
{
    d->requireActive();
    const int target = d->cur + distance;
    d->moveTo(target);
    if (target >= int(d->visible.size()))
        d->eof = true;
    if (target < 0)
        d->bof = true;
}

void TClientDataSet::SetRecNo(int row)
{
    d->requireActive();
    if (row < 0 || row >= int(d->visible.size()))
        throw EKvrError(QStringLiteral("Registro %1 não existe.").arg(row + 1));
    d->moveTo(row);
}

bool TClientDataSet::Bof() const
{
    return d->bof;
}

bool TClientDataSet::Eof() const
{
    return d->eof;
}

bool TClientDataSet::Locate(const QString &fieldName, const QString &value)
{
    d->requireActive();
    const int field = FieldByName(fieldName)->Index();
    const int n = d->fieldCount();
    for (size_t i = 0; i < d->visible.size(); ++i) {
        const int row = d->visible[i];
        const bool same = d->editing() && row == d->curRow()
                              ? d->buffer[size_t(field)] == value
                              : rowValue(d->rows[size_t(row)].data, field, n) == value;
        if (same) {
            d->moveTo(int(i));
            return true;
        }
    }
    return false;
}

QString TClientDataSet::Filter() const
{
    return d->filterText;
}

void TClientDataSet::SetFilter(const QString &expression)
{
    if (expression == d->filterText)
        return;
    if (!d->filtered) {
        d->filterText = expression;
        return;
    }
    FilterExpression compiled = d->compile(expression);
    refilter([&] {
        d->filterText = expression;
        d->filter = std::move(compiled);
    });
}

bool TClientDataSet::Filtered() const
{
    return d->filtered;
}

void TClientDataSet::SetFiltered(bool on)
{
    FilterExpression compiled = on ? d->compile(d->filterText) : FilterExpression();
    refilter([&] {
        d->filtered = on;
        d->filter = std::move(compiled);
    });
}

// Applies a filter change; an open dataset lands on its first visible row.
void TClientDataSet::refilter(const std::function<void()> &change)
{
    if (d->state == State::Inactive) {
        change();
        return;
    }
    d->checkBrowseMode();
    d->fire(BeforeScroll);
    beginResetModel();
    change();
    d->rebuildVisible();
    d->cur = d->visible.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->visible.empty();
    endResetModel();
    Q_EMIT currentChanged(d->cur);
    d->fire(AfterScroll);
}

void TClientDataSet::Insert()
{
    insertRow(false);
}

void TClientDataSet::Append()
{
    insertRow(true);
}

// A new empty row before the current one (or after the last), in insert state.
void TClientDataSet::insertRow(bool append)
{
    d->requireActive();
    d->checkBrowseMode();
    d->fire(BeforeInsert);
    d->fire(BeforeScroll);
    const int count = int(d->visible.size());
    const int at = append || d->cur < 0 ? count : d->cur;
    const int storeAt = at < count ? d->visible[size_t(at)] : int(d->rows.size());
    beginInsertRows(QModelIndex(), at, at);
    d->rows.insert(d->rows.begin() + storeAt, Private::Row{emptyRow(d->fieldCount()), -1});
    for (int &v : d->visible)
        if (v >= storeAt)
            ++v;
    d->visible.insert(d->visible.begin() + at, storeAt);
    d->buffer.assign(size_t(d->fieldCount()), QString());
    d->modified = false;
    d->state = State::Insert;
    endInsertRows();
    d->setCurrent(at);
    d->bof = d->eof = false;
    Q_EMIT stateChanged(d->state);
    d->fire(AfterInsert);
    d->fire(AfterScroll);
}

void TClientDataSet::Edit()
{
    d->requireActive();
    if (d->editing())
        return;
    if (d->visible.empty()) {
        Insert();
        return;
    }
    d->fire(BeforeEdit);
    d->buffer = decodeRow(d->rows[size_t(d->curRow())].data, d->fieldCount());
    d->modified = false;
    d->setState(State::Edit);
    d->fire(AfterEdit);
}

void TClientDataSet::Post()
{
    if (!d->editing())
        return;
    Q_EMIT updateRecord();
    d->fire(BeforePost);
    if (!d->editing()) // a handler may have ended the edit itself
        return;

    const int visibleIndex = d->cur;
    const int row = d->curRow();
    Private::Row &r = d->rows[size_t(row)];
    QString posted = encodeRow(d->buffer);
    d->changes.posted(r.change, d->state == State::Insert, r.data, posted);
    r.data = std::move(posted);
    d->buffer.clear();
    d->modified = false;
    d->state = State::Browse;
    Q_EMIT dataChanged(index(visibleIndex, 0), index(visibleIndex, d->fieldCount() - 1));

    // A posted row that no longer passes the filter leaves the view, not the
    // dataset: its change still goes out with the delta.
    if (!d->passes(row)) {
        d->hideRow(visibleIndex);
        d->cur = std::min(visibleIndex, int(d->visible.size()) - 1);
        Q_EMIT currentChanged(d->cur);
    }
    Q_EMIT stateChanged(d->state);
    d->fire(AfterPost);
}

void TClientDataSet::Cancel()
{
    if (!d->editing())
        return;
    d->fire(BeforeCancel);
    if (!d->editing())
        return;
    const int visibleIndex = d->cur;
    const bool wasInsert = d->state == State::Insert;
    d->buffer.clear();
    d->modified = false;
    d->state = State::Browse;
    if (wasInsert) {
        d->removeRow(visibleIndex);
        d->cur = std::min(visibleIndex, int(d->visible.size()) - 1);
        Q_EMIT currentChanged(d->cur);
    } else {
        Q_EMIT dataChanged(index(visibleIndex, 0), index(visibleIndex, d->fieldCount() - 1));
    }
    Q_EMIT stateChanged(d->state);
    d->fire(AfterCancel);
}

void TClientDataSet::Delete()
{
    d->requireActive();
    if (d->state == State::Insert) {
        Cancel();
        return;
    }
    if (d->visible.empty())
        throw EKvrError(QStringLiteral("Não há registro para excluir."));
    d->fire(BeforeDelete);
    d->fire(BeforeScroll);

    const int visibleIndex = d->cur;
    Private::Row &r = d->rows[size_t(d->curRow())];
    d->changes.deleted(r.change, r.data);
    const bool wasEditing = d->editing();
    d->buffer.clear();
    d->modified = false;
    d->state = State::Browse;
    d->removeRow(visibleIndex);
    d->cur = std::min(visibleIndex, int(d->visible.size()) - 1);
    d->bof = d->cur <= 0;
    d->eof = d->visible.empty();
    Q_EMIT currentChanged(d->cur);
    if (wasEditing)
        Q_EMIT stateChanged(d->state);
    d->fire(AfterDelete);
    d->fire(AfterScroll);
}

int TClientDataSet::ChangeCount() const
{
    return d->changes.count();
}

QVariant TClientDataSet::Delta() const
{
    using kvr::protocol::DeltaChange;
    d->requireActive();
    const int n = d->fieldCount();
    kvr::protocol::Delta delta;
    for (const auto &f : d->fields)
        delta.fields.append({f->FieldName(), f->Size()});

    // Which stored row carries each live change.
    const std::vector<ChangeLog::Change> &log = d->changes.changes();
    std::vector<int> rowOf(log.size(), -1);
    if (d->changes.count() > 0)
        for (size_t i = 0; i < d->rows.size(); ++i)
            if (d->rows[i].change >= 0)
                rowOf[size_t(d->rows[i].change)] = int(i);
    const auto now = [&](size_t change) { return rowList(d->rows[size_t(rowOf[change])].data, n); };

    for (size_t i = 0; i < log.size(); ++i) {
        switch (log[i].op) {
        case ChangeLog::Op::None:
            break;
        case ChangeLog::Op::Update:
            delta.changes.append({DeltaChange::Op::Update, rowList(log[i].old, n), now(i)});
            break;
        case ChangeLog::Op::Delete:
            delta.changes.append({DeltaChange::Op::Delete, rowList(log[i].old, n), {}});
            break;
        case ChangeLog::Op::Insert:
            delta.changes.append({DeltaChange::Op::Insert, {}, now(i)});
            break;
        }
    }
    return QVariant(kvr::protocol::deltaToJson(delta));
}

QString TClientDataSet::Value(int visibleRow, int fieldIndex) const
{
    if (visibleRow < 0 || visibleRow >= int(d->visible.size()))
        throw EKvrError(QStringLiteral("Registro %1 não existe.").arg(visibleRow + 1));
    if (fieldIndex < 0 || fieldIndex >= d->fieldCount())
        throw EKvrError(QStringLiteral("Campo de índice %1 não existe.").arg(fieldIndex));
    return d->valueOf(d->visible[size_t(visibleRow)], fieldIndex);
}

void TClientDataSet::SetActiveRecord(int visibleRow)
{
    d->peekRow = visibleRow >= 0 && visibleRow < int(d->visible.size())
                     ? d->visible[size_t(visibleRow)]
                     : -1;
}

bool TClientDataSet::Modified() const
{
    return d->modified;
}

QString TClientDataSet::fieldValue(int field) const
{
    const int row = d->peekRow >= 0 ? d->peekRow : d->curRow();
    if (row < 0)
        return QString();
    return d->valueOf(row, field);
}

void TClientDataSet::setFieldValue(int field, const QString &value)
{
    if (!d->editing())
        throw EKvrError(QStringLiteral("O conjunto de dados não está em modo de edição (campo %1).")
                            .arg(d->fields[size_t(field)]->FieldName()));
    QString stored = value.left(d->fields[size_t(field)]->Size());
    QString &slot = d->buffer[size_t(field)];
    d->modified = true;
    if (slot == stored)
        return;
    slot = std::move(stored);
    const QModelIndex cell = index(d->cur, field);
    Q_EMIT dataChanged(cell, cell);
}

int TClientDataSet::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(d->visible.size());
}

int TClientDataSet::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->fieldCount();
}

QVariant TClientDataSet::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(d->visible.size()) ||
        index.column() >= d->fieldCount())
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    const TField *field = d->fields[size_t(index.column())].get();
    const int row = d->visible[size_t(index.row())];
    if (!field->OnGetText)
        return d->valueOf(row, index.column());

    // The handler reads the fields of the row being shown.
    struct Peek
    {
        int &slot;
        int saved;
        ~Peek() { slot = saved; }
    } peek{d->peekRow, d->peekRow};
    d->peekRow = row;
    try {
        return field->Text(role == Qt::DisplayRole);
    } catch (...) {
        return d->valueOf(row, index.column()); // a display handler must not break painting
    }
}

QVariant TClientDataSet::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= d->fieldCount())
            return QVariant();
        return d->fields[size_t(section)]->DisplayLabel();
    }
    return section + 1;
}

Qt::ItemFlags TClientDataSet::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TClientDataSet::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() != d->cur || !d->editing() ||
        index.column() >= d->fieldCount())
        return false;
    d->fields[size_t(index.column())]->SetText(value.toString());
    return true;
}
