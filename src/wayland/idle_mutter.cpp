// GNOME's compositor has no idle protocol; Mutter tells its idle times on the
// session bus instead. An idle watch (AddIdleWatch) fires WatchFired once the
// user has been away for its interval, and again only after the next input
// and another such interval; Mutter drops it when this connection goes. The
// monitor's name leaving the bus (the compositor ended) loses the source.
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>

#include <cstdint>
#include <cstring>

#include "wayland/idle_source.h"

namespace nivora::wayland {

namespace {

constexpr const char* kService = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* kInterface = "org.gnome.Mutter.IdleMonitor";

class MutterIdleSource final : public IdleSource {
public:
    ~MutterIdleSource() override {
        sd_bus_slot_unref(fired_);
        sd_bus_slot_unref(owner_);
        sd_bus_flush_close_unref(bus_);
    }

    bool Connect(int idleMs, std::string& why) {
        int error = sd_bus_open_user(&bus_);
        if (error < 0) {
            why = std::string("no session bus (") + std::strerror(-error) + ")";
            return false;
        }
        // Subscribed before the watch is added, so that no firing is missed.
        error = sd_bus_match_signal(bus_, &fired_, kService, kPath, kInterface, "WatchFired", OnWatchFired, this);
        if (error >= 0)
            error = sd_bus_add_match(bus_, &owner_,
                                     "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                                     "member='NameOwnerChanged',arg0='org.gnome.Mutter.IdleMonitor'",
                                     OnOwnerChanged, this);
        sd_bus_error callError = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        if (error >= 0)
            error = sd_bus_call_method(bus_, kService, kPath, kInterface, "AddIdleWatch", &callError, &reply, "t",
                                       static_cast<std::uint64_t>(idleMs));
        if (error >= 0) error = sd_bus_message_read(reply, "u", &watch_);
        if (error < 0)
            why = std::string("no GNOME idle monitor on the session bus (") +
                  (sd_bus_error_is_set(&callError) ? callError.message : std::strerror(-error)) + ")";
        sd_bus_error_free(&callError);
        sd_bus_message_unref(reply);
        return error >= 0;
    }

    const char* Name() const override { return "GNOME's idle monitor (org.gnome.Mutter.IdleMonitor)"; }
    int Fd() const override { return sd_bus_get_fd(bus_); }
    short Events() const override { return static_cast<short>(sd_bus_get_events(bus_)); }
    int TimeoutMs() const override {
        std::uint64_t until = 0;
        if (sd_bus_get_timeout(bus_, &until) < 0 || until == UINT64_MAX) return -1;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const std::uint64_t nowUs = static_cast<std::uint64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
        return until <= nowUs ? 0 : static_cast<int>((until - nowUs + 999) / 1000);
    }

    bool Process() override {
        int result;
        while ((result = sd_bus_process(bus_, nullptr)) > 0) {
        }
        return result >= 0 && !lost_;
    }

private:
    static int OnWatchFired(sd_bus_message* message, void* data, sd_bus_error*) {
        auto* self = static_cast<MutterIdleSource*>(data);
        std::uint32_t id = 0;
        if (sd_bus_message_read(message, "u", &id) >= 0 && id == self->watch_) self->idle_ = true;
        return 0;
    }
    static int OnOwnerChanged(sd_bus_message* message, void* data, sd_bus_error*) {
        const char *name = nullptr, *from = nullptr, *to = nullptr;
        if (sd_bus_message_read(message, "sss", &name, &from, &to) >= 0 && std::strcmp(name, kService) == 0 &&
            !*to)
            static_cast<MutterIdleSource*>(data)->lost_ = true;
        return 0;
    }

    sd_bus* bus_ = nullptr;
    sd_bus_slot* fired_ = nullptr;
    sd_bus_slot* owner_ = nullptr;
    std::uint32_t watch_ = 0;
    bool lost_ = false;
};

}  // namespace

std::unique_ptr<IdleSource> MutterIdle(int idleMs, std::string& why) {
    auto source = std::make_unique<MutterIdleSource>();
    if (!source->Connect(idleMs, why)) return nullptr;
    return source;
}

}  // namespace nivora::wayland
