#include "x11/x11_saver.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "engine/pictures/surfaces.h"
#include "x11/saver_window.h"

namespace nivora::x11 {

namespace {

Window targetWindow = None;

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

Window MakeOwnWindow(Display* display, int width, int height) {
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                              BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, window, "Nivora Glade");
    XClassHint hint{const_cast<char*>("nivoraglade"), const_cast<char*>("NivoraGlade")};
    XSetClassHint(display, window, &hint);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    // A window that wants keys says so: a window manager may read a window
    // without hints either way.
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(display, window, &hints);
    XMapWindow(display, window);
    return window;
}

}  // namespace

int RunSaver(const SaverOptions& options, int wakeFd) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "nivoraglade: cannot open display '%s'\n", name ? name : "");
        return 1;
    }
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnDisplayLost);

    bool ownWindow = false;
    switch (options.target) {
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
            targetWindow = options.windowId;
            break;
        case Target::OwnWindow:
            targetWindow = MakeOwnWindow(display, options.width, options.height);
            ownWindow = true;
            break;
    }

    int status = 0;
    try {
        SaverWindow saver(display, targetWindow, ownWindow, options, wakeFd);
        saver.Run();
    } catch (const PictureMemoryError& e) {
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

}  // namespace nivora::x11
