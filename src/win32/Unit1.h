// The saver window: full screen (or half screen beside the settings window),
// it builds the scene at creation, reveals each snowflake cell by cell with
// Timer1, holds the finished picture with Timer2, and ends on a key press or a
// jump of the mouse.
#pragma once

#include <windows.h>

#include "win32/forms.h"

namespace nivora::win32 {

// A jump of more than 100 pixels on either axis between two mouse-move events.
bool IsMouseJump(POINT last, POINT now);

class TForm1 : public TForm {
public:
    TForm1();

    TTimer Timer1;  // the reveal, every 10 ms
    TTimer Timer2;  // the hold, TimeShow seconds

    // The picture on screen now: the whole frame copied onto the window.
    void ShowFrame();

private:
    void FormCreate();
    void Timer1Timer();
    void Timer2Timer();
    void FormKeyDown(WPARAM key);
    void FormMouseMove();
    void FormClose();

    void DoClose() override { FormClose(); }
    void DoKeyDown(WPARAM key) override { FormKeyDown(key); }
    void DoMouseMove() override { FormMouseMove(); }

    POINT LastCursorPos{};
};

extern TForm1* Form1;

}  // namespace nivora::win32
