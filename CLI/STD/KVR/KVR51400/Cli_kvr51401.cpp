#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"

#include "CLI/STD/KVR/KVR51400/AutomaticDisplay.h"
#include "CLI/STD/KVR/KVR51400/FieldColour.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceScreenLink.h"
#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "CLI/STD/KVR/KVR51400/TaxPanel.h"
#include "kit/core/Guarded.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/widgets/FitPopupToItems.h"
#include "kit/widgets/ShowTextFromStart.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TFocusEvents.h"
#include "ui_Cli_kvr51401.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

TfrmCadAuto *frmCadAuto = nullptr;
QString stListaConsiste;

namespace {

// Every drop-down of the form: a value only from its list, shown from its
// code on; picked by the user it is selected whole, so that Backspace
// empties it.
void prepareCombo(QComboBox *box)
{
    box->setCompleter(nullptr);
    FitPopupToItems(box);
    // No value until the user picks one.
    box->setCurrentIndex(-1);
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [box](int index) {
        const int length = static_cast<int>(box->currentText().size());
        if (index >= 0 && box->hasFocus())
            box->lineEdit()->setSelection(length, -length);
        else if (index >= 0)
            box->lineEdit()->setCursorPosition(0);
    });
}

// The character a key press types, as a key filter sees it; null for keys
// that type nothing (arrows, Delete, function keys).
QChar typedCharacter(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Backspace)
        return QChar(8);
    // Moving between controls and closing are no typing.
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
        return QChar();
    default:
        break;
    }
    if (event->text().isEmpty())
        return QChar();
    return event->text().at(0);
}

} // namespace

TfrmCadAuto::TfrmCadAuto(QWidget *parent)
    : TfrmRotiGeral(parent), cdsImposto(new TClientDataSet(this)), msgCST(new TMessages(this)),
      m_ui(std::make_unique<Ui::TfrmCadAutoForm>()), m_cst(msgCST, cdsImposto)
{
    setObjectName(QStringLiteral("frmCadAuto"));
    setWindowTitle(QStringLiteral("Cadastramento automático"));
    lblCodTela->setText(QStringLiteral("KVR51401"));
    createRecords();

    // A fixed dialog placed by pixel: the content box on the left, the
    // button bar on the right with the screen code at its foot.
    delete layout();
    setFixedSize(501, 636);
    m_ui->setupUi(grbDadosRel);
    grbDadosRel->move(0, 0);
    panMenu->setGeometry(446, 0, 55, 636);
    panBotoes->layout()->setContentsMargins(4, 3, 4, 4);
    QFont codeFont = lblCodTela->font();
    codeFont.setPointSize(7);
    lblCodTela->setFont(codeFont);
    lblCodTela->setAlignment(Qt::AlignCenter);
    if (auto *bar = qobject_cast<QBoxLayout *>(panMenu->layout()))
        bar->addWidget(lblCodTela);

    takeControls();
    prepareFields();
    Panel2->Bind(cdsImposto, dtsImposto, msgPadrao, [this]() { return connection(); });
    QWidget::setTabOrder(edtCdImposto, chkEdtConsiste);
    connectHandlers();
    connectLookups();
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

    // Takes the fields of whatever rule packet vdCon returns.
    cdsvdConsistencia = new TClientDataSet(this);
    cdsvdConsistencia->setObjectName(QStringLiteral("cdsvdConsistencia"));

    msgPadrao->SetMessages(MessageTables::AutomaticPadrao());
    msgCST->setObjectName(QStringLiteral("msgCST"));
    msgCST->SetMessages(MessageTables::Cst());
}

