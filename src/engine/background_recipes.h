// The twenty background recipes: each maps one field point to three values.
#pragma once

#include "engine/real.h"

namespace nivora {

struct RecipeValues {
    xmath::Real p0 = 0, p1 = 0, p2 = 0;
};

// Recipe n (1..20) at point (x, y) of a W x H field (W, H >= 1). A pure
// function: no state is kept between points. Any other n gives zeros.
RecipeValues EvaluateRecipe(int n, int x, int y, int W, int H);

}  // namespace nivora
