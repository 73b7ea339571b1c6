#include "kit/forms/TfrmPadraoGrid.h"

#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/HostServices.h"
#include "kit/search/TfrmPesquisa.h"
#include "kit/widgets/TButtonFlat.h"
#include "kit/widgets/TDBNavigator.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int ButtonStep = 25;

} // namespace

TfrmPadraoGrid::TfrmPadraoGrid(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmPadraoGrid"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    // Tool bar: buttons stand at fixed places, so screens can add their own
    // between them.
    auto *toolRow = new QWidget(this);
    auto *toolLayout = new QHBoxLayout(toolRow);
    toolLayout->setContentsMargins(0, 0, 6, 0);
    panMenu = new QFrame(toolRow);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFixedHeight(29);
    lblCodTela = new QLabel(toolRow);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    QFont codeFont = lblCodTela->font();
    codeFont.setBold(true);
    lblCodTela->setFont(codeFont);
    toolLayout->addWidget(panMenu, 1);
    toolLayout->addWidget(lblCodTela);

    int x = 4;
    auto next = [&x]() {
        const int at = x;
        x += ButtonStep;
        return at;
    };
    sbtIncluir = addToolButton("sbtIncluir", QStringLiteral("Incluir"), next(), QStyle::SP_FileIcon,
                               &TfrmPadraoGrid::sbtIncluirClick);
    sbtAlterar = addToolButton("sbtAlterar", QStringLiteral("Alterar"), next(),
                               QStyle::SP_FileDialogDetailedView, &TfrmPadraoGrid::sbtAlterarClick);
    sbtExcluir = addToolButton("sbtExcluir", QStringLiteral("Excluir"), next(),
                               QStyle::SP_TrashIcon, &TfrmPadraoGrid::sbtExcluirClick);
    sbtProcurar =
        addToolButton("sbtProcurar", QStringLiteral("Procurar"), next(),
                      QStyle::SP_FileDialogContentsView, &TfrmPadraoGrid::sbtProcurarClick);
    sbtVerificar = addToolButton("sbtVerificar", QStringLiteral("Verificar"), next(),
                                 QStyle::SP_BrowserReload, &TfrmPadraoGrid::sbtVerificarClick);
    sbtCancelar = addToolButton("sbtCancelar", QStringLiteral("Cancelar"), next(),
                                QStyle::SP_DialogCancelButton, &TfrmPadraoGrid::sbtCancelarClick);
    sbtConfirmar = addToolButton("sbtConfirmar", QStringLiteral("Confirmar"), next(),
                                 QStyle::SP_DialogApplyButton, &TfrmPadraoGrid::sbtConfirmarClick);
    sbtImprimir = addToolButton("sbtImprimir", QStringLiteral("Imprimir"), next(),
                                QStyle::SP_DriveFDIcon, &TfrmPadraoGrid::sbtImprimirClick);
    x += 8;
    sbtAjuda = addToolButton("sbtAjuda", QStringLiteral("Ajuda"), next(),
                             QStyle::SP_DialogHelpButton, &TfrmPadraoGrid::sbtAjudaClick);
    sbtFechar = addToolButton("sbtFechar", QStringLiteral("Fechar"), next(),
                              QStyle::SP_DialogCloseButton, &TfrmPadraoGrid::sbtFecharClick);

    mnuPrincipal = new QMenuBar(this);
    mnuPrincipal->setObjectName(QStringLiteral("mnuPrincipal"));
    QMenu *records = mnuPrincipal->addMenu(QStringLiteral("&Registro"));
    mnuAlterar = addMenuItem(records, "mnuAlterar", QStringLiteral("&Alterar"),
                             &TfrmPadraoGrid::sbtAlterarClick);
    mnuExcluir = addMenuItem(records, "mnuExcluir", QStringLiteral("&Excluir"),
                             &TfrmPadraoGrid::sbtExcluirClick);
    mnuProcurar = addMenuItem(records, "mnuProcurar", QStringLiteral("&Procurar"),
                              &TfrmPadraoGrid::sbtProcurarClick);
    mnuVerificar = addMenuItem(records, "mnuVerificar", QStringLiteral("&Verificar"),
                               &TfrmPadraoGrid::sbtVerificarClick);
    records->addSeparator();
    mnuCancelar = addMenuItem(records, "mnuCancelar", QStringLiteral("&Cancelar"),
                              &TfrmPadraoGrid::sbtCancelarClick);
    mnuConfirmar = addMenuItem(records, "mnuConfirmar", QStringLiteral("C&onfirmar"),
                               &TfrmPadraoGrid::sbtConfirmarClick);
    QMenu *reports = mnuPrincipal->addMenu(QStringLiteral("R&elatórios"));
    mnuListagem = addMenuItem(reports, "mnuListagem", QStringLiteral("&Listagem"),
                              &TfrmPadraoGrid::sbtImprimirClick);
    mnuConfigImpressora =
        addMenuItem(reports, "mnuConfigImpressora", QStringLiteral("&Configurar impressora"),
                    &TfrmPadraoGrid::sbtImprimirClick);
    m_layout->setMenuBar(mnuPrincipal);
    m_layout->addWidget(toolRow);

    dtsPadrao = new TDataSource(this);
    dtsPadrao->setObjectName(QStringLiteral("dtsPadrao"));
    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));

    pgcPadrao = new QTabWidget(this);
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));
    pgcPadrao->setTabPosition(QTabWidget::South);
    // Every page, the screens' own included, passes through the page stack.
    m_pageStack = pgcPadrao->findChild<QStackedWidget *>(QString(), Qt::FindDirectChildrenOnly);
    if (m_pageStack)
        m_pageStack->installEventFilter(this);
    tshPadrao = new QWidget(pgcPadrao);
    tshPadrao->setObjectName(QStringLiteral("tshPadrao"));
    pgcPadrao->addTab(tshPadrao, QStringLiteral("Padrão"));
    auto *pageLayout = new QVBoxLayout(tshPadrao);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    panDbgPadrao = new QFrame(tshPadrao);
    panDbgPadrao->setObjectName(QStringLiteral("panDbgPadrao"));
    pageLayout->addWidget(panDbgPadrao);
    auto *gridLayout = new QVBoxLayout(panDbgPadrao);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(0);
    // Room for a data sheet of field editors; empty unless a screen fills it.
    scbFolhaDados = new QScrollArea(panDbgPadrao);
    scbFolhaDados->setObjectName(QStringLiteral("scbFolhaDados"));
    scbFolhaDados->setWidgetResizable(true);
    scbFolhaDados->setVisible(false);
    gridLayout->addWidget(scbFolhaDados);
    dbgPadrao = new TDBGrid(panDbgPadrao);
    dbgPadrao->setObjectName(QStringLiteral("dbgPadrao"));
    dbgPadrao->SetDataSource(dtsPadrao);
    gridLayout->addWidget(dbgPadrao, 1);
    m_layout->addWidget(pgcPadrao, 1);

    panNavigator = new QFrame(this);
    panNavigator->setObjectName(QStringLiteral("panNavigator"));
    auto *navLayout = new QHBoxLayout(panNavigator);
    navLayout->setContentsMargins(4, 2, 4, 2);
    dbnPadrao = new TDBNavigator(panNavigator);
    dbnPadrao->setObjectName(QStringLiteral("dbnPadrao"));
    dbnPadrao->SetDataSource(dtsPadrao);
    navLayout->addWidget(dbnPadrao);
    navLayout->addStretch(1);
    m_layout->addWidget(panNavigator);

    // State changes reach the handlers only once the screen is complete:
    // binding a dataset in a constructor must not run a screen's handler.
    connect(dtsPadrao, &TDataSource::StateChange, this, [this]() {
        if (m_created)
            kvrGuard([this]() { dtsPadraoStateChange(); });
    });
}

