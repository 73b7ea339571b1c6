#pragma once

#include <QString>
#include <QStringList>

class TClientDataSet;
class TMessages;

// The CST routines of a screen. The tax is always the current row of the
// screen's tax record (cdsImposto), never the rule's own tax code.
class CstRoutines final
{
public:
    CstRoutines(const TMessages *msgCST, const TClientDataSet *cdsImposto);

    // Family prefix of the current tax ("ICMS", "IPI", "PIS", "COF"), from its
    // NF-e code; empty for no current tax or a tax without a family.
    QString Family() const;
    // Text of a CST of the current tax, looked up exactly as stored; empty
    // when the family does not hold it.
    QString Text(const QString &cst) const;
    // The current tax's CST texts in numeric CST order.
    QStringList List() const;
    // An empty CST (any CST) or one with a text under the current tax.
    bool IsValid(const QString &cst) const;

private:
    const TMessages *m_msgCST;
    const TClientDataSet *m_cdsImposto;
};
