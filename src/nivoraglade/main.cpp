// nivoraglade, the Linux saver: start-up reads the options, sets up the
// wake-up pipe and chooses the display, then hands over to the X11 or the
// Wayland front-end. SIGTERM and SIGINT wake their poll loop through the
// pipe; the saver then ends with status 0. A bad option or no display ends
// it with status 2; the front-ends say what else ends it, and how.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/saver_options.h"
#include "x11/x11_saver.h"
#ifdef NIVORA_WAYLAND
#include "wayland/idle_watch.h"
#include "wayland/wayland_saver.h"
#endif

using namespace nivora::x11;

namespace {

int wakePipe[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = write(wakePipe[1], &byte, 1);
    errno = saved;
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
            if (options->idleMs) nivora::wayland::RunIdleWatch(*options, wakePipe[0]);  // ends the process
            nivora::wayland::RunSaver(*options, wakePipe[0]);  // ends the process
#else
            [[fallthrough]];  // not chosen without the Wayland front-end
#endif
        case DisplayKind::X11:
            break;
    }
    if (options->idleMs) {
        std::fputs("nivoraglade: --idle works on Wayland desktops (WAYLAND_DISPLAY); on X11 the screen-saver daemon "
                   "starts the saver\n",
                   stderr);
        return 2;
    }
    return nivora::x11::RunSaver(*options, wakePipe[0]);
}