void TfrmCadAuto::takeControls()
{
    const Ui::TfrmCadAutoForm &ui = *m_ui;
    Panel2 = ui.Panel2;
    edtCdImposto = Panel2->edtCdImposto;
    btpImposto = Panel2->btpImposto;
    edtNmImposto = Panel2->edtNmImposto;
    chkEdtConsiste = ui.chkEdtConsiste;
    grbEdtConsiste = ui.grbEdtConsiste;
    rbtPeriodoConsiste = ui.rbtPeriodoConsiste;
    grbPeriodoConsiste = ui.grbPeriodoConsiste;
    edtiniConsiste = ui.edtiniConsiste;
    btpPesqConsistIni = ui.btpPesqConsistIni;
    edtfinConsiste = ui.edtfinConsiste;
    btpPesqConsistFin = ui.btpPesqConsistFin;
    rbtListaConsiste = ui.rbtListaConsiste;
    btpListaConsiste = ui.btpListaConsiste;
    chkCST = ui.chkCST;
    cmbCST = ui.cmbCST;
    chkCFOP = ui.chkCFOP;
    edtCdCFOP = ui.edtCdCFOP;
    btpCFOP = ui.btpCFOP;
    edtNmCFOP = ui.edtNmCFOP;
    chkIncluiConsiste = ui.chkIncluiConsiste;
    grbIncluiConsiste = ui.grbIncluiConsiste;
    rdgAdmiBloq = ui.rdgAdmiBloq;
    grbCFOP = ui.grbCFOP;
    edtInsIniCdCFOP = ui.edtInsIniCdCFOP;
    btpInsIniCFOP = ui.btpInsIniCFOP;
    edtInsIniCFOP = ui.edtInsIniCFOP;
    edtInsFinCdCFOP = ui.edtInsFinCdCFOP;
    btpInsFinCFOP = ui.btpInsFinCFOP;
    edtInsFinCFOP = ui.edtInsFinCFOP;
    grbCST = ui.grbCST;
    cmbInsIniCST = ui.cmbInsIniCST;
    cmbInsFinCST = ui.cmbInsFinCST;
    Panel1 = ui.Panel1;
    chkCdFiscal = ui.chkCdFiscal;
    cmbCdFiscal = ui.cmbCdFiscal;
    chkImposto = ui.chkImposto;
    cmbImposto = ui.cmbImposto;
    chkBaseCalc = ui.chkBaseCalc;
    cmbBaseCalc = ui.cmbBaseCalc;
    chkAliquota = ui.chkAliquota;
    cmbAliquota = ui.cmbAliquota;
    chkVerifica = ui.chkVerifica;
    grbVerifica = ui.grbVerifica;
    chkLancamento = ui.chkLancamento;
    chkAprovacao = ui.chkAprovacao;

    m_modes = new QButtonGroup(this);
    m_modes->addButton(chkEdtConsiste);
    m_modes->addButton(chkIncluiConsiste);
    m_selection = new QButtonGroup(this);
    m_selection->addButton(rbtPeriodoConsiste);
    m_selection->addButton(rbtListaConsiste);
    m_admiBloq = new QButtonGroup(this);
    m_admiBloq->addButton(ui.rbtAdmitidos, 0);
    m_admiBloq->addButton(ui.rbtBloqueados, 1);
}

void TfrmCadAuto::prepareFields()
{
    // Captions take their natural size, whatever the font.
    for (QWidget *caption : grbDadosRel->findChildren<QWidget *>())
        if (qobject_cast<QLabel *>(caption) || qobject_cast<QCheckBox *>(caption) ||
            (qobject_cast<QRadioButton *>(caption) && !caption->parentWidget()->layout()))
            caption->adjustSize();
    btpListaConsiste->move(rbtListaConsiste->geometry().right() + 6, btpListaConsiste->y());
    // The form names each field's system colour.
    for (QWidget *field : grbDadosRel->findChildren<QWidget *>()) {
        const QString colour = field->property("fieldColour").toString();
        if (!colour.isEmpty())
            setFieldColour(field, colour == QLatin1String("info") ? QPalette::ToolTipBase
                                                                  : QPalette::Button);
    }
    for (QLineEdit *field : grbDadosRel->findChildren<QLineEdit *>())
        if (!qobject_cast<QComboBox *>(field->parentWidget()))
            ShowTextFromStart(field);
    for (QComboBox *box : grbDadosRel->findChildren<QComboBox *>())
        prepareCombo(box);
}

