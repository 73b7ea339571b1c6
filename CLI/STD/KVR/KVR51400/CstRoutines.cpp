#include "CLI/STD/KVR/KVR51400/CstRoutines.h"

#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"

CstRoutines::CstRoutines(const TMessages *msgCST, const TClientDataSet *cdsImposto)
    : m_msgCST(msgCST), m_cdsImposto(cdsImposto)
{
}

QString CstRoutines::Family() const
{
    if (!m_cdsImposto || !m_cdsImposto->Active() || m_cdsImposto->IsEmpty())
        return QString();
    const TField *nfeCode = m_cdsImposto->FindField(QStringLiteral("CDIMPOSTONFE"));
    if (!nfeCode)
        return QString();
    return m_msgCST->Msg(QStringLiteral("IMP") + nfeCode->AsString());
}

QString CstRoutines::Text(const QString &cst) const
{
    return m_msgCST->Msg(Family() + cst);
}

QStringList CstRoutines::List() const
{
    const QString family = Family();
    QStringList texts;
    // Probe every two-digit code, so the list is in CST order whatever the
    // order of the table rows.
    for (int n = 0; n < 100; ++n) {
        const QString text = m_msgCST->Msg(family + Ajusta(QString::number(n), 2));
        if (!text.isEmpty())
            texts.append(text);
    }
    return texts;
}

bool CstRoutines::IsValid(const QString &cst) const
{
    return EmptyString(cst) || !Text(cst).isEmpty();
}
