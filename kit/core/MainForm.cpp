#include "kit/core/MainForm.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>

namespace {

struct MainFormState
{
    QPointer<QMainWindow> form;
    QPointer<QMdiArea> mdiArea;
};

MainFormState &state()
{
    static MainFormState s;
    return s;
}

} // namespace

QMainWindow *MainForm()
{
    return state().form.data();
}

QMdiArea *MainMdiArea()
{
    return state().mdiArea.data();
}

void SetMainForm(QMainWindow *form, QMdiArea *mdiArea)
{
    state().form = form;
    state().mdiArea = mdiArea;
}
