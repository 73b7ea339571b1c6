#pragma once

#include "kit/KvrKitExport.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// Enter and exit events of a control (an edit, or a panel and everything in
// it), as a form sees them: OnEnter when the form's focus moves into the
// control from elsewhere in the same form, OnExit when it moves out to
// another control of the form. Switching windows is no exit: the form keeps
// its focused control and coming back is no enter. Handlers run through
// kvrGuard; focus moves made inside a handler raise no further events.
class KVRKIT_EXPORT TFocusEvents final : public QObject
{
    Q_OBJECT
public:
    using NotifyEvent = std::function<void(QObject *sender)>;

    // The events of `control`, created on first use and owned by it.
    static TFocusEvents *Of(QWidget *control);

    NotifyEvent OnEnter;
    NotifyEvent OnExit;

    bool Inside() const { return m_inside; }

private:
    explicit TFocusEvents(QWidget *control);
    void focusChanged(QWidget *now);
    bool contains(QWidget *widget) const;

    QPointer<QWidget> m_control;
    bool m_inside = false;
    bool m_running = false;
};
