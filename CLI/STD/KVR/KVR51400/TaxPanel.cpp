#include "CLI/STD/KVR/KVR51400/TaxPanel.h"

#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/widgets/ShowTextFromStart.h"

#include <QLineEdit>

TaxPanel::TaxPanel(QLineEdit *edtCdImposto, QLineEdit *edtNmImposto, TClientDataSet *cdsImposto,
                   const TMessages *msgPadrao, ConnectionSource connection)
    : m_edtCdImposto(edtCdImposto), m_edtNmImposto(edtNmImposto), m_cdsImposto(cdsImposto),
      m_msgPadrao(msgPadrao), m_connection(std::move(connection))
{
    ShowTextFromStart(m_edtNmImposto);
}

void TaxPanel::LoadTaxes() const
{
    m_cdsImposto->SetData(
        RdmConsisteFiscal(m_connection()).getImposto(QString(), QStringLiteral("T")));
}

void TaxPanel::CopyPicked() const
{
    m_edtCdImposto->setText(m_cdsImposto->FieldByName(QStringLiteral("CDIMPOSTO"))->AsString());
    m_edtNmImposto->setText(m_cdsImposto->FieldByName(QStringLiteral("NMIMPOSTO"))->AsString());
}

void TaxPanel::Check() const
{
    if (EmptyString(m_edtCdImposto->text())) {
        m_edtCdImposto->setFocus();
        MensErro(m_msgPadrao->Msg(QStringLiteral("IMPOSTO_N_INF")), true);
    }
    m_edtCdImposto->setText(Ajusta(m_edtCdImposto->text(), 2));
    m_cdsImposto->SetData(
        RdmConsisteFiscal(m_connection()).getImposto(m_edtCdImposto->text(), QString()));
    if (m_cdsImposto->IsEmpty()) {
        m_edtCdImposto->setFocus();
        MensErro(m_msgPadrao->Msg(QStringLiteral("IMPOSTO_INV")), true);
    }
    m_edtNmImposto->setText(m_cdsImposto->FieldByName(QStringLiteral("NMIMPOSTO"))->AsString());
}
