// Measures how quickly a window answers: waits for a visible top-level window
// with the given caption, then every 50 ms sends it WM_NULL and times the
// answer. A window answers only between two messages, so the longest answer is
// the longest time its thread was busy with one of them.
//   window_probe.exe SECONDS [CAPTION]
// Prints "visible UNIX_TIME" once the window shows, then one line per probe,
// "UNIX_TIME WINE_TIME MILLISECONDS", and "gone UNIX_TIME" if the window goes
// away. UNIX_TIME is seconds since 1970, as `date +%s.%N`; WINE_TIME is the
// performance counter in seconds, the clock of Wine's +timestamp traces, so
// that a reader can place traced events among the probes.
#define _WIN32_WINNT 0x0602  // GetSystemTimePreciseAsFileTime
#include <windows.h>

#include <cstdio>
#include <cstdlib>

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

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_probe SECONDS [CAPTION]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const char* caption = argc > 2 ? argv[2] : "Nivora Glade";

    HWND window = nullptr;
    for (int i = 0; i < 1200 && !(window && IsWindowVisible(window)); ++i) {
        Sleep(50);
        window = FindWindowA(nullptr, caption);
    }
    if (!window || !IsWindowVisible(window)) {
        std::printf("no window \"%s\"\n", caption);
        return 1;
    }
    const double start = UnixTime();
    std::printf("visible %.3f\n", start);
    std::fflush(stdout);

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
        // Every 50 ms from the start, not 50 ms after each answer.
        next.QuadPart += period;
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (next.QuadPart > now.QuadPart) Sleep(static_cast<DWORD>(Milliseconds(now, next, frequency)));
        else next = now;
    }
    return 0;
}
