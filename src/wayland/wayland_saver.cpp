#include "wayland/wayland_saver.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "engine/cycle_group.h"
#include "engine/mouse_jump.h"
#include "wayland/output_surface.h"
#include "wayland/saver_state.h"

namespace nivora::wayland {

namespace {

class WaylandSaver {
public:
    WaylandSaver(const x11::SaverOptions& options, int wakeFd);
    ~WaylandSaver();
    int Run();
    void Disconnect();  // the compositor takes the surfaces away; the tick log is closed

private:
    static const wl_registry_listener kRegistryListener;
    static const wl_seat_listener kSeatListener;
    static const wl_keyboard_listener kKeyboardListener;
    static const wl_pointer_listener kPointerListener;
    static const xdg_wm_base_listener kWmBaseListener;

    void Global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);
    void GlobalRemoved(std::uint32_t name);
    void Capabilities(std::uint32_t capabilities);
    void PointerAt(wl_surface* surface, double x, double y);
    void End(const char* why);

    bool Dispatch();  // false when the connection is lost
    void FollowGroup(const CycleSchedule& schedule);
    void Regroup();
    void RevealTimer();
    void HoldTimer();
    void Log(const char* what, long long start);

    SaverState state_;
    int wakeFd_;
    bool windowsOnly_;  // NIVORA_WAYLAND_SHELL=xdg: full-screen windows even with layer-shell
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    int nextIndex_ = 0;
    std::vector<std::unique_ptr<OutputSurface>> outputs_;  // pictures go before the worker in state_

    CycleGroup group_;
    CycleDeadlines deadlines_;  // the group's timers
    wl_surface* pointerSurface_ = nullptr;
    double pointerX_ = 0, pointerY_ = 0;

