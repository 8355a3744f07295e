#include "engine/snowflake.h"

#include <vector>

#include "engine/extended_math.h"
#include "engine/parallel_rows.h"
#include "engine/scene.h"

namespace nivora {
namespace {

using xmath::Real;

// One step of rule `algorithm`: the new X and Y from the old x, y, r, then R
// from the new X and Y. Unknown rules give zero.
inline void Step(std::uint8_t algorithm, int i, Real x, Real y, Real r, Real& X, Real& Y, Real& R) {
    using xmath::Fabs;
    using xmath::Ln;
    using xmath::Sqrt;
    const Real pi = xmath::kPi;
    const Real step = i;
    auto radius = [&] { return Sqrt(X * X + Y * Y + 0.00001L); };
    auto radius4 = [&] { return Sqrt(X * X + Y * Y + 0.0001L); };
    auto logRadius = [&] { return Ln(X * X + Y * Y + 0.00001L); };
    switch (algorithm) {
        case 1: X = x * x - y * y - r * r * 0.1L - 0.72L; Y = x * y * 1.2L + 0.32L; R = radius(); break;
        case 2: X = x * x - y * y - r * r * 0.05L - 0.72L; Y = x * y * 1.2L + 0.6L; R = radius(); break;
        case 3: X = x * x - y * y - 0.32L; Y = x * y * pi - 0.32L; R = radius(); break;
        case 4: X = x * x - y * y - r * r * 0.5L + 0.32L; Y = x * y * 2 - 0.32L; R = logRadius(); break;
        case 5: X = x * x - y * y + r * r * 0.1L - 0.32L; Y = x * y * 2 - 0.32L; R = radius(); break;
        case 6: X = x * x - y * y + r * r * 0.1L - 0.32L; Y = x * y * 2.5L - 0.32L; R = radius(); break;
        case 7: X = x * x - y * y + r * r * 0.1L - 0.32L; Y = x * y * 3.5L - 0.32L; R = radius(); break;
        case 8:
            X = x * x - y * y - 0.01L * r - 0.32L;
            Y = x * y * 5 - 0.01L * r - 0.32L;
            R = Ln(Fabs(X * Y) + 0.00001L) * 0.2L;
            break;
        case 9:
            X = x * x - y * y - Fabs(r) * 0.2L - 0.32L;
            Y = x * y * 3.5L - 0.32L;
            R = Ln((X * X) * (Y * Y) + 0.5L) * 0.2L;
            break;
        case 10:
            X = x * x - y * y + r * r * 0.1L - 0.32L;
            Y = x * y * 2.5L - 0.32L;
            R = Sqrt((X * X) * (Y * Y) + 0.0001L);
            break;
        case 11:
            X = x * x - y * y + r * r * 0.1L - step * 0.32L;
            Y = x * y * 2.5L - 0.32L;
            R = Sqrt((X * X) * (Y * Y) + 0.0001L);
            break;
        case 12: X = x * x - y * y + r * r * 0.2L - step * 0.32L; Y = x * y * 2 - step * 0.32L; R = radius4(); break;
        case 13:
            X = x * x - y * y + r * r * (step * 0.2L) - step * 0.32L;
            Y = x * y * 2 - step * 0.32L;
            R = radius4();
            break;
        case 14: X = x * x - y * y - r * r * 0.4L - 0.32L; Y = x * y * 2 + r - 0.1432L; R = radius(); break;
        case 15:
            X = x * x - y * y - r * r * 0.4L;
            Y = x * y * 2.5L * (0.2L * r * step + 0.8L);
            R = logRadius() * 0.3L;
            break;
        case 16:
            X = x * x - y * y - 0.32L * r / step;
            Y = x * y * 2.5L + (0.2L * r + 0.8L) * 0.32L;
            R = logRadius() * 0.3L;
            break;
        case 17:
            X = Fabs(x * x - y * y + r * r * 0.1L - 0.32L);
            Y = Fabs(x * y * 2.5L + 0.032L);
            R = radius();
            break;
        case 18:
            X = Fabs(x * x - y * y + r * r * 0.35L - 0.72L);
            Y = Fabs(x * y * 2.5L + 0.132L);
            R = logRadius() * 0.5L;
            break;
        case 19:
            X = Fabs(x * x - y * y - Fabs(r) * 0.15L - 0.32L);
            Y = Fabs(x * y * 2.5L - 0.32L);
            R = logRadius() * 0.5L;
            break;
        case 20:
            X = Fabs(x * x - y * y - Fabs(r) * 0.35L - 0.78L);
            Y = Fabs(x * y * 2.5L - 0.132L);
            R = logRadius() * 0.15L;
            break;
        default: X = Y = R = 0; break;
    }
}

}  // namespace

Real FoldFinalValue(Real F) {
    const Real pi = xmath::kPi;
    if (!(F <= pi)) F = 0;  // above pi, or not a number
    Real S = F <= pi / 2 ? xmath::Fabs(F / pi) * 2 : xmath::Fabs(pi - F) * 2 / pi;
    if (S < 0.1L) S = 0;
    return S;
}

bool FlakeCell(int row, int col, int size, std::uint8_t algorithm, std::int32_t& alpha, FlakeOrbit* orbit) {
    FlakeOrbit local;
    FlakeOrbit& o = orbit ? *orbit : local;
    const Real n = size;
    const Real v = static_cast<Real>(2 * row) / n - 1;
    const Real u = static_cast<Real>(2 * col) / n - 1;
    const Real D = xmath::Sqrt(u * u + v * v + 0.00001L);
    if (D > 1) {
        alpha = 0;
        return false;
    }

    // arccos of the folded direction, as the angle of (c, sqrt(1 - c*c)).
    const Real c = xmath::Fabs(1 - static_cast<Real>(2 * col) / n) / D;
    const Real phi = xmath::ArcTan2(xmath::Sqrt(1 - c * c), c);
    o.X[0] = xmath::Fabs(xmath::Cos(xmath::kPi * phi));
    o.Y[0] = D;
    o.R[0] = xmath::Sqrt(o.X[0] * o.X[0] + o.Y[0] * o.Y[0] + 0.00001L);
    for (int i = 1; i <= 5; ++i) Step(algorithm, i, o.X[i - 1], o.Y[i - 1], o.R[i - 1], o.X[i], o.Y[i], o.R[i]);

    if (!(o.R[5] <= xmath::kPi)) o.R[5] = 0;
    alpha = static_cast<std::int32_t>(xmath::RoundHalfEven(FoldFinalValue(o.R[5]) * 255));
    return true;
}

namespace {

// |2i/size - 1|: the distance of row or column i from the centre line, as the
// cell computation sees it.
Real AbsCoordinate(int i, int size) { return xmath::Fabs(static_cast<Real>(2 * i) / size - 1); }

// A cell's result depends on its position only through |u| and |v| (they
// enter squared, and as |u| in the angle), so a cell whose mirror image has
// bit-identical |u| and |v| takes the mirror's result instead of computing it
// again. Where rounding makes the two differ in the last bit, the cell is
// computed: the layer is the same as a cell-by-cell pass, only about four
// times faster.
class FlakeRows {
public:
    FlakeRows(TFlakeLayer& layer, int size, std::uint8_t algorithm)
        : layer_(layer), size_(size), algorithm_(algorithm), absU_(size + 1) {
        for (int i = 0; i <= size; ++i) absU_[i] = AbsCoordinate(i, size);
    }

