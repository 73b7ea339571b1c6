#include "kit/core/ScreenCursor.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace {

struct CursorState
{
    int code = 0;
    bool pushed = false;
};

CursorState &state()
{
    static CursorState s;
    return s;
}

Qt::CursorShape cursorShape(int code)
{
    switch (code) {
    case -2:
        return Qt::ArrowCursor;
    case -3:
        return Qt::CrossCursor;
    case -4:
        return Qt::IBeamCursor;
    case -19:
        return Qt::BusyCursor;
    case -21:
        return Qt::PointingHandCursor;
    default:
        return Qt::WaitCursor;
    }
}

bool hasGui()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

} // namespace

void SetScreenCursor(int code)
{
    CursorState &s = state();
    s.code = code;
    if (!hasGui())
        return;
    // One override of our own at most, so codes can be set in any order.
    if (code == 0) {
        if (s.pushed)
            QGuiApplication::restoreOverrideCursor();
        s.pushed = false;
    } else if (s.pushed) {
        QGuiApplication::changeOverrideCursor(QCursor(cursorShape(code)));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(cursorShape(code)));
        s.pushed = true;
    }
}

int ScreenCursor()
{
    return state().code;
}
