// The busy indicator over real widgets: show, replace, hide, hide with nothing shown, the form
// going away while it shows, and the animation running while a call waits.

#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/keepalive.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <tuple>

using namespace host;

namespace {

using BusyEvent = std::tuple<bool, int, std::string>;

class BusyIndicator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Hooks hooks;
        hooks.onBusy = [this](bool shown, int kind, const std::string &text) {
            events.emplace_back(shown, kind, text);
        };
        guard = std::make_unique<HooksGuard>(std::move(hooks));
        form.setObjectName("frmTeste");
        form.resize(400, 300);
        form.show();
    }
    void TearDown() override
    {
        DeactiveShowAvi();
        SetMainWindow(nullptr);
        guard.reset();
    }

    QWidget form;
    std::vector<BusyEvent> events;
    std::unique_ptr<HooksGuard> guard;
};

TEST_F(BusyIndicator, ShowsOverTheFormWithItsTextAndHides)
{
    ActiveShowAvi(&form, 6, "Calculando custos do cardápio...");
    ASSERT_TRUE(ShowAviActive());
    QWidget *overlay = ShowAviWidget();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->parentWidget(), &form);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), form.rect());
    EXPECT_EQ(ShowAviKind(), 6);
    EXPECT_EQ(ShowAviText(), "Calculando custos do cardápio...");

    form.resize(500, 320);
    EXPECT_EQ(ShowAviWidget()->geometry(), form.rect()) << "follows the form's size";

    DeactiveShowAvi();
    EXPECT_FALSE(ShowAviActive());
    EXPECT_EQ(ShowAviWidget(), nullptr);
    EXPECT_EQ(ShowAviKind(), -1);
    EXPECT_EQ(events, (std::vector<BusyEvent>{{true, 6, "Calculando custos do cardápio..."},
                                              {false, 6, "Calculando custos do cardápio..."}}));
}

// Long work step by step: each step shows its count (also after the work hid the indicator), user
// input reaches no widget while it runs, and Esc cancels.
TEST_F(BusyIndicator, ProgressStepsSwallowInputAndEscCancels)
{
    auto *button = new QPushButton("x", &form);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    {
        BusyProgress busy(&form, 6, "Exportando o mês...");
        EXPECT_TRUE(busy.Step(1, 3));
        EXPECT_EQ(ShowAviText(), "Exportando o mês... (1 de 3)");
        DeactiveShowAvi(); // the work's own loads hide it
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::NoButton, {});
        QCoreApplication::sendEvent(button, &press);
        QCoreApplication::sendEvent(button, &release);
        EXPECT_TRUE(busy.Step(2, 3));
        EXPECT_TRUE(ShowAviActive());
        EXPECT_EQ(ShowAviText(), "Exportando o mês... (2 de 3)");
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&form, &esc);
        EXPECT_FALSE(busy.Step(3, 3));
        EXPECT_TRUE(busy.Cancelled());
    }
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(ShowAviActive());
    // Input reaches the widgets again.
    button->click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(BusyIndicator, DefaultTextsByKind)
{
    struct Case { int kind; const char *text; const char *shown; };
    const Case cases[] = {
        {0, "", "Conectando..."},
        {6, "", "Aguarde..."},
        {0, "Conectando ao servidor de custos", "Conectando ao servidor de custos"},
        {6, "Calculando custos realizados...", "Calculando custos realizados..."},
    };
    for (const Case &c : cases) {
        ActiveShowAvi(&form, c.kind, c.text);
        EXPECT_EQ(ShowAviText(), c.shown);
        DeactiveShowAvi();
    }
}

