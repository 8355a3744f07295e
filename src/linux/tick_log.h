// The saver's --tick-log, for measurements (bench/tick-log.awk reads it).
// A step of the cycle is one line "STEP START END CPU": microseconds since
// the saver started at the step's start and end, and the CPU time the
// drawing thread has used so far. "picture WxH algorithm A background B"
// follows the step that took a new picture, "hold T" the one that began a
// hold. The X11 and the Wayland saver write the same lines, so that one
// script reads both; the Wayland one adds lines of its own (outputs,
// commits, its end).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/cycle/picture_cycle.h"

namespace nivora::linux_saver {

class TickLog {
public:
    // Writes nothing when `path` is empty; throws std::runtime_error when it
    // cannot be written.
    explicit TickLog(const std::string& path);
    ~TickLog() { Close(); }
    TickLog(const TickLog&) = delete;
    TickLog& operator=(const TickLog&) = delete;

    bool Open() const { return file_ != nullptr; }
    void Close();

    long long Now() const;  // microseconds since the start

    // The line of a step that began at `start` and ends now.
    void Step(const char* what, long long start);
    // The same, then the picture line when `shown` (the cycle whose pictures
    // the log follows; none yet) took a new picture since the last step, and
    // the hold line when a hold began.
    void Step(const char* what, long long start, PictureCycle* shown, bool holdEnabled);

    [[gnu::format(printf, 2, 3)]] void Line(const char* format, ...);

private:
    using Clock = std::chrono::steady_clock;

    std::FILE* file_ = nullptr;
    Clock::time_point started_ = Clock::now();
    const PictureCycle* loggedCycle_ = nullptr;
    std::uint64_t loggedPictures_ = 0;  // of loggedCycle_
    bool holdLogged_ = false;
};

}  // namespace nivora::linux_saver
