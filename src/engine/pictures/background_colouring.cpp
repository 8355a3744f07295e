#include "engine/pictures/background_colouring.h"

#include <vector>

#include "engine/numbers/extended_math.h"
#include "engine/pictures/imaging.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"

namespace nivora {
namespace {

using xmath::Real;

inline std::uint32_t ChannelByte(Real c, Real cap) {
    c = FoldChannel(c);
    if (c > cap) c = cap;
    return static_cast<std::uint32_t>(xmath::RoundHalfEven(c * 255));
}

inline Argb Colour(const Real (&R)[3][3], Real cap, Real p0, Real p1, Real p2) {
    const Real c0 = R[0][0] * p0 + R[0][1] * p1 + R[0][2] * p2;
    const Real c1 = R[1][0] * p0 + R[1][1] * p1 + R[1][2] * p2;
    const Real c2 = R[2][0] * p0 + R[2][1] * p1 + R[2][2] * p2;
    return 0xFF000000u + ChannelByte(c0, cap) * 65536 + ChannelByte(c1, cap) * 256 + ChannelByte(c2, cap);
}

inline Real BrightnessCap(std::uint8_t brightness) { return static_cast<Real>(brightness) / 20; }

}  // namespace

Real FoldChannel(Real t) {
    if (t < 0) t = -t;
    if (t > 5) t = 10 - t;
    if (t > 4) t = 8 - t;
    if (t > 3) t = 6 - t;
    if (t > 2) t = 4 - t;
    if (t > 1) t = 2 - t;
    if (!(t > 0)) t = 0.001L;  // also catches values beyond 10 and NaN
    return t;
}

void ColourRotation(Real R[3][3]) {
    const Real alpha = 1, beta = 1, gamma = 1;
    const Real sa = xmath::Sin(alpha), ca = xmath::Cos(alpha);
    const Real sb = xmath::Sin(beta), cb = xmath::Cos(beta);
    const Real sg = xmath::Sin(gamma), cg = xmath::Cos(gamma);
    R[0][0] = cg * ca - sg * sa * cb;
    R[0][1] = sg * ca * cb + cg * sa;
    R[0][2] = sg * sb;
    R[1][0] = -sg * ca - cg * sa * cb;
    R[1][1] = cg * ca * cb - sg * sa;
    R[1][2] = cg * sb;
    R[2][0] = sa * sb;
    R[2][1] = -ca * sb;
    R[2][2] = cb;
}

std::uint32_t FieldColour(Real p0, Real p1, Real p2, std::uint8_t brightness) {
    Real R[3][3];
    ColourRotation(R);
    return Colour(R, BrightnessCap(brightness), p0, p1, p2);
}

void Background1(Scene& scene) {
    if (!scene.FieldBitmap) return;
    const int W = scene.FieldWidth, H = scene.FieldHeight;
    if (W < 1 || H < 1) return;
    scene.EnsureFieldCapacity();  // never read past the planes, even without a fill

    // Colours are computed over the worker threads, but only the calling thread
    // touches the bitmap: a platform bitmap (GDI+) refuses concurrent use.
    thread_local std::vector<Argb> picture;
    picture.resize(static_cast<std::size_t>(W) * static_cast<std::size_t>(H));
    ColourFieldRows(scene, 0, H, picture.data());
    for (int y = 0; y < H; ++y)
        scene.FieldBitmap->SetRow(y, picture.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(W), W);
}

void ColourFieldRows(const Scene& scene, int first, int last, Argb* out) {
    const int W = scene.FieldWidth;
    if (W < 1 || last <= first) return;
    Real R[3][3];
    ColourRotation(R);
    const Real cap = BrightnessCap(scene.Settings.Brightness);
    const TBackgroundField& field = scene.BackgroundField;
    ForEachRow(last - first, [&R, &field, cap, W, first, out](int r) {
        const std::size_t base = field.Index(0, first + r);
        const Real* p0 = field.Plane[0].data() + base;
        const Real* p1 = field.Plane[1].data() + base;
        const Real* p2 = field.Plane[2].data() + base;
        Argb* colours = out + static_cast<std::size_t>(r) * static_cast<std::size_t>(W);
        for (int x = 0; x < W; ++x) colours[x] = Colour(R, cap, p0[x], p1[x], p2[x]);
    });
}

}  // namespace nivora
