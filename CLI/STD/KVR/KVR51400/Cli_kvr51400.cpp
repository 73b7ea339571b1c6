#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"

#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceDisplay.h"
#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/HostServices.h"
#include "kit/net/TNetConnection.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TButtonFlat.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QVBoxLayout>

TfrmConsisteFiscal *frmConsisteFiscal = nullptr;

namespace {

// A field's colour is its background.
void setFieldColour(QWidget *field, QPalette::ColorRole systemColour)
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(systemColour));
    field->setPalette(palette);
}

// The check images the rule grid draws for the "active" column.
QPixmap checkImage(QWidget *widget, bool checked)
{
    QPixmap image(13, 13);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionButton option;
    option.rect = image.rect();
    option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    widget->style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, widget);
    return image;
}

QPixmap twoStateGlyph(QWidget *widget, QStyle::StandardPixmap icon)
{
    const QIcon standard = widget->style()->standardIcon(icon);
    QPixmap glyph(32, 16);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    painter.drawPixmap(0, 0, standard.pixmap(16, 16));
    painter.drawPixmap(16, 0, standard.pixmap(16, 16, QIcon::Disabled));
    return glyph;
}

} // namespace

TfrmConsisteFiscal::TfrmConsisteFiscal(QWidget *parent)
    : TfrmPadraoGrid(parent), cdsImposto(new TClientDataSet(this)), msgCST(new TMessages(this)),
      m_cst(msgCST, cdsImposto)
{
    setObjectName(QStringLiteral("frmConsisteFiscal"));
    setWindowTitle(QStringLiteral("Consistências Fiscais"));
    lblCodTela->setText(QStringLiteral("KVR51400"));
    resize(1112, 471);

    // Tool bar additions, between the record buttons and help/close.
    btnCadFiscal = new TButtonFlat(panMenu);
    btnCadFiscal->setObjectName(QStringLiteral("btnCadFiscal"));
    btnCadFiscal->SetHint(QStringLiteral("Cadastros Fiscais"));
    btnCadFiscal->SetNumGlyphs(2);
    btnCadFiscal->SetGlyph(twoStateGlyph(this, QStyle::SP_FileDialogListView));
    btnCadFiscal->move(211, sbtAjuda->y());
    btnCadFiscal->OnClick = [this](QObject *sender) { btnCadFiscalClick(sender); };
    sbtAutomatico = new TButtonFlat(panMenu);
    sbtAutomatico->setObjectName(QStringLiteral("sbtAutomatico"));
    sbtAutomatico->SetHint(QStringLiteral("Confirmar"));
    sbtAutomatico->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    sbtAutomatico->move(236, sbtAjuda->y());
    sbtAutomatico->setEnabled(false);
    sbtAutomatico->OnClick = [this](QObject *sender) { sbtAutomaticoClick(sender); };
    sbtAjuda->move(269, sbtAjuda->y());
    sbtFechar->move(305, sbtFechar->y());

    createRecords();
    createTaxPanel();
    createRulePage();
    createCheckPanel();

    pmnOpcaoCadFiscal = new QMenu(this);
    pmnOpcaoCadFiscal->setObjectName(QStringLiteral("pmnOpcaoCadFiscal"));
    mnuOpcaoAliqCSTImp = pmnOpcaoCadFiscal->addAction(
        QStringLiteral("Alíquota Válida por CST e Imposto"), this,
        [this]() { kvrGuard([this]() { mnuOpcaoAliqCSTImpClick(); }); });
    mnuOpcaoAliqCSTImp->setObjectName(QStringLiteral("mnuOpcaoAliqCSTImp"));
    mnuOpcaoDadosFiscCSTImposto = pmnOpcaoCadFiscal->addAction(
        QStringLiteral("Natureza da Base de Cálculo por CFOP"), this,
        [this]() { kvrGuard([this]() { mnuOpcaoDadosFiscCSTImpostoClick(); }); });
    mnuOpcaoDadosFiscCSTImposto->setObjectName(QStringLiteral("mnuOpcaoDadosFiscCSTImposto"));

    netConsistencia = new TNetConnection(this);
    netConsistencia->setObjectName(QStringLiteral("netConsistencia"));
    netConsistencia->SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
    netConsistencia->SetThrowException(false);
    netConsistencia->BeforeConnect = [this](TNetConnection *sender) {
        netConsistenciaBeforeConnect(sender);
    };
}