TfrmPadraoGrid::~TfrmPadraoGrid() = default;

TButtonFlat *TfrmPadraoGrid::addToolButton(const char *name, const QString &hint, int x, int icon,
                                           void (TfrmPadraoGrid::*handler)())
{
    auto *button = new TButtonFlat(panMenu);
    button->setObjectName(QString::fromLatin1(name));
    button->SetHint(hint);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->move(x, 4);
    button->OnClick = [this, handler](QObject *) { (this->*handler)(); };
    return button;
}

QAction *TfrmPadraoGrid::addMenuItem(QMenu *menu, const char *name, const QString &text,
                                     void (TfrmPadraoGrid::*handler)())
{
    QAction *action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this,
            [this, handler]() { kvrGuard([this, handler]() { (this->*handler)(); }); });
    return action;
}

void TfrmPadraoGrid::Initialize()
{
    if (m_created)
        return;
    m_created = true;
    const QSize ownSize = size();
    const bool sized = testAttribute(Qt::WA_Resized);
    RegisterApplicationForm(this);
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()); frame && sized) {
        // The MDI frame adds its title bar and borders around the screen's size.
        frame->resize(ownSize);
        if (frame->layout())
            frame->layout()->activate();
        frame->resize(frame->size() + (ownSize - size()));
    }
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()); frame && frame->mdiArea()) {
        // Only a change of the active child counts: the main window coming
        // back from a dialog leaves the same child active.
        connect(frame->mdiArea(), &QMdiArea::subWindowActivated, this,
                [this, frame](QMdiSubWindow *window) {
                    if (!window)
                        return;
                    if (window != frame) {
                        m_activeChild = false;
                    } else if (!m_activeChild) {
                        m_activeChild = true;
                        kvrGuard([this]() { FormActivate(); });
                    }
                });
    }
    kvrGuard([this]() { FormCreate(); });
    enableScreenButtons();
}

