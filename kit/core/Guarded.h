#pragma once

#include "kit/core/Consiste.h"

#include <QObject>

#include <utility>

// Connects a signal to a handler that runs at the event-loop boundary through
// kvrGuard; the signal's arguments are not passed on.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection kvrConnect(Sender *sender, Signal signal, QObject *context, Handler handler)
{
    return QObject::connect(sender, signal, context,
                            [handler = std::move(handler)]() { kvrGuard(handler); });
}
