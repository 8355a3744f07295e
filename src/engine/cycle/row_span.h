// The frame rows a step drew: what every front-end copies to its window,
// surface or canvas, and all it needs to know of the picture cycle's drawing.
#pragma once

#include <algorithm>

namespace nivora {

// A range of frame rows, first to last inclusive; empty when last < first.
struct RowSpan {
    int first = 0, last = -1;

    // Every row of a frame `height` rows high; empty for no rows.
    static RowSpan Whole(int height) { return height > 0 ? RowSpan{0, height - 1} : RowSpan{}; }

    bool Empty() const { return last < first; }
    void Add(int row) {
        if (Empty()) {
            first = last = row;
        } else {
            first = std::min(first, row);
            last = std::max(last, row);
        }
    }
    void Add(const RowSpan& other) {
        if (other.Empty()) return;
        Add(other.first);
        Add(other.last);
    }
    bool operator==(const RowSpan&) const = default;
};

}  // namespace nivora
