#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

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
