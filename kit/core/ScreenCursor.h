#pragma once

#include "kit/KvrKitExport.h"

// Application-wide screen pointer: -11 busy (hourglass), 0 default (no
// override cursor of ours). Without a GUI application only the code is kept.
KVRKIT_EXPORT void SetScreenCursor(int code);
KVRKIT_EXPORT int ScreenCursor();

// The busy pointer (-11) for the life of the object, the default pointer (0)
// after it, however the scope is left.
class KVRKIT_EXPORT TBusyCursor final
{
public:
    TBusyCursor() { SetScreenCursor(-11); }
    ~TBusyCursor() { SetScreenCursor(0); }
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};
