// The timeline strip without a display: block and marker layout over a sweep
// of widths and lengths, painting that never leaves the image, the hit test,
// and the In/Out range over a master area built from hand-made records.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <deque>
#include <vector>

#include "editing/clip_records.h"
#include "vtr/timeline_strip.h"

namespace {

// ---- layout and painting ----

struct Expect {
    std::vector<int> lengths;
    int in, out, width;
    int64_t total;
    std::vector<std::pair<int, int>> blocks;
    int in_x, out_x;
};

TEST(TimelineLayout, BlocksAndMarkersFollowTheRule) {
    const Expect cases[] = {
        // 1 pixel a frame: markers add 20 each once placed.
        {{30, 50, 20}, 1, 1, 140, 100, {{0, 30}, {50, 100}, {120, 140}}, 30, 100},
        {{30, 50, 20}, 0, 2, 140, 100, {{20, 50}, {50, 100}, {100, 120}}, 0, 120},
        {{30, 50, 20}, 0, 0, 140, 100, {{20, 50}, {70, 120}, {120, 140}}, 0, 50},
        // Half a pixel a frame, rounded to nearest.
        {{3, 4, 3}, 0, 2, 45, 10, {{20, 22}, {22, 24}, {24, 25}}, 0, 25},
        // One clip: its block between the two markers.
        {{7}, 0, 0, 100, 7, {{20, 80}}, 0, 80},
        // Indexes out of range stand for the first and the last window.
        {{10, 10}, -1, 9, 60, 20, {{20, 30}, {30, 40}}, 0, 40},
        // A total of 0 counts as the sum of the lengths.
        {{10, 10}, 0, 1, 60, 0, {{20, 30}, {30, 40}}, 0, 40},
        // Lengths past the total (skipped clips) stop at the Out marker's room.
        {{10, 10, 10}, 0, 2, 60, 10, {{20, 40}, {40, 40}, {40, 40}}, 0, 40},
        // Narrower than the markers: blocks are empty, markers run past the edge.
        {{5, 5}, 0, 1, 30, 10, {{20, 20}, {20, 20}}, 0, 20},
    };
    for (const Expect &c : cases) {
        TmStripLayout lay;
        TmLayoutStrip(c.lengths.data(), int(c.lengths.size()), c.in, c.out, c.width, c.total, &lay);
        std::vector<std::pair<int, int>> blocks;
        for (size_t i = 0; i < lay.blocks.size(); i++) {
            blocks.emplace_back(lay.blocks[i].x0, lay.blocks[i].x1);
            EXPECT_EQ(lay.blocks[i].colour, int(i % 2));
        }
        EXPECT_EQ(blocks, c.blocks) << "width " << c.width;
        EXPECT_EQ(std::make_pair(lay.in_x, lay.out_x), std::make_pair(c.in_x, c.out_x))
            << "width " << c.width;
    }
    TmStripLayout none;
    const int one = 5;
    TmLayoutStrip(&one, 0, 0, 0, 100, 5, &none);
    EXPECT_TRUE(none.blocks.empty());
    EXPECT_EQ(none.in_x, -1);
    TmLayoutStrip(&one, 1, 0, 0, 0, 5, &none);
    EXPECT_TRUE(none.blocks.empty());
}

// Paints the layout into an image with guard bytes around it; false when a
// guard byte changed.
bool paints_inside(const TmStripLayout &lay, int width, const TmStripColours &colours,
                   const unsigned char *in_m, const unsigned char *out_m,
                   std::vector<unsigned char> &buf) {
    const size_t guard = 256, size = size_t(width) * TM_HEIGHT * 4;
    buf.assign(size + 2 * guard, 0xA5);
    TmRenderStrip(lay, colours, in_m, out_m, buf.data() + guard, width);
    for (size_t i = 0; i < guard; i++)
        if (buf[i] != 0xA5 || buf[guard + size + i] != 0xA5) return false;
    return true;
}

TEST(TimelineLayout, EveryWidthAndTotalStaysInsideAndTiles) {
    const unsigned char bg[3] = {0x55, 0x55, 0x60}, fg[3] = {0xee, 0xee, 0xee};
    const TmStripColours colours = TmMakeColours(bg, fg);
    std::vector<unsigned char> in_m(TM_MARKER * TM_MARKER * 4), out_m(in_m.size());
    TmBuildMarker(0, colours, in_m.data());
    TmBuildMarker(1, colours, out_m.data());
    const std::vector<std::vector<int>> shapes = {
        {1}, {1, 1}, {3, 1000000, 7}, {250000, 250000, 250000, 250000}, {1, 2, 3, 4, 5, 6, 7}};
    const int64_t totals[] = {1, 2, 7, 999, 1000000};
    std::vector<unsigned char> buf;
    TmStripLayout lay;
    for (int width = 1; width <= 2000; width++) {
        for (const std::vector<int> &lengths : shapes) {
            const int n = int(lengths.size());
            for (int64_t total : totals) {
                const int in = (width * 7) % n, out = in + (width % (n - in));
                TmLayoutStrip(lengths.data(), n, in, out, width, total, &lay);
                ASSERT_EQ(lay.blocks.size(), size_t(n));
                // Blocks in order, never overlapping or shrinking below empty.
                int x = 0;
                for (int i = 0; i < n; i++) {
                    const TmBlock &b = lay.blocks[size_t(i)];
                    if (i == in) {
                        ASSERT_EQ(lay.in_x, x);
                        x += TM_MARKER;
                    }
                    ASSERT_EQ(b.x0, x) << "width " << width << " block " << i;
                    ASSERT_GE(b.x1, b.x0);
                    x = b.x1;
                    if (i == out) {
                        ASSERT_EQ(lay.out_x, x);
                        x += TM_MARKER;
                    }
                }
                // From 41 pixels on, blocks and markers fill the strip exactly.
                if (width >= 41) {
                    ASSERT_EQ(x, width) << "width " << width << " total " << total;
                    ASSERT_LE(lay.out_x + TM_MARKER, width);
                }
                // While the lengths add up to no more than the total, a block
                // before the last ends at its running frame sum in pixels
                // plus the markers placed so far.
                int64_t sum = 0;
                for (int len : lengths)
                    sum += len;
                if (width >= 41 && sum <= total) {
                    const double per_frame = double(width - 40) / double(total);
                    int64_t frames = 0;
                    for (int i = 0; i + 1 < n; i++) {
                        frames += lengths[size_t(i)];
                        const int markers = (i >= in ? 20 : 0) + (i > out ? 20 : 0);
                        ASSERT_EQ(lay.blocks[size_t(i)].x1,
                                  int(double(frames) * per_frame + markers + 0.5))
                            << "width " << width << " total " << total << " block " << i;
                    }
                }
                ASSERT_TRUE(paints_inside(lay, width, colours, in_m.data(), out_m.data(), buf))
                    << "width " << width << " total " << total;
            }
        }
    }
}

TEST(TimelineLayout, MarkersArePaintedWholeAndMirrored) {
    const unsigned char bg[3] = {10, 20, 30}, fg[3] = {210, 220, 230};
    const TmStripColours colours = TmMakeColours(bg, fg);
    EXPECT_NE(std::memcmp(colours.block[0], colours.block[1], 3), 0);
    std::vector<unsigned char> in_m(TM_MARKER * TM_MARKER * 4), out_m(in_m.size());
    TmBuildMarker(0, colours, in_m.data());
    TmBuildMarker(1, colours, out_m.data());
    const int lengths[] = {30, 50, 20};
    TmStripLayout lay;
    TmLayoutStrip(lengths, 3, 0, 2, 140, 100, &lay); // In at 0, Out at 120
    std::vector<unsigned char> img(140 * TM_HEIGHT * 4);
    TmRenderStrip(lay, colours, in_m.data(), out_m.data(), img.data(), 140);
    for (int y = 0; y < TM_MARKER; y++) {
        const size_t row = size_t(y) * 140 * 4, mrow = size_t(y) * TM_MARKER * 4;
        ASSERT_EQ(std::memcmp(&img[row], &in_m[mrow], TM_MARKER * 4), 0);
        ASSERT_EQ(std::memcmp(&img[row + 120 * 4], &out_m[mrow], TM_MARKER * 4), 0);
        for (int x = 0; x < TM_MARKER; x++)
            ASSERT_EQ(std::memcmp(&in_m[mrow + size_t(x) * 4],
                                  &out_m[mrow + size_t(TM_MARKER - 1 - x) * 4], 4),
                      0);
    }
    // The In marker's bar stands on its right edge, next to the first block.
    EXPECT_EQ(in_m[(10 * TM_MARKER + 17) * 4 + 3], fg[0]);
    EXPECT_EQ(in_m[(10 * TM_MARKER + 0) * 4 + 3], bg[0]);
}

TEST(TimelineLayout, HitTest) {
    const int lengths[] = {30, 50, 20};
    TmStripLayout lay;
    TmLayoutStrip(lengths, 3, 1, 1, 140, 100, &lay); // blocks 0-30, 50-100, 120-140
    struct Case {
        int x;
        TmHit hit;
        int window;
    } cases[] = {
        {-1, TM_HIT_NONE, -1},   {0, TM_HIT_WINDOW, 0},   {29, TM_HIT_WINDOW, 0},
        {30, TM_HIT_IN, -1},     {49, TM_HIT_IN, -1},     {50, TM_HIT_WINDOW, 1},
        {99, TM_HIT_WINDOW, 1},  {100, TM_HIT_OUT, -1},   {119, TM_HIT_OUT, -1},
        {120, TM_HIT_WINDOW, 2}, {139, TM_HIT_WINDOW, 2}, {140, TM_HIT_NONE, -1},
    };
    for (const Case &c : cases) {
        int window = 99;
        EXPECT_EQ(TmHitTest(lay, 140, c.x, &window), c.hit) << "x " << c.x;
        EXPECT_EQ(window, c.window) << "x " << c.x;
    }
    TmStripLayout empty;
    int window = 0;
    EXPECT_EQ(TmHitTest(empty, 140, 10, &window), TM_HIT_NONE);
}

// ---- the master area's range ----

// A master area of windows with the given lengths, followed by `desktop`
// desktop windows; the list heads point into it while it lives.
class MasterArea {
  public:
    explicit MasterArea(const std::vector<int> &lengths, int desktop = 1) {
        for (int len : lengths) {
            wins.emplace_back();
            wins.back().total = len;
            wins.back().master = 1;
        }
        for (int i = 0; i < desktop; i++) {
            wins.emplace_back();
            wins.back().total = 99;
        }
        for (size_t i = 0; i + 1 < wins.size(); i++)
            wins[i].next = &wins[i + 1];
        first_window = wins.empty() ? nullptr : &wins[0];
        last_window = wins.empty() ? nullptr : &wins.back();
        first_work = desktop ? &wins[lengths.size()] : nullptr;
    }
    ~MasterArea() { first_window = last_window = first_work = nullptr; }
    WindowData *operator[](size_t i) { return &wins[i]; }
    std::deque<WindowData> wins;
};

// A range's In and Out frames, and its window count with the resolved
// window indexes.
std::pair<int, int> Frames(const TmRange &range) {
    int in = -5, out = -5;
    TmRangeFrames(range, &in, &out);
    return {in, out};
}
std::array<int, 3> Resolved(const TmRange &range) {
    int in = -5, out = -5;
    const int n = TmResolveRange(range, &in, &out);
    return {n, in, out};
}
using P = std::pair<int, int>;
using R = std::array<int, 3>;

TEST(TimelineRange, SettingAMarkerKeepsInBeforeOut) {
    MasterArea area({10, 20, 30, 40});
    struct Step {
        int window, which; // window -1: null
        int in, out;       // resolved indexes after the step
    } steps[] = {
        {1, 0, 1, 3},                 // In on 1, Out still the last
        {2, 1, 1, 2},                 // Out on 2
        {3, 0, 3, 3},                 // In after Out: Out follows it
        {0, 1, 0, 0},                 // Out before In: In follows it
        {2, 1, 0, 2},  {-1, 0, 0, 2}, // null In: the first window
        {-1, 1, 0, 3},                // null Out: the last window
        {2, 0, 2, 3},  {2, 1, 2, 2},  // the C key: both on one window
    };
    TmRange range;
    for (const Step &s : steps) {
        TmSetRangeWindow(&range, s.window < 0 ? nullptr : area[size_t(s.window)], s.which);
        EXPECT_EQ(Resolved(range), (R{4, s.in, s.out}))
            << "window " << s.window << " which " << s.which;
    }
    // A desktop window is not a master-area window: that end goes back to
    // the first (In) or the last (Out).
    TmSetRangeWindow(&range, area[4], 0);
    EXPECT_EQ(range.in, nullptr);
    TmSetRangeWindow(&range, area[4], 1);
    EXPECT_EQ(range.out, nullptr);
}

TEST(TimelineRange, InOutSumsTheWindowsBefore) {
    MasterArea area({10, 20, 30, 40});
    struct Case {
        int in_window, out_window;
        int in, out;
    } cases[] = {
        {-1, -1, 0, 99}, {0, 0, 0, 9}, {1, 2, 10, 59}, {3, 3, 60, 99}, {2, -1, 30, 99},
    };
    for (const Case &c : cases) {
        TmRange range;
        range.in = c.in_window < 0 ? nullptr : area[size_t(c.in_window)];
        range.out = c.out_window < 0 ? nullptr : area[size_t(c.out_window)];
        EXPECT_EQ(Frames(range), P(c.in, c.out));
    }
    MasterArea one({25});
    EXPECT_EQ(Frames(TmRange{}), P(0, 24)); // one clip: its first and last frames
}

TEST(TimelineRange, StaleOrMissingEndsCountAsFirstAndLast) {
    MasterArea area({10, 20, 30});
    WindowData gone;               // a record that is not (or no longer) in the master area
    TmRange range{&gone, area[3]}; // area[3] is the desktop window
    EXPECT_EQ(Resolved(range), (R{3, 0, 2}));
    EXPECT_EQ(Frames(range), P(0, 59));
    // Setting one end forgets a stale other end, which then counts as last.
    TmSetRangeWindow(&range, area[1], 0);
    EXPECT_EQ(range.in, area[1]);
    EXPECT_EQ(range.out, nullptr);
    EXPECT_EQ(Frames(range), P(10, 59));

    // Without a master area the frames are 0 and the indexes -1.
    MasterArea none({}, 2);
    TmRange empty{area[0], area[1]};
    EXPECT_EQ(Frames(empty), P(0, 0));
    EXPECT_EQ(Resolved(empty), (R{0, -1, -1}));
    TmSetRangeWindow(&empty, area[0], 0);
    EXPECT_EQ(empty.in, nullptr);
    EXPECT_EQ(empty.out, nullptr);
}

} // namespace
