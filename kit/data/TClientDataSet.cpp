#include "kit/data/TClientDataSet.h"

#include "kit/core/Consiste.h"
#include "kit/data/FilterExpression.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>

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

QString encodeRow(const std::vector<QString> &values)
{
    const int count = int(values.size());
    qsizetype total = 0;
    for (const QString &v : values)
        total += v.size();
    QString row(count + total, Qt::Uninitialized);
    QChar *out = row.data();
    QChar *text = out + count;
    int end = 0;
    for (int f = 0; f < count; ++f) {
        const QString &v = values[size_t(f)];
        std::copy(v.constBegin(), v.constEnd(), text);
        text += v.size();
        end += int(v.size());
        out[f] = QChar(char16_t(end));
    }
    return row;
}

std::vector<QString> decodeRow(const QString &row, int fieldCount)
{
    std::vector<QString> values;
    values.reserve(size_t(fieldCount));
    for (int f = 0; f < fieldCount; ++f)
        values.push_back(rowValue(row, f, fieldCount).toString());
    return values;
}

QString emptyRow(int fieldCount)
{
    return QString(fieldCount, QChar(char16_t(0)));
}

// Packet access shared by the QVariantMap and the QJsonObject forms.
struct PacketField
{
    QString name;
    int size = 0;
};

[[noreturn]] void packetError(const QString &what)
{
    throw EKvrError(QStringLiteral("Pacote de dados inválido: %1").arg(what));
}

QVariantMap asVariantMap(const QVariant &packet, bool &isJson, QJsonObject &json)
{
    isJson = false;
    if (packet.metaType() == QMetaType::fromType<QJsonObject>()) {
        isJson = true;
        json = packet.value<QJsonObject>();
        return {};
    }
    if (packet.metaType() == QMetaType::fromType<QJsonValue>()) {
        isJson = true;
        json = packet.value<QJsonValue>().toObject();
        return {};
    }
    if (packet.metaType() == QMetaType::fromType<QJsonDocument>()) {
        isJson = true;
        json = packet.value<QJsonDocument>().object();
        return {};
    }
    if (packet.metaType() == QMetaType::fromType<QVariantMap>())
        return packet.toMap();
    if (packet.metaType() == QMetaType::fromType<QVariantHash>()) {
        const QVariantHash hash = packet.toHash();
        QVariantMap map;
        for (auto it = hash.begin(); it != hash.end(); ++it)
            map.insert(it.key(), it.value());
        return map;
    }
    packetError(QStringLiteral("não é um pacote de registros"));
}

} // namespace

struct TClientDataSet::Private
{
    struct Row
    {
        QString data;
        int change = -1; // index into changes, -1 when unchanged
    };

    struct Change
    {
        enum class Op { None, Update, Delete, Insert };
        Op op = Op::None;
        QString old; // the row as loaded (update, delete)
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

    std::vector<Change> changes;
    int changeCount = 0;

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

    void addChange(Row &row, Change::Op op, const QString &old)
    {
        Change c;
        c.op = op;
        c.old = old;
        changes.push_back(std::move(c));
        row.change = int(changes.size()) - 1;
        ++changeCount;
    }

    void dropChange(Row &row)
    {
        changes[size_t(row.change)].op = Change::Op::None;
        row.change = -1;
        --changeCount;
    }