void TfrmCadAuto::connectHandlers()
{
    // Radio buttons act when they become selected, check boxes on every change.
    const auto onSelected = [this](QRadioButton *button, void (TfrmCadAuto::*handler)(QObject *)) {
        connect(button, &QRadioButton::toggled, this, [this, button, handler](bool on) {
            if (on)
                kvrGuard([this, button, handler]() { (this->*handler)(button); });
        });
    };
    onSelected(chkEdtConsiste, &TfrmCadAuto::chkEdtConsisteClick);
    onSelected(chkIncluiConsiste, &TfrmCadAuto::chkincluiConsisteClick);
    onSelected(rbtPeriodoConsiste, &TfrmCadAuto::rbtPeriodoConsisteClick);
    onSelected(rbtListaConsiste, &TfrmCadAuto::rbtListaConsisteClick);
    const std::pair<QCheckBox *, void (TfrmCadAuto::*)(QObject *)> checks[] = {
        {chkCdFiscal, &TfrmCadAuto::chkCdFiscalClick},
        {chkImposto, &TfrmCadAuto::chkImpostoClick},
        {chkBaseCalc, &TfrmCadAuto::chkBaseCalcClick},
        {chkAliquota, &TfrmCadAuto::chkAliquotaClick},
        {chkCST, &TfrmCadAuto::chkCSTClick},
        {chkCFOP, &TfrmCadAuto::chkCFOPClick},
        {chkVerifica, &TfrmCadAuto::chkVerificaClick}};
    for (const auto &[box, handler] : checks)
        kvrConnect(box, &QCheckBox::toggled, this,
                   [this, box = box, handler = handler]() { (this->*handler)(box); });

    TFocusEvents *panel = TFocusEvents::Of(Panel2);
    panel->OnEnter = [this](QObject *sender) { Panel2Enter(sender); };
    panel->OnExit = [this](QObject *sender) { Panel2Exit(sender); };
    const std::pair<QLineEdit *, void (TfrmCadAuto::*)(QObject *)> exits[] = {
        {edtiniConsiste, &TfrmCadAuto::edtiniConsisteExit},
        {edtfinConsiste, &TfrmCadAuto::edtfinConsisteExit},
        {edtCdCFOP, &TfrmCadAuto::edtCdCFOPExit},
        {edtInsIniCdCFOP, &TfrmCadAuto::edtInsIniCdCFOPExit},
        {edtInsFinCdCFOP, &TfrmCadAuto::edtInsFinCdCFOPExit}};
    for (const auto &[field, handler] : exits)
        TFocusEvents::Of(field)->OnExit = [this, handler = handler](QObject *sender) {
            (this->*handler)(sender);
        };

    for (QComboBox *box : {cmbCST, cmbInsIniCST, cmbInsFinCST}) {
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }
}

void TfrmCadAuto::connectLookups()
{
    const std::pair<TBtnPesquisa *, TDataSource *> sources[] = {
        {btpPesqConsistIni, dtsConsistencias},
        {btpPesqConsistFin, dtsConsistencias},
        {btpListaConsiste, dtsConsistencias},
        {btpCFOP, dtsCFOP},
        {btpInsIniCFOP, dtsCFOP},
        {btpInsFinCFOP, dtsCFOP}};
    for (const auto &[button, source] : sources)
        button->SetDataSource(source);
    btpPesqConsistIni->SetAssociate(edtiniConsiste);
    btpPesqConsistFin->SetAssociate(edtfinConsiste);
    btpCFOP->SetAssociate(edtCdCFOP);
    btpInsIniCFOP->SetAssociate(edtInsIniCdCFOP);
    btpInsFinCFOP->SetAssociate(edtInsFinCdCFOP);
    for (TBtnPesquisa *button : {btpPesqConsistIni, btpPesqConsistFin})
        button->SetTitle(QStringLiteral("Consistência Fiscal"));

    using Before = void (TfrmCadAuto::*)(QObject *, bool &);
    using After = void (TfrmCadAuto::*)(QObject *);
    const std::tuple<TBtnPesquisa *, Before, After> lookups[] = {
        {btpImposto, &TfrmCadAuto::btpImpostoBeforePesq, &TfrmCadAuto::btpImpostoAfterPesq},
        {btpPesqConsistIni, &TfrmCadAuto::btpPesqConsistIniBeforePesq,
         &TfrmCadAuto::btpPesqConsistIniAfterPesq},
        {btpPesqConsistFin, &TfrmCadAuto::btpPesqConsistFinBeforePesq,
         &TfrmCadAuto::btpPesqConsistFinAfterPesq},
        {btpCFOP, &TfrmCadAuto::btpCFOPBeforePesq, &TfrmCadAuto::btpCFOPAfterPesq},
        {btpInsIniCFOP, &TfrmCadAuto::btpInsIniCFOPBeforePesq,
         &TfrmCadAuto::btpInsIniCFOPAfterPesq},
        {btpInsFinCFOP, &TfrmCadAuto::btpInsFinCFOPBeforePesq,
         &TfrmCadAuto::btpInsFinCFOPAfterPesq}};
    for (const auto &[button, before, after] : lookups) {
        button->OnBeforePesq = [this, before = before](QObject *sender, bool &allow) {
            (this->*before)(sender, allow);
        };
        button->OnAfterPesq = [this, after = after](QObject *sender) { (this->*after)(sender); };
    }
    btpListaConsiste->OnClick = [this](QObject *sender) { btpListaConsisteClick(sender); };
}

