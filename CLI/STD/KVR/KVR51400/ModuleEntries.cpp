#include "CLI/STD/KVR/KVR51400/ModuleEntries.h"

#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"
#include "kit/core/Guarded.h"
#include "kit/host/HostServices.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

void IniProc()
{
    kvrGuard([]() { CriaConsistencia(); });
}

void CriaConsistencia()
{
    // A plain C entry: nothing thrown may leave it, and the busy pointer
    // ends on every path.
    kvrGuard([]() {
        const TBusyCursor busy;
        if (!frmConsisteFiscal) {
            TfrmConsisteFiscal *form = TfrmPadraoGrid::Create<TfrmConsisteFiscal>();
            frmConsisteFiscal = form;
            // Closing destroys the screen: the next start must create a new one.
            QObject::connect(form, &QObject::destroyed, [form]() {
                if (frmConsisteFiscal == form)
                    frmConsisteFiscal = nullptr;
            });
        }
        QWidget *window = frmConsisteFiscal->FrameWindow();
        window->show();
        window->raise();
        if (auto *child = qobject_cast<QMdiSubWindow *>(window)) {
            if (QMdiArea *area = child->mdiArea())
                area->setActiveSubWindow(child);
        } else {
            window->activateWindow();
        }
        // Restoring an MDI frame moves the focus to its first child, which would
        // count as leaving the tax panel: restore first, then focus the tax code.
        if (window->isMinimized() || window->isMaximized())
            window->showNormal();
        frmConsisteFiscal->edtCdImposto->setFocus();
    });
}

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
