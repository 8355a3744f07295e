// The tests' message pump: what the windows under test are sent is
// dispatched on the test's own thread, as the program's loop would.
#pragma once

#include <windows.h>

namespace nivora::win32 {

// Dispatches what is queued now, without waiting for more.
inline void Drain() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Dispatches messages for `ms` milliseconds.
inline void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        Drain();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

}  // namespace nivora::win32
