// Moves the pointer of a wlroots compositor, for the saver's tests:
//   wayland_pointer WAIT_MS WIDTHxHEIGHT X,Y [X,Y ...]
// waits WAIT_MS (so that clients see the new pointer), then puts the pointer
// at each position in turn, 100 ms apart, in a layout of WIDTHxHEIGHT
// logical pixels.
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "wlr-virtual-pointer-unstable-v1-client.h"

namespace {

wl_seat* seat = nullptr;
zwlr_virtual_pointer_manager_v1* manager = nullptr;

void Global(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void GlobalRemove(void*, wl_registry*, std::uint32_t) {}

std::uint32_t Millis() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

int main(int argc, char** argv) {
    unsigned width = 0, height = 0;
    if (argc < 4 || std::sscanf(argv[2], "%ux%u", &width, &height) != 2) {
        std::fprintf(stderr, "usage: wayland_pointer WAIT_MS WIDTHxHEIGHT X,Y [X,Y ...]\n");
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "wayland_pointer: no compositor\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    static const wl_registry_listener listener = {Global, GlobalRemove};
    wl_registry_add_listener(registry, &listener, nullptr);
    wl_display_roundtrip(display);
    if (!manager) {
        std::fprintf(stderr, "wayland_pointer: the compositor has no virtual pointers\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argv[1])));
    for (int i = 3; i < argc; ++i) {
        unsigned x = 0, y = 0;
        if (std::sscanf(argv[i], "%u,%u", &x, &y) != 2) return 2;
        zwlr_virtual_pointer_v1_motion_absolute(pointer, Millis(), x, y, width, height);
        zwlr_virtual_pointer_v1_frame(pointer);
        if (wl_display_roundtrip(display) < 0) return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
