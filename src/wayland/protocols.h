// The client code of the protocols beside the core one, as wayland-scanner
// writes it. The layer shell names an argument `namespace`, a C++ keyword:
// it is renamed for its header only, here, so that no other header sees the
// macro.
#pragma once

#include <wayland-client.h>

#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client.h"
#undef namespace
#include "xdg-shell-client.h"

namespace nivora::wayland {

// A listener for the events the saver has no use for (libwayland calls every
// entry of a listener, so none may be left empty).
template <typename... Arguments>
void IgnoreEvent(void*, Arguments...) {}

}  // namespace nivora::wayland
