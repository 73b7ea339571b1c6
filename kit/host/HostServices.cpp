#include "kit/host/HostServices.h"

#include "kit/host/ModuleLoader.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

struct HostState
{
    QString host = QStringLiteral("127.0.0.1");
    int port = 2140;
    QString modulesDir;
    std::vector<QPointer<QWidget>> forms;
};

HostState &state()
{
    static HostState s;
    return s;
}

} // namespace

QString WebURL()
{
    return state().host;
}

int WebPort()
{
    return state().port;
}

void SetWebAddress(const QString &host, int port)
{
    state().host = host;
    state().port = port;
}

void RegisterApplicationForm(QWidget *form)
{
    if (!form)
        return;
    HostState &s = state();
    s.forms.erase(std::remove_if(s.forms.begin(), s.forms.end(),
                                 [](const QPointer<QWidget> &f) { return f.isNull(); }),
                  s.forms.end());
    s.forms.emplace_back(form);
    // Dialogs stay top-level windows; every other form is an MDI child.
    QMdiArea *mdiArea = MainMdiArea();
    if (mdiArea && !qobject_cast<QDialog *>(form) && !form->parentWidget()) {
        QMdiSubWindow *window = mdiArea->addSubWindow(form);
        window->setAttribute(Qt::WA_DeleteOnClose);
        // A form destroyed by its own close handling takes its frame along.
        QObject::connect(form, &QObject::destroyed, window, [window]() {
            window->hide();
            window->deleteLater();
        });
    }
}

QList<QWidget *> ApplicationForms()
{
    QList<QWidget *> alive;
    for (const QPointer<QWidget> &form : state().forms) {
        if (form)
            alive.append(form.data());
    }
    return alive;
}

void DestroyApplicationForm(QWidget *form)
{
    if (!form)
        return;
    if (auto *window = qobject_cast<QMdiSubWindow *>(form->parentWidget())) {
        if (window->widget() == form) {
            delete window;
            return;
        }
    }
    delete form;
}

void DestroyApplicationForms()
{
    const QList<QWidget *> forms = ApplicationForms();
    // Newest first: a later form may still refer to an earlier one.
    for (auto it = forms.crbegin(); it != forms.crend(); ++it)
        DestroyApplicationForm(*it);
    state().forms.clear();
}

QWidget *FormWindow(QWidget *form)
{
    if (!form)
        return nullptr;
    if (auto *window = qobject_cast<QMdiSubWindow *>(form->parentWidget())) {
        if (window->widget() == form)
            return window;
    }
    return form;
}

void LoadBPL(const QString &moduleCode)
{
    ModuleLoader::Instance().Start(moduleCode);
}

void SetModulesDir(const QString &dir)
{
    state().modulesDir = dir;
}

QString ModulesDir()
{
    const HostState &s = state();
    if (!s.modulesDir.isEmpty())
        return s.modulesDir;
    if (!QCoreApplication::instance())
        return QString();
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../modules");
}
