#pragma once

#include "protocol/DeltaData.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <tuple>
#include <type_traits>

namespace kvr::fiscal {

// How a remote call is declared: a struct with `name()`, a `Reply` (Replies.h),
// one member per argument and `arguments()`, the tuple of those members in
// wire order. The wire carries positional arguments; only this declaration
// knows the positions, so both ends read and write them through it.

// The JSON shape of an argument, told by the member's type.
enum class ArgType {
    Text,   // QString: a string
    Flags,  // QList<bool>: an array of `length` booleans
    Texts,  // QStringList: an array of `length` strings
    Delta,  // protocol::DeltaData: a change packet
    Packet, // DataPacket: a data packet of records
};

// A data packet sent as an argument (rows to import, say): its own type, so
// that the server reads and names it as a data packet, not as a change packet.
struct DataPacket
{
    QJsonObject packet;
};

template <typename T> struct ArgTypeOf;
template <> struct ArgTypeOf<QString>
{
    static constexpr ArgType value = ArgType::Text;
};
template <> struct ArgTypeOf<QList<bool>>
{
    static constexpr ArgType value = ArgType::Flags;
};
template <> struct ArgTypeOf<QStringList>
{
    static constexpr ArgType value = ArgType::Texts;
};
template <> struct ArgTypeOf<protocol::DeltaData>
{
    static constexpr ArgType value = ArgType::Delta;
};
template <> struct ArgTypeOf<DataPacket>
{
    static constexpr ArgType value = ArgType::Packet;
};

// One positional argument. By reference: the caller sends a variable it owns
// (it travels as its value and is never read back).
template <typename Call, typename T> struct Arg
{
    const char *name;
    T Call::*member;
    bool byReference;
    int length; // of a list; 0 otherwise
    static constexpr ArgType type = ArgTypeOf<T>::value;
};

template <typename Call, typename T>
constexpr Arg<Call, T> byValue(const char *name, T Call::*member, int length = 0)
{
    return {name, member, false, length};
}

template <typename Call, typename T>
constexpr Arg<Call, T> byRef(const char *name, T Call::*member, int length = 0)
{
    return {name, member, true, length};
}

// Calls `f(arg)` for each argument of a call, in wire order.
template <typename Call, typename F> void forEachArg(F &&f)
{
    std::apply([&f](const auto &...arg) { (f(arg), ...); }, Call::arguments());
}

template <typename Call> constexpr int argCount()
{
    return int(std::tuple_size_v<decltype(Call::arguments())>);
}

// Calls `f(Call{})` for each call type of a std::tuple of calls.
template <typename Calls, typename F> void forEachCall(F &&f)
{
    std::apply([&f](auto... tag) { (f(tag), ...); }, Calls{});
}

// The positional arguments of a call, as the connection sends them.
template <typename Call> QVariantList toVariants(const Call &call)
{
    QVariantList list;
    list.reserve(argCount<Call>());
    forEachArg<Call>([&](const auto &arg) {
        const auto &value = call.*arg.member;
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, QString>) {
            list.append(value);
        } else if constexpr (std::is_same_v<T, protocol::DeltaData>) {
            list.append(QVariant::fromValue(value.toJsonObject()));
        } else if constexpr (std::is_same_v<T, DataPacket>) {
            list.append(QVariant::fromValue(value.packet));
        } else {
            QVariantList items;
            for (const auto &item : value)
                items.append(item);
            list.append(QVariant(items));
        }
    });
    return list;
}

// A call described as data, for tables and documentation.
struct ArgInfo
{
    QString name;
    ArgType type;
    bool byReference;
    int length;
};

struct CallInfo
{
    QString name;
    QList<ArgInfo> arguments;
    QString reply;
};

template <typename Call> CallInfo describe()
{
    CallInfo info{Call::name(), {}, Call::Reply::describe()};
    forEachArg<Call>([&info](const auto &arg) {
        info.arguments.append({QString::fromUtf8(arg.name), arg.type, arg.byReference, arg.length});
    });
    return info;
}

} // namespace kvr::fiscal
