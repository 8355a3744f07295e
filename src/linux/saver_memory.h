// The memory rule of the Linux saver, X11 or Wayland: pictures that need more
// than the process may have are refused before anything is made. Their pages
// are written as the picture is made, long after they were reserved, so a size
// the machine cannot hold would first slow everything down, then end in the
// kernel's out-of-memory killer (or a failed mapping deep in a generator).
#pragma once

#include <cstdint>
#include <optional>

#include "engine/pictures/scene.h"
#include "engine/pictures/surfaces.h"

namespace nivora::linux_saver {

// Memory that a saver's pictures at width x height need: the engine's two
// scenes and frame, the worker's frame, and `copies` copies of the frame at 4
// bytes a pixel on the display's side (the X window's image, the Wayland
// surface's shm buffers). `geometry` is SetSaverGeometry's for that size.
std::uint64_t SaverMemoryBytes(const Scene& geometry, int width, int height, int copies);

// The memory this process can have: the machine's, or less where a control
// group or an address-space limit (ulimit -v) allows less.
std::uint64_t UsableMemoryBytes();

// The error to end with when pictures of width x height need more than
// UsableMemoryBytes(); nothing when they fit.
std::optional<PictureMemoryError> MemoryRefusal(const Scene& geometry, int width, int height, int copies);

// Lays `scene` out for pictures of width x height (SetSaverGeometry) and,
// when they fit, makes its surfaces; throws the refusal when they do not.
void MakeSaverSurfaces(Scene& scene, int width, int height, int copies);

}  // namespace nivora::linux_saver
