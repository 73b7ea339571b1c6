#include "kit/core/Consiste.h"
#include "kit/core/ScreenCursor.h"
#include "kit/core/ShowAvi.h"
#include "kit/core/TBusyOverlay.h"

#include <QGuiApplication>
#include <QTest>
#include <QWidget>

#include <functional>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {

class ShowAvi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetScreenCursor(0);
        m_form.resize(500, 300);
        m_form.show();
    }
    void TearDown() override
    {
        while (ShowAviDepth() > 0)
            DeactiveShowAvi();
    }

    QWidget m_form;
};

TEST_F(ShowAvi, CoversTheFormAndSpins)
{
    ActiveShowAvi(&m_form, TShowAvi::Pesquisando);
    auto *overlay = qobject_cast<TBusyOverlay *>(ShowAviWidget());
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->parentWidget(), &m_form);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), m_form.rect());
    EXPECT_EQ(overlay->Caption(), QStringLiteral("Pesquisando..."));
    EXPECT_TRUE(overlay->Spinning());
    EXPECT_EQ(ScreenCursor(), -11);
    const qreal first = overlay->Angle();
    EXPECT_TRUE(QTest::qWaitFor([&]() { return overlay->Angle() != first; }, 5000));
    m_form.resize(640, 480);
    EXPECT_EQ(overlay->geometry(), m_form.rect()) << "follows the form's size";
    DeactiveShowAvi();
    EXPECT_EQ(ShowAviWidget(), nullptr);
    EXPECT_EQ(ScreenCursor(), 0);
}

TEST_F(ShowAvi, StartsNestAndOnlyTheLastStopEnds)
{
    ActiveShowAvi(&m_form, TShowAvi::Pesquisando);
    QWidget *overlay = ShowAviWidget();
    ActiveShowAvi(&m_form, TShowAvi::Pesquisando); // a save that reloads
    EXPECT_EQ(ShowAviDepth(), 2);
    EXPECT_EQ(ShowAviWidget(), overlay) << "one animation for nested starts";
    DeactiveShowAvi();
    EXPECT_EQ(ShowAviWidget(), overlay);
    EXPECT_EQ(ScreenCursor(), -11);
    DeactiveShowAvi();
    EXPECT_EQ(ShowAviDepth(), 0);
    EXPECT_EQ(ShowAviWidget(), nullptr);
    EXPECT_EQ(ScreenCursor(), 0);
}

TEST_F(ShowAvi, StopWithoutStartIsHarmless)
{
    DeactiveShowAvi();
    DeactiveShowAvi();
    EXPECT_EQ(ShowAviDepth(), 0);
    // A failure after a normal stop stops a second time: the next start
    // must still work.
    ActiveShowAvi(&m_form, TShowAvi::Pesquisando);
    DeactiveShowAvi();
    DeactiveShowAvi();
    ActiveShowAvi(&m_form, TShowAvi::Gravando);
    EXPECT_EQ(ShowAviDepth(), 1);
    ASSERT_NE(ShowAviWidget(), nullptr);
    EXPECT_TRUE(ShowAviWidget()->isVisible());
}

TEST_F(ShowAvi, KeepsAPointerAlreadyBusy)
{
    SetScreenCursor(-11); // a screen being created
    ActiveShowAvi(&m_form, TShowAvi::Pesquisando);
    DeactiveShowAvi();
    EXPECT_EQ(ScreenCursor(), -11);
    SetScreenCursor(0);
}

TEST_F(ShowAvi, WithoutFormItShowsAWindowOfItsOwn)
{
    ActiveShowAvi(nullptr, TShowAvi::Processando);
    QWidget *overlay = ShowAviWidget();
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->isVisible());
    DeactiveShowAvi();
    EXPECT_EQ(ShowAviWidget(), nullptr);
}

TEST_F(ShowAvi, FormClosedWhileBusyDoesNotBreakTheStop)
{
    auto *form = new QWidget;
    form->show();
    ActiveShowAvi(form, TShowAvi::Pesquisando);
    delete form;
    EXPECT_EQ(ShowAviWidget(), nullptr);
    DeactiveShowAvi();
    EXPECT_EQ(ShowAviDepth(), 0);
}

struct ExitCase
{
    const char *name;
    std::function<void()> leave; // how the scope is left
};

class ScopeExit : public ShowAvi, public ::testing::WithParamInterface<ExitCase>
{
};

// However the scope is left, the animation and the busy pointer end with it.
TEST_P(ScopeExit, AnimationEndsWithTheScope)
{
    try {
        const TShowAviScope busy(&m_form, TShowAvi::Pesquisando);
        EXPECT_EQ(ShowAviDepth(), 1);
        EXPECT_EQ(ScreenCursor(), -11);
        GetParam().leave();
    } catch (...) {
    }
    EXPECT_EQ(ShowAviDepth(), 0);
    EXPECT_EQ(ShowAviWidget(), nullptr);
    EXPECT_EQ(ScreenCursor(), 0);
}

TEST_P(ScopeExit, BusyPointerEndsWithTheScope)
{
    try {
        const TBusyCursor busy;
        EXPECT_EQ(ScreenCursor(), -11);
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
        GetParam().leave();
    } catch (...) {
    }
    EXPECT_EQ(ScreenCursor(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Exits, ScopeExit,
    ::testing::Values(ExitCase{"Normal", []() {}}, ExitCase{"SilentAbort", []() { Abort(); }},
                      ExitCase{"Error", []() { throw EKvrError(QStringLiteral("falha")); }},
                      ExitCase{"Unexpected", []() { throw std::runtime_error("falha"); }}),
    [](const ::testing::TestParamInfo<ExitCase> &info) { return std::string(info.param.name); });

} // namespace
