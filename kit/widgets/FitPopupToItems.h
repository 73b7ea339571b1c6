#pragma once

#include "kit/KvrKitExport.h"

class QComboBox;

// A drop-down list as wide as its longest item (within the screen), however
// narrow its box: items are read whole, not cut in the middle. Follows the
// items as they are added or replaced.
KVRKIT_EXPORT void FitPopupToItems(QComboBox *combo);