QWidget *TfrmPadraoGrid::FrameWindow() const
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        return frame;
    return const_cast<TfrmPadraoGrid *>(this);
}

void TfrmPadraoGrid::AddTopPanel(QWidget *panel)
{
    // After the tool bar and the panels added before.
    m_layout->insertWidget(1 + m_topPanels++, panel);
}

void TfrmPadraoGrid::AddBottomPanel(QWidget *panel)
{
    m_layout->insertWidget(m_layout->indexOf(panNavigator), panel);
}

void TfrmPadraoGrid::enableScreenButtons()
{
    const QList<TButtonFlat *> managed{sbtIncluir,   sbtAlterar,  sbtExcluir,   sbtProcurar,
                                       sbtVerificar, sbtCancelar, sbtConfirmar, sbtImprimir};
    // The user holds the rights to the screen's own tool-bar actions.
    for (TButtonFlat *button : panMenu->findChildren<TButtonFlat *>()) {
        if (!managed.contains(button))
            button->setEnabled(true);
    }
}

void TfrmPadraoGrid::FormCreate()
{
    dtsPadraoStateChange();
}

void TfrmPadraoGrid::FormActivate() {}

void TfrmPadraoGrid::FormClose(TCloseAction &Action)
{
    Action = TCloseAction::caFree;
}

void TfrmPadraoGrid::dtsPadraoStateChange()
{
    const TClientDataSet::State state = dtsPadrao->State();
    const bool browse = state == TClientDataSet::State::Browse;
    const bool editing =
        state == TClientDataSet::State::Edit || state == TClientDataSet::State::Insert;
    TClientDataSet *dataSet = dtsPadrao->DataSet();
    const bool rows = dataSet && dataSet->Active() && !dataSet->IsEmpty();

    sbtIncluir->setEnabled(browse);
    sbtAlterar->setEnabled(browse && rows);
    sbtExcluir->setEnabled(browse && rows);
    sbtProcurar->setEnabled(browse && rows);
    sbtVerificar->setEnabled(browse);
    sbtCancelar->setEnabled(editing);
    sbtConfirmar->setEnabled(editing);
    sbtImprimir->setEnabled(browse && rows);
    mnuAlterar->setEnabled(sbtAlterar->isEnabled());
    mnuExcluir->setEnabled(sbtExcluir->isEnabled());
    mnuProcurar->setEnabled(sbtProcurar->isEnabled());
    mnuVerificar->setEnabled(sbtVerificar->isEnabled());
    mnuCancelar->setEnabled(sbtCancelar->isEnabled());
    mnuConfirmar->setEnabled(sbtConfirmar->isEnabled());
    mnuListagem->setEnabled(sbtImprimir->isEnabled());
    mnuConfigImpressora->setEnabled(sbtImprimir->isEnabled());
}

