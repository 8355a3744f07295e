// The forms glue under a real message queue: timer semantics, the general
// error handler and its box text, the main-window rule, and the saver's
// mouse-jump rule.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "win32/Unit1.h"
#include "win32/forms/forms.h"
#include "messages.h"

namespace nivora::win32 {
namespace {

class TestForm : public TForm {
public:
    explicit TestForm(TApplication& application) : TForm(application, "TTestForm", RGB(128, 128, 128)) {
        SetBounds(0, 0, 160, 120);
    }
    using TForm::CreationComplete;
};

TEST(Timer, IntervalZeroNeverFiresAndANonZeroOneDoes) {
    TApplication application;
    TestForm form(application);
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
    TApplication application;
    TestForm form(application);
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
    TApplication application;
    TestForm form(application);
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

TEST(GeneralErrorHandler, ShowsWhatAHandlerThrewAndEndsTheLoopOnlyOnTheProgramsWord) {
    TApplication application;
    std::vector<std::string> shown;
    application.OnException = [&](const std::string& message) { shown.push_back(message); };
    TestForm form(application);
    TTimer timer(form, 20, true);
    int ticks = 0;
    timer.OnTimer = [&] {
        if (++ticks == 1) throw std::runtime_error("Invalid data type for 'Time_Show'");
    };
    Pump(200);
    timer.SetEnabled(false);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Invalid data type for 'Time_Show'");
    EXPECT_GT(ticks, 2);

    // Without the program's reading even a failed allocation only shows its
    // text; with it, the program's text and its end of the loop.
    MSG message;
    application.Guarded([] { throw std::bad_alloc(); });
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    application.ReadError = [](std::exception_ptr) { return ErrorVerdict{"Not enough memory for a picture", true}; };
    application.Guarded([] { throw std::bad_alloc(); });
    EXPECT_EQ(shown.back(), "Not enough memory for a picture");
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    // A reading that fails itself still leaves the exception's own text.
    application.ReadError = [](std::exception_ptr) -> ErrorVerdict { throw std::runtime_error("unread"); };
    application.Guarded([] { throw std::logic_error("Code 7"); });
    EXPECT_EQ(shown.back(), "Code 7");
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_EQ(shown.size(), 4u);
}

TEST(GeneralErrorHandler, BoxTextFullStopOnlyAfterCharactersSortingAfterIt) {
    EXPECT_EQ(ErrorBoxText("Disk full"), "Disk full.");
    EXPECT_EQ(ErrorBoxText("Code 7"), "Code 7.");
    EXPECT_EQ(ErrorBoxText("Failed to get data for 'Brightness'"), "Failed to get data for 'Brightness'");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("Really?"), "Really?.");  // '?' sorts after '.'
    EXPECT_EQ(ErrorBoxText("Stop!"), "Stop!");
    EXPECT_EQ(ErrorBoxText("a-"), "a-");
    EXPECT_EQ(ErrorBoxText("path/"), "path/.");
    EXPECT_EQ(ErrorBoxText("caf\xe9"), "caf\xe9.");  // above 127 sorts after '.' too
    EXPECT_EQ(ErrorBoxText(""), "");
}

// The only test that completes a creation: the first form to complete is the
// main form, even when it was started inside another one's creation.
TEST(MainWindow, TheFirstFormToCompleteItsCreation) {
    TApplication application;
    ASSERT_EQ(application.MainForm(), nullptr);
    struct Outer : TestForm {
        TestForm inner;
        explicit Outer(TApplication& application) : TestForm(application), inner(application) {
            inner.CreationComplete();
            CreationComplete();
        }
    } outer(application);
    EXPECT_EQ(application.MainForm(), &outer.inner);

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

}  // namespace
}  // namespace nivora::win32
