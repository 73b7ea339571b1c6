#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/forms/TfrmPadraoGrid.h"
#include "kit/forms/TfrmRotiGeral.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/HostServices.h"
#include "kit/widgets/TButtonFlat.h"
#include "kit/widgets/TDBNavigator.h"
#include "kit/widgets/TFocusEvents.h"
#include "tests/kit/ModalAnswer.h"

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

void ProcessDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QVariantMap RulePacket(int rows)
{
    QVariantList list;
    for (int i = 1; i <= rows; ++i)
        list.append(QVariant(QVariantList{QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0')),
                                          QStringLiteral("5102")}));
    return {{QStringLiteral("fields"),
             QVariantList{QVariantMap{{QStringLiteral("name"), QStringLiteral("NRSEQCONSISTE")},
                                      {QStringLiteral("size"), 10}},
                          QVariantMap{{QStringLiteral("name"), QStringLiteral("CDFISCOPER")},
                                      {QStringLiteral("size"), 4}}}},
            {QStringLiteral("rows"), list}};
}

// A maintenance screen as modules write them: own controls built in the
// constructor, its dataset bound to dtsPadrao, handlers replaced by name.
class TfrmTeste final : public TfrmPadraoGrid
{
public:
    explicit TfrmTeste(QStringList *log) : m_log(log)
    {
        setObjectName(QStringLiteral("frmTeste"));
        setWindowTitle(QStringLiteral("Tela de teste"));
        cdsTeste = new TClientDataSet(this);
        cdsTeste->setObjectName(QStringLiteral("cdsTeste"));
        cdsTeste->AddField(QStringLiteral("NRSEQCONSISTE"), 10);
        cdsTeste->AddField(QStringLiteral("CDFISCOPER"), 4);
        dtsPadrao->SetDataSet(cdsTeste); // before the screen's own controls exist
        sbtAutomatico = new TButtonFlat(panMenu);
        sbtAutomatico->setObjectName(QStringLiteral("sbtAutomatico"));
        sbtAutomatico->move(236, 4);
        sbtAutomatico->setEnabled(false);
        edtCdImposto = new QLineEdit(this);
        edtCdImposto->setObjectName(QStringLiteral("edtCdImposto"));
        AddTopPanel(edtCdImposto);
    }

    TClientDataSet *cdsTeste;
    TButtonFlat *sbtAutomatico;
    QLineEdit *edtCdImposto;
    TCloseAction closeAction = TCloseAction::caFree;
    bool replaceVerify = false;

protected:
    void FormCreate() override
    {
        TfrmPadraoGrid::FormCreate();
        m_log->append(QStringLiteral("FormCreate:%1").arg(edtCdImposto->objectName()));
        lblCodTela->setText(QStringLiteral("KVR99999"));
    }
    void FormActivate() override { m_log->append(QStringLiteral("FormActivate:") + objectName()); }
    void FormClose(TCloseAction &Action) override
    {
        m_log->append(QStringLiteral("FormClose"));
        TfrmPadraoGrid::FormClose(Action);
        Action = closeAction;
    }
    void dtsPadraoStateChange() override
    {
        TfrmPadraoGrid::dtsPadraoStateChange();
        m_log->append(QStringLiteral("state:%1").arg(edtCdImposto->objectName()));
        sbtIncluir->setEnabled(false);
    }
    void sbtVerificarClick() override
    {
        if (!replaceVerify) {
            TfrmPadraoGrid::sbtVerificarClick();
            return;
        }
        m_log->append(QStringLiteral("verificar"));
        cdsTeste->SetData(RulePacket(2));
    }

private:
    QStringList *m_log;
};

class GridForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_form = TfrmPadraoGrid::Create<TfrmTeste>(&m_log);
        m_form->show();
    }
    void TearDown() override
    {
        delete m_form.data();
        ProcessDeletes();
    }

    template <typename T> T *Child(const char *name) const
    {
        return m_form->findChild<T *>(QString::fromLatin1(name));
    }
    TButtonFlat *Button(const char *name) const { return Child<TButtonFlat>(name); }
    QAction *Item(const char *name) const { return Child<QAction>(name); }

    QStringList m_log;
    QPointer<TfrmTeste> m_form;
};

