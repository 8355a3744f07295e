// The second background pass: colours a scene's BackgroundField into its
// FieldBitmap.
#pragma once

#include <cstdint>

#include "engine/numbers/real.h"
#include "engine/pictures/scene.h"

namespace nivora {

// Folds a mixed channel value into (0, 1].
xmath::Real FoldChannel(xmath::Real t);

// The colour rotation (z-x-z Euler angles, each 1 radian), row-major.
void ColourRotation(xmath::Real matrix[3][3]);

// The opaque ARGB pixel for one point's three plane values at a brightness.
std::uint32_t FieldColour(xmath::Real p0, xmath::Real p1, xmath::Real p2, std::uint8_t brightness);

// Writes every pixel 0..FieldWidth-1 by 0..FieldHeight-1 of FieldBitmap from
// the field, the rotation, the fold and the brightness cap.
void Background1(Scene& scene);

// The colours of field rows first..last-1 (0 <= first <= last <=
// FieldHeight), FieldWidth a row, into `out`, as Background1 makes them: a
// field coloured in bands by separate processes, whose rows are then set
// into the bitmap together.
void ColourFieldRows(const Scene& scene, int first, int last, Argb* out);

}  // namespace nivora