    void clearChanges()
    {
        changes.clear();
        changeCount = 0;
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
    template <typename RowList, typename CellText>
    void loadRows(const RowList &list, const std::vector<int> &columnOf, int packetWidth,
                  const std::vector<PacketField> &packetFields, CellText cellText,
                  std::vector<Row> &out);
};

template <typename RowList, typename CellText>
void TClientDataSet::Private::loadRows(const RowList &list, const std::vector<int> &columnOf,
                                       int packetWidth,
                                       const std::vector<PacketField> &packetFields,
                                       CellText cellText, std::vector<Row> &out)
{
    const int n = fieldCount();
    out.reserve(size_t(list.size()));
    std::vector<QStringView> cells(static_cast<size_t>(n));
    std::vector<QString> owned(static_cast<size_t>(n));
    int rowNumber = 0;
    for (const auto &item : list) {
        ++rowNumber;
        const auto values = cellText.row(item, rowNumber);
        if (int(values.size()) != packetWidth)
            packetError(QStringLiteral("a linha %1 tem %2 valores; esperados %3.")
                            .arg(rowNumber)
                            .arg(values.size())
                            .arg(packetWidth));
        qsizetype total = 0;
        for (int f = 0; f < n; ++f) {
            const int column = columnOf[size_t(f)];
            const QStringView text = cellText.cell(values, column, owned[size_t(f)], rowNumber);
            if (text.size() > fields[size_t(f)]->Size())
                packetError(QStringLiteral("o valor \"%1\" da linha %2 excede o tamanho %3 do "
                                           "campo %4.")
                                .arg(text.toString())
                                .arg(rowNumber)
                                .arg(fields[size_t(f)]->Size())
                                .arg(packetFields[size_t(column)].name));
            cells[size_t(f)] = text;
            total += text.size();
        }
        QString data(n + total, Qt::Uninitialized);
        QChar *ends = data.data();
        QChar *text = ends + n;
        int end = 0;
        for (int f = 0; f < n; ++f) {
            const QStringView v = cells[size_t(f)];
            std::copy(v.begin(), v.end(), text);
            text += v.size();
            end += int(v.size());
            ends[f] = QChar(char16_t(end));
        }
        out.push_back(Row{std::move(data), -1});
    }
}

namespace {

// Reads rows of a QVariantList packet without copying the strings.
struct VariantCells
{
    const QVariantList &row(const QVariant &item, int rowNumber) const
    {
        if (item.metaType() != QMetaType::fromType<QVariantList>())
            packetError(QStringLiteral("a linha %1 não é uma lista de valores.").arg(rowNumber));
        return *static_cast<const QVariantList *>(item.constData());
    }
    QStringView cell(const QVariantList &values, int column, QString &owned, int rowNumber) const
    {
        const QVariant &v = values.at(column);
        if (v.metaType() == QMetaType::fromType<QString>())
            return *static_cast<const QString *>(v.constData());
        if (!v.isValid() || v.isNull())
            return {};
        if (!v.canConvert<QString>())
            packetError(QStringLiteral("a linha %1 tem um valor que não é texto.").arg(rowNumber));
        owned = v.toString();
        return owned;
    }
};

struct JsonCells
{
    QJsonArray row(const QJsonValue &item, int rowNumber) const
    {
        if (!item.isArray())
            packetError(QStringLiteral("a linha %1 não é uma lista de valores.").arg(rowNumber));
        return item.toArray();
    }
    QStringView cell(const QJsonArray &values, int column, QString &owned, int rowNumber) const
    {
        const QJsonValue v = values.at(column);
        if (v.isString())
            owned = v.toString();
        else if (v.isNull() || v.isUndefined())
            owned.clear();
        else
            packetError(QStringLiteral("a linha %1 tem um valor que não é texto.").arg(rowNumber));
        return owned;
    }
};

QVariantMap asObject(const QVariant &item)
{
    return item.toMap();
}

QJsonObject asObject(const QJsonValue &item)
{
    return item.toObject();
}

// Field list of a packet, given as variants or as JSON.
template <typename List> std::vector<PacketField> readFields(const List &list)
{
    std::vector<PacketField> out;
    for (const auto &item : list) {
        const auto m = asObject(item);
        PacketField f;
        f.name = m.value(QStringLiteral("name")).toString();
        f.size = m.value(QStringLiteral("size")).toInt();
        if (f.name.isEmpty())
            packetError(QStringLiteral("campo sem nome."));
        out.push_back(f);
    }
    return out;
}

} // namespace

void TClientDataSet::Private::load(const QVariant &packet)
{
    bool isJson = false;
    QJsonObject json;
    const QVariantMap map = asVariantMap(packet, isJson, json);
    const QString fieldsKey = QStringLiteral("fields");
    const QString rowsKey = QStringLiteral("rows");

    const bool hasFields =
        isJson ? json.value(fieldsKey).isArray() : map.value(fieldsKey).canConvert<QVariantList>();
    if (!hasFields)
        packetError(QStringLiteral("falta a lista de campos."));
    const std::vector<PacketField> packetFields = isJson
                                                      ? readFields(json.value(fieldsKey).toArray())
                                                      : readFields(map.value(fieldsKey).toList());

    // A dataset without declared fields takes the packet's.
    if (fields.empty())
        for (const PacketField &f : packetFields)
            q->AddField(f.name, std::max(f.size, 1));

    std::vector<int> columnOf(fields.size(), -1);
    for (size_t c = 0; c < packetFields.size(); ++c) {
        const int f = resolve(packetFields[c].name);
        if (f >= 0)
            columnOf[size_t(f)] = int(c);
    }
    for (size_t f = 0; f < fields.size(); ++f)
        if (columnOf[f] < 0)
            packetError(QStringLiteral("falta o campo %1.").arg(fields[f]->FieldName()));

    std::vector<Row> loaded;
    const int width = int(packetFields.size());
    if (isJson) {
        const QJsonValue list = json.value(rowsKey);
        if (!list.isUndefined() && !list.isNull() && !list.isArray())
            packetError(QStringLiteral("a lista de linhas não é uma lista."));
        loadRows(list.toArray(), columnOf, width, packetFields, JsonCells{}, loaded);
    } else {
        const QVariant list = map.value(rowsKey);
        if (list.isValid() && list.metaType() != QMetaType::fromType<QVariantList>())
            packetError(QStringLiteral("a lista de linhas não é uma lista."));
        const QVariantList rowList =
            list.isValid() ? *static_cast<const QVariantList *>(list.constData()) : QVariantList();
        loadRows(rowList, columnOf, width, packetFields, VariantCells{}, loaded);
    }

    q->beginResetModel();
    rows = std::move(loaded);
    buffer.clear();
    modified = false;
    clearChanges();
    state = State::Browse;
    rebuildVisible();
    cur = visible.empty() ? -1 : 0;
    bof = true;
    eof = visible.empty();
    q->endResetModel();
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
    beginResetModel();
    d->rows.clear();
    d->visible.clear();
    d->buffer.clear();
    d->modified = false;
    d->clearChanges();
    d->cur = -1;
    d->bof = d->eof = true;
    d->state = State::Browse;
    endResetModel();
    Q_EMIT stateChanged(d->state);
    Q_EMIT currentChanged(d->cur);
    d->fire(AfterScroll);
}

void TClientDataSet::EmptyDataSet()
{
    d->requireActive();
    const bool wasEditing = d->editing();
    beginResetModel();
    d->rows.clear();
    d->visible.clear();
    d->buffer.clear();
    d->modified = false;
    d->clearChanges();
    d->cur = -1;
    d->bof = d->eof = true;
    d->state = State::Browse;
    endResetModel();
    if (wasEditing)
        Q_EMIT stateChanged(d->state);
    Q_EMIT currentChanged(d->cur);
    d->fire(AfterScroll);
}

void TClientDataSet::Close()
{
    if (d->state == State::Inactive)
        return;
    beginResetModel();
    d->rows.clear();
    d->rows.shrink_to_fit();
    d->visible.clear();
    d->visible.shrink_to_fit();
    d->buffer.clear();
    d->modified = false;
    d->clearChanges();
    d->cur = -1;
    d->bof = d->eof = true;
    d->state = State::Inactive;
    endResetModel();
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
    if (d->state == State::Insert) {
        if (r.change < 0)
            d->addChange(r, Private::Change::Op::Insert, QString());
    } else if (r.change < 0) {
        if (posted != r.data)
            d->addChange(r, Private::Change::Op::Update, r.data);
    } else if (d->changes[size_t(r.change)].op == Private::Change::Op::Update &&
               d->changes[size_t(r.change)].old == posted) {
        d->dropChange(r); // edited back to what was loaded
    }
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
    if (r.change < 0) {
        d->addChange(r, Private::Change::Op::Delete, r.data);
    } else if (d->changes[size_t(r.change)].op == Private::Change::Op::Insert) {
        d->dropChange(r);
    } else {
        d->changes[size_t(r.change)].op = Private::Change::Op::Delete; // old stays as loaded
    }
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
    return d->changeCount;
}

QVariant TClientDataSet::Delta() const
{
    d->requireActive();
    const int n = d->fieldCount();
    QVariantList fieldList;
    for (const auto &f : d->fields)
        fieldList.append(QVariantMap{{QStringLiteral("name"), f->FieldName()},
                                     {QStringLiteral("size"), f->Size()}});

    // Which stored row carries each live change.
    std::vector<int> rowOf(d->changes.size(), -1);
    if (d->changeCount > 0)
        for (size_t i = 0; i < d->rows.size(); ++i)
            if (d->rows[i].change >= 0)
                rowOf[size_t(d->rows[i].change)] = int(i);

    auto toList = [n](const QString &row) {
        QVariantList values;
        values.reserve(n);
        for (int f = 0; f < n; ++f)
            values.append(rowValue(row, f, n).toString());
        return values;
    };

    QVariantList changeList;
    using Op = Private::Change::Op;
    for (size_t i = 0; i < d->changes.size(); ++i) {
        const Private::Change &c = d->changes[i];
        QVariantMap entry;
        switch (c.op) {
        case Op::None:
            continue;
        case Op::Update:
            entry.insert(QStringLiteral("op"), QStringLiteral("update"));
            entry.insert(QStringLiteral("old"), toList(c.old));
            entry.insert(QStringLiteral("new"), toList(d->rows[size_t(rowOf[i])].data));
            break;
        case Op::Delete:
            entry.insert(QStringLiteral("op"), QStringLiteral("delete"));
            entry.insert(QStringLiteral("old"), toList(c.old));
            break;
        case Op::Insert:
            entry.insert(QStringLiteral("op"), QStringLiteral("insert"));
            entry.insert(QStringLiteral("new"), toList(d->rows[size_t(rowOf[i])].data));
            break;
        }
        changeList.append(entry);
    }
    return QVariantMap{{QStringLiteral("fields"), fieldList},
                       {QStringLiteral("changes"), changeList}};
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