TClientDataSet *TfrmPadraoGrid::RecordDataSet() const
{
    if (!dtsPadrao->DataSet())
        throw EKvrError(QStringLiteral("A tela %1 não tem dados associados.")
                            .arg(lblCodTela->text().isEmpty() ? objectName() : lblCodTela->text()));
    return dtsPadrao->DataSet();
}

void TfrmPadraoGrid::sbtIncluirClick()
{
    RecordDataSet()->Insert();
}

void TfrmPadraoGrid::sbtAlterarClick()
{
    RecordDataSet()->Edit();
}

void TfrmPadraoGrid::sbtExcluirClick()
{
    TClientDataSet *dataSet = RecordDataSet();
    if (!dataSet->Active() || dataSet->IsEmpty())
        return;
    QMessageBox box(QMessageBox::Question, windowTitle(), QStringLiteral("Confirma exclusão?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Sim"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Não"));
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes)
        return;
    dataSet->Delete();
    FocusPageGrid();
}

void TfrmPadraoGrid::sbtProcurarClick()
{
    Pesquisar(dtsPadrao, windowTitle() + QStringLiteral("|Não há registros para pesquisar."), false,
              true);
    FocusPageGrid();
}

void TfrmPadraoGrid::FocusPageGrid()
{
    if (QWidget *page = pgcPadrao->currentWidget())
        if (auto *grid = page->findChild<TDBGrid *>(); grid && grid->isVisible())
            grid->setFocus(Qt::OtherFocusReason);
}

void TfrmPadraoGrid::sbtVerificarClick()
{
    // The base screen has nothing to reload.
    QApplication::beep();
}

void TfrmPadraoGrid::sbtCancelarClick()
{
    RecordDataSet()->Cancel();
}

void TfrmPadraoGrid::sbtConfirmarClick()
{
    RecordDataSet()->Post();
    FocusPageGrid();
}

void TfrmPadraoGrid::sbtImprimirClick()
{
    QMessageBox::information(this, windowTitle(),
                             QStringLiteral("Esta tela não tem relatório disponível."));
}

void TfrmPadraoGrid::sbtAjudaClick()
{
    QMessageBox::information(this, QStringLiteral("Ajuda"),
                             QStringLiteral("%1 - %2").arg(lblCodTela->text(), windowTitle()));
}

void TfrmPadraoGrid::sbtFecharClick()
{
    close();
}

bool TfrmPadraoGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pageStack && event->type() == QEvent::ChildAdded) {
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child->isWidgetType())
            child->installEventFilter(this);
    } else if (event->type() == QEvent::Hide && watched->parent() == m_pageStack &&
               watched->isWidgetType()) {
        // A page left for another one (hidden itself, not with the form): Qt
        // would pass the focus down the focus chain, out of the page control
        // into a panel whose OnEnter may act in the middle of the switch. The
        // tab bar holds it until the new page takes it.
        auto *page = static_cast<QWidget *>(watched);
        QWidget *focus = QApplication::focusWidget();
        if (page->isHidden() && focus && page->isAncestorOf(focus) && pgcPadrao->isVisible())
            pgcPadrao->tabBar()->setFocus(Qt::OtherFocusReason);
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmPadraoGrid::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && isWindow() && m_created)
        kvrGuard([this]() { FormActivate(); });
    return QWidget::event(event);
}

void TfrmPadraoGrid::closeEvent(QCloseEvent *event)
{
    TCloseAction action = TCloseAction::caFree;
    if (!kvrGuard([this, &action]() { FormClose(action); }))
        action = TCloseAction::caNone;
    switch (action) {
    case TCloseAction::caNone:
        event->ignore();
        return;
    case TCloseAction::caHide:
        event->ignore();
        FrameWindow()->hide();
        return;
    case TCloseAction::caMinimize:
        event->ignore();
        FrameWindow()->showMinimized();
        return;
    case TCloseAction::caFree:
        break;
    }
    // The MDI frame follows its form (see RegisterApplicationForm).
    setAttribute(Qt::WA_DeleteOnClose, true);
    event->accept();
}
