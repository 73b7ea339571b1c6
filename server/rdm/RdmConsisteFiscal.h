#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace kvr::server {

class Dispatcher;
class Storage;

// The remote data module "kvr51400.rdmConsisteFiscal": the nine methods the
// rule screens call. Each returns its result as encoded JSON and throws
// AppError for anything it refuses; writes happen in one transaction or not at all.
class RdmConsisteFiscal final
{
public:
    static QString objectName() { return QStringLiteral("kvr51400.rdmConsisteFiscal"); }

    // Most rules a cadAutoAtualiza list may name and most changes a delta may
    // carry: each call is one writer transaction that every other writer
    // waits for (server/README.md says why these figures).
    static constexpr qsizetype MaxListRules = 20000;
    static constexpr qsizetype MaxDeltaChanges = 20000;

    explicit RdmConsisteFiscal(Storage &storage) : m_storage(storage) {}

    // Registers the methods with their argument checks.
    void bind(Dispatcher &dispatcher);

    QByteArray getConsistencias(const QString &tax);
    QByteArray getImposto(const QString &tax, const QString &filter);
    QByteArray getCFOP();
    QByteArray getVdCFOP(const QString &cfop);
    QByteArray vdCon(const QString &tax, const QString &number);
    QByteArray vdConsistencias(const QString &tax, const QString &cfop, const QString &cst,
                               const QString &fiscal, const QString &blocked,
                               const QString &number);
    QByteArray setConsistencia(const QJsonObject &delta);
    QByteArray cadAutoAtualiza(const QString &tax, const QString &first, const QString &last,
                               const QString &list, const QList<bool> &flags,
                               const QStringList &values);
    QByteArray cadAutoInsere(const QStringList &args);

private:
    QByteArray cfopPacket(const QString *onlyCode);
    static QByteArray affected(qint64 count);

    Storage &m_storage;
};

} // namespace kvr::server
