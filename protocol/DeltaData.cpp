#include "protocol/DeltaData.h"

#include "protocol/Excerpt.h"
#include "protocol/JsonAccess.h"

namespace kvr::protocol {

namespace {

using detail::DomAccess;
using detail::DomValue;
using detail::JsonAccess;

const QString InvalidDelta = QStringLiteral("Pacote de alterações inválido: ");

bool fail(QString &problem, const QString &what)
{
    problem = InvalidDelta + what;
    return false;
}

template <typename Access, typename Value>
bool deltaRow(const Value &value, const QList<PacketField> &fields, qsizetype number,
              QStringList &row, QString &problem)
{
    if (!Access::isList(value))
        return fail(problem, rows::notAList(rows::Change, number));
    decltype(auto) values = Access::list(value);
    const qsizetype count = qsizetype(values.size());
    if (count != fields.size())
        return fail(problem, rows::wrongCount(rows::Change, number, count, fields.size()));
    row.clear();
    row.reserve(count);
    QString text;
    QStringView view;
    qsizetype i = 0;
    for (const auto &item : values) {
        if (!Access::text(item, text, view))
            return fail(problem, rows::notText(rows::Change, number, fields.at(i).name));
        if (!rows::fits(view, fields.at(i).size))
            return fail(problem, rows::tooLong(rows::Change, number, view, fields.at(i)));
        row.append(text);
        ++i;
    }
    return true;
}

template <typename Access, typename Object>
bool readDeltaAs(const Object &json, Delta &delta, QString &problem)
{
    QString what;
    delta.fields.clear();
    if (!detail::readFields<Access>(json, delta.fields, what))
        return fail(problem, what);
    const auto changes = Access::member(json, "changes");
    if (!Access::isList(changes))
        return fail(problem, QStringLiteral("lista de alterações ausente."));
    delta.changes.clear();
    qsizetype number = 0;
    for (const auto &item : Access::list(changes)) {
        ++number;
        // A change that is not an object reads as one without an operation.
        const auto op = Access::member(item, "op");
        DeltaChange change;
        if (Access::isText(op, "update")) {
            change.op = DeltaChange::Op::Update;
            if (!deltaRow<Access>(Access::member(item, "old"), delta.fields, number, change.oldRow,
                                  problem) ||
                !deltaRow<Access>(Access::member(item, "new"), delta.fields, number, change.newRow,
                                  problem))
                return false;
        } else if (Access::isText(op, "delete")) {
            change.op = DeltaChange::Op::Delete;
            if (!deltaRow<Access>(Access::member(item, "old"), delta.fields, number, change.oldRow,
                                  problem))
                return false;
        } else {
            // Which operations a server accepts is its own to say; a delta
            // applies only these two.
            QString name;
            QStringView shown;
            Access::text(op, name, shown);
            return fail(problem,
                        QStringLiteral("operação \"%1\" desconhecida.").arg(excerpt(name)));
        }
        delta.changes.append(change);
    }
    return true;
}

template <typename Access, typename Object> qsizetype changeCountAs(const Object &json)
{
    const auto changes = Access::member(json, "changes");
    return Access::isList(changes) ? qsizetype(Access::list(changes).size()) : 0;
}

template <typename Access, typename Object> bool hasChangeAs(const Object &json, const char *op)
{
    const auto changes = Access::member(json, "changes");
    if (!Access::isList(changes))
        return false;
    for (const auto &item : Access::list(changes))
        if (Access::isText(Access::member(item, "op"), op))
            return true;
    return false;
}

} // namespace

DeltaData::DeltaData(QJsonObject json) : m_json(std::move(json)) {}

DeltaData::DeltaData(std::shared_ptr<const detail::PacketPart> part) : m_part(std::move(part)) {}

DeltaData DeltaData::fromJson(const QByteArray &text, QString *problem)
{
    QString why;
    if (auto part = detail::parseObject(text, why, QStringLiteral("não é um objeto.")))
        return DeltaData(std::move(part));
    if (problem)
        *problem = InvalidDelta + why;
    return DeltaData();
}

qsizetype DeltaData::changeCount() const
{
    return m_part ? changeCountAs<DomAccess>(DomValue(m_part->element))
                  : changeCountAs<JsonAccess>(m_json);
}

bool DeltaData::hasChange(const char *op) const
{
    return m_part ? hasChangeAs<DomAccess>(DomValue(m_part->element), op)
                  : hasChangeAs<JsonAccess>(m_json, op);
}

QJsonObject DeltaData::toJsonObject() const
{
    return m_part ? detail::toQJsonValue(m_part->element).toObject() : m_json;
}

bool readDelta(const DeltaData &data, Delta &delta, QString &problem)
{
    return data.part() ? readDeltaAs<DomAccess>(DomValue(data.part()->element), delta, problem)
                       : readDeltaAs<JsonAccess>(data.json(), delta, problem);
}

bool deltaFromJson(const QJsonObject &json, Delta &delta, QString &problem)
{
    return readDeltaAs<JsonAccess>(json, delta, problem);
}

} // namespace kvr::protocol
