#include "CLI/STD/KVR/KVR51400/TaxPanel.h"

#include "CLI/STD/KVR/KVR51400/FieldColour.h"
#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/widgets/ShowTextFromStart.h"
#include "kit/widgets/TBtnPesquisa.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpacerItem>

#include <algorithm>

TaxPanel::TaxPanel(QWidget *parent)
    : QFrame(parent), caption(new QLabel(QStringLiteral("Imposto"), this)),
      edtCdImposto(new QLineEdit(this)), btpImposto(new TBtnPesquisa(this)),
      edtNmImposto(new QLineEdit(this)), m_layout(new QHBoxLayout(this)),
      m_afterCaption(new QSpacerItem(0, 0)), m_afterCode(new QSpacerItem(0, 0)),
      m_afterLookup(new QSpacerItem(0, 0))
{
    edtCdImposto->setObjectName(QStringLiteral("edtCdImposto"));
    edtCdImposto->setMaxLength(2);
    setFieldColour(edtCdImposto, QPalette::ToolTipBase);
    caption->setBuddy(edtCdImposto);
    btpImposto->setObjectName(QStringLiteral("btpImposto"));
    btpImposto->SetAssociate(edtCdImposto);
    edtNmImposto->setObjectName(QStringLiteral("edtNmImposto"));
    edtNmImposto->setEnabled(false);
    setFieldColour(edtNmImposto, QPalette::Button);
    ShowTextFromStart(edtNmImposto);

    m_layout->setContentsMargins(8, 4, 8, 4);
    m_layout->setSpacing(0);
    m_layout->addWidget(caption);
    m_layout->addSpacerItem(m_afterCaption);
    m_layout->addWidget(edtCdImposto);
    m_layout->addSpacerItem(m_afterCode);
    m_layout->addWidget(btpImposto);
    m_layout->addSpacerItem(m_afterLookup);
    m_layout->addWidget(edtNmImposto);
    m_layout->addStretch(1);
    setCodeWidth(40);
    setNameWidth(285);
    arrange();
}

void TaxPanel::Bind(TClientDataSet *cdsImposto, TDataSource *dtsImposto, const TMessages *msgPadrao,
                    ConnectionSource connection)
{
    m_cdsImposto = cdsImposto;
    m_msgPadrao = msgPadrao;
    m_connection = std::move(connection);
    btpImposto->SetDataSource(dtsImposto);
}

void TaxPanel::LoadTaxes() const
{
    m_cdsImposto->SetData(
        RdmConsisteFiscal(m_connection()).getImposto(QString(), QStringLiteral("T")));
}

void TaxPanel::CopyPicked() const
{
    edtCdImposto->setText(m_cdsImposto->FieldByName(QStringLiteral("CDIMPOSTO"))->AsString());
    edtNmImposto->setText(m_cdsImposto->FieldByName(QStringLiteral("NMIMPOSTO"))->AsString());
}

void TaxPanel::Check() const
{
    if (EmptyString(edtCdImposto->text())) {
        edtCdImposto->setFocus();
        MensErro(m_msgPadrao->Msg(QStringLiteral("IMPOSTO_N_INF")), true);
    }
    edtCdImposto->setText(Ajusta(edtCdImposto->text(), 2));
    m_cdsImposto->SetData(
        RdmConsisteFiscal(m_connection()).getImposto(edtCdImposto->text(), QString()));
    if (m_cdsImposto->IsEmpty()) {
        edtCdImposto->setFocus();
        MensErro(m_msgPadrao->Msg(QStringLiteral("IMPOSTO_INV")), true);
    }
    edtNmImposto->setText(m_cdsImposto->FieldByName(QStringLiteral("NMIMPOSTO"))->AsString());
}

int TaxPanel::codeWidth() const
{
    return edtCdImposto->width();
}

void TaxPanel::setCodeWidth(int width)
{
    edtCdImposto->setFixedWidth(width);
}

int TaxPanel::nameWidth() const
{
    return edtNmImposto->width();
}

void TaxPanel::setNameWidth(int width)
{
    edtNmImposto->setFixedWidth(width);
}

void TaxPanel::setFieldHeight(int height)
{
    m_fieldHeight = height;
    arrange();
}

void TaxPanel::setSpacing(int spacing)
{
    m_spacing = spacing;
    arrange();
}

void TaxPanel::setNameGap(int gap)
{
    m_nameGap = gap;
    arrange();
}

void TaxPanel::setCaptionGap(int gap)
{
    m_captionGap = gap;
    arrange();
}

bool TaxPanel::captionBold() const
{
    return caption->font().bold();
}

void TaxPanel::setCaptionBold(bool bold)
{
    QFont font = caption->font();
    font.setBold(bold);
    caption->setFont(font);
}

void TaxPanel::setCodeLeft(int left)
{
    m_codeLeft = left;
    arrange();
}

void TaxPanel::arrange()
{
    int gap = m_captionGap;
    if (m_codeLeft > 0) {
        // The code starts where asked; a wide caption eats into its gap.
        const QMargins margins = m_layout->contentsMargins();
        const int width = caption->sizeHint().width();
        const int left = std::max(2, m_codeLeft - m_captionGap - width);
        m_layout->setContentsMargins(left, margins.top(), margins.right(), margins.bottom());
        gap = std::max(0, m_codeLeft - left - width);
    }
    m_afterCaption->changeSize(gap, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    m_afterCode->changeSize(m_spacing, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    m_afterLookup->changeSize(m_nameGap < 0 ? m_spacing : m_nameGap, 0, QSizePolicy::Fixed,
                              QSizePolicy::Minimum);
    for (QLineEdit *field : {edtCdImposto, edtNmImposto})
        if (m_fieldHeight > 0)
            field->setFixedHeight(m_fieldHeight);
    m_layout->invalidate();
}
