// What the X11 saver's tests need from a second X client:
//   x11_test_window WxH          maps a window at 0,0, prints its id, stays until killed
//   x11_test_window --close ID   asks window ID to close (WM_DELETE_WINDOW), as a window manager would
//   x11_test_window --grab       grabs keyboard and pointer for a moment: prints "grabbed" when
//                                nobody else holds them
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (!display || argc < 2) return 2;
    const Window root = DefaultRootWindow(display);

    if (std::strcmp(argv[1], "--close") == 0 && argc == 3) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = std::strtoul(argv[2], nullptr, 0);
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
        XCloseDisplay(display);
        return 0;
    }
    if (std::strcmp(argv[1], "--grab") == 0) {
        const int keyboard = XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        const int pointer = XGrabPointer(display, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                                         None, CurrentTime);
        std::printf(keyboard == GrabSuccess && pointer == GrabSuccess ? "grabbed\n" : "refused %d %d\n", keyboard,
                    pointer);
        XCloseDisplay(display);
        return 0;
    }

    unsigned width = 0, height = 0;
    if (std::sscanf(argv[1], "%ux%u", &width, &height) != 2) return 2;
    const Window window = XCreateSimpleWindow(display, root, 0, 0, width, height, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("%lu\n", window);
    std::fflush(stdout);
    for (;;) pause();
}
