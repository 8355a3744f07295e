// Measures how quickly a window answers: waits for a visible top-level window
// with the given caption, then every 50 ms sends it WM_NULL and times the
// answer. A window answers only between two messages, so the longest answer is
// the longest time its thread was busy with one of them.
//   window_probe.exe [--from-creation] SECONDS [CAPTION]
// Prints "visible UNIX_TIME" once the window shows, then one line per probe,
// "UNIX_TIME WINE_TIME MILLISECONDS", and "gone UNIX_TIME" if the window goes
// away. With --from-creation the probes start as soon as the window exists,
// shown or not ("waiting UNIX_TIME" once it looks, "exists UNIX_TIME", "visible" among the probes), and
// "field UNIX_TIME" tells when the screen under the window's left tenth
// first shows something other than black: the first picture's field. UNIX_TIME is seconds since 1970, as `date +%s.%N`; WINE_TIME is the
// performance counter in seconds, the clock of Wine's +timestamp traces, so
// that a reader can place traced events among the probes.
#define _WIN32_WINNT 0x0602  // GetSystemTimePreciseAsFileTime
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

double UnixTime() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr unsigned long long kUnixEpoch = 116444736000000000ULL;  // 1970 in 100 ns since 1601
    return static_cast<double>(ticks - kUnixEpoch) / 1e7;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

namespace {

// Five pixels of the screen under the window's left tenth, where the field
// shows and the snowflake's square does not: any of them not black.
bool FieldShows(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect) || rect.right <= rect.left) return false;
    HDC screen = GetDC(nullptr);
    bool shows = false;
    for (int i = 1; i <= 5 && !shows; ++i) {
        const COLORREF pixel =
            GetPixel(screen, rect.left + (rect.right - rect.left) / 10, rect.top + (rect.bottom - rect.top) * i / 6);
        shows = pixel != CLR_INVALID && (pixel & 0xFFFFFF) != 0;
    }
    ReleaseDC(nullptr, screen);
    return shows;
}

}  // namespace

int main(int argc, char** argv) {
    bool fromCreation = false;
    if (argc > 1 && std::strcmp(argv[1], "--from-creation") == 0) {
        fromCreation = true;
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_probe [--from-creation] SECONDS [CAPTION]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const char* caption = argc > 2 ? argv[2] : "Nivora Glade";

    HWND window = nullptr;
    if (fromCreation) {
        std::printf("waiting %.3f\n", UnixTime());
        std::fflush(stdout);
        for (int i = 0; i < 60000 && !window; ++i) {
            Sleep(1);
            window = FindWindowA(nullptr, caption);
        }
    } else {
        for (int i = 0; i < 1200 && !(window && IsWindowVisible(window)); ++i) {
            Sleep(50);
            window = FindWindowA(nullptr, caption);
        }
    }
    if (!window || !(fromCreation || IsWindowVisible(window))) {
        std::printf("no window \"%s\"\n", caption);
        return 1;
    }
    const double start = UnixTime();
    std::printf("%s %.3f\n", fromCreation ? "exists" : "visible", start);
    std::fflush(stdout);
    bool visible = !fromCreation, field = !fromCreation;
    // Between probes: whether the window shows yet, and then its field.
    auto look = [&] {
        if (!visible && IsWindowVisible(window)) {
            visible = true;
            std::printf("visible %.3f\n", UnixTime());
            std::fflush(stdout);
        }
        if (visible && !field && FieldShows(window)) {
            field = true;
            std::printf("field %.3f\n", UnixTime());
            std::fflush(stdout);
        }
    };

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER next;
    QueryPerformanceCounter(&next);
    const LONGLONG period = frequency.QuadPart / 20;
    while (UnixTime() - start < seconds) {
        LARGE_INTEGER sent, answered;
        const double at = UnixTime();
        QueryPerformanceCounter(&sent);
        DWORD_PTR result = 0;
        const LRESULT ok = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        QueryPerformanceCounter(&answered);
        if (!ok && !IsWindow(window)) {
            std::printf("gone %.3f\n", at);
            return 0;
        }
        std::printf("%.4f %.4f %.2f\n", at, static_cast<double>(sent.QuadPart) / static_cast<double>(frequency.QuadPart),
                    Milliseconds(sent, answered, frequency));
        std::fflush(stdout);
        // Every 50 ms from the start, not 50 ms after each answer; looking
        // every 10 ms in between.
        next.QuadPart += period;
        for (;;) {
            look();
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            if (next.QuadPart <= now.QuadPart) {
                if (now.QuadPart - next.QuadPart > period) next = now;
                break;
            }
            const double left = Milliseconds(now, next, frequency);
            Sleep(static_cast<DWORD>(left < 10 ? left : 10));
        }
    }
    return 0;
}
