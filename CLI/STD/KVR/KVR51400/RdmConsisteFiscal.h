#pragma once

#include "fiscal/ConsisteFiscalContract.h"

#include <QJsonObject>
#include <QString>
#include <QVariant>

class TNetConnection;

// The remote data module as the screens call it: one typed member a call of
// the contract, sent by name with positional arguments on the connection's
// late-bound server object. Every reply passes CheckResultServ(true, 0): a
// failure is shown and ends the action (EAbort). A missing connection (the
// maintenance screen is gone) is refused with a message before anything is
// sent. Packets come back as they arrived, for TClientDataSet::SetData.
class RdmConsisteFiscal final
{
public:
    explicit RdmConsisteFiscal(TNetConnection *connection) : m_connection(connection) {}

    QVariant getConsistencias(const QString &tax) const;
    QVariant getImposto(const QString &tax, const QString &filter) const;
    QVariant getCFOP() const;
    QVariant getVdCFOP(const QString &cfop) const;
    QVariant vdCon(const QString &tax, const QString &number) const;
    // True when another rule already has the combination.
    bool vdConsistencias(const kvr::fiscal::VdConsistencias &query) const;
    qint64 setConsistencia(const QJsonObject &delta) const;
    qint64 cadAutoAtualiza(const kvr::fiscal::CadAutoAtualiza &update) const;
    qint64 cadAutoInsere(const kvr::fiscal::CadAutoInsere &insert) const;
    QVariant getHistorico(const QString &tax, const QString &number) const;

    // The reply as it came, a failure included, for a screen that looks at a
    // refusal before CheckResultServ reports it (the import lists every
    // refused line); Decode then reads it.
    template <typename Call> QVariant send(const Call &args) const;
    template <typename Call> static typename Call::Reply::Value Decode(const QVariant &reply);
    // {"verdict", "rules"} for an invoice line.
    QJsonObject simulaConsistencia(const kvr::fiscal::SimulaConsistencia &line) const;
    // {"total", "findings"} of a tax.
    QJsonObject getConflitos(const QString &tax) const;
    QVariant getMapa(const QString &tax, const QString &stage, const QString &direction) const;

private:
    template <typename Call> typename Call::Reply::Value call(const Call &args) const;

    TNetConnection *m_connection;
};
