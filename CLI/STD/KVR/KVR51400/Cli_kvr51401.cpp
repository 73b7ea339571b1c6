#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"

#include "CLI/STD/KVR/KVR51400/AutomaticDisplay.h"
#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/FieldColour.h"
#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "CLI/STD/KVR/KVR51400/ServerCalls.h"
#include "CLI/STD/KVR/KVR51400/TaxPanel.h"
#include "kit/core/Consiste.h"
#include "kit/core/Guarded.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/host/HostServices.h"
#include "kit/search/TfrmPesquisa.h"
#include "kit/widgets/FitPopupToItems.h"
#include "kit/widgets/ShowTextFromStart.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TButtonFlat.h"
#include "kit/widgets/TFocusEvents.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>

#include <algorithm>

TfrmCadAuto *frmCadAuto = nullptr;
QString stListaConsiste;

namespace {

const QStringList signItems{QStringLiteral("1 - Menor que Zero"),
                            QStringLiteral("2 - Igual a Zero"),
                            QStringLiteral("3 - Maior que Zero")};

void setCaptionFont(QWidget *control)
{
    QFont font(QStringLiteral("MS Sans Serif"), 8, QFont::Bold);
    control->setFont(font);
}

// A captioned group box is bold; its contents are not.
void keepChildrenPlain(QWidget *box)
{
    for (QWidget *child : box->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        QFont plain = child->font();
        plain.setBold(false);
        child->setFont(plain);
    }
}

template <class Control> Control *named(Control *control, const char *name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// Check boxes, radio buttons and labels take their natural size.
template <class Control> Control *place(Control *control, int x, int y)
{
    control->adjustSize();
    control->move(x, y);
    return control;
}

QLabel *label(const QString &text, QWidget *parent, int x, int y)
{
    return place(new QLabel(text, parent), x, y);
}

QLineEdit *edit(const char *name, QWidget *parent, const QRect &geometry, int maxLength,
                QPalette::ColorRole colour, bool enabled)
{
    auto *field = named(new QLineEdit(parent), name);
    field->setGeometry(geometry);
    if (maxLength > 0)
        field->setMaxLength(maxLength);
    setFieldColour(field, colour);
    field->setEnabled(enabled);
    ShowTextFromStart(field);
    return field;
}

QComboBox *combo(const char *name, QWidget *parent, const QRect &geometry,
                 QPalette::ColorRole colour, bool enabled, const QStringList &items = {})
{
    auto *box = named(new QComboBox(parent), name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setGeometry(geometry);
    FitPopupToItems(box);
    box->addItems(items);
    // No value until the user picks one.
    box->setCurrentIndex(-1);
    // A chosen line is shown from its code on; picked by the user it is
    // selected whole, so that Backspace empties it.
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [box](int index) {
        const int length = static_cast<int>(box->currentText().size());
        if (index >= 0 && box->hasFocus())
            box->lineEdit()->setSelection(length, -length);
        else if (index >= 0)
            box->lineEdit()->setCursorPosition(0);
    });
    setFieldColour(box, colour);
    box->setEnabled(enabled);
    return box;
}

TBtnPesquisa *lookup(const char *name, QWidget *parent, int x, int y, QWidget *associate,
                     TDataSource *source)
{
    auto *button = named(new TBtnPesquisa(parent), name);
    button->move(x, y);
    button->SetAssociate(associate);
    button->SetDataSource(source);
    return button;
}

// The text of a combo box as the confirm sends it: its first `width`
// characters, or "0" for an option left empty.
QString leading(const QComboBox *box, int width)
{
    return box->currentText().left(width);
}

QString orAny(const QString &code)
{
    return EmptyString(code) ? QStringLiteral("0") : code;
}

QString yesNo(const QCheckBox *box)
{
    return box->isChecked() ? QStringLiteral("S") : QStringLiteral("N");
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
      m_cst(msgCST, cdsImposto)
{
    setObjectName(QStringLiteral("frmCadAuto"));
    setWindowTitle(QStringLiteral("Cadastramento automático"));
    lblCodTela->setText(QStringLiteral("KVR51401"));
    createRecords();

    // A fixed dialog placed by pixel: the content box on the left, the
    // button bar on the right with the screen code at its foot.
    delete layout();
    setFixedSize(501, 636);
    grbDadosRel->setGeometry(0, 0, 446, 636);
    panMenu->setGeometry(446, 0, 55, 636);
    panBotoes->layout()->setContentsMargins(4, 3, 4, 4);
    QFont codeFont = lblCodTela->font();
    codeFont.setPointSize(7);
    lblCodTela->setFont(codeFont);
    lblCodTela->setAlignment(Qt::AlignCenter);
    if (auto *bar = qobject_cast<QBoxLayout *>(panMenu->layout()))
        bar->addWidget(lblCodTela);

    createTaxPanel(grbDadosRel);
    createEditGroup(grbDadosRel);
    createIncludeGroup(grbDadosRel);
    createOptionPanel(grbDadosRel);
    m_taxPanel = std::make_unique<TaxPanel>(edtCdImposto, edtNmImposto, cdsImposto, msgPadrao,
                                            [this]() { return connection(); });
    arrangeTabOrder();
    connectHandlers();
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

void TfrmCadAuto::createTaxPanel(QWidget *parent)
{
    Panel2 = named(new QFrame(parent), "Panel2");
    Panel2->setFrameShape(QFrame::NoFrame);
    Panel2->setGeometry(2, 4, 442, 41);
    QLabel *caption = label(QStringLiteral("Imposto"), Panel2, 8, 14);
    edtCdImposto = edit("edtCdImposto", Panel2, {56, 10, 30, 21}, 2, QPalette::ToolTipBase, true);
    // The caption keeps the dialog's spacing before its edit, whatever the font.
    caption->move(std::max(2, edtCdImposto->x() - 8 - caption->width()), caption->y());
    caption->setBuddy(edtCdImposto);
    btpImposto = lookup("btpImposto", Panel2, 88, 10, edtCdImposto, dtsImposto);
    edtNmImposto = edit("edtNmImposto", Panel2, {112, 10, 300, 21}, 0, QPalette::Button, false);
}

void TfrmCadAuto::createEditGroup(QWidget *parent)
{
    grbEdtConsiste = named(new QGroupBox(parent), "grbEdtConsiste");
    grbEdtConsiste->setGeometry(8, 54, 431, 212);
    // Stands on the group's top edge as its caption, outside the group.
    chkEdtConsiste =
        named(new QRadioButton(QStringLiteral("Editar Consistências"), parent), "chkEdtConsiste");
    setCaptionFont(chkEdtConsiste);
    place(chkEdtConsiste, 18, 46)->raise();
    chkEdtConsiste->setChecked(true);

    QWidget *group = grbEdtConsiste;
    grbPeriodoConsiste = named(new QGroupBox(group), "grbPeriodoConsiste");
    grbPeriodoConsiste->setGeometry(8, 24, 185, 84);
    rbtPeriodoConsiste =
        named(new QRadioButton(QStringLiteral("Período"), group), "rbtPeriodoConsiste");
    place(rbtPeriodoConsiste, 16, 16)->raise();
    rbtPeriodoConsiste->setChecked(true);
    QWidget *period = grbPeriodoConsiste;
    label(QStringLiteral("De"), period, 8, 25);
    edtiniConsiste =
        edit("edtiniConsiste", period, {34, 21, 118, 21}, 10, QPalette::ToolTipBase, true);
    btpPesqConsistIni =
        lookup("btpPesqConsistIni", period, 155, 21, edtiniConsiste, dtsConsistencias);
    label(QStringLiteral("Até"), period, 8, 53);
    edtfinConsiste =
        edit("edtfinConsiste", period, {34, 49, 118, 21}, 10, QPalette::ToolTipBase, true);
    btpPesqConsistFin =
        lookup("btpPesqConsistFin", period, 155, 49, edtfinConsiste, dtsConsistencias);
    for (TBtnPesquisa *button : {btpPesqConsistIni, btpPesqConsistFin})
        button->SetTitle(QStringLiteral("Consistência Fiscal"));

    rbtListaConsiste = named(new QRadioButton(QStringLiteral("Lista"), group), "rbtListaConsiste");
    place(rbtListaConsiste, 212, 40);
    btpListaConsiste = lookup("btpListaConsiste", group, rbtListaConsiste->geometry().right() + 6,
                              38, nullptr, dtsConsistencias);

    chkCST = named(new QCheckBox(QStringLiteral("CST"), group), "chkCST");
    setCaptionFont(chkCST);
    place(chkCST, 8, 128);
    cmbCST = combo("cmbCST", group, {64, 125, 306, 21}, QPalette::Button, false);

    chkCFOP = named(new QCheckBox(QStringLiteral("CFOP"), group), "chkCFOP");
    setCaptionFont(chkCFOP);
    place(chkCFOP, 8, 165);
    edtCdCFOP = edit("edtCdCFOP", group, {64, 162, 40, 21}, 4, QPalette::Button, false);
    btpCFOP = lookup("btpCFOP", group, 106, 162, edtCdCFOP, dtsCFOP);
    btpCFOP->setEnabled(false);
    edtNmCFOP = edit("edtNmCFOP", group, {130, 162, 291, 21}, 0, QPalette::Button, false);

    m_selection = new QButtonGroup(this);
    m_selection->addButton(rbtPeriodoConsiste);
    m_selection->addButton(rbtListaConsiste);
}

void TfrmCadAuto::createIncludeGroup(QWidget *parent)
{
    grbIncluiConsiste = named(new QGroupBox(parent), "grbIncluiConsiste");
    grbIncluiConsiste->setGeometry(8, 276, 431, 257);
    chkIncluiConsiste = named(new QRadioButton(QStringLiteral("Incluir consistências"), parent),
                              "chkIncluiConsiste");
    setCaptionFont(chkIncluiConsiste);
    place(chkIncluiConsiste, 18, 268)->raise();
    m_modes = new QButtonGroup(this);
    m_modes->addButton(chkEdtConsiste);
    m_modes->addButton(chkIncluiConsiste);

    QWidget *group = grbIncluiConsiste;
    rdgAdmiBloq =
        named(new QGroupBox(QStringLiteral("Admitidos/Bloqueados"), group), "rdgAdmiBloq");
    rdgAdmiBloq->setGeometry(8, 20, 415, 46);
    setCaptionFont(rdgAdmiBloq);
    auto *columns = new QHBoxLayout(rdgAdmiBloq);
    columns->setContentsMargins(8, 0, 8, 0);
    m_admiBloq = new QButtonGroup(this);
    const QStringList items{QStringLiteral("Admitidos"), QStringLiteral("Bloqueados")};
    for (int index = 0; index < items.size(); ++index) {
        auto *item = new QRadioButton(items.at(index), rdgAdmiBloq);
        m_admiBloq->addButton(item, index);
        columns->addWidget(item, 1);
    }
    m_admiBloq->button(0)->setChecked(true);
    keepChildrenPlain(rdgAdmiBloq);

    grbCFOP = named(new QGroupBox(QStringLiteral("CFOP"), group), "grbCFOP");
    grbCFOP->setGeometry(8, 70, 415, 82);
    setCaptionFont(grbCFOP);
    QWidget *cfops = grbCFOP;
    label(QStringLiteral("De"), cfops, 8, 25);
    edtInsIniCdCFOP =
        edit("edtInsIniCdCFOP", cfops, {34, 21, 44, 21}, 4, QPalette::ToolTipBase, true);
    btpInsIniCFOP = lookup("btpInsIniCFOP", cfops, 80, 21, edtInsIniCdCFOP, dtsCFOP);
    edtInsIniCFOP = edit("edtInsIniCFOP", cfops, {104, 21, 300, 21}, 0, QPalette::Button, false);
    label(QStringLiteral("Até"), cfops, 8, 53);
    edtInsFinCdCFOP =
        edit("edtInsFinCdCFOP", cfops, {34, 49, 44, 21}, 4, QPalette::ToolTipBase, true);
    btpInsFinCFOP = lookup("btpInsFinCFOP", cfops, 80, 49, edtInsFinCdCFOP, dtsCFOP);
    edtInsFinCFOP = edit("edtInsFinCFOP", cfops, {104, 49, 300, 21}, 0, QPalette::Button, false);
    keepChildrenPlain(grbCFOP);

    grbCST = named(new QGroupBox(QStringLiteral("CST"), group), "grbCST");
    grbCST->setGeometry(8, 160, 415, 82);
    setCaptionFont(grbCST);
    label(QStringLiteral("De"), grbCST, 8, 25);
    cmbInsIniCST = combo("cmbInsIniCST", grbCST, {34, 21, 378, 21}, QPalette::ToolTipBase, true);
    label(QStringLiteral("Até"), grbCST, 8, 53);
    cmbInsFinCST = combo("cmbInsFinCST", grbCST, {34, 49, 378, 21}, QPalette::ToolTipBase, true);
    keepChildrenPlain(grbCST);
}

void TfrmCadAuto::createOptionPanel(QWidget *parent)
{
    Panel1 = named(new QFrame(parent), "Panel1");
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setGeometry(8, 535, 430, 97);

    struct Option
    {
        QCheckBox *&check;
        const char *checkName;
        const char *caption;
        QComboBox *&field;
        const char *fieldName;
        QStringList items;
        QPoint at;
    };
    const Option options[] = {
        {chkCdFiscal,
         "chkCdFiscal",
         "Código Físcal",
         cmbCdFiscal,
         "cmbCdFiscal",
         {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
         {4, 4}},
        {chkImposto,
         "chkImposto",
         "Tp. Vr. Imposto",
         cmbImposto,
         "cmbImposto",
         signItems,
         {124, 4}},
        {chkBaseCalc, "chkBaseCalc", "Tp. Vr. Bc", cmbBaseCalc, "cmbBaseCalc", signItems, {4, 52}},
        {chkAliquota,
         "chkAliquota",
         "Tipo Alíquota",
         cmbAliquota,
         "cmbAliquota",
         signItems,
         {124, 52}},
    };
    for (const Option &option : options) {
        option.check =
            named(new QCheckBox(QString::fromUtf8(option.caption), Panel1), option.checkName);
        setCaptionFont(option.check);
        place(option.check, option.at.x(), option.at.y());
        option.field = combo(option.fieldName, Panel1, {option.at.x(), option.at.y() + 20, 111, 21},
                             QPalette::Button, false, option.items);
    }

    grbVerifica = named(new QGroupBox(Panel1), "grbVerifica");
    grbVerifica->setGeometry(246, 12, 180, 80);
    chkVerifica =
        named(new QCheckBox(QStringLiteral("Verificar Consistências"), Panel1), "chkVerifica");
    setCaptionFont(chkVerifica);
    place(chkVerifica, 254, 4)->raise();
    chkLancamento = named(new QCheckBox(QStringLiteral("Verifica no Lançamento"), grbVerifica),
                          "chkLancamento");
    place(chkLancamento, 8, 24);
    chkAprovacao =
        named(new QCheckBox(QStringLiteral("Verifica na Aprovação"), grbVerifica), "chkAprovacao");
    place(chkAprovacao, 8, 52);
}

void TfrmCadAuto::arrangeTabOrder()
{
    QAbstractButton *admitted = m_admiBloq->button(0);
    QAbstractButton *blocked = m_admiBloq->button(1);
    QWidget *previous = edtCdImposto;
    for (QWidget *next : std::initializer_list<QWidget *>{chkEdtConsiste,   rbtPeriodoConsiste,
                                                          edtiniConsiste,   edtfinConsiste,
                                                          rbtListaConsiste, chkCST,
                                                          cmbCST,           chkCFOP,
                                                          edtCdCFOP,        chkIncluiConsiste,
                                                          admitted,         blocked,
                                                          edtInsIniCdCFOP,  edtInsFinCdCFOP,
                                                          cmbInsIniCST,     cmbInsFinCST,
                                                          chkCdFiscal,      cmbCdFiscal,
                                                          chkImposto,       cmbImposto,
                                                          chkBaseCalc,      cmbBaseCalc,
                                                          chkAliquota,      cmbAliquota,
                                                          chkVerifica,      chkLancamento,
                                                          chkAprovacao}) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
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
    return frmConsisteFiscal ? frmConsisteFiscal->netConsistencia : nullptr;
}

// ---- Lifecycle ------------------------------------------------------------

void TfrmCadAuto::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    if (frmConsisteFiscal)
        edtCdImposto->setText(frmConsisteFiscal->edtCdImposto->text());
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

// ---- Lookups ----------------------------------------------------------------

void TfrmCadAuto::loadRules()
{
    cdsConsistencias->SetData(
        RdmConsisteFiscal(connection()).getConsistencias(edtCdImposto->text()));
}

void TfrmCadAuto::loadCfops()
{
    cdsCFOP->SetData(RdmConsisteFiscal(connection()).getCFOP());
}

void TfrmCadAuto::btpImpostoBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    m_taxPanel->LoadTaxes();
}

void TfrmCadAuto::btpImpostoAfterPesq(QObject *)
{
    m_taxPanel->CopyPicked();
}

void TfrmCadAuto::btpPesqConsistIniBeforePesq(QObject *, bool &)
{
    {
        TBusyScope busy;
        loadRules();
    }
    cdsConsistencias->FieldByName(QStringLiteral("IDMARCADO"))->SetVisible(false);
}

void TfrmCadAuto::btpPesqConsistIniAfterPesq(QObject *)
{
    edtiniConsiste->setText(
        cdsConsistencias->FieldByName(QStringLiteral("NRSEQCONSISTE"))->AsString());
}

void TfrmCadAuto::btpPesqConsistFinBeforePesq(QObject *Sender, bool &AllowPesq)
{
    btpPesqConsistIniBeforePesq(Sender, AllowPesq);
}

void TfrmCadAuto::btpPesqConsistFinAfterPesq(QObject *)
{
    edtfinConsiste->setText(
        cdsConsistencias->FieldByName(QStringLiteral("NRSEQCONSISTE"))->AsString());
}

void TfrmCadAuto::btpCFOPBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    loadCfops();
}

void TfrmCadAuto::btpCFOPAfterPesq(QObject *)
{
    edtCdCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
    edtNmCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("DSCFOPPADRAO"))->AsString());
}

void TfrmCadAuto::btpInsIniCFOPBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    loadCfops();
}

