// The first background pass: fills a scene's BackgroundField with the recipe
// that its Settings.Background selects.
#pragma once

#include "engine/pictures/scene.h"

namespace nivora {

// Fills points 0..FieldWidth by 0..FieldHeight of the three planes: zeros for
// Background 0, recipe n for 1..kBackgroundRecipes; any other number leaves
// the field as it was. A field with a side below 1 is not filled.
void Background0(Scene& scene);

// Fills rows first..last-1 of the field (points 0..FieldWidth of each) as
// Background0 does. A row depends on nothing but its number, so a field may
// be filled in bands, in any order, by separate threads or processes.
// first..last must lie within 0..FieldHeight+1; a recipe number Background0
// ignores fills nothing.
void FillFieldRows(Scene& scene, int first, int last);

}  // namespace nivora
