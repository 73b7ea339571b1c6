#include "kit/core/Consiste.h"
#include "kit/widgets/TFocusEvents.h"
#include "tests/kit/ModalAnswer.h"

#include <QFrame>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A form with a tax panel (code and name edits) and a field outside it.
class FocusForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto *layout = new QVBoxLayout(&m_form);
        m_panel = new QFrame(&m_form);
        auto *panelLayout = new QVBoxLayout(m_panel);
        m_code = new QLineEdit(m_panel);
        m_name = new QLineEdit(m_panel);
        panelLayout->addWidget(m_code);
        panelLayout->addWidget(m_name);
        m_other = new QLineEdit(&m_form);
        layout->addWidget(m_panel);
        layout->addWidget(m_other);
        m_other->setFocus();
        m_form.show();
        Activate(&m_form);
        TFocusEvents *events = TFocusEvents::Of(m_panel);
        events->OnEnter = [this](QObject *sender) {
            EXPECT_EQ(sender, m_panel);
            m_log.append(QStringLiteral("enter"));
        };
        events->OnExit = [this](QObject *sender) {
            EXPECT_EQ(sender, m_panel);
            m_log.append(QStringLiteral("exit"));
        };
    }

    static void Activate(QWidget *window)
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }

    QWidget m_form;
    QFrame *m_panel = nullptr;
    QLineEdit *m_code = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_other = nullptr;
    QStringList m_log;
};

TEST_F(FocusForm, EnterAndExitOfThePanelAsAWhole)
{
    m_code->setFocus();
    m_name->setFocus(); // inside the panel: nothing
    m_other->setFocus();
    m_name->setFocus();
    EXPECT_EQ(m_log, (QStringList{QStringLiteral("enter"), QStringLiteral("exit"),
                                  QStringLiteral("enter")}));
    EXPECT_TRUE(TFocusEvents::Of(m_panel)->Inside());
    EXPECT_EQ(TFocusEvents::Of(m_panel), TFocusEvents::Of(m_panel)) << "one set of events";
}

TEST_F(FocusForm, TabOutOfThePanelIsAnExit)
{
    m_name->setFocus();
    m_log.clear();
    QTest::keyClick(m_name, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_other);
    EXPECT_EQ(m_log, QStringList{QStringLiteral("exit")});
}

TEST_F(FocusForm, AnotherWindowIsNoExitAndComingBackIsNoEnter)
{
    m_code->setFocus();
    m_log.clear();
    QLineEdit elsewhere;
    elsewhere.show();
    Activate(&elsewhere);
    elsewhere.setFocus();
    Activate(&m_form);
    EXPECT_EQ(QApplication::focusWidget(), m_code);
    EXPECT_TRUE(m_log.isEmpty());
    // The form remembers the panel: clicking outside it later is an exit.
    Activate(&elsewhere);
    Activate(&m_form);
    m_other->setFocus();
    EXPECT_EQ(m_log, QStringList{QStringLiteral("exit")});
}

TEST_F(FocusForm, FocusSentBackByTheHandlerRaisesNoEnter)
{
    TFocusEvents::Of(m_panel)->OnExit = [this](QObject *) {
        m_log.append(QStringLiteral("exit"));
        m_code->setFocus(); // the check failed: back to the code
        Abort();
    };
    m_code->setFocus();
    m_other->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), m_code);
    m_other->setFocus();
    EXPECT_EQ(m_log, (QStringList{QStringLiteral("enter"), QStringLiteral("exit"),
                                  QStringLiteral("exit")}));
}

TEST_F(FocusForm, HandlerFailureIsReportedAndFocusGoesOn)
{
    ModalAnswer answer;
    TFocusEvents::Of(m_panel)->OnExit = [](QObject *) {
        throw EKvrError(QStringLiteral("Imposto deve ser informado"));
    };
    m_code->setFocus();
    m_other->setFocus();
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Imposto deve ser informado")});
}

TEST_F(FocusForm, SingleEditExit)
{
    QStringList exits;
    TFocusEvents::Of(m_other)->OnExit = [&exits](QObject *sender) {
        exits.append(static_cast<QWidget *>(sender)->objectName());
    };
    m_other->setObjectName(QStringLiteral("edtiniConsiste"));
    m_other->setFocus();
    m_code->setFocus();
    EXPECT_EQ(exits, QStringList{QStringLiteral("edtiniConsiste")});
}

} // namespace