void TfrmCadAuto::btpInsIniCFOPAfterPesq(QObject *)
{
    edtInsIniCdCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
    edtInsIniCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("DSCFOPPADRAO"))->AsString());
}

void TfrmCadAuto::btpInsFinCFOPBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    loadCfops();
}

void TfrmCadAuto::btpInsFinCFOPAfterPesq(QObject *)
{
    edtInsFinCdCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
    edtInsFinCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("DSCFOPPADRAO"))->AsString());
}

void TfrmCadAuto::btpListaConsisteClick(QObject *)
{
    {
        TBusyScope busy;
        loadRules();
    }
    cdsConsistencias->FieldByName(QStringLiteral("IDMARCADO"))->SetVisible(true);
    PesquisaLista(dtsConsistencias, QStringLiteral("NRSEQCONSISTE"),
                  msgPadrao->Msg(QStringLiteral("CONSISTE")) + QLatin1Char('|') +
                      msgPadrao->Msg(QStringLiteral("CONSISTE_N_CAD")),
                  false, stListaConsiste);
}

// ---- Field checks -----------------------------------------------------------

void TfrmCadAuto::vdImposto()
{
    m_taxPanel->Check();
}

void TfrmCadAuto::vdConsistencias(QLineEdit *consiste, bool boTestaVazio)
{
    if (EmptyString(consiste->text())) {
        if (boTestaVazio) {
            consiste->setFocus();
            MensErro(msgPadrao->Msg(QStringLiteral("CONSIST_N_INF")), true);
        }
        return;
    }
    consiste->setText(Ajusta(consiste->text(), 10));
    cdsvdConsistencia->SetData(
        RdmConsisteFiscal(connection()).vdCon(edtCdImposto->text(), consiste->text()));
    if (cdsvdConsistencia->IsEmpty()) {
        consiste->setFocus();
        MensErro(msgPadrao->Msg(QStringLiteral("CONSIST_INV")), true);
    }
}

