// The compositor's idle protocol: ext-idle-notify-v1 (wlroots compositors,
// KWin) or, where it is missing, KDE's org_kde_kwin_idle. Both send `idled`
// once the seat has had no input for the time asked and `resumed` at the next
// input, and honour the compositor's idle inhibitors (a playing video).
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>

#include "ext-idle-notify-v1-client.h"
#include "kde-idle-client.h"
#include "wayland/idle_source.h"
#include "wayland/protocols.h"

namespace nivora::wayland {

namespace {

class WaylandIdleSource final : public IdleSource {
public:
    ~WaylandIdleSource() override {
        if (extNotification_) ext_idle_notification_v1_destroy(extNotification_);
        if (kdeTimeout_) org_kde_kwin_idle_timeout_release(kdeTimeout_);
        if (extNotifier_) ext_idle_notifier_v1_destroy(extNotifier_);
        if (kdeIdle_) org_kde_kwin_idle_destroy(kdeIdle_);
        if (seat_) wl_seat_destroy(seat_);
        if (registry_) wl_registry_destroy(registry_);
        if (display_) wl_display_disconnect(display_);
    }

    // False, with `why`, when there is no compositor or no idle protocol.
    bool Connect(int idleMs, std::string& why) {
        display_ = wl_display_connect(nullptr);
        if (!display_) {
            why = "no Wayland compositor";
            return false;
        }
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &kRegistryListener, this);
        if (wl_display_roundtrip(display_) < 0 || !seat_ || (!extNotifier_ && !kdeIdle_)) {
            why = "the compositor offers no idle protocol (ext-idle-notify-v1, org_kde_kwin_idle)";
            return false;
        }
        if (extNotifier_) {
            extNotification_ = ext_idle_notifier_v1_get_idle_notification(extNotifier_, idleMs, seat_);
            ext_idle_notification_v1_add_listener(extNotification_, &kExtListener, this);
        } else {
            kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(kdeIdle_, seat_, idleMs);
            org_kde_kwin_idle_timeout_add_listener(kdeTimeout_, &kKdeListener, this);
        }
        return wl_display_flush(display_) >= 0;
    }

    const char* Name() const override {
        return extNotifier_ ? "the compositor's ext-idle-notify-v1" : "the compositor's org_kde_kwin_idle";
    }
    int Fd() const override { return wl_display_get_fd(display_); }
    short Events() const override { return POLLIN; }

    bool Process() override {
        if (wl_display_dispatch_pending(display_) < 0) return false;
        if (wl_display_prepare_read(display_) == 0) {
            pollfd fd{Fd(), POLLIN, 0};
            if (poll(&fd, 1, 0) > 0) {
                if (wl_display_read_events(display_) < 0) return false;
            } else {
                wl_display_cancel_read(display_);
            }
        }
        if (wl_display_dispatch_pending(display_) < 0) return false;
        return wl_display_flush(display_) >= 0 || errno == EAGAIN;
    }

    // The listeners' handlers below call these.
    void Idled() { idle_ = true; }
    void Global(std::uint32_t name, const char* interface, std::uint32_t version) {
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat_)
            seat_ = static_cast<wl_seat*>(wl_registry_bind(registry_, name, &wl_seat_interface, 1));
        else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0)
            extNotifier_ = static_cast<ext_idle_notifier_v1*>(
                wl_registry_bind(registry_, name, &ext_idle_notifier_v1_interface, 1));
        else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0)
            kdeIdle_ = static_cast<org_kde_kwin_idle*>(
                wl_registry_bind(registry_, name, &org_kde_kwin_idle_interface, std::min(version, 1u)));
    }

private:
    static const wl_registry_listener kRegistryListener;
    static const ext_idle_notification_v1_listener kExtListener;
    static const org_kde_kwin_idle_timeout_listener kKdeListener;

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* extNotifier_ = nullptr;
    ext_idle_notification_v1* extNotification_ = nullptr;
    org_kde_kwin_idle* kdeIdle_ = nullptr;
    org_kde_kwin_idle_timeout* kdeTimeout_ = nullptr;
};

void handle_wl_registry_global(void* data, wl_registry*, std::uint32_t name, const char* interface,
                               std::uint32_t version) {
    static_cast<WaylandIdleSource*>(data)->Global(name, interface, version);
}

void handle_ext_idle_notification_v1_idled(void* data, ext_idle_notification_v1*) {
    static_cast<WaylandIdleSource*>(data)->Idled();
}

void handle_org_kde_kwin_idle_timeout_idle(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<WaylandIdleSource*>(data)->Idled();
}

const wl_registry_listener WaylandIdleSource::kRegistryListener = {
    .global = handle_wl_registry_global,
    .global_remove = IgnoreEvent,
};

const ext_idle_notification_v1_listener WaylandIdleSource::kExtListener = {
    .idled = handle_ext_idle_notification_v1_idled,
    .resumed = IgnoreEvent,
};

const org_kde_kwin_idle_timeout_listener WaylandIdleSource::kKdeListener = {
    .idle = handle_org_kde_kwin_idle_timeout_idle,
    .resumed = IgnoreEvent,
};

}  // namespace

std::unique_ptr<IdleSource> WaylandIdle(int idleMs, std::string& why) {
    auto source = std::make_unique<WaylandIdleSource>();
    if (!source->Connect(idleMs, why)) return nullptr;
    return source;
}

}  // namespace nivora::wayland
