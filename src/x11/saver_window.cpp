#include "x11/saver_window.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "host/mouse_jump.h"
#include "linux/saver_memory.h"

namespace nivora::x11 {

volatile bool windowGone = false;

namespace {

constexpr auto kResizeSettle = std::chrono::milliseconds(150);
// Pixels converted and sent to the window in one go: a full-HD frame at
// once (a few milliseconds), an 8K or larger one in bands.
constexpr int kPixelsPerBand = 1920 * 1088;

std::string WindowName(Window window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

}  // namespace

SaverWindow::SaverWindow(Display* display, Window window, bool ownWindow, const SaverOptions& options, int wakeFd)
    : SaverLoop(options, wakeFd), display_(display), window_(window), ownWindow_(ownWindow) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        throw std::runtime_error("cannot read the attributes of window " + WindowName(window));
    visual_ = attributes.visual;
    depth_ = attributes.depth;
    windowWidth_ = attributes.width;
    windowHeight_ = attributes.height;

    // Only events every client may select on a window it does not own: the
    // daemon (or whoever made the window) keeps the keyboard and the mouse.
    long events = ExposureMask | StructureNotifyMask;
    if (ownWindow_) events |= KeyPressMask | PointerMotionMask;
    XSelectInput(display, window, events);
    gc_ = XCreateGC(display, window, 0, nullptr);
    deleteWindow_ = XInternAtom(display, "WM_DELETE_WINDOW", False);
    if (ownWindow_) {
        Window root, child;
        int wx, wy;
        unsigned mask;
        XQueryPointer(display, window, &root, &child, &lastPointerX_, &lastPointerY_, &wx, &wy, &mask);
    }
    random_.Seed = firstSeed_;
}

SaverWindow::~SaverWindow() {
    cycle_.reset();  // stops the worker's job before the scene goes
    image_.reset();
    XFreeGC(display_, gc_);
}

void SaverWindow::NewPicture(int width, int height) {
    const long long start = log_.Now();
    const PictureCycle::SequencePlace place = cycle_ ? cycle_->Place() : PictureCycle::SequencePlace{};
    cycle_.reset();
    image_.reset();
    scene_.reset();  // the old picture's memory goes before the new one's is asked for
    auto scene = std::make_unique<Scene>();
    scene->Settings = settings_;
    linux_saver::MakeSaverSurfaces(*scene, width, height, 1);  // and the window's image
    scene_ = std::move(scene);
    image_ = std::make_unique<WindowImage>(display_, visual_, depth_, width, height);
    cycle_ = std::make_unique<PictureCycle>(*scene_, SoftwareImaging(), random_, worker_);
    cycle_->SwapFramesOnTake();  // the frame is looked up in the scene for every band shown
    deadlines_.Clear();
    pendingRows_ = RowSpan{};

    // Black until the worker has laid the first field: the window may hold
    // anything until then (the root's pattern, the host's last picture). In
    // a TrueColor visual black is pixel 0.
    XSetForeground(display_, gc_, 0);
    XFillRectangle(display_, window_, gc_, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    // A new size goes on with the seed's pictures where the old one was.
    Follow(KeepRows(cycle_->ContinueAt(place)));
    LogStep("first", start);
}

CycleSchedule SaverWindow::KeepRows(const CycleAnswer& answer) {
    pendingRows_.Add(answer.rows);
    return answer.schedule;
}

void SaverWindow::ShowPendingRows() {
    if (pendingRows_.Empty()) return;
    if (scene_->FrameGraphics) scene_->FrameGraphics->Flush();
    const int band = std::max(1, kPixelsPerBand / std::max(image_->Width(), 1));
    const int first = pendingRows_.first;
    const int last = std::min(pendingRows_.last, first + band - 1);
    image_->CopyRows(*scene_->FrameDib, first, last);
    image_->Put(window_, gc_, 0, first, image_->Width(), last - first + 1);
    pendingRows_.first = last + 1;
}

void SaverWindow::HandleEvent(const XEvent& event) {
    switch (event.type) {
        case Expose:
            // The image holds the frame as last shown: no erasing, no redraw.
            if (image_) image_->Put(window_, gc_, event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                    event.xexpose.height);
            break;
        case ConfigureNotify:
            if (event.xconfigure.window != window_) break;
            windowWidth_ = event.xconfigure.width;
            windowHeight_ = event.xconfigure.height;
            if (image_ && windowWidth_ == image_->Width() && windowHeight_ == image_->Height())
                resizeAt_.reset();
            else
                resizeAt_ = Clock::now() + kResizeSettle;
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == window_) quit_ = true;
            break;
        case ClientMessage:
            if (ownWindow_ && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) quit_ = true;
            break;
        case KeyPress:
            if (ownWindow_) quit_ = true;
            break;
        case MotionNotify:
            if (ownWindow_) {
                const int x = event.xmotion.x_root, y = event.xmotion.y_root;
                if (IsMouseJump(lastPointerX_, lastPointerY_, x, y)) quit_ = true;
                lastPointerX_ = x;
                lastPointerY_ = y;
            }
            break;
        default:
            break;
    }
}

void SaverWindow::Run() {
    NewPicture(windowWidth_, windowHeight_);
    RunLoop();  // a lost display ends the process in Xlib's handler
}

bool SaverWindow::Dispatch() {
    while (!quit_ && XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        HandleEvent(event);
    }
    return true;
}

bool SaverWindow::Ended() const { return quit_ || windowGone; }

bool SaverWindow::DoOwnWork(Clock::time_point now) {
    if (!resizeAt_ || now < *resizeAt_) return false;
    resizeAt_.reset();
    NewPicture(windowWidth_, windowHeight_);
    return true;
}

bool SaverWindow::PreparePoll(pollfd& connection) {
    XFlush(display_);
    connection.fd = ConnectionNumber(display_);
    return true;
}

std::optional<SaverWindow::Clock::time_point> SaverWindow::OwnDeadline() const {
    // Events already read, or rows still to show: no waiting.
    if (XEventsQueued(display_, QueuedAlready) || !pendingRows_.Empty()) return Clock::time_point::min();
    return resizeAt_;
}

void SaverWindow::LogStep(const char* what, long long start) {
    log_.Step(what, start, cycle_.get(), cycle_->HoldEnabled());
}

}  // namespace nivora::x11
