#include "wayland/buffer_rows.h"

#include <algorithm>

namespace nivora::wayland {

void BufferRows::Reset(int height) {
    damage_ = RowSpan::Whole(height);
    for (RowSpan& stale : stale_) stale = damage_;
}

void BufferRows::Changed(const RowSpan& rows) {
    damage_.Add(rows);
    for (RowSpan& stale : stale_) stale.Add(rows);
}

std::optional<BufferRows::Commit> BufferRows::Take(const bool held[kBuffers]) {
    if (damage_.Empty()) return std::nullopt;
    int chosen = -1;
    for (int i = 0; i < kBuffers; ++i) {
        if (held[i]) continue;
        const auto rows = [&](int b) { return stale_[b].Empty() ? 0 : stale_[b].last - stale_[b].first + 1; };
        if (chosen < 0 || rows(i) < rows(chosen)) chosen = i;
    }
    if (chosen < 0) return std::nullopt;
    Commit commit{chosen, stale_[chosen], damage_};
    stale_[chosen] = RowSpan{};
    damage_ = RowSpan{};
    return commit;
}

void CopyRowsXrgb(const Frame& frame, int first, int last, std::uint8_t* pixels, int stride) {
    first = std::max(first, 0);
    last = std::min(last, frame.Height() - 1);
    const int width = frame.Width();
    for (int y = first; y <= last; ++y) {
        const std::uint8_t* from = frame.Bits() + static_cast<std::size_t>(y) * frame.Stride();
        auto* to = reinterpret_cast<std::uint32_t*>(pixels + static_cast<std::size_t>(y) * stride);
        for (int x = 0; x < width; ++x, from += 3)
            to[x] = 0xFF000000u | (std::uint32_t(from[2]) << 16) | (std::uint32_t(from[1]) << 8) | from[0];
    }
}

}  // namespace nivora::wayland