void TfrmCadAuto::vdCfop(QLineEdit *cfop)
{
    if (EmptyString(cfop->text()))
        return;
    cfop->setText(Ajusta(cfop->text(), 4));
    if (!cdsCFOP->Active())
        cdsCFOP->CreateDataSet();
    cdsCFOP->EmptyDataSet();
    cdsCFOP->SetData(RdmConsisteFiscal(connection()).getVdCFOP(cfop->text()));
    if (cdsCFOP->IsEmpty()) {
        cfop->setFocus();
        MensErro(msgPadrao->Msg(QStringLiteral("CFOP_INV")), true);
    }
}

void TfrmCadAuto::edtiniConsisteExit(QObject *)
{
    vdConsistencias(edtiniConsiste, false);
}

void TfrmCadAuto::edtfinConsisteExit(QObject *)
{
    vdConsistencias(edtfinConsiste, false);
}

void TfrmCadAuto::edtCdCFOPExit(QObject *)
{
    vdCfop(edtCdCFOP);
}

void TfrmCadAuto::edtInsIniCdCFOPExit(QObject *)
{
    vdCfop(edtInsIniCdCFOP);
}

void TfrmCadAuto::edtInsFinCdCFOPExit(QObject *)
{
    vdCfop(edtInsFinCdCFOP);
}

