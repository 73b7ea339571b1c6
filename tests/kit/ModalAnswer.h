#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <ostream>

#include <gtest/gtest.h>

// Readable QString values in test failures.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// Answers every modal message box that opens while it lives, recording the
// boxes' texts in order: the way a user would, from the event loop.
class ModalAnswer final
{
public:
    explicit ModalAnswer(QMessageBox::StandardButton button = QMessageBox::Ok) : m_button(button)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this]() { answer(); });
        m_timer.start();
    }

    const QStringList &Texts() const { return m_texts; }
    QMessageBox::Icon LastIcon() const { return m_icon; }

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        m_texts.append(box->text());
        m_icon = box->icon();
        QAbstractButton *button = box->button(m_button);
        if (button)
            button->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton m_button;
    QTimer m_timer;
    QStringList m_texts;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
};

// Runs `action` once on the next modal window of type W that opens, from the
// event loop, as a user at that window would.
template <typename W> void OnNextModal(std::function<void(W *window)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action]() {
        auto *window = qobject_cast<W *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        QPointer<W> guard(window);
        action(window);
        // A window the action failed to close must not hang the test run.
        QTimer::singleShot(3000, [guard]() {
            if (guard && guard->isVisible()) {
                ADD_FAILURE() << "modal window left open";
                guard->close();
            }
        });
    });
    timer->start();
}
