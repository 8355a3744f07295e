// The rows that reach a Wayland surface through its two buffers. A model
// run checks, after every commit, what the compositor would see: the buffer
// it is given holds the frame as it is, and the damage covers every row
// that differs from the last commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "engine/pictures/imaging.h"
#include "wayland/buffer_rows.h"

namespace nivora::wayland {
namespace {

TEST(WaylandBufferRows, EveryCommitShowsTheFrameAndDamagesWhatChanged) {
    constexpr int kHeight = 40;
    std::mt19937 random(18);
    std::vector<int> frame(kHeight, 0);  // a version per row
    std::vector<std::vector<int>> buffers(BufferRows::kBuffers, std::vector<int>(kHeight, -1));
    std::vector<int> shown(kHeight, -1);  // the last commit
    bool held[BufferRows::kBuffers] = {false, false};

    BufferRows rows;
    rows.Reset(kHeight);
    int commits = 0, version = 1, heldBoth = 0;
    for (int step = 0; step < 4000; ++step) {
        const int action = random() % 4;
        if (action == 0) {  // a tick draws a few consecutive rows
            const int first = random() % kHeight, last = std::min(kHeight - 1, first + int(random() % 4));
            for (int y = first; y <= last; ++y) frame[y] = version;
            ++version;
            rows.Changed(RowSpan{first, last});
        } else if (action == 1) {  // the compositor lets a buffer go
            held[random() % BufferRows::kBuffers] = false;
        } else {
            const auto commit = rows.Take(held);
            if (!commit) {
                heldBoth += held[0] && held[1] && rows.Pending();
                continue;
            }
            ASSERT_FALSE(held[commit->buffer]) << "drew into a buffer the compositor holds, step " << step;
            std::vector<int>& buffer = buffers[commit->buffer];
            for (int y = commit->copy.first; y <= commit->copy.last && !commit->copy.Empty(); ++y) buffer[y] = frame[y];
            ASSERT_EQ(buffer, frame) << "the committed buffer is not the frame, step " << step;
            for (int y = 0; y < kHeight; ++y) {
                if (shown[y] != frame[y]) {
                    ASSERT_TRUE(y >= commit->damage.first && y <= commit->damage.last)
                        << "row " << y << " changed but is not damaged, step " << step;
                }
            }
            shown = frame;
            held[commit->buffer] = true;
            ++commits;
        }
    }
    EXPECT_GT(commits, 500);
    EXPECT_GT(heldBoth, 10);  // the run did meet both buffers held
    // Nothing changed since the last commit: nothing to send.
    while (rows.Pending()) {
        const bool none[BufferRows::kBuffers] = {false, false};
        rows.Take(none);
    }
    const bool none[BufferRows::kBuffers] = {false, false};
    EXPECT_FALSE(rows.Take(none).has_value());
}

TEST(WaylandBufferRows, TheNewestBufferIsReusedAndAResetDamagesEverything) {
    BufferRows rows;
    rows.Reset(10);
    const bool none[BufferRows::kBuffers] = {false, false};
    auto commit = rows.Take(none);
    ASSERT_TRUE(commit);
    EXPECT_EQ(commit->copy.first, 0);
    EXPECT_EQ(commit->copy.last, 9);
    const int first = commit->buffer;
    // Released at once: the same buffer needs only the new rows.
    rows.Changed(RowSpan{4, 5});
    commit = rows.Take(none);
    ASSERT_TRUE(commit);
    EXPECT_EQ(commit->buffer, first);
    EXPECT_EQ(commit->copy.first, 4);
    EXPECT_EQ(commit->copy.last, 5);
    rows.Reset(6);
    commit = rows.Take(none);
    ASSERT_TRUE(commit);
    EXPECT_EQ(commit->damage.first, 0);
    EXPECT_EQ(commit->damage.last, 5);
}

TEST(WaylandBufferRows, RowsBecomeXrgbPixelsAndOthersStayAsTheyWere) {
    auto frame = SoftwareImaging().CreateFrame(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            std::uint8_t* p = frame->Bits() + y * frame->Stride() + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 40);       // blue
            p[1] = static_cast<std::uint8_t>(y * 60);       // green
            p[2] = static_cast<std::uint8_t>(200 - x - y);  // red
        }
    const int stride = 5 * 4 + 8;  // wider rows than the picture
    std::vector<std::uint8_t> pixels(stride * 4, 0x11);
    CopyRowsXrgb(*frame, 1, 2, pixels.data(), stride);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            std::uint32_t value;
            std::memcpy(&value, pixels.data() + y * stride + 4 * x, 4);
            if (y == 1 || y == 2)
                EXPECT_EQ(value, 0xFF000000u | frame->PixelRgb(x, y)) << x << "," << y;
            else
                EXPECT_EQ(value, 0x11111111u) << x << "," << y;
        }
}

}  // namespace
}  // namespace nivora::wayland
