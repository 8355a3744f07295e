#include "engine/pictures/snowflake.h"

#include <array>
#include <utility>
#include <vector>

#include "engine/numbers/extended_math.h"
#include "engine/pictures/generator_counts.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"

namespace nivora {
namespace {

using xmath::Real;

// One step of rule kRule: the new X and Y from the old x, y, r, then R from
// the new X and Y. Unknown rules (0 stands for them) give zero. xx and yy
// are x * x and y * y, which the step before computed for its own R (the
// same products of the same values); XX and YY are X * X and Y * Y for the
// next step.
template <int kRule>
[[gnu::always_inline]] inline void Step(int i, Real x, Real y, Real r, Real xx, Real yy, Real& X, Real& Y, Real& R,
                                        Real& XX, Real& YY) {
    using xmath::Fabs;
    using xmath::Ln;
    using xmath::Sqrt;
    const Real pi = xmath::kPi;
    const Real step = i;
    auto squares = [&] { XX = X * X, YY = Y * Y; };
    auto radius = [&] { squares(); return Sqrt(XX + YY + 0.00001L); };
    auto radius4 = [&] { squares(); return Sqrt(XX + YY + 0.0001L); };
    auto logRadius = [&] { squares(); return Ln(XX + YY + 0.00001L); };
    switch (kRule) {
        case 1: X = xx - yy - r * r * 0.1L - 0.72L; Y = x * y * 1.2L + 0.32L; R = radius(); break;
        case 2: X = xx - yy - r * r * 0.05L - 0.72L; Y = x * y * 1.2L + 0.6L; R = radius(); break;
        case 3: X = xx - yy - 0.32L; Y = x * y * pi - 0.32L; R = radius(); break;
        case 4: X = xx - yy - r * r * 0.5L + 0.32L; Y = x * y * 2 - 0.32L; R = logRadius(); break;
        case 5: X = xx - yy + r * r * 0.1L - 0.32L; Y = x * y * 2 - 0.32L; R = radius(); break;
        case 6: X = xx - yy + r * r * 0.1L - 0.32L; Y = x * y * 2.5L - 0.32L; R = radius(); break;
        case 7: X = xx - yy + r * r * 0.1L - 0.32L; Y = x * y * 3.5L - 0.32L; R = radius(); break;
        case 8:
            X = xx - yy - 0.01L * r - 0.32L;
            Y = x * y * 5 - 0.01L * r - 0.32L;
            R = Ln(Fabs(X * Y) + 0.00001L) * 0.2L;
            squares();
            break;
        case 9:
            X = xx - yy - Fabs(r) * 0.2L - 0.32L;
            Y = x * y * 3.5L - 0.32L;
            squares();
            R = Ln(XX * YY + 0.5L) * 0.2L;
            break;
        case 10:
            X = xx - yy + r * r * 0.1L - 0.32L;
            Y = x * y * 2.5L - 0.32L;
            squares();
            R = Sqrt(XX * YY + 0.0001L);
            break;
        case 11:
            X = xx - yy + r * r * 0.1L - step * 0.32L;
            Y = x * y * 2.5L - 0.32L;
            squares();
            R = Sqrt(XX * YY + 0.0001L);
            break;
        case 12: X = xx - yy + r * r * 0.2L - step * 0.32L; Y = x * y * 2 - step * 0.32L; R = radius4(); break;
        case 13:
            X = xx - yy + r * r * (step * 0.2L) - step * 0.32L;
            Y = x * y * 2 - step * 0.32L;
            R = radius4();
            break;
        case 14: X = xx - yy - r * r * 0.4L - 0.32L; Y = x * y * 2 + r - 0.1432L; R = radius(); break;
        case 15:
            X = xx - yy - r * r * 0.4L;
            Y = x * y * 2.5L * (0.2L * r * step + 0.8L);
            R = logRadius() * 0.3L;
            break;
        case 16:
            X = xx - yy - 0.32L * r / step;
            Y = x * y * 2.5L + (0.2L * r + 0.8L) * 0.32L;
            R = logRadius() * 0.3L;
            break;
        case 17:
            X = Fabs(xx - yy + r * r * 0.1L - 0.32L);
            Y = Fabs(x * y * 2.5L + 0.032L);
            R = radius();
            break;
        case 18:
            X = Fabs(xx - yy + r * r * 0.35L - 0.72L);
            Y = Fabs(x * y * 2.5L + 0.132L);
            R = logRadius() * 0.5L;
            break;
        case 19:
            X = Fabs(xx - yy - Fabs(r) * 0.15L - 0.32L);
            Y = Fabs(x * y * 2.5L - 0.32L);
            R = logRadius() * 0.5L;
            break;
        case 20:
            X = Fabs(xx - yy - Fabs(r) * 0.35L - 0.78L);
            Y = Fabs(x * y * 2.5L - 0.132L);
            R = logRadius() * 0.15L;
            break;
        default: X = Y = R = XX = YY = 0; break;
    }
}

// What a cell needs of its column: u^2, u its coordinate 2 col/size - 1,
// and |1 - 2 col/size|; and of its row, v^2 (v the same of the row). Each
// depends on the row or the column alone, and is computed once for it.
struct Column {
    Real uu, w;
};

Column ColumnOf(int col, int size) {
    const Real n = size;
    const Real u = static_cast<Real>(2 * col) / n - 1;
    return {u * u, xmath::Fabs(1 - static_cast<Real>(2 * col) / n)};
}

Real RowSquare(int row, int size) {
    const Real v = static_cast<Real>(2 * row) / static_cast<Real>(size) - 1;
    return v * v;
}

// The cell of rule kRule at a place: its alpha, whether it lies inside the
// disc, and its orbit if asked for.
template <int kRule>
bool CellOfRule(Real vv, const Column& column, std::int32_t& alpha, FlakeOrbit* orbit) {
    const Real D = xmath::Sqrt(column.uu + vv + 0.00001L);
    if (D > 1) {
        alpha = 0;
        return false;
    }

    // arccos of the folded direction, as the angle of (c, sqrt(1 - c*c)).
    const Real c = column.w / D;
    const Real phi = xmath::ArcTan2(xmath::Sqrt(1 - c * c), c);
    // The orbit in locals, copied out only when asked for: most calls have
    // no use for it.
    Real x = xmath::Fabs(xmath::Cos(xmath::kPi * phi));
    Real y = D;
    Real xx = x * x, yy = y * y;
    Real r = xmath::Sqrt(xx + yy + 0.00001L);
    if (orbit) orbit->X[0] = x, orbit->Y[0] = y, orbit->R[0] = r;
    for (int i = 1; i <= 5; ++i) {
        Real X, Y, R, XX, YY;
        Step<kRule>(i, x, y, r, xx, yy, X, Y, R, XX, YY);
        x = X, y = Y, r = R, xx = XX, yy = YY;
        if (orbit) orbit->X[i] = x, orbit->Y[i] = y, orbit->R[i] = r;
    }

    if (!(r <= xmath::kPi)) r = 0;
    if (orbit) orbit->R[5] = r;
    alpha = static_cast<std::int32_t>(xmath::RoundHalfEven(FoldFinalValue(r) * 255));
    return true;
}

using CellFunction = bool (*)(Real, const Column&, std::int32_t&, FlakeOrbit*);

template <int... kRules>
constexpr std::array<CellFunction, sizeof...(kRules)> CellFunctions(std::integer_sequence<int, kRules...>) {
    return {&CellOfRule<kRules>...};
}

// Each rule's cell compiled on its own, so that the rule's steps are
// inlined into one another without a choice between rules at each step.
// Entry 0 serves every unknown rule.
constexpr auto kCellOfRule = CellFunctions(std::make_integer_sequence<int, kSnowflakeRules + 1>{});

CellFunction CellOf(std::uint8_t algorithm) { return kCellOfRule[algorithm <= kSnowflakeRules ? algorithm : 0]; }

}  // namespace

Real FoldFinalValue(Real F) {
    const Real pi = xmath::kPi;
    if (!(F <= pi)) F = 0;  // above pi, or not a number
    Real S = F <= pi / 2 ? xmath::Fabs(F / pi) * 2 : xmath::Fabs(pi - F) * 2 / pi;
    if (S < 0.1L) S = 0;
    return S;
}

bool FlakeCell(int row, int col, int size, std::uint8_t algorithm, std::int32_t& alpha, FlakeOrbit* orbit) {
    return CellOf(algorithm)(RowSquare(row, size), ColumnOf(col, size), alpha, orbit);
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
        : layer_(layer), size_(size), cell_(CellOf(algorithm)), absU_(size + 1), columns_(size + 1) {
        for (int i = 0; i <= size; ++i) absU_[i] = AbsCoordinate(i, size), columns_[i] = ColumnOf(i, size);
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
        const Real vv = RowSquare(row, size_);
        for (int col = 0; col <= size_; ++col) {
            const int mirror = size_ - col;
            std::int32_t alpha;
            if (mirror < col && absU_[mirror] == absU_[col]) {
                alpha = layer_.Alpha[base + mirror];
                inside[col] = inside[mirror];
            } else {
                inside[col] = cell_(vv, columns_[col], alpha, nullptr);
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
    CellFunction cell_;
    std::vector<Real> absU_;
    std::vector<Column> columns_;
};

}  // namespace

void Snowflake(Scene& scene) {
    if (scene.FlakeSize < 1) return;
    scene.EnsureFlakeCapacity();
    const FlakeRows rows(scene.FlakeLayer, scene.FlakeSize, scene.Settings.Algorithm);
    ForEachRow(scene.FlakeSize / 2 + 1, [&rows](int row) { rows.RowPair(row); });
}

}  // namespace nivora