// ---- Confirm ----------------------------------------------------------------

void TfrmCadAuto::sbtConfirmaClick()
{
    {
        TBusyScope busy;
        const QString stBc = orAny(leading(cmbBaseCalc, 1));
        const QString stImpo = orAny(leading(cmbImposto, 1));
        const QString stAli = orAny(leading(cmbAliquota, 1));
        const QString stCdFiscal = orAny(cmbCdFiscal->currentText());
        const QString veriLanc = yesNo(chkLancamento);
        const QString veriAprov = yesNo(chkAprovacao);
        const auto error = [this](QWidget *focus, const char *key) {
            focus->setFocus();
            MensErro(msgPadrao->Msg(QString::fromLatin1(key)), true);
        };

        if (chkEdtConsiste->isChecked()) {
            const QString iniCst = leading(cmbCST, 2);
            QString stIniConsist;
            QString stFinConsist;
            if (rbtPeriodoConsiste->isChecked()) {
                vdConsistencias(edtiniConsiste, true);
                vdConsistencias(edtfinConsiste, true);
                stIniConsist = edtiniConsiste->text();
                stFinConsist = edtfinConsiste->text();
                if (stIniConsist > stFinConsist)
                    error(edtfinConsiste, "CONSISTE_MAIOR");
                stListaConsiste.clear();
            } else if (EmptyString(stListaConsiste)) {
                error(rbtListaConsiste, "CONSIST_N_INF");
            }
            using Update = kvr::fiscal::CadAutoAtualiza;
            Update update;
            update.tax = edtCdImposto->text();
            update.first = stIniConsist;
            update.last = stFinConsist;
            update.list = stListaConsiste;
            update.set(Update::Cst, iniCst, chkCST->isChecked());
            update.set(Update::Cfop, edtCdCFOP->text(), chkCFOP->isChecked());
            update.set(Update::Fiscal, stCdFiscal, chkCdFiscal->isChecked());
            update.set(Update::TaxValueSign, stImpo, chkImposto->isChecked());
            update.set(Update::BaseSign, stBc, chkBaseCalc->isChecked());
            update.set(Update::RateSign, stAli, chkAliquota->isChecked());
            update.set(Update::AtEntry, veriLanc, chkVerifica->isChecked());
            update.set(Update::AtApproval, veriAprov, chkVerifica->isChecked());
            RdmConsisteFiscal(connection()).cadAutoAtualiza(update);
        } else {
            vdCfop(edtInsIniCdCFOP);
            vdCfop(edtInsFinCdCFOP);
            const QString iniCst = leading(cmbInsIniCST, 2);
            const QString finCst = leading(cmbInsFinCST, 2);
            const QString iniCfop = edtInsIniCdCFOP->text();
            const QString finCfop = edtInsFinCdCFOP->text();
            if (!EmptyString(iniCfop) && EmptyString(finCfop))
                error(edtInsFinCdCFOP, "CFOP_N_INF");
            if (!EmptyString(finCfop) && EmptyString(iniCfop))
                error(edtInsIniCdCFOP, "CFOP_N_INF");
            if (!EmptyString(iniCfop) && !EmptyString(finCfop) && finCfop < iniCfop)
                error(edtInsFinCdCFOP, "CFOP_MAIOR");
            const bool iniGiven = !EmptyString(cmbInsIniCST->currentText());
            const bool finGiven = !EmptyString(cmbInsFinCST->currentText());
            if (iniGiven && !finGiven)
                error(cmbInsFinCST, "CST_N_INF");
            if (finGiven && !iniGiven)
                error(cmbInsIniCST, "CST_N_INF");
            if (iniGiven && finGiven && finCst < iniCst)
                error(cmbInsFinCST, "CST_MAIOR");
            const QString bloqAdmi =
                rdgAdmiBloqItemIndex() == 0 ? QStringLiteral("A") : QStringLiteral("B");
            kvr::fiscal::CadAutoInsere insert;
            insert.tax = edtCdImposto->text();
            insert.firstCst = iniCst;
            insert.lastCst = finCst;
            insert.firstCfop = iniCfop;
            insert.lastCfop = finCfop;
            insert.baseSign = stBc;
            insert.taxValueSign = stImpo;
            insert.rateSign = stAli;
            insert.atEntry = veriLanc;
            insert.atApproval = veriAprov;
            insert.fiscal = stCdFiscal;
            insert.blocked = bloqAdmi;
            RdmConsisteFiscal(connection()).cadAutoInsere(insert);
        }
        showDone();
    }
    if (frmConsisteFiscal)
        frmConsisteFiscal->edtCdImposto->setFocus();
    close();
}

void TfrmCadAuto::showDone()
{
    QMessageBox box(QMessageBox::Question, windowTitle(), msgPadrao->Msg(QStringLiteral("CAD_OK")),
                    QMessageBox::Ok, this);
    // The busy pointer is still on: the user answers with a normal one.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
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

// ---- Launch -----------------------------------------------------------------

void criaCadAuto()
{
    // The screen borrows the maintenance screen's tax and connection.
    if (!frmConsisteFiscal)
        return;
    // A plain C entry: nothing thrown may leave it, and the busy pointer
    // ends on every path.
    kvrGuard([]() {
        const TBusyCursor busy;
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
    });
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