    // Row `row` and its mirror row, which share the work when their |v| agree.
    void RowPair(int row) const {
        std::vector<char> inside(static_cast<std::size_t>(size_) + 1);
        ComputeRow(row, inside);
        const int mirror = size_ - row;
        if (mirror == row) return;
        if (absU_[mirror] == absU_[row])
            CopyRow(row, mirror, inside);
        else
            ComputeRow(mirror, inside);
    }

private:
    void ComputeRow(int row, std::vector<char>& inside) const {
        const std::size_t base = layer_.Index(row, 0);
        for (int col = 0; col <= size_; ++col) {
            const int mirror = size_ - col;
            std::int32_t alpha;
            if (mirror < col && absU_[mirror] == absU_[col]) {
                alpha = layer_.Alpha[base + mirror];
                inside[col] = inside[mirror];
            } else {
                inside[col] = FlakeCell(row, col, size_, algorithm_, alpha);
            }
            Store(base + col, alpha, inside[col]);
        }
    }

    void CopyRow(int from, int to, const std::vector<char>& inside) const {
        const std::size_t source = layer_.Index(from, 0), target = layer_.Index(to, 0);
        for (int col = 0; col <= size_; ++col) Store(target + col, layer_.Alpha[source + col], inside[col]);
    }

    // Outside the disc only the alpha is written; colours keep what they held.
    void Store(std::size_t i, std::int32_t alpha, bool inside) const {
        if (inside) layer_.Red[i] = layer_.Green[i] = layer_.Blue[i] = 255;
        layer_.Alpha[i] = alpha;
    }

    TFlakeLayer& layer_;
    int size_;
    std::uint8_t algorithm_;
    std::vector<Real> absU_;
};

}  // namespace

void Snowflake(Scene& scene) {
    if (scene.FlakeSize < 1) return;
    scene.EnsureFlakeCapacity();
    const FlakeRows rows(scene.FlakeLayer, scene.FlakeSize, scene.Settings.Algorithm);
    ForEachRow(scene.FlakeSize / 2 + 1, [&rows](int row) { rows.RowPair(row); });
}

}  // namespace nivora
