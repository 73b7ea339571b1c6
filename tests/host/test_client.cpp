// The host client with the real module against a real application server:
// in-process through the main window, and as the kvr-client program.
#include "host/MainWindow.h"
#include "kit/host/HostServices.h"
#include "kit/host/ModuleLoader.h"
#include "kit/net/TNetConnection.h"
#include "tests/common/AppServerProcess.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kModule = QStringLiteral("KVR51400");

QString env(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

QWidget *maintenanceScreen(QMdiArea *area)
{
    for (QMdiSubWindow *window : area->subWindowList()) {
        if (window->widget() &&
            window->widget()->objectName() == QLatin1String("frmConsisteFiscal"))
            return window->widget();
    }
    return nullptr;
}

class Client : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Start()) << m_server.Error().toStdString();
        SetWebAddress(m_server.Host(), m_server.Port());
        SetModulesDir(env("KVR_MODULES_DIR"));
    }
    void TearDown() override
    {
        ModuleLoader::Instance().UnloadAll();
        DestroyApplicationForms();
        SetModulesDir(QString());
    }

    AppServerProcess m_server;
};

TEST_F(Client, OpensTheMaintenanceScreenAsAnMdiChildConnectedToTheServer)
{
    MainWindow window;
    window.show();
    EXPECT_EQ(MainForm(), &window);
    window.OpenModule(kModule);
    ASSERT_TRUE(ModuleLoader::Instance().IsLoaded(kModule));

    QPointer<QWidget> screen = maintenanceScreen(window.MdiArea());
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->isVisible());
    auto *net = screen->findChild<TNetConnection *>(QStringLiteral("netConsistencia"));
    ASSERT_NE(net, nullptr);
    EXPECT_EQ(net->Host(), m_server.Host());
    EXPECT_EQ(net->Port(), m_server.Port());
    EXPECT_TRUE(net->Connected());
    // The connection reaches the seeded server: tax "01" exists.
    const QVariantMap taxes =
        net->Call(QStringLiteral("getImposto"), {QStringLiteral("01"), QString()}).toMap();
    EXPECT_EQ(taxes.value(QStringLiteral("rows")).toList().size(), 1);

    // A second open brings the same screen to the front, focus on the tax code.
    auto *tax = screen->findChild<QLineEdit *>(QStringLiteral("edtCdImposto"));
    ASSERT_NE(tax, nullptr);
    window.OpenModule(kModule);
    EXPECT_EQ(maintenanceScreen(window.MdiArea()), screen.data());
    EXPECT_EQ(window.MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(screen->focusWidget(), tax);

    // Leaving: the screens go, then the module is finalised and unloaded.
    EXPECT_TRUE(window.close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(screen.isNull());
    ModuleLoader::Instance().UnloadAll();
    EXPECT_FALSE(ModuleLoader::Instance().IsLoaded(kModule));
}

TEST_F(Client, UnloadWithOpenScreensThenLoadAgain)
{
    MainWindow window;
    window.show();
    for (int round = 0; round < 2; ++round) {
        window.OpenModule(kModule);
        QPointer<QWidget> screen = maintenanceScreen(window.MdiArea());
        ASSERT_NE(screen, nullptr) << round;
        // A fresh load starts with empty module variables.
        auto **variable =
            static_cast<QWidget **>(ModuleLoader::Instance().Resolve(kModule, "frmConsisteFiscal"));
        ASSERT_NE(variable, nullptr);
        EXPECT_EQ(*variable, screen.data());
        // The automatic screen stays, hidden, after its first use.
        QPointer<QWidget> dialog;
        QTimer::singleShot(0, [&dialog]() {
            dialog = QApplication::activeModalWidget();
            if (dialog)
                dialog->close();
        });
        reinterpret_cast<void (*)()>(ModuleLoader::Instance().Resolve(kModule, "criaCadAuto"))();
        ASSERT_FALSE(dialog.isNull()) << round;
        EXPECT_EQ(dialog->objectName(), QStringLiteral("frmCadAuto"));
        EXPECT_FALSE(dialog->isVisible());

        ModuleLoader::Instance().Unload(kModule);
        EXPECT_TRUE(screen.isNull()) << round;
        EXPECT_TRUE(dialog.isNull()) << round;
        EXPECT_TRUE(window.MdiArea()->subWindowList().isEmpty()) << round;
    }
}

TEST_F(Client, ModulesMenuListsTheInstalledModule)
{
    MainWindow window;
    auto *action = window.findChild<QAction *>(QStringLiteral("mnuKVR51400"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("KVR51400 - Consistências Fiscais"));
    action->trigger();
    EXPECT_NE(maintenanceScreen(window.MdiArea()), nullptr);
    auto *status = window.findChild<QLabel *>(QStringLiteral("lblServidor"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), QStringLiteral("Servidor: ") + m_server.Address());
}

// The program itself: opens the module from its command line, remembers the
// server, and leaves cleanly on SIGTERM (screens, Finalize, unload).
TEST_F(Client, ProgramOpensTheModuleAndExitsCleanly)
{
    QTemporaryDir config;
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kvr.host.*=true"));
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(env("KVR_BIN_DIR") + QStringLiteral("/kvr-client"),
                 {QStringLiteral("--server"), m_server.Address(), QStringLiteral("--modules"),
                  env("KVR_MODULES_DIR"), QStringLiteral("--open"), kModule});
    ASSERT_TRUE(client.waitForStarted(10000));
    QByteArray output;
    QDeadlineTimer deadline(30000);
    while (!output.contains("loaded \"KVR51400\"") && !deadline.hasExpired() &&
           client.waitForReadyRead(int(deadline.remainingTime())))
        output += client.readAll();
    ASSERT_TRUE(output.contains("loaded \"KVR51400\"")) << output.toStdString();
    EXPECT_EQ(client.state(), QProcess::Running);

    client.terminate();
    ASSERT_TRUE(client.waitForFinished(10000));
    output += client.readAll();
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("unloaded \"KVR51400\"")) << output.toStdString();

    QSettings remembered(config.filePath(QStringLiteral("KVR/kvr-client.conf")),
                         QSettings::IniFormat);
    EXPECT_EQ(remembered.value(QStringLiteral("server/address")).toString(), m_server.Address());
}

TEST(ClientProgram, HelpListsTheOptionsAndExits)
{
    QProcess client;
    client.start(env("KVR_BIN_DIR") + QStringLiteral("/kvr-client"), {QStringLiteral("--help")});
    ASSERT_TRUE(client.waitForFinished(10000));
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client.exitCode(), 0);
    const QString output = QString::fromUtf8(client.readAllStandardOutput());
    EXPECT_TRUE(output.startsWith(QStringLiteral("Uso: kvr-client"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("--open CODIGO"))) << output.toStdString();
}

// A token or CA file the program cannot use stops it with the reason, whether
// the command line or the settings named it.
TEST(ClientProgram, UnusableSecurityFileStopsIt)
{
    const QString notPem = env("KVR_SOURCE_DIR") + QStringLiteral("/tests/data/tls/make-certs.sh");
    const QList<std::pair<QStringList, QString>> cases{
        {{QStringLiteral("--tls-ca"), notPem},
         QStringLiteral("O arquivo de autoridade certificadora \"%1\" não contém um certificado "
                        "PEM válido.")
             .arg(notPem)},
        {{},
         QStringLiteral("Não foi possível ler o arquivo de token \"@/nenhum\" (configuração "
                        "connection/tokenFile).")}};
    for (const auto &[arguments, error] : cases) {
        QTemporaryDir config;
        if (arguments.isEmpty()) {
            QSettings(config.filePath(QStringLiteral("KVR/kvr-client.conf")), QSettings::IniFormat)
                .setValue(QStringLiteral("connection/tokenFile"),
                          config.filePath(QStringLiteral("nenhum")));
        }
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        client.setProcessEnvironment(environment);
        client.start(env("KVR_BIN_DIR") + QStringLiteral("/kvr-client"), arguments);
        ASSERT_TRUE(client.waitForFinished(10000));
        EXPECT_EQ(client.exitCode(), 2);
        const QString output = QString::fromUtf8(client.readAllStandardError());
        EXPECT_TRUE(output.contains(QString(error).replace(QStringLiteral("@"), config.path())))
            << output.toStdString();
        // Qt's TLS is used only once the application exists.
        EXPECT_FALSE(output.contains(QStringLiteral("QObject::connect"))) << output.toStdString();
    }
}

} // namespace
