#include "host/ClientOptions.h"
#include "host/LoginDialog.h"
#include "host/MainWindow.h"
#include "kit/host/HostServices.h"
#include "kit/host/ModuleLoader.h"
#include "kit/host/Translations.h"
#include "kit/net/TConnectionSecurity.h"
#include "kit/net/TSessionLogin.h"
#include "platform/QuitOnSignal.h"

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QSettings>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // A bad command line is reported before any window system is needed.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ClientOptions options = ClientOptions::Parse(arguments);
    if (options.HelpRequested()) {
        std::fputs(qPrintable(ClientOptions::Usage()), stdout);
        return 0;
    }
    if (!options.Error().isEmpty()) {
        std::fprintf(stderr, "%s\n%s", qPrintable(options.Error()),
                     qPrintable(ClientOptions::Usage()));
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KVR"));
    QApplication::setApplicationName(QStringLiteral("kvr-client"));
    InstallQtTranslations(&app);

    // The command line wins over the last server used, and becomes it.
    QSettings settings;
    QString host;
    int port = 0;
    options.ChooseServer(settings, &host, &port);
    SetWebAddress(host, port);
    // Token and TLS hold for every connection, the modules' included.
    TConnectionSecurity security;
    QString problem;
    if (!options.ChooseSecurity(settings, &security, &problem)) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 2;
    }
    TConnectionSecurity::SetDefault(security);
    // A server started with --login asks through this window.
    TSessionLogin::Instance().Ask = &LoginDialog::Ask;
    SetModulesDir(options.ModulesDir().isEmpty()
                      ? ClientOptions::DefaultModulesDir(QApplication::applicationDirPath())
                      : options.ModulesDir());

    kvr::platform::QuitOnSignal quitOnSignal;
    int status = 0;
    {
        MainWindow window;
        window.show();
        const QStringList opens = options.Opens();
        QTimer::singleShot(0, &window, [&window, opens]() {
            for (const QString &code : opens)
                window.OpenModule(code);
        });
        status = QApplication::exec();
        // A quit by signal skips the main form's close: the screens get
        // their own close handling here.
        window.MdiArea()->closeAllSubWindows();
        // Screens first, then each module's Finalize, then its library.
        ModuleLoader::Instance().UnloadAll();
        DestroyApplicationForms();
        SetMainForm(nullptr, nullptr);
    }
    return status;
}
