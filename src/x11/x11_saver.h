// The saver on an X display: in the window --root or --window-id names, or
// in one of its own.
#pragma once

#include "host/saver_options.h"

namespace nivora::x11 {

// Runs until the window goes, the wake-up pipe or (in its own window) input
// ends it, and returns the exit status: 0, or 1 when the display cannot be
// opened or something fails, 2 when a size needs more memory than the
// machine has. A lost display ends the process at once with status 1.
int RunSaver(const SaverOptions& options, int wakeFd);

}  // namespace nivora::x11