TEST_F(GridForm, EveryInheritedComponentIsFoundByName)
{
    QFrame *panMenu = Child<QFrame>("panMenu");
    ASSERT_NE(panMenu, nullptr);
    for (const char *name :
         {"sbtIncluir", "sbtAlterar", "sbtExcluir", "sbtProcurar", "sbtVerificar", "sbtCancelar",
          "sbtConfirmar", "sbtImprimir", "sbtAjuda", "sbtFechar"}) {
        TButtonFlat *button = Button(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->parentWidget(), panMenu) << name;
    }
    for (const char *name : {"mnuListagem", "mnuConfigImpressora", "mnuAlterar", "mnuExcluir",
                             "mnuProcurar", "mnuVerificar", "mnuCancelar", "mnuConfirmar"})
        EXPECT_NE(Item(name), nullptr) << name;
    ASSERT_NE(Child<QLabel>("lblCodTela"), nullptr);
    EXPECT_EQ(Child<QLabel>("lblCodTela")->text(), QStringLiteral("KVR99999"));
    auto *pages = Child<QTabWidget>("pgcPadrao");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->tabPosition(), QTabWidget::South);
    QWidget *page = Child<QWidget>("tshPadrao");
    ASSERT_NE(page, nullptr);
    EXPECT_GE(pages->indexOf(page), 0);
    QFrame *gridPanel = Child<QFrame>("panDbgPadrao");
    ASSERT_NE(gridPanel, nullptr);
    EXPECT_TRUE(page->isAncestorOf(gridPanel));
    ASSERT_NE(Child<QScrollArea>("scbFolhaDados"), nullptr);
    auto *grid = Child<TDBGrid>("dbgPadrao");
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(gridPanel->isAncestorOf(grid));
    auto *source = Child<TDataSource>("dtsPadrao");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(grid->DataSource(), source);
    QFrame *navPanel = Child<QFrame>("panNavigator");
    ASSERT_NE(navPanel, nullptr);
    auto *navigator = Child<TDBNavigator>("dbnPadrao");
    ASSERT_NE(navigator, nullptr);
    EXPECT_TRUE(navPanel->isAncestorOf(navigator));
    EXPECT_EQ(navigator->DataSource(), source);
    EXPECT_NE(Child<TMessages>("msgPadrao"), nullptr);
}

TEST_F(GridForm, FormCreateRunsOnceOnTheCompleteScreen)
{
    // The binding in the constructor did not reach the screen's handler.
    ASSERT_FALSE(m_log.isEmpty());
    EXPECT_EQ(m_log.first(), QStringLiteral("state:edtCdImposto"))
        << "base FormCreate sets the tool bar through the screen's handler";
    EXPECT_EQ(m_log.count(QStringLiteral("FormCreate:edtCdImposto")), 1);
    m_form->Initialize();
    EXPECT_EQ(m_log.count(QStringLiteral("FormCreate:edtCdImposto")), 1);
}

TEST_F(GridForm, ScreenButtonsAreEnabledRecordButtonsFollowTheState)
{
    EXPECT_TRUE(m_form->sbtAutomatico->isEnabled());
    EXPECT_TRUE(Button("sbtAjuda")->isEnabled());
    EXPECT_TRUE(Button("sbtFechar")->isEnabled());
    for (const char *name : {"sbtIncluir", "sbtAlterar", "sbtExcluir", "sbtProcurar",
                             "sbtVerificar", "sbtCancelar", "sbtConfirmar", "sbtImprimir"})
        EXPECT_FALSE(Button(name)->isEnabled()) << name << " with no rows loaded";
}

struct StateCase
{
    const char *name;
    int rows;
    bool edit;
    // Alterar, Excluir, Procurar, Verificar, Cancelar, Confirmar
    bool enabled[6];
};

class GridFormStates : public GridForm, public ::testing::WithParamInterface<StateCase>
{
};

TEST_P(GridFormStates, ButtonsAndMenuItems)
{
    const StateCase &c = GetParam();
    m_form->cdsTeste->SetData(RulePacket(c.rows));
    if (c.edit)
        m_form->cdsTeste->Edit();
    const char *buttons[] = {"sbtAlterar",   "sbtExcluir",  "sbtProcurar",
                             "sbtVerificar", "sbtCancelar", "sbtConfirmar"};
    const char *items[] = {"mnuAlterar",   "mnuExcluir",  "mnuProcurar",
                           "mnuVerificar", "mnuCancelar", "mnuConfirmar"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Button(buttons[i])->isEnabled(), c.enabled[i]) << c.name << " " << buttons[i];
        EXPECT_EQ(Item(items[i])->isEnabled(), c.enabled[i]) << c.name << " " << items[i];
    }
    EXPECT_FALSE(Button("sbtIncluir")->isEnabled()) << "the screen's handler ran last";
}