TfrmConsisteFiscal::~TfrmConsisteFiscal() = default;

void TfrmConsisteFiscal::createRecords()
{
    cdsConsistencias = new TClientDataSet(this);
    cdsConsistencias->setObjectName(QStringLiteral("cdsConsistencias"));
    RuleRecords::DeclareMaintenanceRules(cdsConsistencias);
    BindGetText(cdsConsistencias, "IDENTRSAIDOP", this,
                &TfrmConsisteFiscal::cdsConsistenciasIDENTRSAIDOPGetText);
    BindGetText(cdsConsistencias, "CDFISCOPER", this,
                &TfrmConsisteFiscal::cdsConsistenciasCDFISCOPERGetText);
    BindGetText(cdsConsistencias, "CDCST1DIGT", this,
                &TfrmConsisteFiscal::cdsConsistenciasCDCST1DIGTGetText);
    BindGetText(cdsConsistencias, "CDSITUTRIB", this,
                &TfrmConsisteFiscal::cdsConsistenciasCDSITUTRIBGetText);
    BindGetText(cdsConsistencias, "CDFISCAL", this,
                &TfrmConsisteFiscal::cdsConsistenciasCDFISCALGetText);
    BindGetText(cdsConsistencias, "IDTPBASECALC", this,
                &TfrmConsisteFiscal::cdsConsistenciasIDTPBASECALCGetText);
    BindGetText(cdsConsistencias, "IDTPALIQUOTA", this,
                &TfrmConsisteFiscal::cdsConsistenciasIDTPALIQUOTAGetText);
    BindGetText(cdsConsistencias, "IDTPVRIMPOSTO", this,
                &TfrmConsisteFiscal::cdsConsistenciasIDTPVRIMPOSTOGetText);
    BindGetText(cdsConsistencias, "CDTPCREDPICOITE", this,
                &TfrmConsisteFiscal::cdsConsistenciasCDTPCREDPICOITEGetText);
    dtsConsistencias = new TDataSource(this);
    dtsConsistencias->setObjectName(QStringLiteral("dtsConsistencias"));
    dtsConsistencias->SetDataSet(cdsConsistencias);
    dtsPadrao->SetDataSet(cdsConsistencias);

    cdsImposto->setObjectName(QStringLiteral("cdsImposto"));
    RuleRecords::DeclareTaxes(cdsImposto, true);
    dtsimposto = new TDataSource(this);
    dtsimposto->setObjectName(QStringLiteral("dtsimposto"));
    dtsimposto->SetDataSet(cdsImposto);

    cdsCFOP = new TClientDataSet(this);
    cdsCFOP->setObjectName(QStringLiteral("cdsCFOP"));
    RuleRecords::DeclareCfops(cdsCFOP);
    dtsCFOP = new TDataSource(this);
    dtsCFOP->setObjectName(QStringLiteral("dtsCFOP"));
    dtsCFOP->SetDataSet(cdsCFOP);

    msgPadrao->SetMessages(MessageTables::MaintenancePadrao());
    msgCST->setObjectName(QStringLiteral("msgCST"));
    msgCST->SetMessages(MessageTables::Cst());
}

