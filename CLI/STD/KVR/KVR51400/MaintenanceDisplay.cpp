#include "CLI/STD/KVR/KVR51400/MaintenanceDisplay.h"

#include "CLI/STD/KVR/KVR51400/CstRoutines.h"
#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"

namespace {

QString todos(const TMessages &msgPadrao)
{
    return msgPadrao.Msg(QStringLiteral("Todos"));
}

// The code looked up as its own key, when it is one of `domain`: the table
// also holds one-character keys of other fields.
QString codeText(const TMessages &msgPadrao, const QString &code, QLatin1String domain)
{
    if (code.size() != 1 || !domain.contains(code.at(0).toLatin1()))
        return QString();
    return msgPadrao.Msg(code);
}

} // namespace

QString MaintenanceDisplay::Direction(const TMessages &msgPadrao, const QString &code)
{
    return codeText(msgPadrao, code, QLatin1String("EST"));
}

QString MaintenanceDisplay::Cfop(const TMessages &msgPadrao, const QString &code)
{
    return EmptyString(code) ? todos(msgPadrao) : code;
}

QString MaintenanceDisplay::FirstCstDigit(const TMessages &msgPadrao, const QString &code)
{
    if (EmptyString(code))
        return todos(msgPadrao);
    return msgPadrao.Msg(QStringLiteral("1CST") + code);
}

QString MaintenanceDisplay::Cst(const TMessages &msgPadrao, const CstRoutines &cst,
                                const QString &code)
{
    return EmptyString(code) ? todos(msgPadrao) : cst.Text(code);
}

QString MaintenanceDisplay::FiscalCode(const TMessages &msgPadrao, const QString &code)
{
    if (EmptyString(code) || code == QLatin1String("0"))
        return todos(msgPadrao);
    return codeText(msgPadrao, code, QLatin1String("123"));
}

QString MaintenanceDisplay::Sign(const TMessages &msgPadrao, const QString &code)
{
    if (EmptyString(code) || code == QLatin1String("0"))
        return todos(msgPadrao);
    return msgPadrao.Msg(QStringLiteral("TIPO") + code);
}

QString MaintenanceDisplay::CreditType(const TMessages &msgPadrao, const QString &code,
                                       const QString &ruleTaxCode)
{
    if (ruleTaxCode != QLatin1String("50") && ruleTaxCode != QLatin1String("60"))
        return msgPadrao.Msg(QStringLiteral("NA"));
    return EmptyString(code) ? todos(msgPadrao) : code;
}

std::optional<QString> MaintenanceDisplay::OfField(const TMessages &msgPadrao,
                                                   const CstRoutines &cst, const QString &field,
                                                   const QString &code, const QString &ruleTaxCode)
{
    if (field == QLatin1String("IDENTRSAIDOP"))
        return Direction(msgPadrao, code);
    if (field == QLatin1String("CDFISCOPER"))
        return Cfop(msgPadrao, code);
    if (field == QLatin1String("CDCST1DIGT"))
        return FirstCstDigit(msgPadrao, code);
    if (field == QLatin1String("CDSITUTRIB"))
        return Cst(msgPadrao, cst, code);
    if (field == QLatin1String("CDFISCAL"))
        return FiscalCode(msgPadrao, code);
    if (field == QLatin1String("IDTPBASECALC") || field == QLatin1String("IDTPALIQUOTA") ||
        field == QLatin1String("IDTPVRIMPOSTO"))
        return Sign(msgPadrao, code);
    if (field == QLatin1String("CDTPCREDPICOITE"))
        return CreditType(msgPadrao, code, ruleTaxCode);
    return std::nullopt;
}
