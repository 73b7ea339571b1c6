// The module's launch entries, reached as the host reaches them: through the
// exported C symbols of the library.
#include "kit/host/HostServices.h"
#include "tests/kit/ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include <dlfcn.h>

#include <functional>

#include <gtest/gtest.h>

namespace {

using Entry = void (*)();

class Module
{
public:
    Module()
    {
        const QByteArray path = qgetenv("KVR_MODULES_DIR") + "/libkvr51400.so";
        m_handle = dlopen(path.constData(), RTLD_NOW);
        EXPECT_NE(m_handle, nullptr) << dlerror();
    }
    ~Module()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    void *symbol(const char *name) const
    {
        void *address = m_handle ? dlsym(m_handle, name) : nullptr;
        EXPECT_NE(address, nullptr) << name;
        return address;
    }
    void call(const char *entry) const { reinterpret_cast<Entry>(symbol(entry))(); }
    QWidget *&frmConsisteFiscal() const
    {
        return *static_cast<QWidget **>(symbol("frmConsisteFiscal"));
    }
    QWidget *&frmCadAuto() const { return *static_cast<QWidget **>(symbol("frmCadAuto")); }
    QString &stListaConsiste() const { return *static_cast<QString *>(symbol("stListaConsiste")); }

private:
    void *m_handle = nullptr;
};

// Each test runs in a host-like setting: a main form with an MDI area, the
// module initialised, and everything the module left open destroyed after.
class Lifecycle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_mainForm.setCentralWidget(m_mdiArea);
        m_mainForm.resize(1280, 800);
        m_mainForm.show();
        SetMainForm(&m_mainForm, m_mdiArea);
        // No server runs here: the connection fails quietly and is not used.
        SetWebAddress(QStringLiteral("127.0.0.1"), 1);
        m_module.call("Initialize");
    }
    void TearDown() override
    {
        DestroyApplicationForms();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_module.call("Finalize");
        SetMainForm(nullptr, nullptr);
        SetScreenCursor(0);
    }

    QLineEdit *edit(QWidget *form, const char *name) const
    {
        auto *found = form ? form->findChild<QLineEdit *>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    int maintenanceScreens() const
    {
        int count = 0;
        for (QWidget *widget : QApplication::allWidgets()) {
            if (widget->inherits("TfrmConsisteFiscal"))
                ++count;
        }
        return count;
    }

    // Opens the automatic screen modally; `whileOpen` runs from the event
    // loop while it is shown, then the user closes it.
    void openAutomatic(const std::function<void(QWidget *dialog)> &whileOpen)
    {
        bool ran = false;
        std::function<void()> poll;
        poll = [&]() {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible()) {
                QTimer::singleShot(5, poll);
                return;
            }
            ran = true;
            whileOpen(dialog);
            dialog->close();
        };
        QTimer::singleShot(0, poll);
        m_module.call("criaCadAuto");
        EXPECT_TRUE(ran);
    }

    Module m_module;
    QMainWindow m_mainForm;
    QMdiArea *m_mdiArea = new QMdiArea;
};

TEST_F(Lifecycle, VariablesAreEmptyAfterLoading)
{
    EXPECT_EQ(m_module.frmConsisteFiscal(), nullptr);
    EXPECT_EQ(m_module.frmCadAuto(), nullptr);
    EXPECT_TRUE(m_module.stListaConsiste().isEmpty());
}

TEST_F(Lifecycle, IniProcTwiceMakesOneScreenWithTheFocusOnTheTaxCode)
{
    m_module.call("IniProc");
    QPointer<QWidget> first = m_module.frmConsisteFiscal();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->objectName(), QStringLiteral("frmConsisteFiscal"));
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Consistências Fiscais"));
    // An MDI child of the main form.
    ASSERT_EQ(m_mdiArea->subWindowList().size(), 1);
    EXPECT_EQ(m_mdiArea->subWindowList().first()->widget(), first.data());
    EXPECT_TRUE(first->isVisible());

    QLineEdit *tax = edit(first, "edtCdImposto");
    tax->setText(QStringLiteral("01"));
    first->findChild<QLineEdit *>(QStringLiteral("edtNmImposto"))->setFocus();

    m_module.call("IniProc");
    EXPECT_EQ(m_module.frmConsisteFiscal(), first.data());
    EXPECT_EQ(maintenanceScreens(), 1);
    EXPECT_EQ(m_mdiArea->subWindowList().size(), 1);
    EXPECT_EQ(first->focusWidget(), tax);
    EXPECT_EQ(tax->text(), QStringLiteral("01")); // the screen keeps its tax
    EXPECT_EQ(static_cast<QWidget *>(m_mdiArea->activeSubWindow()), FormWindow(first));
}

class WindowStateAtStart : public Lifecycle, public ::testing::WithParamInterface<Qt::WindowState>
{
};

TEST_P(WindowStateAtStart, IniProcShowsTheScreenAtNormalSize)
{
    m_module.call("IniProc");
    QWidget *form = m_module.frmConsisteFiscal();
    ASSERT_NE(form, nullptr);
    QWidget *window = FormWindow(form);
    window->setWindowState(GetParam());
    QCoreApplication::processEvents();
    ASSERT_TRUE(window->windowState() & GetParam());
    m_module.call("IniProc");
    EXPECT_EQ(window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized),
              Qt::WindowNoState);
    EXPECT_EQ(form->focusWidget(), edit(form, "edtCdImposto"));
}

