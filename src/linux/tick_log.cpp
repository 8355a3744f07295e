#include "linux/tick_log.h"

#include <time.h>

#include <cstdarg>
#include <stdexcept>

namespace nivora::linux_saver {

namespace {

long long ThreadCpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace

TickLog::TickLog(const std::string& path) {
    if (path.empty()) return;
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) throw std::runtime_error("cannot write " + path);
    std::setvbuf(file_, nullptr, _IOLBF, 0);
}

void TickLog::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

long long TickLog::Now() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started_).count();
}

void TickLog::Step(const char* what, long long start) {
    if (file_) std::fprintf(file_, "%s %lld %lld %lld\n", what, start, Now(), ThreadCpuMicroseconds());
}

void TickLog::Step(const char* what, long long start, PictureCycle* shown, bool holdEnabled) {
    if (!file_) return;
    Step(what, start);
    if (!shown) return;
    // A cycle made anew (a new size, another output followed) starts its
    // count again: its first line comes once it has a picture, not while it
    // waits for one.
    if (shown != loggedCycle_) {
        loggedCycle_ = shown;
        loggedPictures_ = 0;
    }
    const std::uint64_t taken = shown->LayersTaken();
    if (taken != loggedPictures_ && taken > 0) {
        const Scene& scene = shown->scene();
        std::fprintf(file_, "picture %dx%d algorithm %d background %d\n", scene.FrameDib->Width(),
                     scene.FrameDib->Height(), scene.Settings.Algorithm, scene.Settings.Background);
    }
    loggedPictures_ = taken;
    if (holdEnabled && !holdLogged_) std::fprintf(file_, "hold %lld\n", Now());
    holdLogged_ = holdEnabled;
}

void TickLog::Line(const char* format, ...) {
    if (!file_) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(file_, format, arguments);
    va_end(arguments);
    std::fputc('\n', file_);
}

}  // namespace nivora::linux_saver
