#include "protocol/RequestParams.h"

#include "protocol/ParsedJson.h"

namespace kvr::protocol {

namespace {

// False when there is no argument at `index`.
bool argument(const std::shared_ptr<const detail::PacketPart> &list, qsizetype index,
              simdjson::dom::element &value)
{
    return list && index >= 0 && !simdjson::dom::array(list->element).at(size_t(index)).get(value);
}

// A list of exactly `count` values, each taken by `take` (false: not of the type).
template <typename Out, typename Take>
bool readList(const std::shared_ptr<const detail::PacketPart> &list, qsizetype index,
              qsizetype count, Out &out, Take take)
{
    simdjson::dom::element value;
    simdjson::dom::array items;
    if (!argument(list, index, value) || value.get_array().get(items) ||
        qsizetype(items.size()) != count)
        return false;
    Out read;
    read.reserve(count);
    for (const simdjson::dom::element item : items)
        if (!take(item, read))
            return false;
    out = std::move(read);
    return true;
}

} // namespace

RequestParams::RequestParams(std::shared_ptr<const detail::PacketPart> list)
    : m_list(std::move(list)), m_size(qsizetype(simdjson::dom::array(m_list->element).size()))
{
}

bool RequestParams::text(qsizetype index, QString &out) const
{
    simdjson::dom::element value;
    std::string_view utf8;
    if (!argument(m_list, index, value) || value.get_string().get(utf8))
        return false;
    out = detail::toQString(utf8);
    return true;
}

bool RequestParams::flags(qsizetype index, qsizetype count, QList<bool> &out) const
{
    return readList(m_list, index, count, out, [](simdjson::dom::element item, QList<bool> &read) {
        bool flag = false;
        if (item.get_bool().get(flag))
            return false;
        read.append(flag);
        return true;
    });
}

bool RequestParams::texts(qsizetype index, qsizetype count, QStringList &out) const
{
    return readList(m_list, index, count, out, [](simdjson::dom::element item, QStringList &read) {
        std::string_view utf8;
        if (item.get_string().get(utf8))
            return false;
        read.append(detail::toQString(utf8));
        return true;
    });
}

std::shared_ptr<const detail::PacketPart> RequestParams::objectAt(qsizetype index) const
{
    simdjson::dom::element value;
    if (!argument(m_list, index, value) || !value.is_object())
        return nullptr;
    return std::make_shared<const detail::PacketPart>(detail::PacketPart{m_list->document, value});
}

bool RequestParams::delta(qsizetype index, DeltaData &out) const
{
    std::shared_ptr<const detail::PacketPart> part = objectAt(index);
    if (!part)
        return false;
    out = DeltaData(std::move(part));
    return true;
}

bool RequestParams::packet(qsizetype index, PacketData &out) const
{
    std::shared_ptr<const detail::PacketPart> part = objectAt(index);
    if (!part)
        return false;
    out = PacketData(std::move(part));
    return true;
}

QJsonArray RequestParams::toJsonArray() const
{
    return m_list ? detail::toQJsonValue(m_list->element).toArray() : QJsonArray();
}

} // namespace kvr::protocol
