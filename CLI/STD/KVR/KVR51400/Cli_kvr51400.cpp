#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"

#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"
#include "CLI/STD/KVR/KVR51400/Cli_kvr51402.h"
#include "CLI/STD/KVR/KVR51400/FieldColour.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceDisplay.h"
#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "CLI/STD/KVR/KVR51400/ServerCalls.h"
#include "kit/core/Consiste.h"
#include "kit/core/Guarded.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/HostServices.h"
#include "kit/net/TNetConnection.h"
#include "kit/search/TfrmPesquisa.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TButtonFlat.h"
#include "kit/widgets/TFocusEvents.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QVBoxLayout>

TfrmConsisteFiscal *frmConsisteFiscal = nullptr;

namespace {

// Olive is the transparent colour of the check images.
const QColor imageBackground(128, 128, 0);

// The pictures of the "Ativo" column: a white box with a black top and left
// edge and a silver line right and below, ticked or not, on olive.
QPixmap checkImage(bool checked)
{
    QPixmap image(16, 16);
    image.fill(imageBackground);
    QPainter painter(&image);
    painter.fillRect(QRect(2, 2, 12, 12), Qt::white);
    painter.setPen(Qt::black);
    painter.drawLine(2, 2, 13, 2);
    painter.drawLine(2, 2, 2, 13);
    painter.setPen(QColor(192, 192, 192));
    painter.drawLine(14, 2, 14, 14);
    painter.drawLine(2, 14, 14, 14);
    if (checked) {
        painter.setPen(QPen(Qt::black, 2));
        painter.drawLine(4, 8, 7, 11);
        painter.drawLine(7, 11, 12, 5);
    }
    return image;
}

bool isEditing(const TClientDataSet *dataSet)
{
    return dataSet->state() == TClientDataSet::State::Edit ||
           dataSet->state() == TClientDataSet::State::Insert;
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
    : TfrmPadraoGrid(parent), edtCdImposto(new QLineEdit), edtNmImposto(new QLineEdit),
      cdsImposto(new TClientDataSet(this)), msgCST(new TMessages(this)),
      netConsistencia(new TNetConnection(this)), m_cst(msgCST, cdsImposto),
      m_taxPanel(edtCdImposto, edtNmImposto, cdsImposto, msgPadrao,
                 [this]() { return netConsistencia; })
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
    sbtSimulacao = new TButtonFlat(panMenu);
    sbtSimulacao->setObjectName(QStringLiteral("sbtSimulacao"));
    sbtSimulacao->SetHint(QStringLiteral("Simulação de Consistências"));
    sbtSimulacao->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    // After the fixed help and close buttons, which keep their places.
    sbtSimulacao->move(341, sbtAjuda->y());
    sbtSimulacao->setEnabled(false);
    sbtSimulacao->OnClick = [this](QObject *sender) { sbtSimulacaoClick(sender); };
    sbtAjuda->move(269, sbtAjuda->y());
    sbtFechar->move(305, sbtFechar->y());
    // The record menu is the menu bar's first.
    QMenu *records = mnuPrincipal->actions().constFirst()->menu();
    records->addSeparator();
    mnuSimulacao =
        records->addAction(QStringLiteral("&Simulação de Consistências"), this,
                           [this]() { kvrGuard([this]() { sbtSimulacaoClick(nullptr); }); });
    mnuSimulacao->setObjectName(QStringLiteral("mnuSimulacao"));
    mnuSimulacao->setEnabled(false);

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

    netConsistencia->setObjectName(QStringLiteral("netConsistencia"));
    netConsistencia->SetServerName(kvr::fiscal::ConsisteFiscalContract::objectName());
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
    bindRuleEvents();

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
    edtCdImposto->setParent(panImposto);
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
    btpImposto->OnBeforePesq = [this](QObject *sender, bool &allow) {
        btpImpostoBeforePesq(sender, allow);
    };
    btpImposto->OnAfterPesq = [this](QObject *sender) { btpImpostoAfterPesq(sender); };
    edtNmImposto->setParent(panImposto);
    edtNmImposto->setObjectName(QStringLiteral("edtNmImposto"));
    edtNmImposto->setFixedWidth(285);
    edtNmImposto->setEnabled(false);
    setFieldColour(edtNmImposto, QPalette::Button);
    imgCheck = new QLabel(panImposto);
    imgCheck->setObjectName(QStringLiteral("imgCheck"));
    imgCheck->setPixmap(checkImage(true));
    imgCheck->setVisible(false);
    imgUncheck = new QLabel(panImposto);
    imgUncheck->setObjectName(QStringLiteral("imgUncheck"));
    imgUncheck->setPixmap(checkImage(false));
    imgUncheck->setVisible(false);

    layout->addWidget(label);
    layout->addWidget(edtCdImposto);
    layout->addWidget(btpImposto);
    layout->addWidget(edtNmImposto);
    layout->addStretch(1);
    AddTopPanel(panImposto);
    TFocusEvents *focus = TFocusEvents::Of(panImposto);
    focus->OnEnter = [this](QObject *sender) { panImpostoEnter(sender); };
    focus->OnExit = [this](QObject *sender) { panImpostoExit(sender); };
}

void TfrmConsisteFiscal::createRulePage()
{
    tshBloqueados = new QWidget(pgcPadrao);
    tshBloqueados->setObjectName(QStringLiteral("tshBloqueados"));
    auto *pageLayout = new QVBoxLayout(tshBloqueados);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    panFormulario = new QFrame(tshBloqueados);
    panFormulario->setObjectName(QStringLiteral("panFormulario"));
    pageLayout->addWidget(panFormulario);
    auto *panelLayout = new QVBoxLayout(panFormulario);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    scbFormulario = new QScrollArea(panFormulario);
    scbFormulario->setObjectName(QStringLiteral("scbFormulario"));
    scbFormulario->setFrameShape(QFrame::NoFrame);
    scbFormulario->setWidgetResizable(true);
    panelLayout->addWidget(scbFormulario);

    dbgBloqueados = new TDBGrid;
    dbgBloqueados->setObjectName(QStringLiteral("dbgBloqueados"));
    dbgBloqueados->setFrameShape(QFrame::NoFrame);
    setFieldColour(dbgBloqueados, QPalette::ToolTipBase);
    dbgBloqueados->SetTitleFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    dbgBloqueados->SetOptions(
        TDBGrid::Options(TDBGrid::dgEditing | TDBGrid::dgTitles | TDBGrid::dgColumnResize |
                         TDBGrid::dgColumnMove | TDBGrid::dgColLines | TDBGrid::dgRowLines |
                         TDBGrid::dgTabs | TDBGrid::dgConfirmDelete | TDBGrid::dgCancelOnExit));
    dbgBloqueados->setSelectionBehavior(QAbstractItemView::SelectItems);
    dbgBloqueados->SetDataSource(dtsPadrao);
    scbFormulario->setWidget(dbgBloqueados);
    createRuleColumns();
    dbgBloqueados->OnDrawColumnCell = [this](TDBGrid *grid, const QRect &rect, int dataCol,
                                             TColumn *column, TDBGrid::DrawState state) {
        dbgBloqueadosDrawColumnCell(grid, rect, dataCol, column, state);
    };
    dbgBloqueados->OnKeyPress = [this](TDBGrid *grid, QChar &key) {
        dbgBloqueadosKeyPress(grid, key);
    };
    dbgBloqueados->OnEditButtonClick = [this](TDBGrid *grid) {
        dbgBloqueadosEditButtonClick(grid);
    };
    dbgBloqueados->OnColExit = [this](TDBGrid *grid) { dbgBloqueadosColExit(grid); };

    pgcPadrao->addTab(tshBloqueados, QStringLiteral("Bloqueados"));
    pgcPadrao->setCurrentWidget(tshBloqueados);
    kvrConnect(pgcPadrao, &QTabWidget::currentChanged, this,
               [this]() { pgcPadraoChange(pgcPadrao); });
}

void TfrmConsisteFiscal::createRuleColumns()
{
    const QStringList signs{QStringLiteral("1 - Menor que Zero"),
                            QStringLiteral("2 - Igual a Zero"),
                            QStringLiteral("3 - Maior que Zero")};
    QStringList firstDigits;
    for (int digit = 0; digit <= 8; ++digit)
        firstDigits.append(msgPadrao->Msg(QStringLiteral("1CST") + QString::number(digit)));
    const QStringList fiscalCodes{msgPadrao->Msg(QStringLiteral("1")),
                                  msgPadrao->Msg(QStringLiteral("2")),
                                  msgPadrao->Msg(QStringLiteral("3")), QString()};
    struct ColumnDef
    {
        const char *field;
        int width;
        QStringList pickList;
    };
    const ColumnDef columns[] = {
        {"IDCONSATIVA", 0, {}},
        {"NRSEQCONSISTE", 0, {}},
        {"IDENTRSAIDOP",
         123,
         {QStringLiteral("Entrada"), QStringLiteral("Saída"), QStringLiteral("Ambos")}},
        {"CDFISCOPER", 46, {}},
        {"CDCST1DIGT", 0, firstDigits},
        {"CDSITUTRIB", 348, {}},
        {"CDFISCAL", 77, fiscalCodes},
        {"IDTPBASECALC", 101, signs},
        {"IDTPALIQUOTA", 112, signs},
        {"IDTPVRIMPOSTO", 104, signs},
        {"CDTPCREDPICOITE", 0, {}},
        {"DSCONSISTENCIA", 0, {}},
    };
    for (const ColumnDef &def : columns) {
        TColumn *column = dbgBloqueados->AddColumn(QString::fromLatin1(def.field));
        const TField *field = cdsConsistencias->FieldByName(column->FieldName());
        column->SetTitle(field->DisplayLabel());
        if (def.width > 0)
            column->SetWidth(def.width);
        column->SetPickList(def.pickList);
        // The base page lists the same rules: same titles and widths.
        TColumn *base = dbgPadrao->AddColumn(column->FieldName());
        base->SetTitle(column->Title());
        base->SetWidth(column->EffectiveWidth());
    }
    dbgBloqueados->ColumnByFieldName(QStringLiteral("CDFISCOPER"))
        ->SetButtonStyle(TColumn::ButtonStyle::Ellipsis);
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

void TfrmConsisteFiscal::bindRuleEvents()
{
    TClientDataSet *rules = cdsConsistencias;
    rules->BeforeInsert = [this](TClientDataSet *ds) { cdsConsistenciasBeforeInsert(ds); };
    rules->BeforeEdit = [this](TClientDataSet *ds) { cdsConsistenciasBeforeEdit(ds); };
    rules->BeforeDelete = [this](TClientDataSet *ds) { cdsConsistenciasBeforeDelete(ds); };
    rules->BeforePost = [this](TClientDataSet *ds) { cdsConsistenciasBeforePost(ds); };
    rules->AfterPost = [this](TClientDataSet *ds) { cdsConsistenciasAfterPost(ds); };
    rules->AfterDelete = [this](TClientDataSet *ds) { cdsConsistenciasAfterDelete(ds); };
    rules->AfterCancel = [this](TClientDataSet *ds) { cdsConsistenciasAfterCancel(ds); };
    rules->AfterScroll = [this](TClientDataSet *ds) { cdsConsistenciasAfterScroll(ds); };
    rules->FieldByName(QStringLiteral("IDENTRSAIDOP"))->OnSetText = [this](TField *field,
                                                                           const QString &text) {
        cdsConsistenciasIDENTRSAIDOPSetText(field, text);
    };
}

void TfrmConsisteFiscal::FormCreate()
{
    TfrmPadraoGrid::FormCreate();
    netConsistencia->SetConnected(true);
}

void TfrmConsisteFiscal::FormActivate()
{
    edtCdImposto->setFocus();
}

void TfrmConsisteFiscal::FormClose(TCloseAction &Action)
{
    if (isEditing(cdsConsistencias))
        cdsConsistencias->Cancel();
    netConsistencia->SetConnected(false);
    TfrmPadraoGrid::FormClose(Action);
}

void TfrmConsisteFiscal::panImpostoEnter(QObject *Sender)
{
    Q_UNUSED(Sender)
    // An unposted row edit is dropped with the rows, unchecked and unsaved.
    cdsConsistencias->Close();
    habilitaBotao();
}

void TfrmConsisteFiscal::panImpostoExit(QObject *Sender)
{
    Q_UNUSED(Sender)
    vdImposto();
    getConsistencias();
    preenchePickList();
    habilitaBotao();
}

void TfrmConsisteFiscal::btpImpostoBeforePesq(QObject *Sender, bool &AllowPesq)
{
    Q_UNUSED(Sender)
    Q_UNUSED(AllowPesq)
    m_taxPanel.LoadTaxes();
}

void TfrmConsisteFiscal::btpImpostoAfterPesq(QObject *Sender)
{
    Q_UNUSED(Sender)
    m_taxPanel.CopyPicked();
}

void TfrmConsisteFiscal::vdImposto()
{
    m_taxPanel.Check();
}

void TfrmConsisteFiscal::getConsistencias()
{
    TBusyScope busy;
    const QString imposto = Ajusta(edtCdImposto->text(), 2);
    cdsConsistencias->SetData(RdmConsisteFiscal(netConsistencia).getConsistencias(imposto));
}

void TfrmConsisteFiscal::habilitaBotao()
{
    const TClientDataSet::State S = dtsPadrao->State();
    if (S == TClientDataSet::State::Browse) {
        cdsConsistencias->SetFiltered(false);
        cdsConsistencias->SetFilter(QStringLiteral("IDBLOQADMI = 'B'"));
        cdsConsistencias->SetFiltered(true);
    }
    const bool browse = S == TClientDataSet::State::Browse;
    const bool editing = S == TClientDataSet::State::Edit || S == TClientDataSet::State::Insert;
    const bool rows = cdsConsistencias->Active() && !cdsConsistencias->IsEmpty();
    const bool predefined = rows && ruleValue("IDCONSPREDEFI") == QLatin1String("S");

    sbtAlterar->setEnabled(browse && rows && !predefined);
    sbtExcluir->setEnabled(sbtAlterar->isEnabled());
    sbtProcurar->setEnabled(browse && rows);
    sbtVerificar->setEnabled(browse);
    sbtCancelar->setEnabled(editing);
    sbtConfirmar->setEnabled(editing);
    sbtImprimir->setEnabled(false);
    mnuExcluir->setEnabled(sbtExcluir->isEnabled());
    mnuCancelar->setEnabled(sbtCancelar->isEnabled());
    mnuProcurar->setEnabled(sbtProcurar->isEnabled());
    mnuAlterar->setEnabled(sbtAlterar->isEnabled());
    mnuConfirmar->setEnabled(sbtConfirmar->isEnabled());
    mnuListagem->setEnabled(false);
    mnuConfigImpressora->setEnabled(false);
    mnuVerificar->setEnabled(sbtVerificar->isEnabled());
    sbtSimulacao->setEnabled(browse && cdsConsistencias->Active());
    mnuSimulacao->setEnabled(sbtSimulacao->isEnabled());
    pgcPadrao->setTabEnabled(pgcPadrao->indexOf(tshBloqueados),
                             browse || pgcPadrao->currentWidget() == tshBloqueados);
    dbcLancamentoBloq->setEnabled(editing);
    dbcAprovacaoBloq->setEnabled(editing);
}

void TfrmConsisteFiscal::dtsPadraoStateChange()
{
    TfrmPadraoGrid::dtsPadraoStateChange();
    sbtIncluir->setEnabled(false);
    habilitaBotao();
}

void TfrmConsisteFiscal::pgcPadraoChange(QObject *Sender)
{
    Q_UNUSED(Sender)
    habilitaBotao();
}

void TfrmConsisteFiscal::sbtVerificarClick()
{
    getConsistencias();
}

QString TfrmConsisteFiscal::ruleValue(const char *fieldName) const
{
    // No current row (closed or empty) reads as empty.
    if (!cdsConsistencias->Active() || cdsConsistencias->IsEmpty())
        return QString();
    return cdsConsistencias->FieldByName(QString::fromLatin1(fieldName))->AsString();
}

void TfrmConsisteFiscal::cdsConsistenciasBeforeInsert(TClientDataSet *DataSet)
{
    Q_UNUSED(DataSet)
    // Rules are created only by the automatic registration.
    Abort();
}

void TfrmConsisteFiscal::cdsConsistenciasBeforeEdit(TClientDataSet *DataSet)
{
    if (DataSet->FieldByName(QStringLiteral("IDCONSPREDEFI"))->AsString() == QLatin1String("S"))
        Abort();
}

void TfrmConsisteFiscal::cdsConsistenciasBeforeDelete(TClientDataSet *DataSet)
{
    if (DataSet->FieldByName(QStringLiteral("IDCONSPREDEFI"))->AsString() == QLatin1String("S"))
        Abort();
}

void TfrmConsisteFiscal::cdsConsistenciasBeforePost(TClientDataSet *DataSet)
{
    auto field = [DataSet](const char *name) {
        return DataSet->FieldByName(QString::fromLatin1(name));
    };
    for (const char *name : {"CDFISCAL", "IDTPBASECALC", "IDTPALIQUOTA", "IDTPVRIMPOSTO"}) {
        if (EmptyString(field(name)->AsString()))
            field(name)->SetAsString(QStringLiteral("0"));
    }
    if (EmptyString(field("CDFISCOPER")->AsString()) &&
        EmptyString(field("CDCST1DIGT")->AsString()) &&
        EmptyString(field("CDSITUTRIB")->AsString())) {
        const QString cons = field("CDFISCAL")->AsString() + field("IDTPALIQUOTA")->AsString() +
                             field("IDTPVRIMPOSTO")->AsString() + field("IDTPBASECALC")->AsString();
        if (cons == QLatin1String("0000")) {
            field("CDFISCOPER")->FocusControl();
            MensErro(msgPadrao->Msg(QStringLiteral("CONSIST_NULA")), true);
        }
    }
    vdSubtrib();
    // A CFOP typed and posted without leaving its column is filled and
    // checked here as well, so none is stored unchecked.
    vdCfop();
    field("CDIMPOSTO")->SetAsString(edtCdImposto->text());
    field("IDCONSPREDEFI")->SetAsString(QStringLiteral("N"));
    field("IDBLOQADMI")
        ->SetAsString(pgcPadrao->currentWidget() == tshBloqueados ? QStringLiteral("B")
                                                                  : QStringLiteral("A"));
    field("IDCONSISTELANC")
        ->SetAsString(dbcLancamentoBloq->isChecked() ? QStringLiteral("S") : QStringLiteral("N"));
    field("IDCONSISTEAPRO")
        ->SetAsString(dbcAprovacaoBloq->isChecked() ? QStringLiteral("S") : QStringLiteral("N"));
    validaConsistencias();
}

void TfrmConsisteFiscal::vdSubtrib()
{
    TField *cst = cdsConsistencias->FieldByName(QStringLiteral("CDSITUTRIB"));
    if (EmptyString(cst->AsString()))
        return;
    if (m_cst.Text(cst->AsString()).isEmpty()) {
        cst->Clear();
        cst->FocusControl();
        MensErro(msgPadrao->Msg(QStringLiteral("CST_INV")), true);
    }
}

void TfrmConsisteFiscal::vdCfop()
{
    TField *cfop = cdsConsistencias->FieldByName(QStringLiteral("CDFISCOPER"));
    if (EmptyString(cfop->AsString()))
        return;
    cfop->SetAsString(Ajusta(cfop->AsString(), 4));
    if (!cdsCFOP->Active())
        cdsCFOP->CreateDataSet();
    cdsCFOP->EmptyDataSet();
    cdsCFOP->SetData(RdmConsisteFiscal(netConsistencia).getVdCFOP(cfop->AsString()));
    if (cdsCFOP->IsEmpty()) {
        cfop->FocusControl();
        MensErro(msgPadrao->Msg(QStringLiteral("CFOP_INV")), true);
    }
}

void TfrmConsisteFiscal::validaConsistencias()
{
    kvr::fiscal::VdConsistencias query;
    query.tax = edtCdImposto->text();
    query.cfop = ruleValue("CDFISCOPER");
    query.cst = ruleValue("CDSITUTRIB");
    query.fiscal = ruleValue("CDFISCAL");
    query.blocked = ruleValue("IDBLOQADMI");
    query.number = ruleValue("NRSEQCONSISTE");
    bool registered = false;
    {
        TBusyScope busy;
        registered = RdmConsisteFiscal(netConsistencia).vdConsistencias(query);
    }
    if (registered)
        MensErro(msgPadrao->Msg(QStringLiteral("CONSISTENCIA_JA_CAD")), true);
}

void TfrmConsisteFiscal::cdsConsistenciasAfterPost(TClientDataSet *DataSet)
{
    if (DataSet->ChangeCount() > 0) {
        TBusyScope busy;
        RdmConsisteFiscal(netConsistencia).setConsistencia(DataSet->Delta().toJsonObject());
        getConsistencias();
        FocusPageGrid();
    }
    showVerificationFlags();
}

void TfrmConsisteFiscal::cdsConsistenciasAfterDelete(TClientDataSet *DataSet)
{
    TBusyScope busy;
    RdmConsisteFiscal(netConsistencia).setConsistencia(DataSet->Delta().toJsonObject());
    getConsistencias();
    FocusPageGrid();
}

void TfrmConsisteFiscal::cdsConsistenciasAfterCancel(TClientDataSet *DataSet)
{
    Q_UNUSED(DataSet)
    showVerificationFlags();
}

void TfrmConsisteFiscal::cdsConsistenciasAfterScroll(TClientDataSet *DataSet)
{
    Q_UNUSED(DataSet)
    showVerificationFlags();
}

void TfrmConsisteFiscal::showVerificationFlags()
{
    dbcLancamentoBloq->setChecked(ruleValue("IDCONSISTELANC") == QLatin1String("S"));
    dbcAprovacaoBloq->setChecked(ruleValue("IDCONSISTEAPRO") == QLatin1String("S"));
}

void TfrmConsisteFiscal::dbgBloqueadosDrawColumnCell(TDBGrid *Sender, const QRect &Rect,
                                                     int DataCol, TColumn *Column,
                                                     TDBGrid::DrawState State)
{
    Q_UNUSED(DataCol)
    Q_UNUSED(State)
    if (cdsConsistencias->IsEmpty())
        return;
    if (Column->FieldName() != QLatin1String("IDCONSATIVA"))
        return;
    QPixmap bmPict;
    const QString value = Column->Field() ? Column->Field()->AsString() : QString();
    if (value == QLatin1String("S"))
        bmPict = imgCheck->pixmap();
    else if (value == QLatin1String("N"))
        bmPict = imgUncheck->pixmap();
    TCanvas *canvas = Sender->Canvas();
    canvas->FillRect(Rect);
    const int w = bmPict.width();
    const int h = Rect.height();
    canvas->BrushCopy(QRect(Rect.left() + 5, Rect.top(), w, h), bmPict, QRect(0, 0, w, h),
                      imageBackground);
}

void TfrmConsisteFiscal::dbgBloqueadosKeyPress(TDBGrid *Sender, QChar &Key)
{
    const TField *field = Sender->SelectedField();
    if (!field)
        return;
    const QString &name = field->FieldName();
    const ushort code = Key.unicode();
    const bool backspace = code == 8;
    auto keepOnly = [&Key, backspace](const QString &allowed) {
        if (!backspace && !allowed.contains(Key))
            Key = QChar();
    };
    if (name == QLatin1String("IDTPALIQUOTA") || name == QLatin1String("IDTPVRIMPOSTO") ||
        name == QLatin1String("IDTPBASECALC") || name == QLatin1String("CDFISCAL")) {
        keepOnly(QStringLiteral("123"));
    } else if (name == QLatin1String("CDSITUTRIB") || name == QLatin1String("CDFISCOPER")) {
        keepOnly(QStringLiteral("0123456789"));
    } else if (name == QLatin1String("NRSEQCONSISTE")) {
        Key = QChar();
    } else if (name == QLatin1String("IDENTRSAIDOP")) {
        // Only the codes the display knows: entry, exit, both.
        Key = Key.toUpper();
        keepOnly(QStringLiteral("EST"));
    } else if (name == QLatin1String("IDCONSATIVA")) {
        // Only values that draw a box.
        Key = Key.toUpper();
        keepOnly(QStringLiteral("SN"));
    }
}

void TfrmConsisteFiscal::dbgBloqueadosEditButtonClick(TDBGrid *Sender)
{
    if (!isEditing(cdsConsistencias))
        return;
    const TField *selected = Sender->SelectedField();
    if (!selected || selected->FieldName() != QLatin1String("CDFISCOPER"))
        return;
    // Fetched on every press: the CFOP table may have changed meanwhile.
    cdsCFOP->SetData(RdmConsisteFiscal(netConsistencia).getCFOP());
    const QString title = msgPadrao->Msg(QStringLiteral("CFOP")) + QLatin1Char('|') +
                          msgPadrao->Msg(QStringLiteral("CFOP_N_CAD"));
    if (Pesquisar(dtsCFOP, title, false, true))
        cdsConsistencias->FieldByName(QStringLiteral("CDFISCOPER"))
            ->SetAsString(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
}

void TfrmConsisteFiscal::dbgBloqueadosColExit(TDBGrid *Sender)
{
    if (!isEditing(cdsConsistencias))
        return;
    const TField *selected = Sender->SelectedField();
    if (!selected)
        return;
    if (selected->FieldName() == QLatin1String("CDFISCOPER"))
        vdCfop();
    if (selected->FieldName() == QLatin1String("CDSITUTRIB"))
        vdSubtrib();
}

void TfrmConsisteFiscal::preenchePickList()
{
    dbgBloqueados->ColumnByFieldName(QStringLiteral("CDSITUTRIB"))->SetPickList(m_cst.List());
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

void TfrmConsisteFiscal::sbtSimulacaoClick(QObject *Sender)
{
    Q_UNUSED(Sender)
    criaSimulacao();
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

void TfrmConsisteFiscal::cdsConsistenciasIDENTRSAIDOPSetText(TField *Sender, const QString &Text)
{
    // "Ambos" would keep its first letter, a code the server refuses.
    if (Text == msgPadrao->Msg(QStringLiteral("T")))
        Sender->SetAsString(QStringLiteral("T"));
    else
        Sender->SetAsString(Text);
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
    kvrGuard([]() { CriaConsistencia(); });
}

void CriaConsistencia()
{
    // A plain C entry: nothing thrown may leave it, and the busy pointer
    // ends on every path.
    kvrGuard([]() {
        const TBusyCursor busy;
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
        // Restoring an MDI frame moves the focus to its first child, which would
        // count as leaving the tax panel: restore first, then focus the tax code.
        if (window->isMinimized() || window->isMaximized())
            window->showNormal();
        frmConsisteFiscal->edtCdImposto->setFocus();
    });
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
