#pragma once

#include "protocol/DataPacket.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kvr::fiscal {

using protocol::PacketField;

// What every record of the module offers over its field list (`Record::fields()`:
// names and widths in record order). A row is a QStringList, one value a field.
template <typename Record> class RecordLayout
{
public:
    static QString name(int field) { return Record::fields().at(field).name; }
    static int width(int field) { return Record::fields().at(field).size; }
    // The field of a name; -1 for a name the record does not hold.
    static int indexOf(const QString &name)
    {
        const QList<PacketField> &list = Record::fields();
        for (int f = 0; f < list.size(); ++f)
            if (list.at(f).name == name)
                return f;
        return -1;
    }
    // An empty row of the right size.
    static QStringList blankRow() { return QStringList(Record::fields().size()); }
};

} // namespace kvr::fiscal
