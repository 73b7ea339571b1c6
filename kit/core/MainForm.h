#pragma once

#include "kit/KvrKitExport.h"

class QMainWindow;
class QMdiArea;

// The application's main form (an MDI main window) and its MDI area, as the
// host set them; nullptr until it does (tests run screens without one).
KVRKIT_EXPORT QMainWindow *MainForm();
KVRKIT_EXPORT QMdiArea *MainMdiArea();
KVRKIT_EXPORT void SetMainForm(QMainWindow *form, QMdiArea *mdiArea);
