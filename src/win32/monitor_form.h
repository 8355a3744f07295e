// A saver window on a monitor other than the primary one: a bare popup over
// the monitor's rectangle with a picture of its own. Its timers, its input
// and its end belong to the saver window (TForm1), which passes its keys and
// mouse moves on; it never becomes the main window.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "win32/forms/forms.h"
#include "win32/screen_picture.h"

namespace nivora::win32 {

class TMonitorForm : public TForm {
public:
    TMonitorForm(TApplication& application, const RECT& monitor, std::function<void(WPARAM)> keyDown, std::function<void()> mouseMove);

    ScreenPicture Picture;
    RECT Monitor() const { return monitor_; }

private:
    void DoKeyDown(WPARAM key) override { keyDown_(key); }
    void DoMouseMove() override { mouseMove_(); }
    bool PaintsItself() const override { return true; }
    void DoPaint(HDC dc, const RECT& area) override { Picture.Paint(Handle(), dc, area); }
    bool DoMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    RECT monitor_;
    bool placed_ = false;
    int returns_ = 0;
    std::function<void(WPARAM)> keyDown_;
    std::function<void()> mouseMove_;
};

// The primary monitor's size, in physical pixels.
SIZE PrimaryScreenSize();

// The rectangles of every monitor but the primary one, in physical pixels.
std::vector<RECT> OtherMonitors();

}  // namespace nivora::win32
