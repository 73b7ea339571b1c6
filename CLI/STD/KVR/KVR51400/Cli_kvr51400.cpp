#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"

#include "CLI/STD/KVR/KVR51400/CheckImage.h"
#include "CLI/STD/KVR/KVR51400/FieldColour.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceDisplay.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceHistory.h"
#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "CLI/STD/KVR/KVR51400/ModuleEntries.h"
#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "CLI/STD/KVR/KVR51400/RuleSpreadsheetTransfer.h"
#include "CLI/STD/KVR/KVR51400/ServerCalls.h"
#include "CLI/STD/KVR/KVR51400/TaxPanel.h"
#include "kit/core/Consiste.h"
#include "kit/core/Guarded.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/HostServices.h"
#include "kit/net/TNetConnection.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TButtonFlat.h"
#include "kit/widgets/TFocusEvents.h"
#include "ui_Cli_kvr51400.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QTabWidget>

TfrmConsisteFiscal *frmConsisteFiscal = nullptr;

namespace {

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
      netConsistencia(new TNetConnection(this)), m_cst(msgCST, cdsImposto)
{
    setObjectName(QStringLiteral("frmConsisteFiscal"));
    setWindowTitle(QStringLiteral("Consistências Fiscais"));
    lblCodTela->setText(QStringLiteral("KVR51400"));
    resize(1112, 471);

    createRecords();
    placeControls();
    btnCadFiscal->SetNumGlyphs(2);
    btnCadFiscal->SetGlyph(twoStateGlyph(this, QStyle::SP_FileDialogListView));
    btnCadFiscal->OnClick = [this](QObject *sender) { btnCadFiscalClick(sender); };
    sbtAutomatico->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    sbtAutomatico->OnClick = [this](QObject *sender) { sbtAutomaticoClick(sender); };
    sbtSimulacao = new TButtonFlat(panMenu);
    sbtSimulacao->setObjectName(QStringLiteral("sbtSimulacao"));
    sbtSimulacao->SetHint(QStringLiteral("Simulação de Consistências"));
    sbtSimulacao->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    // After the fixed help and close buttons, which keep their places.
    sbtSimulacao->move(416, sbtAjuda->y()); // after the spreadsheet buttons
    sbtSimulacao->setEnabled(false);
    sbtSimulacao->OnClick = [this](QObject *sender) { sbtSimulacaoClick(sender); };
    sbtExportar = new TButtonFlat(panMenu);
    sbtExportar->setObjectName(QStringLiteral("sbtExportar"));
    sbtExportar->SetHint(QStringLiteral("Exportar para planilha"));
    sbtExportar->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    sbtExportar->move(366, sbtAjuda->y()); // after sbtHistorico
    sbtExportar->OnClick = [this](QObject *sender) { sbtExportarClick(sender); };
    sbtImportar = new TButtonFlat(panMenu);
    sbtImportar->setObjectName(QStringLiteral("sbtImportar"));
    sbtImportar->SetHint(QStringLiteral("Importar de planilha"));
    sbtImportar->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    sbtImportar->move(391, sbtAjuda->y());
    sbtImportar->OnClick = [this](QObject *sender) { sbtImportarClick(sender); };
    // The base form's record menu holds mnuAlterar.
    auto *records = qobject_cast<QMenu *>(mnuAlterar->parent());
    Q_ASSERT(records);
    records->addSeparator();
    mnuExportar = records->addAction(QStringLiteral("E&xportar para planilha..."), this, [this]() {
        kvrGuard([this]() { sbtExportarClick(sbtExportar); });
    });
    mnuExportar->setObjectName(QStringLiteral("mnuExportar"));
    mnuImportar = records->addAction(QStringLiteral("I&mportar de planilha..."), this, [this]() {
        kvrGuard([this]() { sbtImportarClick(sbtImportar); });
    });
    mnuImportar->setObjectName(QStringLiteral("mnuImportar"));
    MaintenanceHistory::Attach(this);
    records->addSeparator();
    mnuSimulacao =
        records->addAction(QStringLiteral("&Simulação de Consistências"), this,
                           [this]() { kvrGuard([this]() { sbtSimulacaoClick(nullptr); }); });
    mnuSimulacao->setObjectName(QStringLiteral("mnuSimulacao"));
    mnuSimulacao->setEnabled(false);

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

void TfrmConsisteFiscal::placeControls()
{
    // The form's parts go where the base form keeps room for them.
    QWidget holder;
    Ui::TfrmConsisteFiscalForm ui;
    ui.setupUi(&holder);
    // Tool bar additions, between the record buttons and help/close.
    btnCadFiscal = ui.btnCadFiscal;
    sbtAutomatico = ui.sbtAutomatico;
    for (TButtonFlat *button : {btnCadFiscal, sbtAutomatico}) {
        button->setParent(panMenu);
        button->move(button->x(), sbtAjuda->y());
    }
    sbtAjuda->move(269, sbtAjuda->y());
    sbtFechar->move(305, sbtFechar->y());
    panImposto = ui.panImposto;
    edtCdImposto = panImposto->edtCdImposto;
    btpImposto = panImposto->btpImposto;
    edtNmImposto = panImposto->edtNmImposto;
    imgCheck = ui.imgCheck;
    imgUncheck = ui.imgUncheck;
    tshBloqueados = ui.tshBloqueados;
    panFormulario = ui.panFormulario;
    scbFormulario = ui.scbFormulario;
    dbgBloqueados = ui.dbgBloqueados;
    panVerificaBloq = ui.panVerificaBloq;
    dbcLancamentoBloq = ui.dbcLancamentoBloq;
    dbcAprovacaoBloq = ui.dbcAprovacaoBloq;

    panImposto->Bind(cdsImposto, dtsimposto, msgPadrao, [this]() { return netConsistencia; });
    btpImposto->SetHint(QStringLiteral("Pesquisar"));
    btpImposto->OnBeforePesq = [this](QObject *sender, bool &allow) {
        btpImpostoBeforePesq(sender, allow);
    };
    btpImposto->OnAfterPesq = [this](QObject *sender) { btpImpostoAfterPesq(sender); };
    imgCheck->setPixmap(CheckImage(true));
    imgUncheck->setPixmap(CheckImage(false));
    AddTopPanel(panImposto);
    TFocusEvents *focus = TFocusEvents::Of(panImposto);
    focus->OnEnter = [this](QObject *sender) { panImpostoEnter(sender); };
    focus->OnExit = [this](QObject *sender) { panImpostoExit(sender); };

    prepareRuleGrid();
    pgcPadrao->addTab(tshBloqueados, QStringLiteral("Bloqueados"));
    pgcPadrao->setCurrentWidget(tshBloqueados);
    kvrConnect(pgcPadrao, &QTabWidget::currentChanged, this,
               [this]() { pgcPadraoChange(pgcPadrao); });
    AddBottomPanel(panVerificaBloq);
}

void TfrmConsisteFiscal::prepareRuleGrid()
{
    setFieldColour(dbgBloqueados, QPalette::ToolTipBase);
    dbgBloqueados->SetTitleFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    dbgBloqueados->SetOptions(
        TDBGrid::Options(TDBGrid::dgEditing | TDBGrid::dgTitles | TDBGrid::dgColumnResize |
                         TDBGrid::dgColumnMove | TDBGrid::dgColLines | TDBGrid::dgRowLines |
                         TDBGrid::dgTabs | TDBGrid::dgConfirmDelete | TDBGrid::dgCancelOnExit));
    dbgBloqueados->SetDataSource(dtsPadrao);
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

TNetConnection *TfrmConsisteFiscal::Connection() const
{
    return netConsistencia;
}

QString TfrmConsisteFiscal::TaxCode() const
{
    return edtCdImposto->text();
}

void TfrmConsisteFiscal::FocusTaxCode()
{
    edtCdImposto->setFocus();
}

QString TfrmConsisteFiscal::TaxName() const
{
    return edtNmImposto->text();
}

const TMessages &TfrmConsisteFiscal::Messages() const
{
    return *msgPadrao;
}

const CstRoutines &TfrmConsisteFiscal::CstOfTax() const
{
    return Cst();
}

void TfrmConsisteFiscal::ShowRule(const QString &tax, const QString &number, bool admitted)
{
    if (!cdsConsistencias->Active() || edtCdImposto->text() != tax)
        MensErro(QStringLiteral("Informe o imposto %1 na tela de Consistências Fiscais para ver "
                                "a consistência %2.")
                     .arg(tax, number),
                 true);
    if (!cdsConsistencias->Locate(QStringLiteral("NRSEQCONSISTE"), number))
        MensErro(admitted ? QStringLiteral("A consistência %1 é admitida; a tela de Consistências "
                                           "Fiscais mostra apenas as bloqueadas.")
                                .arg(number)
                          : QStringLiteral("A consistência %1 não está na tela de Consistências "
                                           "Fiscais; recarregue o imposto nela.")
                                .arg(number),
                 true);
    if (auto *window = qobject_cast<QMdiSubWindow *>(parentWidget()))
        if (QMdiArea *area = window->mdiArea())
            area->setActiveSubWindow(window);
    activateWindow();
    dbgBloqueados->setFocus();
}

MaintenanceScreenLink *MaintenanceScreenLink::Current()
{
    return frmConsisteFiscal;
}

void TfrmConsisteFiscal::FormActivate()
{
    edtCdImposto->setFocus();
}

void TfrmConsisteFiscal::FormClose(TCloseAction &Action)
{
    const TClientDataSet::State state = cdsConsistencias->state();
    if (state == TClientDataSet::State::Edit || state == TClientDataSet::State::Insert)
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
    panImposto->LoadTaxes();
}

void TfrmConsisteFiscal::btpImpostoAfterPesq(QObject *Sender)
{
    Q_UNUSED(Sender)
    panImposto->CopyPicked();
}

void TfrmConsisteFiscal::vdImposto()
{
    panImposto->Check();
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
    // Out needs rules loaded (the admitted ones count); in, a tax chosen.
    sbtExportar->setEnabled(browse && cdsConsistencias->TotalRecordCount() > 0);
    sbtImportar->setEnabled(browse);
    mnuExportar->setEnabled(sbtExportar->isEnabled());
    mnuImportar->setEnabled(sbtImportar->isEnabled());
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

void TfrmConsisteFiscal::sbtExportarClick(QObject *Sender)
{
    Q_UNUSED(Sender)
    RuleSpreadsheetTransfer::Export(this);
}

void TfrmConsisteFiscal::sbtImportarClick(QObject *Sender)
{
    Q_UNUSED(Sender)
    RuleSpreadsheetTransfer::Import(this);
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
