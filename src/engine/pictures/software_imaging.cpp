// Portable imaging: frames and bitmaps in ordinary memory, bilinear stretching
// and source-over blending in integer arithmetic.
#include <algorithm>
#include <vector>

#include "engine/pictures/imaging.h"
#include "engine/pictures/zeroed_plane.h"

namespace nivora {
namespace {

// Pixels live in zeroed planes: a frame or bitmap of any size is made at
// once, and its memory is written only where something is drawn (clearing a
// 16384 x 16384 frame byte by byte took the making thread seconds).
class SoftwareFrame final : public Frame {
public:
    SoftwareFrame(int width, int height)
        : width_(std::max(width, 0)),
          height_(std::max(height, 0)),
          stride_((3 * width_ + 3) & ~3),
          bits_(static_cast<std::size_t>(stride_) * height_) {}

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    int Stride() const override { return stride_; }
    std::uint8_t* Bits() override { return bits_.data(); }

private:
    int width_, height_, stride_;
    ZeroedPlane<std::uint8_t> bits_;
};

class SoftwareBitmap final : public Bitmap {
public:
    SoftwareBitmap(int width, int height)
        : width_(std::max(width, 0)),
          height_(std::max(height, 0)),
          pixels_(static_cast<std::size_t>(width_) * height_) {}

    int Width() const override { return width_; }
    int Height() const override { return height_; }

    void SetPixel(int x, int y, Argb colour) override {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        pixels_[static_cast<std::size_t>(y) * width_ + x] = colour;
    }

    void SetRow(int y, const Argb* colours, int count) override {
        if (y < 0 || y >= height_) return;
        std::copy_n(colours, std::min(count, width_), pixels_.data() + static_cast<std::size_t>(y) * width_);
    }

    Argb GetPixel(int x, int y) const override {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
        return pixels_[static_cast<std::size_t>(y) * width_ + x];
    }

    const Argb* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }

private:
    int width_, height_;
    ZeroedPlane<Argb> pixels_;
};

// Source-over with a source already premultiplied by its alpha:
// out = source + target * (255 - alpha) / 255, each term rounded.
inline void BlendPremultiplied(std::uint8_t* bgr, unsigned alpha, unsigned red, unsigned green,
                               unsigned blue) {
    const unsigned keep = 255 - alpha;
    bgr[0] = static_cast<std::uint8_t>(blue + (bgr[0] * keep + 127) / 255);
    bgr[1] = static_cast<std::uint8_t>(green + (bgr[1] * keep + 127) / 255);
    bgr[2] = static_cast<std::uint8_t>(red + (bgr[2] * keep + 127) / 255);
}

inline unsigned Premultiply(unsigned channel, unsigned alpha) { return (channel * alpha + 127) / 255; }

inline void BlendArgb(std::uint8_t* bgr, Argb c) {
    const unsigned a = c >> 24;
    if (a == 0) return;
    if (a == 255) {
        bgr[0] = static_cast<std::uint8_t>(c);
        bgr[1] = static_cast<std::uint8_t>(c >> 8);
        bgr[2] = static_cast<std::uint8_t>(c >> 16);
        return;
    }
    BlendPremultiplied(bgr, a, Premultiply((c >> 16) & 0xFF, a), Premultiply((c >> 8) & 0xFF, a),
                       Premultiply(c & 0xFF, a));
}

// Where one destination column or row samples the source: the two source
// indices and the weight of the second one in 1/256 steps. Pixel centres are
// mapped onto pixel centres; samples beyond the edge take the edge pixel.
struct Tap {
    int first, second;
    unsigned weight;
};

std::vector<Tap> Taps(int sourceSize, int destSize, int destFirst, int destLast, int destOrigin) {
    std::vector<Tap> taps;
    taps.reserve(static_cast<std::size_t>(std::max(destLast - destFirst, 0)));
    const double scale = static_cast<double>(sourceSize) / destSize;
    for (int d = destFirst; d < destLast; ++d) {
        double s = (d - destOrigin + 0.5) * scale - 0.5;
        s = std::clamp(s, 0.0, static_cast<double>(sourceSize - 1));
        int first = static_cast<int>(s);
        unsigned weight = static_cast<unsigned>((s - first) * 256.0 + 0.5);
        if (weight == 256) {
            ++first;
            weight = 0;
        }
        taps.push_back({first, std::min(first + 1, sourceSize - 1), weight});
    }
    return taps;
}

class SoftwareGraphics final : public Graphics {
public:
    explicit SoftwareGraphics(Frame& frame) : frame_(frame) {}

