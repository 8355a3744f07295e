// nivoraglade: the X11 saver. Start-up reads the options, opens the display,
// finds the window to draw into (or makes one), and hands it to SaverWindow.
// SIGTERM and SIGINT wake its poll loop through a pipe; it then ends with
// status 0. A lost display ends it with status 1, a size too large for the
// machine's memory with status 2.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "engine/surfaces.h"
#include "engine/saver_options.h"
#include "x11/saver_window.h"
#ifdef NIVORA_WAYLAND
#include "wayland/wayland_saver.h"
#endif

using namespace nivora::x11;

namespace {

int wakePipe[2] = {-1, -1};
Window targetWindow = None;

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = write(wakePipe[1], &byte, 1);
    errno = saved;
}

// The daemon destroys its window when it unblanks; requests still on their
// way then fail. That ends the saver; any other error is reported only.
int OnXError(Display* display, XErrorEvent* error) {
    if ((error->error_code == BadWindow || error->error_code == BadDrawable) && error->resourceid == targetWindow) {
        windowGone = true;
        return 0;
    }
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "nivoraglade: X error: %s (request %d)\n", text, error->request_code);
    return 0;
}

// Xlib calls this when the connection breaks (the server ended); it must not
// return. The loop reads the connection every few milliseconds in every
// phase, so this comes at once; nothing is left to tidy up on a display that
// is gone, and the worker is not waited for.
int OnDisplayLost(Display*) {
    static const char kText[] = "nivoraglade: lost the connection to the X display\n";
    [[maybe_unused]] const auto written = write(STDERR_FILENO, kText, sizeof kText - 1);
    _exit(1);
}

bool SetUpSignals() {
    if (pipe(wakePipe) != 0) return false;
    for (int fd : wakePipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

Window MakeOwnWindow(Display* display, int width, int height) {
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                              BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, window, "Nivora Glade");
    XClassHint hint{const_cast<char*>("nivoraglade"), const_cast<char*>("NivoraGlade")};
    XSetClassHint(display, window, &hint);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XMapWindow(display, window);
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = ParseSaverOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "nivoraglade: %s (%s)\n", error.c_str(), kSaverUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(kSaverHelp, stdout);
        return 0;
    }
    if (!SetUpSignals()) {
        std::perror("nivoraglade: signals");
        return 1;
    }

#ifdef NIVORA_WAYLAND
    constexpr bool kWaylandBuilt = true;
#else
    constexpr bool kWaylandBuilt = false;
#endif
    switch (ChooseDisplay(*options, std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"), kWaylandBuilt)) {
        case DisplayKind::Missing: {
            const char* wayland = std::getenv("WAYLAND_DISPLAY");
            std::fputs(wayland && *wayland ? "nivoraglade: no X display to draw on: DISPLAY is not set\n"
                                           : "nivoraglade: no display to draw on: neither WAYLAND_DISPLAY nor DISPLAY is set\n",
                       stderr);
            return 2;
        }
        case DisplayKind::Wayland:
#ifdef NIVORA_WAYLAND
            nivora::wayland::RunSaver(*options, wakePipe[0]);  // ends the process
#else
            [[fallthrough]];  // not chosen without the Wayland front-end
#endif
        case DisplayKind::X11:
            break;
    }

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "nivoraglade: cannot open display '%s'\n", name ? name : "");
        return 1;
    }
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnDisplayLost);

    bool ownWindow = false;
    switch (options->target) {
        case Target::Root: {
            targetWindow = DefaultRootWindow(display);
            if (const char* named = std::getenv("XSCREENSAVER_WINDOW"); named && *named) {
                if (const auto id = ParseWindowId(named))
                    targetWindow = *id;
                else
                    std::fprintf(stderr, "nivoraglade: XSCREENSAVER_WINDOW '%s' is no window id; drawing on the root\n",
                                 named);
            }
            break;
        }
        case Target::WindowId:
            targetWindow = options->windowId;
            break;
        case Target::OwnWindow:
            targetWindow = MakeOwnWindow(display, options->width, options->height);
            ownWindow = true;
            break;
    }

    int status = 0;
    try {
        SaverWindow saver(display, targetWindow, ownWindow, *options, wakePipe[0]);
        saver.Run();
    } catch (const nivora::PictureMemoryError& e) {
        std::fprintf(stderr, "nivoraglade: %s\n", e.what());
        status = 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nivoraglade: %s\n", e.what());
        status = 1;
    }
    if (ownWindow && !windowGone) XDestroyWindow(display, targetWindow);
    XCloseDisplay(display);
    return status;
}
