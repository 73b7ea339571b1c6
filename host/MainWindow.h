#pragma once

#include <QMainWindow>

class QLabel;
class QMdiArea;
class QMenu;

// The host's main form: an MDI area for the screens of the modules, a menu
// of the installed modules, the window menu and the server address in the
// status bar.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    QMdiArea *MdiArea() const { return m_mdiArea; }
    // Title of a known module code, or the code itself.
    static QString ModuleTitle(const QString &code);
    // Loads the module and calls its IniProc; failures are reported.
    void OpenModule(const QString &code);
    // Refreshes the modules menu and the status bar.
    void Refresh();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The server and the logged-in user in the status bar.
    void showServer();
    void fillModulesMenu();
    void fillWindowMenu();

    QMdiArea *m_mdiArea;
    QMenu *m_modulesMenu;
    QMenu *m_windowMenu;
    QLabel *m_serverLabel;
};
