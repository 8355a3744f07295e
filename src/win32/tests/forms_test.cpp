// The forms glue under a real message queue: timer semantics, the general
// error handler, the main-window rule, and the saver's mouse-jump rule.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "win32/Unit1.h"
#include "win32/forms.h"

namespace nivora::win32 {
namespace {

class TestForm : public TForm {
public:
    TestForm() : TForm("TTestForm", RGB(128, 128, 128)) { SetBounds(0, 0, 160, 120); }
    using TForm::CreationComplete;
};

// Dispatches messages for `ms` milliseconds.
void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    MSG message;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Dispatches what is queued now, without waiting for more.
void Drain() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

TEST(Timer, IntervalZeroNeverFiresAndANonZeroOneDoes) {
    TestForm form;
    TTimer timer(form, 0, true);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    Pump(150);
    EXPECT_EQ(ticks, 0);
    timer.SetInterval(20);
    Pump(200);
    EXPECT_GT(ticks, 2);
    timer.SetEnabled(false);
    Drain();
    const int stopped = ticks;
    Pump(100);
    EXPECT_EQ(ticks, stopped);
}

TEST(Timer, ANewIntervalStartsThePeriodAgain) {
    TestForm form;
    TTimer timer(form, 400, true);
    DWORD firstTick = 0;
    timer.OnTimer = [&] {
        if (!firstTick) firstTick = GetTickCount();
    };
    Pump(250);
    const DWORD changed = GetTickCount();
    timer.SetInterval(300);  // without the restart the old period would end 150 ms from now
    Pump(600);
    ASSERT_NE(firstTick, 0u);
    EXPECT_GE(firstTick - changed, 280u);
}

TEST(Timer, AtMostOneTickIsPendingAndDisablingDropsIt) {
    TestForm form;
    TTimer timer(form, 10, true);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    Sleep(200);  // a handler that runs long: twenty periods pass
    Drain();
    EXPECT_EQ(ticks, 1);

    Sleep(50);
    timer.SetEnabled(false);
    Drain();
    EXPECT_EQ(ticks, 1);
}

TEST(GeneralErrorHandler, TakesWhatAHandlerThrowsAndTheLoopGoesOn) {
    std::vector<std::string> shown;
    Application.OnException = [&](const std::string& message) { shown.push_back(message); };
    TestForm form;
    TTimer timer(form, 20, true);
    int ticks = 0;
    timer.OnTimer = [&] {
        if (++ticks == 1) throw std::runtime_error("Invalid data type for 'Time_Show'");
    };
    Pump(200);
    Application.OnException = nullptr;
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Invalid data type for 'Time_Show'");
    EXPECT_GT(ticks, 2);
}

// The only test that completes a creation: the first form to complete is the
// main form, even when it was started inside another one's creation.
TEST(MainWindow, TheFirstFormToCompleteItsCreation) {
    ASSERT_EQ(Application.MainForm(), nullptr);
    struct Outer : TestForm {
        TestForm inner;
        Outer() {
            inner.CreationComplete();
            CreationComplete();
        }
    } outer;
    EXPECT_EQ(Application.MainForm(), &outer.inner);

    // Closing a form that is not the main form only hides it.
    outer.Show();
    outer.Close();
    EXPECT_FALSE(IsWindowVisible(outer.Handle()));
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    // Closing the main form ends the message loop, and it leaves the screen
    // before that.
    outer.inner.Show();
    outer.inner.Close();
    EXPECT_FALSE(IsWindowVisible(outer.inner.Handle()));
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(SaverMouse, OnlyAJumpOfMoreThan100PixelsOnEitherAxisCounts) {
    const POINT origin{500, 400};
    EXPECT_FALSE(IsMouseJump(origin, {600, 500}));
    EXPECT_FALSE(IsMouseJump(origin, {400, 300}));
    EXPECT_TRUE(IsMouseJump(origin, {601, 400}));
    EXPECT_TRUE(IsMouseJump(origin, {500, 299}));
    EXPECT_TRUE(IsMouseJump({-2147483647 - 1, 0}, {2147483647, 0}));  // no overflow
}

}  // namespace
}  // namespace nivora::win32
