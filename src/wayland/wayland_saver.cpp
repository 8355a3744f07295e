#include "wayland/wayland_saver.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/cycle/cycle_group.h"
#include "host/mouse_jump.h"
#include "linux/saver_loop.h"
#include "wayland/output_surface.h"
#include "wayland/saver_state.h"

namespace nivora::wayland {

namespace {

class WaylandSaver : public linux_saver::SaverLoop {
public:
    WaylandSaver(const x11::SaverOptions& options, int wakeFd);
    ~WaylandSaver() override;
    int Run();
    void Disconnect();  // the compositor takes the surfaces away; the tick log is closed

private:
    struct Listeners;  // the compositor's events

    void Global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);
    void GlobalRemoved(std::uint32_t name);
    void Capabilities(std::uint32_t capabilities);
    void PointerAt(wl_surface* surface, double x, double y);
    void End(const char* why);
    void Regroup();

    bool Dispatch() override;
    bool Ended() const override { return state_.quit; }
    void EndBySignal() override { End("signal"); }
    CycleSchedule RevealTick() override { return KeepRows(group_.RevealTick()); }
    CycleSchedule HoldEnd() override { return KeepRows(group_.HoldEnd()); }
    // Each output's rows of the answer wait for its next commit; the
    // schedule is returned.
    CycleSchedule KeepRows(const GroupAnswer& answer);
    void ShowChanges() override;
    void LogStep(const char* what, long long start) override;
    bool PreparePoll(pollfd& connection) override;
    bool FinishPoll(short revents) override;

    SaverState state_;
    bool windowsOnly_;  // NIVORA_WAYLAND_SHELL=xdg: full-screen windows even with layer-shell
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    int nextIndex_ = 0;
    std::vector<std::unique_ptr<OutputSurface>> outputs_;  // pictures go before the worker in state_

    CycleGroup group_;
    wl_surface* pointerSurface_ = nullptr;
    double pointerX_ = 0, pointerY_ = 0;
};

// The compositor's events, one function each, named after the interface
// and the event.
struct WaylandSaver::Listeners {
    static WaylandSaver* Self(void* data) { return static_cast<WaylandSaver*>(data); }

    static void handle_wl_registry_global(void* data, wl_registry* registry, std::uint32_t name,
                                          const char* interface, std::uint32_t version) {
        Self(data)->Global(registry, name, interface, version);
    }
    static void handle_wl_registry_global_remove(void* data, wl_registry*, std::uint32_t name) {
        Self(data)->GlobalRemoved(name);
    }

    static void handle_wl_seat_capabilities(void* data, wl_seat*, std::uint32_t capabilities) {
        Self(data)->Capabilities(capabilities);
    }

    static void handle_wl_keyboard_keymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) {
        close(fd);
    }
    static void handle_wl_keyboard_key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                                       std::uint32_t state) {
        if (state == WL_KEYBOARD_KEY_STATE_PRESSED) Self(data)->End("key");
    }

    static void handle_wl_pointer_enter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface,
                                        wl_fixed_t x, wl_fixed_t y) {
        wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor over the pictures
        // Positions on another output are not comparable: start afresh.
        WaylandSaver* self = Self(data);
        self->pointerSurface_ = surface;
        self->pointerX_ = wl_fixed_to_double(x);
        self->pointerY_ = wl_fixed_to_double(y);
    }
    static void handle_wl_pointer_leave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
        Self(data)->pointerSurface_ = nullptr;
    }
    static void handle_wl_pointer_motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
        WaylandSaver* self = Self(data);
        self->PointerAt(self->pointerSurface_, wl_fixed_to_double(x), wl_fixed_to_double(y));
    }

    static void handle_xdg_wm_base_ping(void*, xdg_wm_base* base, std::uint32_t serial) {
        xdg_wm_base_pong(base, serial);
    }

    static constexpr wl_registry_listener kRegistry = {
        .global = handle_wl_registry_global,
        .global_remove = handle_wl_registry_global_remove,
    };
    static constexpr wl_seat_listener kSeat = {.capabilities = handle_wl_seat_capabilities, .name = IgnoreEvent};
    static constexpr wl_keyboard_listener kKeyboard = {
        .keymap = handle_wl_keyboard_keymap,
        .enter = IgnoreEvent,
        .leave = IgnoreEvent,
        .key = handle_wl_keyboard_key,
        .modifiers = IgnoreEvent,
        .repeat_info = IgnoreEvent,
    };
    static constexpr wl_pointer_listener kPointer = {
        .enter = handle_wl_pointer_enter,
        .leave = handle_wl_pointer_leave,
        .motion = handle_wl_pointer_motion,
        .button = IgnoreEvent,
        .axis = IgnoreEvent,
        .frame = IgnoreEvent,
        .axis_source = IgnoreEvent,
        .axis_stop = IgnoreEvent,
        .axis_discrete = IgnoreEvent,
        .axis_value120 = IgnoreEvent,
    };
    static constexpr xdg_wm_base_listener kWmBase = {.ping = handle_xdg_wm_base_ping};
};