INSTANTIATE_TEST_SUITE_P(
    States, GridFormStates,
    ::testing::Values(
        StateCase{"browse with rows", 3, false, {true, true, true, true, false, false}},
        StateCase{"browse empty", 0, false, {false, false, false, true, false, false}},
        StateCase{"edit", 3, true, {false, false, false, false, true, true}}));

TEST_F(GridForm, RecordButtonsActOnTheDataset)
{
    TClientDataSet *cds = m_form->cdsTeste;
    cds->SetData(RulePacket(3));
    Button("sbtAlterar")->Click();
    EXPECT_EQ(cds->state(), TClientDataSet::State::Edit);
    cds->FieldByName(QStringLiteral("CDFISCOPER"))->SetAsString(QStringLiteral("6102"));
    Button("sbtConfirmar")->Click();
    EXPECT_EQ(cds->state(), TClientDataSet::State::Browse);
    EXPECT_EQ(cds->FieldByName(QStringLiteral("CDFISCOPER"))->AsString(), QStringLiteral("6102"));
    EXPECT_EQ(cds->ChangeCount(), 1);

    Item("mnuAlterar")->trigger();
    EXPECT_EQ(cds->state(), TClientDataSet::State::Edit);
    cds->FieldByName(QStringLiteral("CDFISCOPER"))->SetAsString(QStringLiteral("1102"));
    Item("mnuCancelar")->trigger();
    EXPECT_EQ(cds->state(), TClientDataSet::State::Browse);
    EXPECT_EQ(cds->FieldByName(QStringLiteral("CDFISCOPER"))->AsString(), QStringLiteral("6102"));

    Button("sbtIncluir")->setEnabled(true);
    Button("sbtIncluir")->Click();
    EXPECT_EQ(cds->state(), TClientDataSet::State::Insert);
}

TEST_F(GridForm, RefusedEditStaysInBrowse)
{
    TClientDataSet *cds = m_form->cdsTeste;
    cds->SetData(RulePacket(2));
    cds->BeforeEdit = [](TClientDataSet *) { Abort(); };
    ModalAnswer answer;
    Button("sbtAlterar")->Click();
    EXPECT_EQ(cds->state(), TClientDataSet::State::Browse);
    EXPECT_TRUE(answer.Texts().isEmpty()) << "the guard refuses silently";
}

TEST_F(GridForm, DeleteAsksForConfirmation)
{
    TClientDataSet *cds = m_form->cdsTeste;
    cds->SetData(RulePacket(3));
    {
        ModalAnswer no(QMessageBox::No);
        Button("sbtExcluir")->Click();
        EXPECT_EQ(no.Texts(), QStringList{QStringLiteral("Confirma exclusão?")});
        EXPECT_EQ(cds->RecordCount(), 3);
    }
    {
        ModalAnswer yes(QMessageBox::Yes);
        Item("mnuExcluir")->trigger();
        EXPECT_EQ(yes.Texts(), QStringList{QStringLiteral("Confirma exclusão?")});
        EXPECT_EQ(cds->RecordCount(), 2);
        EXPECT_EQ(cds->ChangeCount(), 1);
    }
}

TEST_F(GridForm, ScreenHandlerReplacesTheBaseOne)
{
    m_form->replaceVerify = true;
    m_form->cdsTeste->SetData(RulePacket(5));
    Button("sbtVerificar")->Click();
    Item("mnuVerificar")->trigger();
    EXPECT_EQ(m_log.count(QStringLiteral("verificar")), 2);
    EXPECT_EQ(m_form->cdsTeste->RecordCount(), 2);
}

TEST_F(GridForm, SearchButtonMovesToThePickedRow)
{
    m_form->cdsTeste->SetData(RulePacket(4));
    OnNextModal<QDialog>([](QDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tela de teste"));
        auto *search = dialog->findChild<QLineEdit *>(QStringLiteral("edtPesquisa"));
        ASSERT_NE(search, nullptr);
        QTest::keyClicks(search, QStringLiteral("0000000003"));
        QTest::keyClick(search, Qt::Key_Return);
    });
    Button("sbtProcurar")->Click();
    EXPECT_EQ(m_form->cdsTeste->RecNo(), 2);
}