int TfrmCadAuto::rdgAdmiBloqItemIndex() const
{
    return m_admiBloq->checkedId();
}

TNetConnection *TfrmCadAuto::connection() const
{
    // Asked at every call: the maintenance screen may have gone since.
    MaintenanceScreenLink *maintenance = MaintenanceScreenLink::Current();
    return maintenance ? maintenance->Connection() : nullptr;
}

// ---- Lifecycle ------------------------------------------------------------

void TfrmCadAuto::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    if (MaintenanceScreenLink *maintenance = MaintenanceScreenLink::Current())
        edtCdImposto->setText(maintenance->TaxCode());
    SetChildEnabledNovo(grbEdtConsiste, true);
    SetChildEnabledNovo(grbIncluiConsiste, false);
    SetChildEnabledNovo(grbPeriodoConsiste, true);
    SetChildEnabledNovo(grbCFOP, false);
    SetChildEnabledNovo(grbCST, false);
    btpListaConsiste->setEnabled(false);
    chkLancamento->setEnabled(chkVerifica->isChecked());
    chkAprovacao->setEnabled(chkVerifica->isChecked());
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

// ---- Option state -----------------------------------------------------------

void TfrmCadAuto::SetChildEnabledNovo(QWidget *Control, bool Enabled)
{
    const QList<QWidget *> children =
        Control->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (int inCont = 0; inCont < children.size(); ++inCont) {
        QWidget *child = children.at(inCont);
        if (child->isWindow())
            continue;
        if (qobject_cast<QLineEdit *>(child) && hasFieldColour(child, QPalette::Button))
            continue;
        if (child->property("tag").toInt() == 99)
            continue;
        child->setEnabled(Enabled);
    }
}

void TfrmCadAuto::chkEdtConsisteClick(QObject *)
{
    SetChildEnabledNovo(grbEdtConsiste, true);
    SetChildEnabledNovo(grbIncluiConsiste, false);
    if (rbtPeriodoConsiste->isChecked())
        SetChildEnabledNovo(grbPeriodoConsiste, true);
    SetChildEnabledNovo(grbCFOP, false);
    SetChildEnabledNovo(grbCST, false);
}

void TfrmCadAuto::chkincluiConsisteClick(QObject *)
{
    SetChildEnabledNovo(grbEdtConsiste, false);
    SetChildEnabledNovo(grbIncluiConsiste, true);
    SetChildEnabledNovo(grbPeriodoConsiste, false);
    SetChildEnabledNovo(grbCFOP, true);
    SetChildEnabledNovo(grbCST, true);
}

namespace {

// An option field follows its check box: the colour first, then the state.
void follow(const QCheckBox *option, QWidget *field)
{
    const bool on = option->isChecked();
    setFieldColour(field, on ? QPalette::Base : QPalette::Button);
    field->setEnabled(on);
}

} // namespace

void TfrmCadAuto::chkCdFiscalClick(QObject *)
{
    follow(chkCdFiscal, cmbCdFiscal);
}

void TfrmCadAuto::chkImpostoClick(QObject *)
{
    follow(chkImposto, cmbImposto);
}

void TfrmCadAuto::chkBaseCalcClick(QObject *)
{
    follow(chkBaseCalc, cmbBaseCalc);
}

void TfrmCadAuto::chkAliquotaClick(QObject *)
{
    follow(chkAliquota, cmbAliquota);
}

void TfrmCadAuto::chkCSTClick(QObject *)
{
    follow(chkCST, cmbCST);
}

