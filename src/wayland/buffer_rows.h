// What reaches a Wayland surface, and from which of its two shm buffers. The
// frame's changed rows are remembered twice: as damage of the surface since
// the last commit, and per buffer as rows that buffer has not been given yet
// (the other buffer was shown meanwhile). A commit writes the stale rows into
// a buffer the compositor does not hold, and damages only the changed ones.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/cycle/row_span.h"
#include "engine/pictures/imaging.h"

namespace nivora::wayland {

class BufferRows {
public:
    static constexpr int kBuffers = 2;

    struct Commit {
        int buffer = 0;   // the one to write into and attach
        RowSpan copy;     // rows to write into it from the frame
        RowSpan damage;   // rows changed since the last commit
    };

    // A new frame of `height` rows: every row of both buffers is stale, and
    // the whole surface damaged.
    void Reset(int height);
    void Changed(const RowSpan& rows);
    bool Pending() const { return !damage_.Empty(); }

    // The next commit into a buffer that is not held (the one with fewer
    // stale rows when both are free); nothing when nothing changed or the
    // compositor holds both. The rows it names count as written.
    std::optional<Commit> Take(const bool held[kBuffers]);

private:
    RowSpan stale_[kBuffers];
    RowSpan damage_;
};

// Rows first..last of a 24-bit frame into a buffer of XRGB8888 pixels (the
// compositor's 32-bit little-endian format, X unused and set to 0xFF).
void CopyRowsXrgb(const Frame& frame, int first, int last, std::uint8_t* pixels, int stride);

}  // namespace nivora::wayland
