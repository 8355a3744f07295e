// What the Wayland saver's outputs share: the compositor's globals, the
// picture worker and settings, the first output's seed, the tick log, and
// the calls an output makes back into the saver.
#pragma once

#include <time.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "engine/picture_worker.h"
#include "engine/scene.h"
// The protocol names an argument `namespace`, a C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client.h"
#undef namespace
#include "xdg-shell-client.h"

namespace nivora::wayland {

struct SaverState {
    using Clock = std::chrono::steady_clock;

    wl_compositor* compositor = nullptr;
    std::uint32_t compositorVersion = 0;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    xdg_wm_base* wmBase = nullptr;

    SaverSettings settings;
    std::uint32_t firstSeed = 0;
    PictureWorker worker;

    bool globalsKnown = false;  // after the first round trip
    bool surfaceClosed = false; // the compositor closed a surface
    bool quit = false;
    int status = 0;

    std::FILE* tickLog = nullptr;
    Clock::time_point started = Clock::now();

    // An output's picture was made anew (its cycles must be grouped again).
    bool regroup = false;

    long long Now() const {
        return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started).count();
    }
    // The CPU time of the calling thread (the one that draws), for the log.
    static long long ThreadCpu() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
    }
};

}  // namespace nivora::wayland
