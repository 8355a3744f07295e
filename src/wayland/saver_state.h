// What the Wayland saver's outputs share: the compositor's globals, the
// picture worker and settings, the first output's seed, the tick log, and
// the calls an output makes back into the saver.
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <cstdio>

#include "engine/cycle/picture_worker.h"
#include "engine/pictures/scene.h"
#include "linux/tick_log.h"
#include "wayland/protocols.h"

namespace nivora::wayland {

struct SaverState {
    wl_compositor* compositor = nullptr;
    std::uint32_t compositorVersion = 0;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    xdg_wm_base* wmBase = nullptr;

    SaverSettings settings;
    std::uint32_t firstSeed = 0;
    PictureWorker worker;
    linux_saver::TickLog* log = nullptr;  // the saver's

    bool globalsKnown = false;  // after the first round trip
    bool surfaceClosed = false; // the compositor closed a surface
    bool quit = false;
    int status = 0;

    // An output's picture was made anew (its cycles must be grouped again).
    bool regroup = false;

    // Ends the saver with `exitStatus`, saying why in one line; a saver
    // already ending keeps its first reason.
    void Fail(int exitStatus, const char* why) {
        if (quit) return;
        std::fprintf(stderr, "nivoraglade: %s\n", why);
        quit = true;
        status = exitStatus;
    }
};

}  // namespace nivora::wayland
