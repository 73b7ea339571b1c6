#pragma once

// Internal to protocol/: the checks of a packet's or delta's rows and their
// messages, so that every reader says the same of the same fault.
#include "protocol/DataPacket.h"

#include <QString>
#include <QStringView>

namespace kvr::protocol::rows {

// What a row is called in a message: a packet's row or a delta's change.
enum Noun { Row, Change };

inline bool fits(QStringView text, int size)
{
    return text.size() <= size || characterCount(text) <= size;
}

QString badSize(QStringView field);
QString notAList(Noun noun, qsizetype number);
QString wrongCount(Noun noun, qsizetype number, qsizetype count, qsizetype expected);
QString notText(Noun noun, qsizetype number, const QString &field);
QString tooLong(Noun noun, qsizetype number, QStringView text, const PacketField &field);

} // namespace kvr::protocol::rows
