#include "kit/forms/TfrmRotiGeral.h"

#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/host/HostServices.h"
#include "kit/widgets/TButtonFlat.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

TfrmRotiGeral::TfrmRotiGeral(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRotiGeral"));
    setModal(true);

    lblCodTela = new QLabel(this);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont codeFont = lblCodTela->font();
    codeFont.setBold(true);
    lblCodTela->setFont(codeFont);
    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));

    panMenu = new QFrame(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFrameShape(QFrame::StyledPanel);
    panBotoes = new QFrame(panMenu);
    panBotoes->setObjectName(QStringLiteral("panBotoes"));
    sbtConfirma = new TButtonFlat(panBotoes);
    sbtConfirma->setObjectName(QStringLiteral("sbtConfirma"));
    sbtConfirma->SetHint(QStringLiteral("Confirmar"));
    sbtConfirma->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    sbtConfirma->OnClick = [this](QObject *) { sbtConfirmaClick(); };
    sbtFechar = new TButtonFlat(panBotoes);
    sbtFechar->setObjectName(QStringLiteral("sbtFechar"));
    sbtFechar->SetHint(QStringLiteral("Fechar"));
    sbtFechar->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    sbtFechar->OnClick = [this](QObject *) { close(); };
    auto *buttons = new QVBoxLayout(panBotoes);
    buttons->setContentsMargins(4, 4, 4, 4);
    buttons->addWidget(sbtConfirma);
    buttons->addWidget(sbtFechar);
    auto *menuLayout = new QVBoxLayout(panMenu);
    menuLayout->setContentsMargins(0, 0, 0, 0);
    menuLayout->addWidget(panBotoes);
    menuLayout->addStretch(1);

    auto *content = new QVBoxLayout;
    content->addWidget(lblCodTela);
    content->addWidget(grbDadosRel, 1);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(content, 1);
    layout->addWidget(panMenu);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
}

TfrmRotiGeral::~TfrmRotiGeral() = default;

void TfrmRotiGeral::Initialize()
{
    if (m_created)
        return;
    m_created = true;
    RegisterApplicationForm(this);
    kvrGuard([this]() { FormCreate(); });
}

void TfrmRotiGeral::FormCreate() {}

void TfrmRotiGeral::FormShow() {}

void TfrmRotiGeral::FormClose(TCloseAction &Action)
{
    Action = TCloseAction::caHide;
}

void TfrmRotiGeral::sbtConfirmaClick()
{
    accept();
}

void TfrmRotiGeral::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A window restored by the system is no new opening.
    if (!event->spontaneous())
        kvrGuard([this]() { FormShow(); });
}

void TfrmRotiGeral::done(int result)
{
    if (m_closing) {
        QDialog::done(result);
        return;
    }
    TCloseAction action = TCloseAction::caHide;
    if (!kvrGuard([this, &action]() { FormClose(action); }))
        action = TCloseAction::caNone;
    if (action == TCloseAction::caNone)
        return;
    if (action == TCloseAction::caMinimize) {
        showMinimized();
        return;
    }
    m_closing = true;
    QDialog::done(result);
    m_closing = false;
    if (action == TCloseAction::caFree)
        deleteLater();
}
