// Where `nivoraglade --idle` learns that the session is idle: the
// compositor's idle protocol (ext-idle-notify-v1, or KDE's org_kde_kwin_idle)
// on its own Wayland connection, or GNOME's Mutter over the session bus
// (org.gnome.Mutter.IdleMonitor). Each reports "idle" once per idle period:
// after the user has been away for the time asked, and not again until the
// user has come back and been away that long once more. So a saver that ends
// without any input (a compositor that closes it) is not started again in a
// loop.
#pragma once

#include <memory>
#include <string>

namespace nivora::wayland {

class IdleSource {
public:
    virtual ~IdleSource() = default;
    virtual const char* Name() const = 0;
    // What to poll: a file descriptor, the events it waits for, and a
    // timeout in ms (-1: none).
    virtual int Fd() const = 0;
    virtual short Events() const = 0;
    virtual int TimeoutMs() const { return -1; }
    // Handles what arrived. False when the connection is lost.
    virtual bool Process() = 0;
    // True once per idle period, taken by the call.
    bool TakeIdle() {
        const bool idle = idle_;
        idle_ = false;
        return idle;
    }

protected:
    bool idle_ = false;
};

// The compositor's idle protocol, if WAYLAND_DISPLAY's compositor offers one
// (else nothing, and `why` says so).
std::unique_ptr<IdleSource> WaylandIdle(int idleMs, std::string& why);
// Mutter's idle monitor on the session bus (else nothing, and `why`).
std::unique_ptr<IdleSource> MutterIdle(int idleMs, std::string& why);

}  // namespace nivora::wayland
