// The saver on a Wayland desktop: one full-screen surface per output (a
// layer-shell overlay, or where the compositor has none a full-screen
// xdg_toplevel), each with a picture of its output's size, all on the clock
// of one CycleGroup. Everything waits in one poll() on the connection and a
// wake-up pipe (signals): the reveal every 10 ms and the hold's end are its
// only timeouts, and the surfaces are redrawn at the pace of the
// compositor's frame callbacks, so a held picture costs nothing.
#pragma once

#include "host/saver_options.h"

namespace nivora::wayland {

// Runs until a key, a mouse jump, the wake-up pipe or the compositor ends it
// (0), or the connection is lost or cannot be made (1, with one line on
// stderr), and then ends the process with that status at once, without
// waiting for the picture worker.
[[noreturn]] void RunSaver(const x11::SaverOptions& options, int wakeFd);

}  // namespace nivora::wayland
