#pragma once

#include "kit/KvrKitExport.h"

#include "kit/core/MainForm.h"
#include "kit/core/ScreenCursor.h"

#include <QList>
#include <QString>

class QWidget;

// Services the host application gives to the kit and to screen modules.
// The host sets them up at start; modules only read them. The main form and
// the screen pointer are declared in kit/core, which the kit's own parts use.

// Application server address, as given on the host's command line.
KVRKIT_EXPORT QString WebURL();
KVRKIT_EXPORT int WebPort();
KVRKIT_EXPORT void SetWebAddress(const QString &host, int port);

// Form-creation service: the application owns forms created through it and
// destroys what is left of them when it ends. MDI children are placed in the
// main form's MDI area when there is one.
KVRKIT_EXPORT void RegisterApplicationForm(QWidget *form);
// The live forms created through that service, oldest first.
KVRKIT_EXPORT QList<QWidget *> ApplicationForms();
// Destroys a form (with its MDI frame); the host does this at exit.
KVRKIT_EXPORT void DestroyApplicationForm(QWidget *form);
KVRKIT_EXPORT void DestroyApplicationForms();
// The window that frames a form: its MDI sub-window, or the form itself.
// Window state and activation of an MDI child act on this window.
KVRKIT_EXPORT QWidget *FormWindow(QWidget *form);

// Loads the module with this code (lib<code lower-case>.so in the modules
// folder), calls its Initialize once and its IniProc every time. A module
// that is not installed gives a clear message to the user.
KVRKIT_EXPORT void LoadBPL(const QString &moduleCode);
KVRKIT_EXPORT void SetModulesDir(const QString &dir);
KVRKIT_EXPORT QString ModulesDir();
