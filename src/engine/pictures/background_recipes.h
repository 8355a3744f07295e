// The twenty background recipes: each maps one field point to three values.
#pragma once

#include "engine/numbers/real.h"

namespace nivora {

struct RecipeValues {
    xmath::Real p0 = 0, p1 = 0, p2 = 0;
};

// Recipe n (1..kBackgroundRecipes) at point (x, y) of a W x H field (W, H >= 1). A pure
// function: no state is kept between points. Any other n gives zeros.
RecipeValues EvaluateRecipe(int n, int x, int y, int W, int H);

// The point's place in the field as the recipes see it: u = x / W, v = y / H,
// and the integer 2x (or 2y) over the side, which two recipes fold into a
// tent. Each part depends on the column or on the row alone, so that a
// whole field computes them once a column and once a row.
struct RecipePoint {
    xmath::Real u, v, twoXOverW, twoYOverH;
};
RecipePoint PointOf(int x, int y, int W, int H);

// The same as EvaluateRecipe(n, x, y, W, H), with p = PointOf(x, y, W, H).
RecipeValues EvaluateRecipeAt(int n, const RecipePoint& p, int y, int H);

}  // namespace nivora
