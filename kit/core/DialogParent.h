#pragma once

#include "kit/KvrKitExport.h"

class QWidget;

// The widget a message box or pop-up window opens over: the active modal
// window, else the active window, else the main form (nullptr without one).
KVRKIT_EXPORT QWidget *DialogParent();