void TfrmConsisteFiscal::createTaxPanel()
{
    panImposto = new QFrame(this);
    panImposto->setObjectName(QStringLiteral("panImposto"));
    panImposto->setFixedHeight(45);
    panImposto->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QHBoxLayout(panImposto);
    layout->setContentsMargins(8, 4, 8, 4);

    auto *label = new QLabel(QStringLiteral("Imposto"), panImposto);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    edtCdImposto = new QLineEdit(panImposto);
    edtCdImposto->setObjectName(QStringLiteral("edtCdImposto"));
    edtCdImposto->setMaxLength(2);
    edtCdImposto->setFixedWidth(40);
    setFieldColour(edtCdImposto, QPalette::ToolTipBase);
    label->setBuddy(edtCdImposto);
    btpImposto = new TBtnPesquisa(panImposto);
    btpImposto->setObjectName(QStringLiteral("btpImposto"));
    btpImposto->SetHint(QStringLiteral("Pesquisar"));
    btpImposto->SetAssociate(edtCdImposto);
    btpImposto->SetDataSource(dtsimposto);
    edtNmImposto = new QLineEdit(panImposto);
    edtNmImposto->setObjectName(QStringLiteral("edtNmImposto"));
    edtNmImposto->setFixedWidth(285);
    edtNmImposto->setEnabled(false);
    setFieldColour(edtNmImposto, QPalette::Button);
    imgCheck = new QLabel(panImposto);
    imgCheck->setObjectName(QStringLiteral("imgCheck"));
    imgCheck->setPixmap(checkImage(this, true));
    imgCheck->setVisible(false);
    imgUncheck = new QLabel(panImposto);
    imgUncheck->setObjectName(QStringLiteral("imgUncheck"));
    imgUncheck->setPixmap(checkImage(this, false));
    imgUncheck->setVisible(false);

    layout->addWidget(label);
    layout->addWidget(edtCdImposto);
    layout->addWidget(btpImposto);
    layout->addWidget(edtNmImposto);
    layout->addStretch(1);
    AddTopPanel(panImposto);
}

void TfrmConsisteFiscal::createRulePage()
{
    tshBloqueados = new QWidget(pgcPadrao);
    tshBloqueados->setObjectName(QStringLiteral("tshBloqueados"));
    auto *layout = new QVBoxLayout(tshBloqueados);
    layout->setContentsMargins(0, 0, 0, 0);
    dbgBloqueados = new TDBGrid(tshBloqueados);
    dbgBloqueados->setObjectName(QStringLiteral("dbgBloqueados"));
    dbgBloqueados->SetDataSource(dtsPadrao);
    layout->addWidget(dbgBloqueados);
    pgcPadrao->addTab(tshBloqueados, QStringLiteral("Bloqueados"));
    pgcPadrao->setCurrentWidget(tshBloqueados);
}

void TfrmConsisteFiscal::createCheckPanel()
{
    panVerificaBloq = new QFrame(this);
    panVerificaBloq->setObjectName(QStringLiteral("panVerificaBloq"));
    panVerificaBloq->setFixedHeight(59);
    auto *layout = new QVBoxLayout(panVerificaBloq);
    layout->setContentsMargins(8, 4, 8, 4);
    dbcLancamentoBloq = new QCheckBox(
        QStringLiteral("Verificação Fiscal Realizada no Lançamento da nota"), panVerificaBloq);
    dbcLancamentoBloq->setObjectName(QStringLiteral("dbcLancamentoBloq"));
    dbcAprovacaoBloq = new QCheckBox(
        QStringLiteral("Verificação Fiscal Realizada na Aprovação da nota"), panVerificaBloq);
    dbcAprovacaoBloq->setObjectName(QStringLiteral("dbcAprovacaoBloq"));
    layout->addWidget(dbcLancamentoBloq);
    layout->addWidget(dbcAprovacaoBloq);
    AddBottomPanel(panVerificaBloq);
}

void TfrmConsisteFiscal::FormCreate()
{
    TfrmPadraoGrid::FormCreate();
    netConsistencia->SetConnected(true);
}

void TfrmConsisteFiscal::FormClose(TCloseAction &Action)
{
    const TClientDataSet::State state = cdsConsistencias->state();
    if (state == TClientDataSet::State::Edit || state == TClientDataSet::State::Insert)
        cdsConsistencias->Cancel();
    netConsistencia->SetConnected(false);
    TfrmPadraoGrid::FormClose(Action);
}

void TfrmConsisteFiscal::netConsistenciaBeforeConnect(TNetConnection *Sender)
{
    Sender->SetHost(WebURL());
    Sender->SetPort(WebPort());
}

void TfrmConsisteFiscal::sbtAutomaticoClick(QObject *Sender)
{
    Q_UNUSED(Sender)
    criaCadAuto();
}

void TfrmConsisteFiscal::btnCadFiscalClick(QObject *Sender)
{
    Q_UNUSED(Sender)
    // Just below the button, left-aligned with it.
    const QPoint Pt(btnCadFiscal->x(), btnCadFiscal->y() + btnCadFiscal->height());
    pmnOpcaoCadFiscal->popup(panMenu->mapToGlobal(Pt));
}

