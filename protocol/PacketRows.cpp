#include "protocol/PacketRows.h"

#include "protocol/Excerpt.h"

namespace kvr::protocol::rows {

namespace {

QString the(Noun noun, qsizetype number)
{
    return (noun == Row ? QStringLiteral("a linha %1") : QStringLiteral("a alteração %1"))
        .arg(number);
}

QString in(Noun noun, qsizetype number)
{
    return (noun == Row ? QStringLiteral("na linha %1") : QStringLiteral("na alteração %1"))
        .arg(number);
}

} // namespace

QString badSize(QStringView field)
{
    return QStringLiteral("o campo %1 não tem um tamanho válido.").arg(excerpt(field));
}

QString notAList(Noun noun, qsizetype number)
{
    return the(noun, number) + QStringLiteral(" não é uma lista de valores.");
}

QString wrongCount(Noun noun, qsizetype number, qsizetype count, qsizetype expected)
{
    return the(noun, number) +
           QStringLiteral(" tem %1 valores; esperados %2.").arg(count).arg(expected);
}

QString notText(Noun noun, qsizetype number, const QString &field)
{
    return QStringLiteral("o valor do campo %1 %2 não é texto.")
        .arg(excerpt(field), in(noun, number));
}

QString tooLong(Noun noun, qsizetype number, QStringView text, const PacketField &field)
{
    // One arg() call: a quoted value holding "%3" must stay as it is.
    return QStringLiteral("o valor \"%1\" %2 excede o tamanho %3 do campo %4.")
        .arg(excerpt(text), in(noun, number), QString::number(field.size), excerpt(field.name));
}

} // namespace kvr::protocol::rows
