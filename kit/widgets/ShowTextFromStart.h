#pragma once

#include "kit/KvrKitExport.h"

class QLineEdit;

// A display-only edit filled by a lookup or a check shows its text from the
// start (Qt leaves the cursor, and so the view, at the end) and the whole
// text in its tooltip.
KVRKIT_EXPORT void ShowTextFromStart(QLineEdit *edit);