void TfrmConsisteFiscal::mnuOpcaoAliqCSTImpClick()
{
    LoadBPL(QStringLiteral("KVR72300"));
}

void TfrmConsisteFiscal::mnuOpcaoDadosFiscCSTImpostoClick()
{
    LoadBPL(QStringLiteral("KVR72400"));
}

void TfrmConsisteFiscal::cdsConsistenciasIDENTRSAIDOPGetText(TField *Sender, QString &Text,
                                                             bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = MaintenanceDisplay::Direction(*msgPadrao, Sender->AsString());
}

void TfrmConsisteFiscal::cdsConsistenciasCDFISCOPERGetText(TField *Sender, QString &Text,
                                                           bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = MaintenanceDisplay::Cfop(*msgPadrao, Sender->AsString());
}

void TfrmConsisteFiscal::cdsConsistenciasCDCST1DIGTGetText(TField *Sender, QString &Text,
                                                           bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = MaintenanceDisplay::FirstCstDigit(*msgPadrao, Sender->AsString());
}

void TfrmConsisteFiscal::cdsConsistenciasCDSITUTRIBGetText(TField *Sender, QString &Text,
                                                           bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = MaintenanceDisplay::Cst(*msgPadrao, m_cst, Sender->AsString());
}

void TfrmConsisteFiscal::cdsConsistenciasCDFISCALGetText(TField *Sender, QString &Text,
                                                         bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = MaintenanceDisplay::FiscalCode(*msgPadrao, Sender->AsString());
}

void TfrmConsisteFiscal::cdsConsistenciasIDTPBASECALCGetText(TField *Sender, QString &Text,
                                                             bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = MaintenanceDisplay::Sign(*msgPadrao, Sender->AsString());
}

void TfrmConsisteFiscal::cdsConsistenciasIDTPALIQUOTAGetText(TField *Sender, QString &Text,
                                                             bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = MaintenanceDisplay::Sign(*msgPadrao, Sender->AsString());
}

void TfrmConsisteFiscal::cdsConsistenciasIDTPVRIMPOSTOGetText(TField *Sender, QString &Text,
                                                              bool DisplayText)
{
    Q_UNUSED(DisplayText)
    Text = MaintenanceDisplay::Sign(*msgPadrao, Sender->AsString());
}

void TfrmConsisteFiscal::cdsConsistenciasCDTPCREDPICOITEGetText(TField *Sender, QString &Text,
                                                                bool DisplayText)
{
    Q_UNUSED(DisplayText)
    // The rule's own tax decides whether a credit type applies.
    const QString ruleTax = Sender->DataSet()->FieldByName(QStringLiteral("CDIMPOSTO"))->AsString();
    Text = MaintenanceDisplay::CreditType(*msgPadrao, Sender->AsString(), ruleTax);
}

void IniProc()
{
    CriaConsistencia();
}

void CriaConsistencia()
{
    SetScreenCursor(-11);
    if (!frmConsisteFiscal) {
        TfrmConsisteFiscal *form = TfrmPadraoGrid::Create<TfrmConsisteFiscal>();
        frmConsisteFiscal = form;
        // Closing destroys the screen: the next start must create a new one.
        QObject::connect(form, &QObject::destroyed, [form]() {
            if (frmConsisteFiscal == form)
                frmConsisteFiscal = nullptr;
        });
    }
    QWidget *window = frmConsisteFiscal->FrameWindow();
    window->show();
    window->raise();
    if (auto *child = qobject_cast<QMdiSubWindow *>(window)) {
        if (QMdiArea *area = child->mdiArea())
            area->setActiveSubWindow(child);
    } else {
        window->activateWindow();
    }
    frmConsisteFiscal->edtCdImposto->setFocus();
    if (window->isMinimized() || window->isMaximized()) {
        window->showNormal();
        // Restoring an MDI frame moves the focus to its first child.
        if (frmConsisteFiscal->focusWidget() != frmConsisteFiscal->edtCdImposto)
            frmConsisteFiscal->edtCdImposto->setFocus();
    }
    SetScreenCursor(0);
}

namespace Cli_kvr51400 {

void Initialization()
{
    // The screen exists only once CriaConsistencia made it.
}

void Finalization()
{
    // Nothing to release: the application owns the screen.
}

} // namespace Cli_kvr51400
