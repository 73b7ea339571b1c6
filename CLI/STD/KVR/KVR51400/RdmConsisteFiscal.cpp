#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"

#include "kit/core/Consiste.h"
#include "kit/net/TNetConnection.h"

namespace fiscal = kvr::fiscal;

template <typename Call> QVariant RdmConsisteFiscal::send(const Call &args) const
{
    if (!m_connection)
        MensErro(QStringLiteral("A tela de Consistências Fiscais não está aberta: não há conexão "
                                "com o servidor de aplicação."),
                 true);
    return m_connection->AppServer().Call(Call::name(), fiscal::toVariants(args));
}

template <typename Call>
typename Call::Reply::Value RdmConsisteFiscal::Decode(const QVariant &reply)
{
    return Call::Reply::decode(CheckResultServ(reply, true, 0));
}

template <typename Call> typename Call::Reply::Value RdmConsisteFiscal::call(const Call &args) const
{
    return Decode<Call>(send(args));
}

template QVariant RdmConsisteFiscal::send(const fiscal::ImportaConsistencias &) const;
template qint64 RdmConsisteFiscal::Decode<fiscal::ImportaConsistencias>(const QVariant &);

QVariant RdmConsisteFiscal::getConsistencias(const QString &tax) const
{
    return call(fiscal::GetConsistencias{tax});
}

QVariant RdmConsisteFiscal::getImposto(const QString &tax, const QString &filter) const
{
    return call(fiscal::GetImposto{tax, filter});
}

QVariant RdmConsisteFiscal::getCFOP() const
{
    return call(fiscal::GetCfop{});
}

QVariant RdmConsisteFiscal::getVdCFOP(const QString &cfop) const
{
    return call(fiscal::GetVdCfop{cfop});
}

QVariant RdmConsisteFiscal::vdCon(const QString &tax, const QString &number) const
{
    return call(fiscal::VdCon{tax, number});
}

bool RdmConsisteFiscal::vdConsistencias(const fiscal::VdConsistencias &query) const
{
    return call(query);
}

qint64 RdmConsisteFiscal::setConsistencia(const QJsonObject &delta) const
{
    return call(fiscal::SetConsistencia{delta});
}

qint64 RdmConsisteFiscal::cadAutoAtualiza(const fiscal::CadAutoAtualiza &update) const
{
    return call(update);
}

qint64 RdmConsisteFiscal::cadAutoInsere(const fiscal::CadAutoInsere &insert) const
{
    return call(insert);
}

QVariant RdmConsisteFiscal::getHistorico(const QString &tax, const QString &number) const
{
    return call(fiscal::GetHistorico{tax, number});
}

QJsonObject RdmConsisteFiscal::simulaConsistencia(const fiscal::SimulaConsistencia &line) const
{
    return call(line);
}

QJsonObject RdmConsisteFiscal::getConflitos(const QString &tax) const
{
    return call(fiscal::GetConflitos{tax});
}

QVariant RdmConsisteFiscal::getMapa(const QString &tax, const QString &stage,
                                    const QString &direction) const
{
    return call(fiscal::GetMapa{tax, stage, direction});
}