TEST_F(GridForm, NavigatorMovesTheCurrentRow)
{
    m_form->cdsTeste->SetData(RulePacket(4));
    auto *navigator = Child<TDBNavigator>("dbnPadrao");
    EXPECT_FALSE(navigator->FirstButton()->isEnabled());
    navigator->NextButton()->click();
    EXPECT_EQ(m_form->cdsTeste->RecNo(), 1);
    navigator->LastButton()->click();
    EXPECT_EQ(m_form->cdsTeste->RecNo(), 3);
    EXPECT_FALSE(navigator->NextButton()->isEnabled());
    navigator->PriorButton()->click();
    EXPECT_EQ(m_form->cdsTeste->RecNo(), 2);
    navigator->FirstButton()->click();
    EXPECT_EQ(m_form->cdsTeste->RecNo(), 0);
}

TEST_F(GridForm, ClosingDestroysTheScreen)
{
    Button("sbtFechar")->Click();
    ProcessDeletes();
    EXPECT_TRUE(m_form.isNull());
    EXPECT_TRUE(m_log.contains(QStringLiteral("FormClose")));
}

TEST_F(GridForm, CloseActionsChosenByTheScreen)
{
    m_form->closeAction = TCloseAction::caNone;
    EXPECT_FALSE(m_form->close());
    ProcessDeletes();
    ASSERT_FALSE(m_form.isNull());
    EXPECT_TRUE(m_form->isVisible());
    m_form->closeAction = TCloseAction::caHide;
    m_form->close();
    ProcessDeletes();
    ASSERT_FALSE(m_form.isNull());
    EXPECT_FALSE(m_form->isVisible());
    EXPECT_EQ(m_log.count(QStringLiteral("FormClose")), 2);
}

TEST(GridFormMdi, ChildOfTheMainFormAreaAndDestroyedWithItsFrame)
{
    QMainWindow main;
    auto *area = new QMdiArea(&main);
    main.setCentralWidget(area);
    main.show();
    SetMainForm(&main, area);
    main.resize(1400, 900);
    QStringList log;
    auto *created = new TfrmTeste(&log);
    created->resize(1112, 471); // the screen's own size, set when it is built
    created->Initialize();
    QPointer<TfrmTeste> form = created;
    form->FrameWindow()->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->size(), QSize(1112, 471)) << "the frame fits around the screen's size";
    ASSERT_EQ(area->subWindowList().size(), 1);
    QPointer<QMdiSubWindow> frame = area->subWindowList().first();
    EXPECT_EQ(frame->widget(), form.data());
    EXPECT_EQ(form->FrameWindow(), frame.data());

    frame->close();
    ProcessDeletes();
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(area->subWindowList().isEmpty());

    // Activation runs when another child was active before.
    QStringList activations;
    QPointer<TfrmTeste> first = TfrmPadraoGrid::Create<TfrmTeste>(&activations);
    first->setObjectName(QStringLiteral("primeira"));
    QPointer<TfrmTeste> second = TfrmPadraoGrid::Create<TfrmTeste>(&activations);
    second->setObjectName(QStringLiteral("segunda"));
    first->FrameWindow()->show();
    second->FrameWindow()->show();
    activations.clear();
    area->setActiveSubWindow(static_cast<QMdiSubWindow *>(first->FrameWindow()));
    area->setActiveSubWindow(static_cast<QMdiSubWindow *>(first->FrameWindow()));
    area->setActiveSubWindow(static_cast<QMdiSubWindow *>(second->FrameWindow()));
    area->setActiveSubWindow(static_cast<QMdiSubWindow *>(first->FrameWindow()));
    EXPECT_EQ(activations.filter(QStringLiteral("FormActivate")),
              (QStringList{QStringLiteral("FormActivate:primeira"),
                           QStringLiteral("FormActivate:segunda"),
                           QStringLiteral("FormActivate:primeira")}));
    delete first.data();
    delete second.data();
    ProcessDeletes();

    // Closed from its own button, the frame goes too.
    form = TfrmPadraoGrid::Create<TfrmTeste>(&log);
    form->show();
    frame = area->subWindowList().first();
    form->sbtFechar->Click();
    ProcessDeletes();
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(frame.isNull());
    SetMainForm(nullptr, nullptr);
}

