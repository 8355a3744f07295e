#include "engine/pictures/background_field.h"

#include <vector>

#include "engine/pictures/background_recipes.h"
#include "engine/pictures/generator_counts.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"

namespace nivora {

void Background0(Scene& scene) {
    const int W = scene.FieldWidth, H = scene.FieldHeight;
    // Recipes divide by W and H; an empty field is left as it was.
    if (W < 1 || H < 1) return;
    scene.EnsureFieldCapacity();  // the colouring reads the planes even when nothing fills them
    FillFieldRows(scene, 0, H + 1);
}

void FillFieldRows(Scene& scene, int first, int last) {
    const int W = scene.FieldWidth, H = scene.FieldHeight;
    const int n = scene.Settings.Background;
    if (W < 1 || H < 1 || n < 0 || n > kBackgroundRecipes || last <= first) return;
    scene.EnsureFieldCapacity();

    // Each column's part of the points once, each row's once per row.
    std::vector<RecipePoint> columns(static_cast<std::size_t>(W) + 1);
    for (int x = 0; x <= W; ++x) columns[x] = PointOf(x, 0, W, H);
    TBackgroundField& field = scene.BackgroundField;
    ForEachRow(last - first, [&field, &columns, W, H, n, first](int r) {
        const int y = first + r;
        xmath::Real* p0 = field.Plane[0].data() + field.Index(0, y);
        xmath::Real* p1 = field.Plane[1].data() + field.Index(0, y);
        xmath::Real* p2 = field.Plane[2].data() + field.Index(0, y);
        const RecipePoint row = PointOf(0, y, W, H);
        for (int x = 0; x <= W; ++x) {
            const RecipePoint point{columns[x].u, row.v, columns[x].twoXOverW, row.twoYOverH};
            const RecipeValues v = EvaluateRecipeAt(n, point, y, H);  // zeros for 0
            p0[x] = v.p0;
            p1[x] = v.p1;
            p2[x] = v.p2;
        }
    });
}

}  // namespace nivora
