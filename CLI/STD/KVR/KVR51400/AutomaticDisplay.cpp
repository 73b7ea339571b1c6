#include "CLI/STD/KVR/KVR51400/AutomaticDisplay.h"

#include "CLI/STD/KVR/KVR51400/CstRoutines.h"
#include "kit/core/TMessages.h"

QString AutomaticDisplay::FiscalCode(const TMessages &msgPadrao, const QString &code)
{
    return msgPadrao.Msg(code);
}

QString AutomaticDisplay::Sign(const TMessages &msgPadrao, const QString &code)
{
    return msgPadrao.Msg(QStringLiteral("TIPO") + code);
}

QString AutomaticDisplay::Cst(const CstRoutines &cst, const QString &code)
{
    return cst.Text(code);
}
