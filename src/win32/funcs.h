// The preview host: the saver drawn inside the display settings' preview pane
// (or, with no pane, in a small top-most popup). A child window of its own
// class fills the pane; a pacing thread asks for a paint every 10 ms; each
// paint advances the picture by the engine's preview painter and draws it.
// A key press on the popup ends it once the system's saver password allows.
#pragma once

#include <windows.h>

#include <string>

#include "host/registry.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {

// The /p mode: `handleText` is the second argument, the pane's window
// handle. Returns when the host window is gone. A handle that names no window
// a preview can live in (none at all, the desktop, a message-only window)
// ends it at once; no handle (0, missing or not a number) gives the popup.
// The picture is drawn with `drawing`.
void RunPreviewHost(const std::string& handleText, Registry& registry, DibDrawing& drawing);

// Whether the saver may end: the system's screen-saver password, when one is
// in use, asked through its control-panel module over `owner`. A
// ScreenSaveUsePassword stored as text is read as the number it writes, so
// "0" means no password.
bool VerifySaverPassword(HWND owner);

}  // namespace nivora::win32
