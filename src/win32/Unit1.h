// The saver window: full screen (or half screen beside the settings window).
// Its creation loads the settings and makes the first picture; from then on
// it only translates: Timer1 (the reveal) and Timer2 (the hold) call the
// engine's picture cycle, and the rows the cycle drew are copied to the
// window. A key press or a jump of the mouse ends the full-screen saver.
#pragma once

#include <windows.h>

#include <memory>

#include "engine/picture_cycle.h"
#include "engine/picture_worker.h"
#include "engine/random.h"
#include "engine/registry.h"
#include "engine/scene.h"
#include "win32/forms.h"

namespace nivora::win32 {

// True when the saver window runs beside the settings window; set before the
// saver window is created.
extern bool ConfigMode;

// A jump of more than 100 pixels on either axis between two mouse-move events.
bool IsMouseJump(POINT last, POINT now);

class TForm1 : public TForm {
public:
    explicit TForm1(Registry& registry);
    ~TForm1() override;

    TTimer Timer1;  // the reveal, every 10 ms
    TTimer Timer2;  // the hold, TimeShow seconds

    Scene& PictureScene() { return scene_; }
    PictureCycle& Cycle() { return *cycle_; }

    // After any call into the cycle: the timers follow what it says, and the
    // rows it drew go to the window.
    void FollowCycle();

private:
    void FormCreate(Registry& registry);
    void Timer1Timer();
    void Timer2Timer();
    void FormKeyDown(WPARAM key);
    void FormMouseMove();
    void FormClose();

    void DoClose() override { FormClose(); }
    void DoKeyDown(WPARAM key) override { FormKeyDown(key); }
    void DoMouseMove() override { FormMouseMove(); }
    bool PaintsItself() const override { return true; }
    void DoPaint(HDC dc, const RECT& area) override;

    // Runs a step of the picture; memory that runs out in it (here or on the
    // worker) is reported with the picture's size and what it needs.
    template <class Step>
    void Picturing(Step&& step);

    // Copies frame rows first..last to the window.
    void ShowRows(int first, int last);

    POINT LastCursorPos{};
    Scene scene_;
    RandomGenerator random_;
    PictureWorker worker_;
    std::unique_ptr<PictureCycle> cycle_;
    HDC frameDC_ = nullptr;  // the DIB section's memory DC
    int clientWidth_ = 0, clientHeight_ = 0;
};

extern TForm1* Form1;

}  // namespace nivora::win32