    std::uint64_t loggedPictures_ = 0;
    const OutputSurface* loggedOutput_ = nullptr;
    bool holdLogged_ = false;
};

const wl_registry_listener WaylandSaver::kRegistryListener = {
    .global = [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                 std::uint32_t version) { static_cast<WaylandSaver*>(data)->Global(registry, name, interface, version); },
    .global_remove = [](void* data, wl_registry*, std::uint32_t name) {
        static_cast<WaylandSaver*>(data)->GlobalRemoved(name);
    },
};

const wl_seat_listener WaylandSaver::kSeatListener = {
    .capabilities = [](void* data, wl_seat*,
                       std::uint32_t capabilities) { static_cast<WaylandSaver*>(data)->Capabilities(capabilities); },
    .name = [](void*, wl_seat*, const char*) {},
};

const wl_keyboard_listener WaylandSaver::kKeyboardListener = {
    .keymap = [](void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) { close(fd); },
    .enter = [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
    .leave = [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
    .key =
        [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
            if (state == WL_KEYBOARD_KEY_STATE_PRESSED) static_cast<WaylandSaver*>(data)->End("key");
        },
    .modifiers = [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .repeat_info = [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_pointer_listener WaylandSaver::kPointerListener = {
    .enter =
        [](void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
            auto* self = static_cast<WaylandSaver*>(data);
            wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor over the pictures
            // Positions on another output are not comparable: start afresh.
            self->pointerSurface_ = surface;
            self->pointerX_ = wl_fixed_to_double(x);
            self->pointerY_ = wl_fixed_to_double(y);
        },
    .leave = [](void* data, wl_pointer*, std::uint32_t,
                wl_surface*) { static_cast<WaylandSaver*>(data)->pointerSurface_ = nullptr; },
    .motion =
        [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
            auto* self = static_cast<WaylandSaver*>(data);
            self->PointerAt(self->pointerSurface_, wl_fixed_to_double(x), wl_fixed_to_double(y));
        },
    .button = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
    .frame = [](void*, wl_pointer*) {},
    .axis_source = [](void*, wl_pointer*, std::uint32_t) {},
    .axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    .axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    .axis_value120 = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const xdg_wm_base_listener WaylandSaver::kWmBaseListener = {
    .ping = [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

WaylandSaver::WaylandSaver(const x11::SaverOptions& options, int wakeFd) : wakeFd_(wakeFd) {
    const char* shell = std::getenv("NIVORA_WAYLAND_SHELL");
    windowsOnly_ = shell && std::strcmp(shell, "xdg") == 0;
    state_.settings = options.settings;
    RandomGenerator first;
    if (options.seed)
        first.Seed = *options.seed;
    else
        first.Randomize();
    state_.firstSeed = first.Seed;
    if (!options.tickLog.empty()) {
        state_.tickLog = std::fopen(options.tickLog.c_str(), "w");
        if (!state_.tickLog) throw std::runtime_error("cannot write " + options.tickLog);
        std::setvbuf(state_.tickLog, nullptr, _IOLBF, 0);
    }
}

WaylandSaver::~WaylandSaver() {
    group_.Clear();
    outputs_.clear();
    if (keyboard_) wl_keyboard_destroy(keyboard_);
    if (pointer_) wl_pointer_destroy(pointer_);
    if (seat_) wl_seat_destroy(seat_);
    if (state_.layerShell) zwlr_layer_shell_v1_destroy(state_.layerShell);
    if (state_.wmBase) xdg_wm_base_destroy(state_.wmBase);
    if (state_.shm) wl_shm_destroy(state_.shm);
    if (state_.compositor) wl_compositor_destroy(state_.compositor);
    if (registry_) wl_registry_destroy(registry_);
    Disconnect();
}

void WaylandSaver::Disconnect() {
    if (display_) {
        wl_display_flush(display_);
        wl_display_disconnect(display_);
        display_ = nullptr;
    }
    if (state_.tickLog) std::fclose(state_.tickLog);
    state_.tickLog = nullptr;
}

void WaylandSaver::Global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
    const auto bind = [&](const wl_interface* type, std::uint32_t highest) {
        return wl_registry_bind(registry, name, type, std::min(version, highest));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        state_.compositorVersion = std::min(version, 4u);
        state_.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        state_.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && !windowsOnly_) {
        state_.layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 4));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        state_.wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(state_.wmBase, &kWmBaseListener, this);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat_) {
        seat_ = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
        wl_seat_add_listener(seat_, &kSeatListener, this);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto* output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
        outputs_.push_back(std::make_unique<OutputSurface>(state_, output, name, nextIndex_++));
        if (state_.globalsKnown) outputs_.back()->Start();
    }
}

void WaylandSaver::GlobalRemoved(std::uint32_t name) {
    const auto found = std::find_if(outputs_.begin(), outputs_.end(),
                                    [&](const auto& output) { return output->GlobalName() == name; });
    if (found == outputs_.end()) return;
    Log("gone", state_.Now());
    if (loggedOutput_ == found->get()) loggedOutput_ = nullptr;
    group_.Clear();
    outputs_.erase(found);
    Regroup();
}

void WaylandSaver::Capabilities(std::uint32_t capabilities) {
    const bool keys = capabilities & WL_SEAT_CAPABILITY_KEYBOARD, mouse = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (keys && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
    } else if (!keys && keyboard_) {
        wl_keyboard_release(keyboard_);
        keyboard_ = nullptr;
    }
    if (mouse && !pointer_) {
        pointer_ = wl_seat_get_pointer(seat_);
        wl_pointer_add_listener(pointer_, &kPointerListener, this);
    } else if (!mouse && pointer_) {
        wl_pointer_release(pointer_);
        pointer_ = nullptr;
    }
}

void WaylandSaver::PointerAt(wl_surface* surface, double x, double y) {
    if (!surface) return;
    if (IsMouseJump(pointerX_, pointerY_, x, y)) End("pointer");
    pointerX_ = x;
    pointerY_ = y;
}

void WaylandSaver::End(const char* why) {
    if (state_.tickLog) std::fprintf(state_.tickLog, "end %s %lld\n", why, state_.Now());
    state_.quit = true;
}

void WaylandSaver::Regroup() {
    state_.regroup = false;
    group_.Clear();
    for (const auto& output : outputs_)
        if (output->Cycle()) group_.Add(*output->Cycle());
    FollowGroup(group_.Schedule());
}

void WaylandSaver::FollowGroup(const CycleSchedule& schedule) {
    deadlines_.Follow(schedule, SaverState::Clock::now());
    for (const auto& output : outputs_) output->FollowCycle();
}

void WaylandSaver::RevealTimer() {
    const long long start = state_.Now();
    deadlines_.RevealTaken(SaverState::Clock::now());
    FollowGroup(group_.RevealTick());
    Log("tick", start);
}

void WaylandSaver::HoldTimer() {
    const long long start = state_.Now();
    deadlines_.HoldTaken();
    FollowGroup(group_.HoldEnd());
    Log("hold-end", start);
}

bool WaylandSaver::Dispatch() {
    if (wl_display_dispatch_pending(display_) < 0) return false;
    if (state_.regroup) Regroup();
    if (state_.surfaceClosed) {
        // An output's surface closes as the output goes; the saver ends
        // when the compositor closes all of them.
        state_.surfaceClosed = false;
        if (std::none_of(outputs_.begin(), outputs_.end(), [](const auto& output) { return output->HasSurface(); }))
            End("closed");
    }
    return true;
}

int WaylandSaver::Run() {
    display_ = wl_display_connect(nullptr);
    if (!display_) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "nivoraglade: cannot connect to the Wayland compositor '%s'\n", name ? name : "wayland-0");
        return 1;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    if (wl_display_roundtrip(display_) < 0) {
        std::fputs("nivoraglade: lost the connection to the Wayland compositor\n", stderr);
        return 1;
    }
    if (!state_.compositor || !state_.shm || (!state_.layerShell && !state_.wmBase)) {
        std::fputs("nivoraglade: the Wayland compositor offers no surfaces to draw in (wl_compositor, wl_shm and "
                   "layer-shell or xdg-shell)\n",
                   stderr);
        return 1;
    }
    if (!state_.layerShell && !windowsOnly_)
        std::fputs("nivoraglade: the compositor has no layer-shell: full-screen windows instead, not a screen saver\n",
                   stderr);
    state_.globalsKnown = true;
    for (const auto& output : outputs_) output->Start();

    const int fd = wl_display_get_fd(display_);
    bool lost = false;
    while (!state_.quit) {
        if (!Dispatch()) {
            lost = true;
            break;
        }
        const auto now = SaverState::Clock::now();
        if (deadlines_.HoldDue(now))
            HoldTimer();
        else if (deadlines_.RevealDue(now))
            RevealTimer();
        if (state_.quit) break;

        while (wl_display_prepare_read(display_) != 0)
            if (!Dispatch()) break;
        if (wl_display_get_error(display_)) {
            lost = true;
            break;
        }
        bool writeWait = false;
        if (wl_display_flush(display_) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(display_);
                lost = true;
                break;
            }
            writeWait = true;
        }
        pollfd fds[2] = {{fd, static_cast<short>(POLLIN | (writeWait ? POLLOUT : 0)), 0}, {wakeFd_, POLLIN, 0}};
        const int ready = poll(fds, 2, deadlines_.PollTimeoutMs(SaverState::Clock::now()));
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
            if (wl_display_read_events(display_) < 0) {
                lost = true;
                break;
            }
        } else {
            wl_display_cancel_read(display_);
        }
        if (ready > 0 && (fds[1].revents & POLLIN)) End("signal");
    }
    if (lost) {
        const int error = wl_display_get_error(display_);
        std::fprintf(stderr, "nivoraglade: lost the connection to the Wayland compositor (%s)\n",
                     std::strerror(error ? error : EPIPE));
        return 1;
    }
    return state_.status;
}

void WaylandSaver::Log(const char* what, long long start) {
    if (!state_.tickLog) return;
    std::fprintf(state_.tickLog, "%s %lld %lld %lld\n", what, start, state_.Now(), SaverState::ThreadCpu());
    // The picture lines follow the first output that has one.
    const OutputSurface* first = nullptr;
    for (const auto& output : outputs_)
        if (output->Cycle()) {
            first = output.get();
            break;
        }
    if (!first) return;
    if (first != loggedOutput_) {
        loggedOutput_ = first;
        loggedPictures_ = 0;
    }
    if (first->Cycle()->LayersTaken() != loggedPictures_) {
        loggedPictures_ = first->Cycle()->LayersTaken();
        const Scene& scene = *first->PictureScene();
        std::fprintf(state_.tickLog, "picture %dx%d algorithm %d background %d\n", scene.FrameDib->Width(),
                     scene.FrameDib->Height(), scene.Settings.Algorithm, scene.Settings.Background);
    }
    const bool held = group_.HoldEnabled();
    if (held && !holdLogged_) std::fprintf(state_.tickLog, "hold %lld\n", state_.Now());
    holdLogged_ = held;
}

}  // namespace

void RunSaver(const x11::SaverOptions& options, int wakeFd) {
    int status = 1;
    try {
        auto saver = std::make_unique<WaylandSaver>(options, wakeFd);
        status = saver->Run();
        saver->Disconnect();
        // The saver object is left as it is: its destruction would wait for
        // the worker to stop in the picture it is making, and the worker runs
        // at a lower priority, slowly under load. The surfaces went with the
        // connection; the process takes the rest.
        saver.release();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nivoraglade: %s\n", e.what());
    }
    std::fflush(nullptr);
    _exit(status);
}

}  // namespace nivora::wayland
