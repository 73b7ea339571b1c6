#include "host/MainWindow.h"

#include "kit/core/Consiste.h"
#include "kit/host/HostServices.h"
#include "kit/host/ModuleLoader.h"
#include "kit/net/TSessionLogin.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), m_mdiArea(new QMdiArea(this)), m_serverLabel(new QLabel(this))
{
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("KVR - Escrituração Fiscal"));
    resize(1200, 760);

    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);

    QMenu *fileMenu = menuBar()->addMenu(QStringLiteral("&Arquivo"));
    QAction *quit = fileMenu->addAction(QStringLiteral("&Sair"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    m_modulesMenu = menuBar()->addMenu(QStringLiteral("&Módulos"));
    m_modulesMenu->setObjectName(QStringLiteral("mnuModulos"));
    // A module installed while the client runs shows up on the next look.
    connect(m_modulesMenu, &QMenu::aboutToShow, this, &MainWindow::fillModulesMenu);
    m_windowMenu = menuBar()->addMenu(QStringLiteral("&Janela"));
    m_windowMenu->setObjectName(QStringLiteral("mnuJanela"));
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainWindow::fillWindowMenu);

    m_serverLabel->setObjectName(QStringLiteral("lblServidor"));
    statusBar()->addPermanentWidget(m_serverLabel);
    connect(&TSessionLogin::Instance(), &TSessionLogin::LoggedUserChanged, this,
            [this] { showServer(); });

    SetMainForm(this, m_mdiArea);
    Refresh();
}

QString MainWindow::ModuleTitle(const QString &code)
{
    if (code == QLatin1String("KVR51400"))
        return QStringLiteral("Consistências Fiscais");
    return code;
}

void MainWindow::OpenModule(const QString &code)
{
    // A module that failed while starting must not leave the busy pointer on.
    if (!kvrGuard([&code]() { LoadBPL(code); }))
        SetScreenCursor(0);
}

void MainWindow::Refresh()
{
    showServer();
    fillModulesMenu();
}

void MainWindow::showServer()
{
    const QString user = TSessionLogin::Instance().LoggedUser();
    m_serverLabel->setText(
        QStringLiteral("Servidor: %1:%2").arg(WebURL()).arg(WebPort()) +
        (user.isEmpty() ? QString() : QStringLiteral(" — Usuário: %1").arg(user)));
}

void MainWindow::fillModulesMenu()
{
    m_modulesMenu->clear();
    const QStringList codes = ModuleLoader::InstalledModules(ModulesDir());
    if (codes.isEmpty()) {
        QAction *none = m_modulesMenu->addAction(QStringLiteral("Nenhum módulo instalado"));
        none->setEnabled(false);
        return;
    }
    for (const QString &code : codes) {
        const QString title = ModuleTitle(code);
        const QString text = title == code ? code : code + QStringLiteral(" - ") + title;
        QAction *action =
            m_modulesMenu->addAction(text, this, [this, code]() { OpenModule(code); });
        action->setObjectName(QStringLiteral("mnu") + code);
    }
}

void MainWindow::fillWindowMenu()
{
    m_windowMenu->clear();
    m_windowMenu->addAction(QStringLiteral("&Cascata"), m_mdiArea, &QMdiArea::cascadeSubWindows);
    m_windowMenu->addAction(QStringLiteral("&Lado a lado"), m_mdiArea, &QMdiArea::tileSubWindows);
    m_windowMenu->addAction(QStringLiteral("&Fechar todas"), m_mdiArea,
                            &QMdiArea::closeAllSubWindows);
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowMenu->addSeparator();
    int number = 1;
    for (QMdiSubWindow *window : windows) {
        QAction *action = m_windowMenu->addAction(
            QStringLiteral("&%1 %2").arg(number++).arg(window->windowTitle()), m_mdiArea,
            [this, window]() { m_mdiArea->setActiveSubWindow(window); });
        action->setCheckable(true);
        action->setChecked(window == m_mdiArea->activeSubWindow());
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The screens close first (their own close handling runs); a screen that
    // refuses keeps the application open.
    m_mdiArea->closeAllSubWindows();
    for (QMdiSubWindow *window : m_mdiArea->subWindowList()) {
        if (window->isVisible() && !window->isMinimized()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}
