#include "kit/widgets/TFocusEvents.h"

#include "kit/core/Consiste.h"

#include <QApplication>
#include <QMdiSubWindow>

namespace {

// The form a widget belongs to: its window, or the MDI child it sits in.
QWidget *formOf(QWidget *widget)
{
    QWidget *form = widget;
    while (form && !form->isWindow()) {
        if (qobject_cast<QMdiSubWindow *>(form->parentWidget()))
            return form;
        form = form->parentWidget();
    }
    return form;
}

// A minimised or hidden form keeps its focused control, as when the user
// switches windows: Qt moving the focus out of it is no exit.
bool isAway(QWidget *form)
{
    QWidget *frame = form;
    if (form && qobject_cast<QMdiSubWindow *>(form->parentWidget()))
        frame = form->parentWidget();
    return !frame || frame->isMinimized() || !frame->isVisible();
}

} // namespace

TFocusEvents *TFocusEvents::Of(QWidget *control)
{
    if (auto *existing = control->findChild<TFocusEvents *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new TFocusEvents(control);
}

TFocusEvents::TFocusEvents(QWidget *control) : QObject(control), m_control(control)
{
    m_inside = contains(QApplication::focusWidget());
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { focusChanged(now); });
}

bool TFocusEvents::contains(QWidget *widget) const
{
    return widget && m_control && (widget == m_control || m_control->isAncestorOf(widget));
}

void TFocusEvents::focusChanged(QWidget *now)
{
    if (!now || !m_control || formOf(now) != formOf(m_control) || isAway(formOf(m_control)))
        return;
    const bool inside = contains(now);
    if (inside == m_inside)
        return;
    m_inside = inside;
    if (m_running)
        return;
    const NotifyEvent &handler = inside ? OnEnter : OnExit;
    if (!handler)
        return;
    m_running = true;
    kvrGuard([this, &handler]() { handler(m_control); });
    m_running = false;
}