TEST_F(BusyIndicator, HideWithNothingShownDoesNothing)
{
    DeactiveShowAvi();
    DeactiveShowAvi();
    EXPECT_TRUE(events.empty());
    ActiveShowAvi(&form, 6);
    DeactiveShowAvi();
    DeactiveShowAvi();
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(BusyIndicator, ASecondShowReplacesTheTextAndOneHideCloses)
{
    ActiveShowAvi(&form, 6);
    QWidget *first = ShowAviWidget();
    ActiveShowAvi(&form, 6, "Calculando custos do cardápio...");
    EXPECT_EQ(ShowAviWidget(), first) << "one indicator";
    EXPECT_EQ(ShowAviText(), "Calculando custos do cardápio...");
    EXPECT_EQ(form.findChildren<QWidget *>("ShowAvi").size(), 1);
    DeactiveShowAvi();
    EXPECT_FALSE(ShowAviActive());
    EXPECT_TRUE(form.findChildren<QWidget *>("ShowAvi").isEmpty());
}

TEST_F(BusyIndicator, WithoutAFormItCoversTheMainWindow)
{
    QWidget mainWindow;
    mainWindow.resize(640, 480);
    mainWindow.show();
    SetMainWindow(&mainWindow);
    ActiveShowAvi(nullptr, 0);
    ASSERT_NE(ShowAviWidget(), nullptr);
    EXPECT_EQ(ShowAviWidget()->parentWidget(), &mainWindow);
    EXPECT_EQ(ShowAviText(), "Conectando...");
    // Moving to another window takes the indicator along.
    ActiveShowAvi(&form, 6);
    EXPECT_EQ(ShowAviWidget()->parentWidget(), &form);
    EXPECT_TRUE(mainWindow.findChildren<QWidget *>("ShowAvi").isEmpty());
}

TEST_F(BusyIndicator, TheFormGoingAwayWhileItShowsIsSafe)
{
    auto doomed = std::make_unique<QWidget>();
    doomed->resize(200, 100);
    doomed->show();
    ActiveShowAvi(doomed.get(), 6, "x");
    doomed.reset();
    EXPECT_EQ(ShowAviWidget(), nullptr);
    EXPECT_TRUE(ShowAviActive());
    DeactiveShowAvi();
    EXPECT_FALSE(ShowAviActive());
    EXPECT_EQ(events.back(), (BusyEvent{false, 6, "x"}));
}

TEST_F(BusyIndicator, GuardHidesOnEveryExitPath)
{
    try {
        ShowAviGuard busy(&form, 6, "Calculando custos do cardápio...");
        EXPECT_TRUE(ShowAviActive());
        throw std::runtime_error("falha na carga");
    } catch (const std::runtime_error &) {
    }
    EXPECT_FALSE(ShowAviActive());
    EXPECT_EQ(events.size(), 2u);

    // Deferred: nothing shows until the scope knows it must wait; the exit hides what shows.
    {
        ShowAviGuard busy;
        EXPECT_FALSE(ShowAviActive());
        EXPECT_EQ(events.size(), 2u);
        busy.Show(&form, 6, "Calculando custos realizados...");
        EXPECT_EQ(ShowAviText(), "Calculando custos realizados...");
    }
    EXPECT_FALSE(ShowAviActive());
    EXPECT_EQ(events.size(), 4u);
    // A window to repaint that is gone by the end is left alone.
    {
        auto window = std::make_unique<QWidget>();
        ShowAviGuard busy(&form, 6);
        busy.RepaintAfter(window.get());
        window.reset();
    }
    EXPECT_FALSE(ShowAviActive());
}

TEST_F(BusyIndicator, AnimatesWhileACallWaits)
{
    ActiveShowAvi(&form, 6, "Calculando custos do cardápio...");
    const int start = ShowAviFrame();
    QElapsedTimer clock;
    clock.start();
    // What a waiting remote call does: process paint events every few milliseconds.
    while (ShowAviFrame() < start + 3 && clock.elapsed() < 5000)
        ProcessPaintEvents();
    EXPECT_GE(ShowAviFrame(), start + 3) << "the spinner repaints under ProcessPaintEvents";
}

// An idle window renews its session at a third of the server's lease, only while it holds a work set,
// never inside a call that is waiting, and a failed renewal only waits for the next tick.
TEST(SessionKeepAlive, RenewsAtAThirdOfTheLeaseOnlyWhenNeededAndNeverInsideACall)
{
    QObject owner;
    int renewals = 0, lease = 600;
    bool needed = false, fail = false;
    auto *keep = new SessionKeepAlive(
        &owner,
        [&] {
            ++renewals;
            if (fail)
                throw std::runtime_error("servidor fora");
            return lease;
        },
        [&] { return needed; });
    keep->tick();
    EXPECT_EQ(renewals, 0) << "nothing to keep";
    needed = true;
    keep->tick();
    EXPECT_EQ(renewals, 1);
    EXPECT_EQ(keep->intervalMs(), 200 * 1000);
    lease = 3;
    keep->tick();
    EXPECT_EQ(keep->intervalMs(), 2000) << "no faster than every 2 s";
    fail = true;
    EXPECT_NO_THROW(keep->tick());
    EXPECT_EQ(keep->intervalMs(), 2000);
    EXPECT_EQ(SessionKeepAlive::intervalForLease(0), 60 * 1000);
    EXPECT_EQ(SessionKeepAlive::intervalForLease(86400), 3600 * 1000);
}

} // namespace