    void DrawImageRect(const Bitmap& image, int x, int y, int width, int height) override {
        const auto& source = static_cast<const SoftwareBitmap&>(image);
        const int sw = source.Width(), sh = source.Height();
        if (sw <= 0 || sh <= 0 || width <= 0 || height <= 0) return;

        const int left = std::max(x, 0), top = std::max(y, 0);
        const int right = static_cast<int>(std::min<long long>(static_cast<long long>(x) + width, frame_.Width()));
        const int bottom = static_cast<int>(std::min<long long>(static_cast<long long>(y) + height, frame_.Height()));
        if (left >= right || top >= bottom) return;

        std::uint8_t* bits = frame_.Bits();
        const int stride = frame_.Stride();

        if (sw == width && sh == height) {  // one to one: no interpolation
            for (int dy = top; dy < bottom; ++dy) {
                const Argb* row = source.Row(dy - y);
                std::uint8_t* out = bits + static_cast<std::size_t>(dy) * stride;
                for (int dx = left; dx < right; ++dx) BlendArgb(out + 3 * dx, row[dx - x]);
            }
            return;
        }

        const std::vector<Tap> columns = Taps(sw, width, left, right, x);
        const std::vector<Tap> rows = Taps(sh, height, top, bottom, y);
        for (int dy = top; dy < bottom; ++dy) {
            const Tap& ty = rows[static_cast<std::size_t>(dy - top)];
            const Argb* upper = source.Row(ty.first);
            const Argb* lower = source.Row(ty.second);
            std::uint8_t* out = bits + static_cast<std::size_t>(dy) * stride;
            for (int dx = left; dx < right; ++dx) {
                const Tap& tx = columns[static_cast<std::size_t>(dx - left)];
                const Argb c00 = upper[tx.first], c10 = upper[tx.second];
                const Argb c01 = lower[tx.first], c11 = lower[tx.second];
                const unsigned w10 = tx.weight * (256 - ty.weight);
                const unsigned w01 = (256 - tx.weight) * ty.weight;
                const unsigned w11 = tx.weight * ty.weight;
                const unsigned w00 = 65536 - w10 - w01 - w11;
                if ((c00 & c10 & c01 & c11) >> 24 == 255) {  // opaque: plain interpolation
                    auto mix = [&](int shift) {
                        return static_cast<std::uint8_t>(
                            (((c00 >> shift) & 0xFF) * w00 + ((c10 >> shift) & 0xFF) * w10 +
                             ((c01 >> shift) & 0xFF) * w01 + ((c11 >> shift) & 0xFF) * w11 + 32768) >> 16);
                    };
                    std::uint8_t* p = out + 3 * dx;
                    p[0] = mix(0);
                    p[1] = mix(8);
                    p[2] = mix(16);
                    continue;
                }
                // Interpolate premultiplied so that transparent neighbours add no colour.
                const unsigned a00 = c00 >> 24, a10 = c10 >> 24, a01 = c01 >> 24, a11 = c11 >> 24;
                const unsigned alpha = (a00 * w00 + a10 * w10 + a01 * w01 + a11 * w11 + 32768) >> 16;
                if (alpha == 0) continue;
                auto mix = [&](int shift) {
                    return (Premultiply((c00 >> shift) & 0xFF, a00) * w00 +
                            Premultiply((c10 >> shift) & 0xFF, a10) * w10 +
                            Premultiply((c01 >> shift) & 0xFF, a01) * w01 +
                            Premultiply((c11 >> shift) & 0xFF, a11) * w11 + 32768) >> 16;
                };
                BlendPremultiplied(out + 3 * dx, alpha, mix(16), mix(8), mix(0));
            }
        }
    }

private:
    Frame& frame_;
};

class SoftwarePlatform final : public SoftwareDrawing {
public:
    std::unique_ptr<Frame> CreateFrame(int width, int height) override {
        return std::make_unique<SoftwareFrame>(width, height);
    }
};

}  // namespace

std::unique_ptr<Graphics> SoftwareDrawing::CreateGraphics(Frame& frame) {
    return std::make_unique<SoftwareGraphics>(frame);
}

std::unique_ptr<Bitmap> SoftwareDrawing::CreateBitmap(int width, int height) {
    return std::make_unique<SoftwareBitmap>(width, height);
}

ImagingPlatform& SoftwareImaging() {
    static SoftwarePlatform platform;
    return platform;
}

}  // namespace nivora