INSTANTIATE_TEST_SUITE_P(States, WindowStateAtStart,
                         ::testing::Values(Qt::WindowMinimized, Qt::WindowMaximized));

TEST_F(Lifecycle, ClosingDestroysTheScreenAndTheNextIniProcCreatesANewOne)
{
    m_module.call("IniProc");
    QPointer<QWidget> first = m_module.frmConsisteFiscal();
    ASSERT_NE(first, nullptr);
    edit(first, "edtCdImposto")->setText(QStringLiteral("01"));
    FormWindow(first)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(m_module.frmConsisteFiscal(), nullptr);
    EXPECT_TRUE(m_mdiArea->subWindowList().isEmpty());

    m_module.call("IniProc");
    QWidget *second = m_module.frmConsisteFiscal();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(maintenanceScreens(), 1);
    EXPECT_EQ(edit(second, "edtCdImposto")->text(), QString());
}

TEST_F(Lifecycle, ScreenPointerIsBusyWhileTheScreenIsCreatedThenDefault)
{
    // The pointer code seen when the new screen is first shown.
    struct ShowWatcher : QObject
    {
        int codeAtShow = 1;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Show &&
                watched->objectName() == QLatin1String("frmConsisteFiscal") && codeAtShow == 1)
                codeAtShow = ScreenCursor();
            return false;
        }
    } watcher;
    qApp->installEventFilter(&watcher);
    m_module.call("IniProc");
    qApp->removeEventFilter(&watcher);
    EXPECT_EQ(watcher.codeAtShow, -11);
    EXPECT_EQ(ScreenCursor(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(Lifecycle, AutomaticScreenIsOneInstanceKeptBetweenOpenings)
{
    m_module.call("IniProc");
    QWidget *maintenance = m_module.frmConsisteFiscal();
    ASSERT_NE(maintenance, nullptr);
    edit(maintenance, "edtCdImposto")->setText(QStringLiteral("01"));

    QPointer<QWidget> firstDialog;
    int pointerWhileOpen = 1;
    bool overriddenWhileOpen = true;
    openAutomatic([&](QWidget *dialog) {
        firstDialog = dialog;
        pointerWhileOpen = ScreenCursor();
        overriddenWhileOpen = QGuiApplication::overrideCursor() != nullptr;
        EXPECT_EQ(dialog->objectName(), QStringLiteral("frmCadAuto"));
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Cadastramento automático"));
        // Copied from the maintenance screen when created.
        EXPECT_EQ(edit(dialog, "edtCdImposto")->text(), QStringLiteral("01"));
        edit(dialog, "edtCdImposto")->setText(QStringLiteral("50"));
        m_module.stListaConsiste() = QStringLiteral("0000000003,0000000007");
    });
    EXPECT_EQ(pointerWhileOpen, 0);
    EXPECT_FALSE(overriddenWhileOpen);
    EXPECT_EQ(ScreenCursor(), 0);
    ASSERT_FALSE(firstDialog.isNull()); // closing only hides it
    EXPECT_FALSE(firstDialog->isVisible());
    EXPECT_EQ(m_module.frmCadAuto(), firstDialog.data());

    edit(maintenance, "edtCdImposto")->setText(QStringLiteral("60"));
    openAutomatic([&](QWidget *dialog) {
        EXPECT_EQ(dialog, firstDialog.data());
        // Not copied again: the value of the first use is still there.
        EXPECT_EQ(edit(dialog, "edtCdImposto")->text(), QStringLiteral("50"));
        EXPECT_EQ(m_module.stListaConsiste(), QStringLiteral("0000000003,0000000007"));
    });
    int dialogs = 0;
    for (QWidget *widget : QApplication::allWidgets())
        dialogs += widget->inherits("TfrmCadAuto") ? 1 : 0;
    EXPECT_EQ(dialogs, 1);
}

TEST_F(Lifecycle, AutomaticButtonOpensTheAutomaticScreen)
{
    m_module.call("IniProc");
    QWidget *maintenance = m_module.frmConsisteFiscal();
    ASSERT_NE(maintenance, nullptr);
    auto *button = maintenance->findChild<QAbstractButton *>(QStringLiteral("sbtAutomatico"));
    ASSERT_NE(button, nullptr);
    bool opened = false;
    OnNextModal<QWidget>([&](QWidget *dialog) {
        opened = dialog->objectName() == QLatin1String("frmCadAuto");
        dialog->close();
    });
    button->setEnabled(true);
    button->click();
    EXPECT_TRUE(opened);
    EXPECT_NE(m_module.frmCadAuto(), nullptr);
}

class PlainEntry : public Lifecycle, public ::testing::WithParamInterface<const char *>
{
};

// Every plain C entry returns to the host, never by an exception, with the
// default pointer.
TEST_P(PlainEntry, ReturnsWithTheDefaultPointer)
{
    EXPECT_NO_THROW(m_module.call(GetParam()));
    EXPECT_EQ(ScreenCursor(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Entries, PlainEntry,
                         ::testing::Values("Initialize", "IniProc", "CriaConsistencia",
                                           "criaCadAuto", "Finalize"));

TEST_F(Lifecycle, FinalizeReleasesThePickedRules)
{
    m_module.stListaConsiste() = QStringLiteral("0000000001");
    m_module.call("Finalize");
    EXPECT_TRUE(m_module.stListaConsiste().isEmpty());
    m_module.call("Initialize");
}

} // namespace