void TfrmCadAuto::chkCFOPClick(QObject *)
{
    follow(chkCFOP, edtCdCFOP);
    btpCFOP->setEnabled(chkCFOP->isChecked());
}

void TfrmCadAuto::chkVerificaClick(QObject *)
{
    chkLancamento->setEnabled(chkVerifica->isChecked());
    chkAprovacao->setEnabled(chkVerifica->isChecked());
}

void TfrmCadAuto::rbtPeriodoConsisteClick(QObject *)
{
    btpListaConsiste->setEnabled(false);
    SetChildEnabledNovo(grbPeriodoConsiste, true);
}

void TfrmCadAuto::rbtListaConsisteClick(QObject *)
{
    SetChildEnabledNovo(grbPeriodoConsiste, false);
    btpListaConsiste->setEnabled(true);
}

void TfrmCadAuto::Panel2Enter(QObject *)
{
    for (QComboBox *box : {cmbCST, cmbInsIniCST, cmbInsFinCST}) {
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
    edtiniConsiste->clear();
    edtfinConsiste->clear();
}

void TfrmCadAuto::Panel2Exit(QObject *)
{
    vdImposto();
    preencheCST();
}

void TfrmCadAuto::preencheCST()
{
    for (QComboBox *box : {cmbCST, cmbInsIniCST, cmbInsFinCST})
        box->clear();
    const QStringList lines = m_cst.List();
    for (QComboBox *box : {cmbInsIniCST, cmbInsFinCST, cmbCST}) {
        box->addItems(lines);
        // Filling the list chooses nothing.
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
}

void TfrmCadAuto::cmbCSTKeyPress(QObject *, QChar &Key)
{
    if (Key != QChar(8))
        Key = QChar();
}

void TfrmCadAuto::cmbInsIniCSTKeyPress(QObject *, QChar &Key)
{
    if (Key != QChar(8))
        Key = QChar();
}

void TfrmCadAuto::cmbInsFinCSTKeyPress(QObject *, QChar &Key)
{
    if (Key != QChar(8))
        Key = QChar();
}

bool TfrmCadAuto::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return TfrmRotiGeral::eventFilter(watched, event);
    QChar key = typedCharacter(static_cast<QKeyEvent *>(event));
    if (key.isNull())
        return TfrmRotiGeral::eventFilter(watched, event);
    QObject *box = qobject_cast<QComboBox *>(watched) ? watched : watched->parent();
    void (TfrmCadAuto::*handler)(QObject *, QChar &) = nullptr;
    if (box == cmbCST)
        handler = &TfrmCadAuto::cmbCSTKeyPress;
    else if (box == cmbInsIniCST)
        handler = &TfrmCadAuto::cmbInsIniCSTKeyPress;
    else if (box == cmbInsFinCST)
        handler = &TfrmCadAuto::cmbInsFinCSTKeyPress;
    if (!handler)
        return TfrmRotiGeral::eventFilter(watched, event);
    // A failing filter drops the key rather than let it through unchecked.
    if (!kvrGuard([this, handler, box, &key]() { (this->*handler)(box, key); }))
        return true;
    return key.isNull();
}

// ---- Display texts ----------------------------------------------------------

void TfrmCadAuto::cdsConsistenciasCDSITUTRIBGetText(TField *Sender, QString &Text, bool)
{
    Text = AutomaticDisplay::Cst(m_cst, Sender->AsString());
}

void TfrmCadAuto::cdsConsistenciasCDFISCALGetText(TField *Sender, QString &Text, bool)
{
    Text = AutomaticDisplay::FiscalCode(*msgPadrao, Sender->AsString());
}

void TfrmCadAuto::cdsConsistenciasIDTPALIQUOTAGetText(TField *Sender, QString &Text, bool)
{
    Text = AutomaticDisplay::Sign(*msgPadrao, Sender->AsString());
}

void TfrmCadAuto::cdsConsistenciasIDTPVRIMPOSTOGetText(TField *Sender, QString &Text, bool)
{
    Text = AutomaticDisplay::Sign(*msgPadrao, Sender->AsString());
}

void TfrmCadAuto::cdsConsistenciasIDTPBASECALCGetText(TField *Sender, QString &Text, bool)
{
    Text = AutomaticDisplay::Sign(*msgPadrao, Sender->AsString());
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
