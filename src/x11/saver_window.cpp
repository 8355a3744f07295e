#include "x11/saver_window.h"

#include <poll.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "engine/mouse_jump.h"
#include "engine/reveal.h"
#include "engine/surfaces.h"

namespace nivora::x11 {

volatile bool windowGone = false;

namespace {

constexpr auto kResizeSettle = std::chrono::milliseconds(150);
// Pixels converted and sent to the window in one go: a full-HD frame at
// once (a few milliseconds), an 8K or larger one in bands.
constexpr int kPixelsPerBand = 1920 * 1088;

std::uint64_t FrameBytes(int width, int height) {
    return ((3 * static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t{3}) * static_cast<std::uint64_t>(height);
}

std::string WindowName(Window window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

long long Microseconds(SaverWindow::Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

long long ThreadCpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace

SaverWindow::SaverWindow(Display* display, Window window, bool ownWindow, const SaverOptions& options, int wakeFd)
    : display_(display), window_(window), ownWindow_(ownWindow), wakeFd_(wakeFd), settings_(options.settings) {
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

    if (options.seed)
        random_.Seed = *options.seed;
    else
        random_.Randomize();

    if (!options.tickLog.empty()) {
        tickLog_ = std::fopen(options.tickLog.c_str(), "w");
        if (!tickLog_) throw std::runtime_error("cannot write " + options.tickLog);
        std::setvbuf(tickLog_, nullptr, _IOLBF, 0);
    }
    started_ = Clock::now();
}

SaverWindow::~SaverWindow() {
    cycle_.reset();  // stops the worker's job before the scene goes
    image_.reset();
    XFreeGC(display_, gc_);
    if (tickLog_) std::fclose(tickLog_);
}

std::uint64_t SaverMemoryBytes(int width, int height) {
    Scene geometry;
    SetSaverGeometry(geometry, width, height);
    return SaverMemoryBytes(geometry, width, height);
}

std::uint64_t SaverMemoryBytes(const Scene& geometry, int width, int height) {
    const std::uint64_t image = 4 * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    return PictureMemoryBytes(geometry, width, height) + FrameBytes(width, height) + image;
}

std::uint64_t UsableMemoryBytes() {
    std::uint64_t usable = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
    // A container's limit reads "max" when there is none.
    std::ifstream group("/sys/fs/cgroup/memory.max");
    std::uint64_t limit = 0;
    if (group >> limit && limit > 0) usable = std::min(usable, limit);
    rlimit space{};
    if (getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY)
        usable = std::min<std::uint64_t>(usable, space.rlim_cur);
    return usable;
}

void SaverWindow::NewPicture(int width, int height) {
    const auto start = Clock::now();
    cycle_.reset();
    image_.reset();
    scene_.reset();  // the old picture's memory goes before the new one's is asked for
    auto scene = std::make_unique<Scene>();
    scene->Settings = settings_;
    SetSaverGeometry(*scene, width, height);
    // Pages are written as the picture is made, long after they were
    // reserved: a size the machine cannot hold would first slow everything
    // down, then end in the kernel's out-of-memory killer. Refuse it now.
    if (const std::uint64_t needs = SaverMemoryBytes(*scene, width, height); needs > UsableMemoryBytes())
        throw PictureMemoryError(width, height, needs);
    CreateSurfaces(*scene, SoftwareImaging(), width, height);
    scene_ = std::move(scene);
    image_ = std::make_unique<WindowImage>(display_, visual_, depth_, width, height);
    cycle_ = std::make_unique<PictureCycle>(*scene_, SoftwareImaging(), random_, worker_);
    cycle_->SwapFramesOnTake();  // the frame is looked up in the scene for every band shown
    deadlines_.Clear();
    pendingRows_ = RowSpan{};
    loggedPictures_ = 0;
    holdLogged_ = false;

    // Black until the worker has laid the first field: the window may hold
    // anything until then (the root's pattern, the host's last picture). In
    // a TrueColor visual black is pixel 0.
    XSetForeground(display_, gc_, 0);
    XFillRectangle(display_, window_, gc_, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    FollowCycle(cycle_->FirstPicture());
    Log("first", start);
}

void SaverWindow::FollowCycle(const CycleSchedule& schedule) {
    deadlines_.Follow(schedule, Clock::now());
    pendingRows_.Add(cycle_->TakeChangedRows());
    ShowPendingRows();
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

void SaverWindow::RevealTimer() {
    const auto start = Clock::now();
    deadlines_.RevealTaken(start);
    FollowCycle(cycle_->RevealTick());
    Log("tick", start);
}

void SaverWindow::HoldTimer() {
    const auto start = Clock::now();
    deadlines_.HoldTaken();
    FollowCycle(cycle_->HoldEnd());
    Log("hold-end", start);
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
    while (!quit_ && !windowGone) {
        while (!quit_ && XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            HandleEvent(event);
        }
        if (quit_ || windowGone) break;

        const auto now = Clock::now();
        if (resizeAt_ && now >= *resizeAt_) {
            resizeAt_.reset();
            NewPicture(windowWidth_, windowHeight_);
        } else if (deadlines_.HoldDue(now)) {
            HoldTimer();
        } else if (deadlines_.RevealDue(now)) {
            RevealTimer();
        } else {
            ShowPendingRows();
        }
        XFlush(display_);

        pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const bool busy = XEventsQueued(display_, QueuedAlready) || !pendingRows_.Empty();
        const int timeout = busy ? 0 : deadlines_.PollTimeoutMs(Clock::now(), resizeAt_);
        if (poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN)) quit_ = true;
    }
}

void SaverWindow::Log(const char* what, Clock::time_point start) {
    if (!tickLog_) return;
    const auto end = Clock::now();
    std::fprintf(tickLog_, "%s %lld %lld %lld\n", what, Microseconds(start - started_), Microseconds(end - started_),
                 ThreadCpuMicroseconds());
    if (cycle_->LayersTaken() != loggedPictures_) {
        loggedPictures_ = cycle_->LayersTaken();
        std::fprintf(tickLog_, "picture %dx%d algorithm %d background %d\n", image_->Width(), image_->Height(),
                     scene_->Settings.Algorithm, scene_->Settings.Background);
    }
    if (cycle_->HoldEnabled() && !holdLogged_) std::fprintf(tickLog_, "hold %lld\n", Microseconds(end - started_));
    holdLogged_ = cycle_->HoldEnabled();
}

}  // namespace nivora::x11
