// The first background pass: fills a scene's BackgroundField with the recipe
// that its Settings.Background selects.
#pragma once

#include "engine/pictures/scene.h"

namespace nivora {

// Fills points 0..FieldWidth by 0..FieldHeight of the three planes: zeros for
// Background 0, recipe n for 1..kBackgroundRecipes; any other number leaves
// the field as it was. A field with a side below 1 is not filled.
void Background0(Scene& scene);

}  // namespace nivora