// A screen with a panel above the page control whose enter closes the rules,
// and a second page with its own grid, as the maintenance screens build them.
class TfrmPaginas final : public TfrmPadraoGrid
{
public:
    explicit TfrmPaginas(bool panelFirst)
    {
        cdsTeste = new TClientDataSet(this);
        cdsTeste->AddField(QStringLiteral("NRSEQCONSISTE"), 10);
        cdsTeste->AddField(QStringLiteral("CDFISCOPER"), 4);
        dtsPadrao->SetDataSet(cdsTeste);
        // The focus chain follows creation: both orders are screens' orders.
        if (panelFirst) {
            addPanel();
            addPage();
        } else {
            addPage();
            addPanel();
        }
        TFocusEvents::Of(panImposto)->OnEnter = [this](QObject *) {
            enters << QApplication::focusWidget();
            cdsTeste->Close();
        };
    }

    TClientDataSet *cdsTeste;
    QFrame *panImposto = nullptr;
    QLineEdit *edtCdImposto = nullptr;
    QWidget *tshBloqueados = nullptr;
    TDBGrid *dbgBloqueados = nullptr;
    QList<QWidget *> enters;

private:
    void addPanel()
    {
        panImposto = new QFrame(this);
        auto *layout = new QHBoxLayout(panImposto);
        edtCdImposto = new QLineEdit(panImposto);
        layout->addWidget(edtCdImposto);
        AddTopPanel(panImposto);
    }
    void addPage()
    {
        tshBloqueados = new QWidget(pgcPadrao);
        auto *layout = new QVBoxLayout(tshBloqueados);
        dbgBloqueados = new TDBGrid(tshBloqueados);
        dbgBloqueados->SetDataSource(dtsPadrao);
        layout->addWidget(dbgBloqueados);
        pgcPadrao->addTab(tshBloqueados, QStringLiteral("&Bloqueados"));
    }
};

TEST(GridFormPages, FocusNeverLeavesThePageControl)
{
    enum class Switch { SetCurrentIndex, TabClick, Mnemonic, CtrlTabOnTabBar };
    const struct
    {
        const char *name;
        bool panelFirst;
        int from;
        Switch how;
    } cases[] = {{"PanelFirstFromBase", true, 0, Switch::SetCurrentIndex},
                 {"PanelFirstFromSecond", true, 1, Switch::SetCurrentIndex},
                 {"PageFirstFromBase", false, 0, Switch::SetCurrentIndex},
                 {"PageFirstFromSecond", false, 1, Switch::SetCurrentIndex},
                 {"TabClickFromBase", true, 0, Switch::TabClick},
                 {"TabClickFromSecond", false, 1, Switch::TabClick},
                 {"MnemonicFromBase", true, 0, Switch::Mnemonic},
                 {"CtrlTabOnTheTabBar", true, 1, Switch::CtrlTabOnTabBar}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<TfrmPaginas> form(TfrmPadraoGrid::Create<TfrmPaginas>(c.panelFirst));
        form->resize(800, 500);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->cdsTeste->SetData(RulePacket(3));
        QTabWidget *pages = form->pgcPadrao;
        TDBGrid *grids[] = {form->dbgPadrao, form->dbgBloqueados};
        pages->setCurrentIndex(c.from);
        QWidget *start = c.how == Switch::CtrlTabOnTabBar ? static_cast<QWidget *>(pages->tabBar())
                                                          : grids[c.from];
        start->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), start);
        form->enters.clear();
        QList<QWidget *> path; // every widget the focus passes through
        const QMetaObject::Connection watch = QObject::connect(
            qApp, &QApplication::focusChanged, [&path](QWidget *, QWidget *now) { path << now; });

        const int to = 1 - c.from;
        switch (c.how) {
        case Switch::SetCurrentIndex:
            pages->setCurrentIndex(to);
            break;
        case Switch::TabClick:
            QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {},
                              pages->tabBar()->tabRect(to).center());
            break;
        case Switch::Mnemonic:
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::AltModifier);
            break;
        case Switch::CtrlTabOnTabBar:
            QTest::keyClick(pages->tabBar(), Qt::Key_Tab, Qt::ControlModifier);
            break;
        }
        QCoreApplication::processEvents();
        QObject::disconnect(watch);

        EXPECT_EQ(pages->currentIndex(), to);
        QWidget *focus = QApplication::focusWidget();
        EXPECT_TRUE(form->enters.isEmpty()) << "the panel's enter ran";
        EXPECT_TRUE(form->cdsTeste->Active());
        EXPECT_FALSE(form->panImposto->isAncestorOf(focus));
        EXPECT_EQ(focus, c.how == Switch::CtrlTabOnTabBar ? start : grids[to]);
        for (QWidget *passed : path)
            EXPECT_TRUE(!passed || pages->isAncestorOf(passed))
                << "focus passed through " << passed->metaObject()->className();
    }
}

