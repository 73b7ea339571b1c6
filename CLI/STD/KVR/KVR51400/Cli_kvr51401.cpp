#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"

#include "CLI/STD/KVR/KVR51400/AutomaticDisplay.h"
#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/host/HostServices.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TfrmCadAuto *frmCadAuto = nullptr;
QString stListaConsiste;

namespace {

void setFieldColour(QWidget *field, QPalette::ColorRole systemColour)
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(systemColour));
    field->setPalette(palette);
}

} // namespace

TfrmCadAuto::TfrmCadAuto(QWidget *parent)
    : TfrmRotiGeral(parent), cdsImposto(new TClientDataSet(this)), msgCST(new TMessages(this)),
      m_cst(msgCST, cdsImposto)
{
    setObjectName(QStringLiteral("frmCadAuto"));
    setWindowTitle(QStringLiteral("Cadastramento automático"));
    lblCodTela->setText(QStringLiteral("KVR51401"));
    createRecords();
    createTaxPanel();
    resize(501, 636);
}

TfrmCadAuto::~TfrmCadAuto() = default;

void TfrmCadAuto::createRecords()
{
    cdsImposto->setObjectName(QStringLiteral("cdsImposto"));
    RuleRecords::DeclareTaxes(cdsImposto, false);
    dtsImposto = new TDataSource(this);
    dtsImposto->setObjectName(QStringLiteral("dtsImposto"));
    dtsImposto->SetDataSet(cdsImposto);

    cdsConsistencias = new TClientDataSet(this);
    cdsConsistencias->setObjectName(QStringLiteral("cdsConsistencias"));
    RuleRecords::DeclareAutomaticRules(cdsConsistencias);
    BindGetText(cdsConsistencias, "CDSITUTRIB", this,
                &TfrmCadAuto::cdsConsistenciasCDSITUTRIBGetText);
    BindGetText(cdsConsistencias, "CDFISCAL", this, &TfrmCadAuto::cdsConsistenciasCDFISCALGetText);
    BindGetText(cdsConsistencias, "IDTPALIQUOTA", this,
                &TfrmCadAuto::cdsConsistenciasIDTPALIQUOTAGetText);
    BindGetText(cdsConsistencias, "IDTPVRIMPOSTO", this,
                &TfrmCadAuto::cdsConsistenciasIDTPVRIMPOSTOGetText);
    BindGetText(cdsConsistencias, "IDTPBASECALC", this,
                &TfrmCadAuto::cdsConsistenciasIDTPBASECALCGetText);
    dtsConsistencias = new TDataSource(this);
    dtsConsistencias->setObjectName(QStringLiteral("dtsConsistencias"));
    dtsConsistencias->SetDataSet(cdsConsistencias);

    cdsCFOP = new TClientDataSet(this);
    cdsCFOP->setObjectName(QStringLiteral("cdsCFOP"));
    RuleRecords::DeclareCfops(cdsCFOP);
    dtsCFOP = new TDataSource(this);
    dtsCFOP->setObjectName(QStringLiteral("dtsCFOP"));
    dtsCFOP->SetDataSet(cdsCFOP);

    msgPadrao->SetMessages(MessageTables::AutomaticPadrao());
    msgCST->setObjectName(QStringLiteral("msgCST"));
    msgCST->SetMessages(MessageTables::Cst());
}

void TfrmCadAuto::createTaxPanel()
{
    auto *content = new QVBoxLayout(grbDadosRel);
    auto *panel = new QFrame(grbDadosRel);
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFixedHeight(41);
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("Imposto"), panel);
    edtCdImposto = new QLineEdit(panel);
    edtCdImposto->setObjectName(QStringLiteral("edtCdImposto"));
    edtCdImposto->setMaxLength(2);
    edtCdImposto->setFixedWidth(40);
    setFieldColour(edtCdImposto, QPalette::ToolTipBase);
    label->setBuddy(edtCdImposto);
    edtNmImposto = new QLineEdit(panel);
    edtNmImposto->setObjectName(QStringLiteral("edtNmImposto"));
    edtNmImposto->setFixedWidth(300);
    edtNmImposto->setEnabled(false);
    setFieldColour(edtNmImposto, QPalette::Button);
    layout->addWidget(label);
    layout->addWidget(edtCdImposto);
    layout->addWidget(edtNmImposto);
    layout->addStretch(1);
    content->addWidget(panel);
    content->addStretch(1);
}

void TfrmCadAuto::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    // The maintenance screen is always there when its button opens this one.
    if (frmConsisteFiscal)
        edtCdImposto->setText(frmConsisteFiscal->edtCdImposto->text());
}

void TfrmCadAuto::FormShow()
{
    // The one instance of the run; a screen made outside criaCadAuto uses itself.
    TfrmCadAuto *form = frmCadAuto ? frmCadAuto : this;
    form->edtCdImposto->setFocus();
}

void TfrmCadAuto::FormClose(TCloseAction &Action)
{
    Action = TCloseAction::caHide;
}

void TfrmCadAuto::cdsConsistenciasCDSITUTRIBGetText(TField *Sender, QString &Text, bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = AutomaticDisplay::Cst(m_cst, Sender->AsString());
}

void TfrmCadAuto::cdsConsistenciasCDFISCALGetText(TField *Sender, QString &Text, bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = AutomaticDisplay::FiscalCode(*msgPadrao, Sender->AsString());
}

void TfrmCadAuto::cdsConsistenciasIDTPALIQUOTAGetText(TField *Sender, QString &Text,
                                                      bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = AutomaticDisplay::Sign(*msgPadrao, Sender->AsString());
}

void TfrmCadAuto::cdsConsistenciasIDTPVRIMPOSTOGetText(TField *Sender, QString &Text,
                                                       bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = AutomaticDisplay::Sign(*msgPadrao, Sender->AsString());
}

void TfrmCadAuto::cdsConsistenciasIDTPBASECALCGetText(TField *Sender, QString &Text,
                                                      bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = AutomaticDisplay::Sign(*msgPadrao, Sender->AsString());
}

void criaCadAuto()
{
    SetScreenCursor(-11);
    if (!frmCadAuto) {
        TfrmCadAuto *form = TfrmRotiGeral::Create<TfrmCadAuto>();
        frmCadAuto = form;
        QObject::connect(form, &QObject::destroyed, [form]() {
            if (frmCadAuto == form)
                frmCadAuto = nullptr;
        });
    }
    // A modal screen shows the default pointer and puts the previous one
    // back when it closes.
    const int previous = ScreenCursor();
    SetScreenCursor(0);
    frmCadAuto->exec();
    SetScreenCursor(previous);
    SetScreenCursor(0);
}

namespace Cli_kvr51401 {

void Initialization()
{
    // No work: the screen is made on its first opening.
}

void Finalization()
{
    QString().swap(stListaConsiste);
}

} // namespace Cli_kvr51401