WaylandSaver::WaylandSaver(const x11::SaverOptions& options, int wakeFd) : SaverLoop(options, wakeFd) {
    const char* shell = std::getenv("NIVORA_WAYLAND_SHELL");
    windowsOnly_ = shell && std::strcmp(shell, "xdg") == 0;
    state_.settings = settings_;
    state_.firstSeed = firstSeed_;
    state_.log = &log_;
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
    log_.Close();
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
        xdg_wm_base_add_listener(state_.wmBase, &Listeners::kWmBase, this);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat_) {
        seat_ = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
        wl_seat_add_listener(seat_, &Listeners::kSeat, this);
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
    LogStep("gone", log_.Now());
    group_.Clear();
    outputs_.erase(found);
    Regroup();
}

void WaylandSaver::Capabilities(std::uint32_t capabilities) {
    const bool keys = capabilities & WL_SEAT_CAPABILITY_KEYBOARD, mouse = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (keys && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &Listeners::kKeyboard, this);
    } else if (!keys && keyboard_) {
        wl_keyboard_release(keyboard_);
        keyboard_ = nullptr;
    }
    if (mouse && !pointer_) {
        pointer_ = wl_seat_get_pointer(seat_);
        wl_pointer_add_listener(pointer_, &Listeners::kPointer, this);
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
    log_.Line("end %s %lld", why, log_.Now());
    state_.quit = true;
}

void WaylandSaver::Regroup() {
    state_.regroup = false;
    group_.Clear();
    for (const auto& output : outputs_)
        if (output->Cycle()) group_.Add(*output->Cycle());
    Follow(group_.Schedule());
}

CycleSchedule WaylandSaver::KeepRows(const GroupAnswer& answer) {
    for (const auto& output : outputs_) output->Drawn(answer.RowsOf(output->Cycle()));
    return answer.schedule;
}

void WaylandSaver::ShowChanges() {
    for (const auto& output : outputs_) output->ShowDrawn();
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
    wl_registry_add_listener(registry_, &Listeners::kRegistry, this);
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

    if (RunLoop()) return state_.status;
    const int error = wl_display_get_error(display_);
    std::fprintf(stderr, "nivoraglade: lost the connection to the Wayland compositor (%s)\n",
                 std::strerror(error ? error : EPIPE));
    return 1;
}

bool WaylandSaver::PreparePoll(pollfd& connection) {
    while (wl_display_prepare_read(display_) != 0)
        if (!Dispatch()) break;
    if (wl_display_get_error(display_)) return false;
    connection.fd = wl_display_get_fd(display_);
    if (wl_display_flush(display_) < 0) {
        if (errno != EAGAIN) {
            wl_display_cancel_read(display_);
            return false;
        }
        connection.events |= POLLOUT;  // the rest once the compositor has read some
    }
    return true;
}

bool WaylandSaver::FinishPoll(short revents) {
    if (revents & (POLLIN | POLLERR | POLLHUP)) return wl_display_read_events(display_) >= 0;
    wl_display_cancel_read(display_);
    return true;
}

void WaylandSaver::LogStep(const char* what, long long start) {
    // The picture lines follow the first output that has one.
    const auto first = std::find_if(outputs_.begin(), outputs_.end(), [](const auto& output) { return output->Cycle(); });
    log_.Step(what, start, first == outputs_.end() ? nullptr : (*first)->Cycle(), group_.HoldEnabled());
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
