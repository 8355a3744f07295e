// Input for KWin through its fake-input protocol (KWin has no
// virtual-keyboard protocol). One connection for every event, since each
// connection is a new device to KWin. Reads commands from stdin, one a line,
// and answers "ok" after each has reached KWin:
//   key CODE        press and release an evdev key
//   move X Y        the pointer to X,Y in the global space
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "fake-input-client.h"

namespace {

org_kde_kwin_fake_input* fakeInput = nullptr;

void Global(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}

const wl_registry_listener kRegistryListener = {.global = Global, .global_remove = [](void*, wl_registry*, std::uint32_t) {}};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("kwin_input: no compositor\n", stderr);
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, nullptr);
    wl_display_roundtrip(display);
    if (!fakeInput) {
        std::fputs("kwin_input: no org_kde_kwin_fake_input version 4\n", stderr);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "nivora tests", "input for the tests");
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string what;
        words >> what;
        if (what == "key") {
            std::uint32_t code = 0;
            words >> code;
            org_kde_kwin_fake_input_keyboard_key(fakeInput, code, WL_KEYBOARD_KEY_STATE_PRESSED);
            org_kde_kwin_fake_input_keyboard_key(fakeInput, code, WL_KEYBOARD_KEY_STATE_RELEASED);
        } else if (what == "move") {
            double x = 0, y = 0;
            words >> x >> y;
            org_kde_kwin_fake_input_pointer_motion_absolute(fakeInput, wl_fixed_from_double(x), wl_fixed_from_double(y));
        }
        if (wl_display_roundtrip(display) < 0) {
            std::fputs("kwin_input: lost the compositor\n", stderr);
            return 1;
        }
        std::puts("ok");
        std::fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
