// The command line of the Linux saver, on X11 and on Wayland. It follows
// the conventions of the X11 screen-saver collections: --root (into the
// window the daemon names in XSCREENSAVER_WINDOW, or the root window),
// --window-id ID, or a window of its own; the six settings as options with
// the Windows program's defaults. Options are also taken with a single dash
// (-root), as X programs often are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/pictures/scene.h"

namespace nivora::x11 {

enum class Target { OwnWindow, Root, WindowId };

// Which display system the saver talks to.
enum class DisplayKind { Missing, X11, Wayland };

struct SaverOptions {
    Target target = Target::OwnWindow;
    unsigned long windowId = 0;  // with Target::WindowId
    int width = 1280, height = 720;  // of the own window
    SaverSettings settings = kDefaultSettings;
    std::optional<std::uint32_t> seed;
    std::string tickLog;  // one line per cycle call, for measurements
    bool help = false;
    bool wayland = false, x11 = false;  // --wayland, --x11
    // --idle MINUTES: wait for the session to be idle that long, run the
    // saver (the same arguments without these two), and wait again.
    int idleMs = 0;  // 0: not given
    std::vector<std::string> saverArgs;  // with idleMs: the saver's own arguments
};

// Parses the arguments after the program name. On a bad argument returns
// nothing and sets `error` to a one-line message.
std::optional<SaverOptions> ParseSaverOptions(const std::vector<std::string>& args, std::string& error);

// An X window id in decimal or 0x hex, nothing before or after it; 0 and
// values beyond 32 bits are refused.
std::optional<unsigned long> ParseWindowId(const std::string& text);

// --wayland, else --x11, else an X window named by --root or --window-id,
// else WAYLAND_DISPLAY, else DISPLAY (an unset or empty variable is none).
// Without the Wayland front-end built in, an X display serves in any case.
DisplayKind ChooseDisplay(const SaverOptions& options, const char* waylandDisplay, const char* x11Display,
                          bool waylandBuilt);

extern const char* const kSaverUsage;  // one line
extern const char* const kSaverHelp;   // the --help text

}  // namespace nivora::x11