// A routine dialog as modules write it: kept between openings.
class TfrmRotina final : public TfrmRotiGeral
{
public:
    explicit TfrmRotina(QStringList *log) : m_log(log)
    {
        setObjectName(QStringLiteral("frmRotina"));
        edtValor = new QLineEdit(grbDadosRel);
        edtValor->setObjectName(QStringLiteral("edtValor"));
    }

    QLineEdit *edtValor;
    TCloseAction closeAction = TCloseAction::caHide;

protected:
    void FormCreate() override
    {
        TfrmRotiGeral::FormCreate();
        m_log->append(QStringLiteral("FormCreate:%1").arg(edtValor->objectName()));
        lblCodTela->setText(QStringLiteral("KVR99998"));
    }
    void FormShow() override { m_log->append(QStringLiteral("FormShow")); }
    void FormClose(TCloseAction &Action) override
    {
        m_log->append(QStringLiteral("FormClose"));
        Action = closeAction;
    }

private:
    QStringList *m_log;
};

TEST(RoutineDialog, ComponentsByNameAndCreation)
{
    QStringList log;
    std::unique_ptr<TfrmRotina> dialog(TfrmRotiGeral::Create<TfrmRotina>(&log));
    EXPECT_EQ(log, QStringList{QStringLiteral("FormCreate:edtValor")});
    EXPECT_TRUE(dialog->isModal());
    auto *label = dialog->findChild<QLabel *>(QStringLiteral("lblCodTela"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("KVR99998"));
    EXPECT_NE(dialog->findChild<QGroupBox *>(QStringLiteral("grbDadosRel")), nullptr);
    auto *menu = dialog->findChild<QFrame *>(QStringLiteral("panMenu"));
    ASSERT_NE(menu, nullptr);
    auto *buttons = menu->findChild<QFrame *>(QStringLiteral("panBotoes"));
    ASSERT_NE(buttons, nullptr);
    auto *confirm = buttons->findChild<TButtonFlat *>(QStringLiteral("sbtConfirma"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_NE(dialog->findChild<TMessages *>(QStringLiteral("msgPadrao")), nullptr);
}

TEST(RoutineDialog, HiddenOnCloseAndKeepsItsStateBetweenOpenings)
{
    QStringList log;
    QPointer<TfrmRotina> dialog = TfrmRotiGeral::Create<TfrmRotina>(&log);
    OnNextModal<QDialog>([](QDialog *window) {
        auto *d = static_cast<TfrmRotina *>(window);
        QTest::keyClicks(d->edtValor, QStringLiteral("0000000007"));
        QTest::keyClick(d, Qt::Key_Escape);
    });
    dialog->exec();
    ProcessDeletes();
    ASSERT_FALSE(dialog.isNull());
    EXPECT_FALSE(dialog->isVisible());
    OnNextModal<QDialog>([](QDialog *window) {
        auto *d = static_cast<TfrmRotina *>(window);
        EXPECT_EQ(d->edtValor->text(), QStringLiteral("0000000007"));
        d->sbtConfirma->Click(); // base confirm ends the dialog
    });
    EXPECT_EQ(dialog->exec(), QDialog::Accepted);
    EXPECT_EQ(log, (QStringList{QStringLiteral("FormCreate:edtValor"), QStringLiteral("FormShow"),
                                QStringLiteral("FormClose"), QStringLiteral("FormShow"),
                                QStringLiteral("FormClose")}));
    delete dialog.data();
}

TEST(RoutineDialog, CaNoneKeepsItOpenCaFreeDestroysIt)
{
    QStringList log;
    QPointer<TfrmRotina> dialog = TfrmRotiGeral::Create<TfrmRotina>(&log);
    dialog->closeAction = TCloseAction::caNone;
    OnNextModal<QDialog>([](QDialog *window) {
        auto *d = static_cast<TfrmRotina *>(window);
        d->close();
        EXPECT_TRUE(d->isVisible()) << "caNone refuses";
        d->closeAction = TCloseAction::caFree;
        d->sbtFechar->Click();
    });
    dialog->exec();
    ProcessDeletes();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(log.count(QStringLiteral("FormClose")), 2);
}

} // namespace
