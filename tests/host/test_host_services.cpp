#include "kit/host/HostServices.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <gtest/gtest.h>

namespace {

TEST(HostServices, ServerAddressIsWhatTheHostSet)
{
    SetWebAddress(QStringLiteral("app.example"), 2150);
    EXPECT_EQ(WebURL(), QStringLiteral("app.example"));
    EXPECT_EQ(WebPort(), 2150);
}

class FormService : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_main.setCentralWidget(m_area);
        SetMainForm(&m_main, m_area);
    }
    void TearDown() override
    {
        DestroyApplicationForms();
        SetMainForm(nullptr, nullptr);
    }

    QMainWindow m_main;
    QMdiArea *m_area = new QMdiArea;
};

TEST_F(FormService, FormsBecomeMdiChildrenAndDialogsStayWindows)
{
    EXPECT_EQ(MainForm(), &m_main);
    EXPECT_EQ(MainMdiArea(), m_area);
    auto *form = new QWidget;
    auto *dialog = new QDialog;
    RegisterApplicationForm(form);
    RegisterApplicationForm(dialog);
    ASSERT_EQ(m_area->subWindowList().size(), 1);
    EXPECT_EQ(m_area->subWindowList().first()->widget(), form);
    EXPECT_EQ(FormWindow(form), m_area->subWindowList().first());
    EXPECT_EQ(FormWindow(dialog), dialog);
    EXPECT_TRUE(dialog->isWindow());
    EXPECT_EQ(ApplicationForms(), (QList<QWidget *>{form, dialog}));
}

TEST_F(FormService, AFormThatDestroysItselfTakesItsFrameAlong)
{
    auto *form = new QWidget;
    RegisterApplicationForm(form);
    QPointer<QMdiSubWindow> frame = m_area->subWindowList().first();
    delete form;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(ApplicationForms().isEmpty());
}

TEST_F(FormService, TheHostDestroysWhatIsLeft)
{
    QPointer<QWidget> form = new QWidget;
    QPointer<QDialog> dialog = new QDialog;
    RegisterApplicationForm(form);
    RegisterApplicationForm(dialog);
    QPointer<QMdiSubWindow> frame = m_area->subWindowList().first();
    DestroyApplicationForms();
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(ApplicationForms().isEmpty());
}

TEST(HostServices, WithoutMainFormFormsStayWindows)
{
    SetMainForm(nullptr, nullptr);
    EXPECT_EQ(MainForm(), nullptr);
    QPointer<QWidget> form = new QWidget;
    RegisterApplicationForm(form);
    EXPECT_TRUE(form->isWindow());
    EXPECT_EQ(FormWindow(form), form.data());
    DestroyApplicationForm(form);
    EXPECT_TRUE(form.isNull());
}

} // namespace
