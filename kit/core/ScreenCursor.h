#pragma once

// Application-wide screen pointer: -11 busy (hourglass), 0 default (no
// override cursor of ours). Without a GUI application only the code is kept.
void SetScreenCursor(int code);
int ScreenCursor();

// The busy pointer (-11) for the life of the object, the default pointer (0)
// after it, however the scope is left.
class TBusyCursor final
{
public:
    TBusyCursor() { SetScreenCursor(-11); }
    ~TBusyCursor() { SetScreenCursor(0); }
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};
