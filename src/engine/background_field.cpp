#include "engine/background_field.h"

#include "engine/background_recipes.h"
#include "engine/parallel_rows.h"
#include "engine/scene.h"

namespace nivora {

void Background0(Scene& scene) {
    const int W = scene.FieldWidth, H = scene.FieldHeight;
    const int n = scene.Settings.Background;
    // Recipes divide by W and H; an empty field is left as it was.
    if (W < 1 || H < 1) return;
    scene.EnsureFieldCapacity();
    if (n < 0 || n > 20) return;

    TBackgroundField& field = scene.BackgroundField;
    ForEachRow(H + 1, [&field, W, H, n](int y) {
        xmath::Real* p0 = field.Plane[0].data() + field.Index(0, y);
        xmath::Real* p1 = field.Plane[1].data() + field.Index(0, y);
        xmath::Real* p2 = field.Plane[2].data() + field.Index(0, y);
        for (int x = 0; x <= W; ++x) {
            const RecipeValues v = EvaluateRecipe(n, x, y, W, H);  // zeros for 0
            p0[x] = v.p0;
            p1[x] = v.p1;
            p2[x] = v.p2;
        }
    });
}

}  // namespace nivora
