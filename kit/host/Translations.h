#pragma once

#include "kit/KvrKitExport.h"

class QCoreApplication;

// Loads Qt's own Brazilian Portuguese texts (standard buttons, context menus,
// standard dialogs) from the distribution's translations, so nothing the
// user meets reads English. False when they are not installed; the
// application then goes on with Qt's built-in English.
KVRKIT_EXPORT bool InstallQtTranslations(QCoreApplication *application);
