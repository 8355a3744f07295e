// The preview host: the saver drawn inside the display settings' preview pane
// (or, with no pane, in a small top-most popup). A child window of its own
// class fills the pane; a pacing thread asks for a paint every 10 ms; each
// paint advances the picture by the engine's preview painter and draws it.
// A key press on the popup ends it once the system's saver password allows.
#pragma once

#include <windows.h>

#include <string>

#include "engine/registry.h"

namespace nivora::win32 {

// The /p mode: `handleText` is the second argument, the pane's window
// handle. Returns when the host window is gone. A handle that names no window
// ends it at once; none at all (0, missing or not a number) gives the popup.
void RunPreviewHost(const std::string& handleText, Registry& registry);

// Registers the class and creates the host window: a disabled child filling
// `parent`, or for no parent a visible popup of width x height at (left, top).
HWND CreateHostWindow(int left, int top, int width, int height, HWND parent);

// Whether the saver may end: the system's screen-saver password, when one is
// in use, asked through its control-panel module.
bool VerifySaverPassword();

}  // namespace nivora::win32
