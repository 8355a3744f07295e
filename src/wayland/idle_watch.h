// nivoraglade --idle MINUTES: a small process that waits until the session
// has been idle that long, runs the saver (this same program, with the other
// arguments) over every output, waits for it to end (a key or a jump of the
// pointer ends it, as anywhere), and waits again. For desktops where nothing
// else starts the saver: GNOME, and KDE or wlroots ones without swayidle.
#pragma once

#include "host/saver_options.h"

namespace nivora::wayland {

// Runs until SIGTERM or SIGINT (the wake-up pipe; the saver running is ended
// too: status 0), or until the source of idle times is lost (1) or there is
// none (2), with one line on stderr; then ends the process.
[[noreturn]] void RunIdleWatch(const x11::SaverOptions& options, int wakeFd);

}  // namespace nivora::wayland
