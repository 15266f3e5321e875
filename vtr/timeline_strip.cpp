// Geometry, painting and range rules of the timeline strip, kept free of the
// toolkit so that they can be checked for any width and length. The strip's
// widgets (vtr/timeline.cpp) call these and write the finished image.
#include "vtr/timeline_strip.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "editing/clip_records.h"

// ---- layout ----

void TmLayoutStrip(const int *lengths, int n, int in_index, int out_index, int width, int64_t total,
                   TmStripLayout *layout) {
    layout->blocks.clear();
    layout->in_x = layout->out_x = -1;
    if (n < 1 || width < 1 || !lengths) return;
    layout->blocks.resize(size_t(n));
    if (in_index < 0 || in_index >= n) in_index = 0;
    if (out_index < 0 || out_index >= n) out_index = n - 1;
    if (total < 1) {
        total = 0;
        for (int i = 0; i < n; i++)
            total += std::max(lengths[i], 0);
        total = std::max<int64_t>(total, 1);
    }
    // Narrower than the two markers and one pixel: the blocks get no room.
    const double per_frame =
        width > 2 * TM_MARKER ? double(width - 2 * TM_MARKER) / double(total) : 0.0;

    int x = 0;
    int64_t frames = 0;
    bool in_placed = false, out_placed = false;
    for (int i = 0; i < n; i++) {
        if (i == in_index) {
            layout->in_x = x;
            x += TM_MARKER;
            in_placed = true;
        }
        frames += std::max(lengths[i], 0);
        // Markers still to come keep their 20 pixels each at the right.
        const int limit = width - (in_placed ? 0 : TM_MARKER) - (out_placed ? 0 : TM_MARKER);
        int64_t end;
        if (i == n - 1) {
            end = limit;
        } else {
            const double e = double(frames) * per_frame + (in_placed ? TM_MARKER : 0) +
                             (out_placed ? TM_MARKER : 0) + 0.5;
            end = e >= double(INT_MAX) ? INT_MAX : int64_t(std::floor(e));
        }
        // Frame counts that add up past the total (clips the master area
        // skipped) or a narrow strip must not push a block past its room or
        // back over the one before.
        if (end > limit) end = limit;
        if (end < x) end = x;
        layout->blocks[size_t(i)] = TmBlock{x, int(end), i % 2};
        x = int(end);
        if (i == out_index) {
            layout->out_x = x;
            x += TM_MARKER;
            out_placed = true;
        }
    }
}

// ---- painting ----

namespace {

void put_pixel(unsigned char *p, const unsigned char rgb[3]) {
    p[0] = 0;
    p[1] = rgb[2];
    p[2] = rgb[1];
    p[3] = rgb[0];
}

// Fills columns x0 <= x < x1 of all rows, clipped to the strip.
void fill_columns(unsigned char *pixels, int width, int x0, int x1, const unsigned char rgb[3]) {
    x0 = std::max(x0, 0);
    x1 = std::min(x1, width);
    if (x0 >= x1) return;
    for (int y = 0; y < TM_HEIGHT; y++) {
        unsigned char *row = pixels + (size_t(y) * size_t(width) + size_t(x0)) * 4;
        for (int x = x0; x < x1; x++, row += 4)
            put_pixel(row, rgb);
    }
}

// Copies a 20 x 20 marker with its left edge at x, clipped to the strip.
void put_marker(unsigned char *pixels, int width, int x, const unsigned char *marker) {
    if (!marker) return;
    const int x0 = std::max(x, 0), x1 = std::min(x + TM_MARKER, width);
    if (x0 >= x1) return;
    for (int y = 0; y < TM_HEIGHT; y++)
        std::memcpy(pixels + (size_t(y) * size_t(width) + size_t(x0)) * 4,
                    marker + (size_t(y) * TM_MARKER + size_t(x0 - x)) * 4, size_t(x1 - x0) * 4);
}

unsigned char mix(unsigned char a, unsigned char b, int percent) {
    return (unsigned char)((a * (100 - percent) + b * percent + 50) / 100);
}

} // namespace

TmStripColours TmMakeColours(const unsigned char background[3], const unsigned char foreground[3]) {
    TmStripColours c;
    for (int k = 0; k < 3; k++) {
        c.background[k] = background[k];
        c.block[0][k] = mix(background[k], foreground[k], 30);
        c.block[1][k] = mix(background[k], foreground[k], 55);
        c.marker[k] = foreground[k];
    }
    return c;
}

void TmBuildMarker(int which, const TmStripColours &colours, unsigned char *image) {
    // Drawn as the In marker (x grows to the right, row 0 at the bottom):
    // a bar against the right edge with short arms at top and bottom, and a
    // triangle pointing at the bar. The Out marker is its mirror image.
    for (int y = 0; y < TM_MARKER; y++) {
        for (int x = 0; x < TM_MARKER; x++) {
            const int dy = y < TM_MARKER / 2 ? TM_MARKER / 2 - 1 - y : y - TM_MARKER / 2;
            const bool bar = x >= 16 && x <= 18;
            const bool arm = x >= 11 && x <= 18 && (y <= 1 || y >= TM_MARKER - 2);
            const bool arrow =
                x >= 3 && x <= 13 && dy <= (13 - x) / 2 + 1 && y >= 4 && y <= TM_MARKER - 5;
            const int px = which == 0 ? x : TM_MARKER - 1 - x;
            put_pixel(image + (size_t(y) * TM_MARKER + size_t(px)) * 4,
                      bar || arm || arrow ? colours.marker : colours.background);
        }
    }
}

void TmRenderStrip(const TmStripLayout &layout, const TmStripColours &colours,
                   const unsigned char *in_marker, const unsigned char *out_marker,
                   unsigned char *pixels, int width) {
    if (!pixels || width < 1) return;
    fill_columns(pixels, width, 0, width, colours.background);
    for (const TmBlock &b : layout.blocks)
        fill_columns(pixels, width, b.x0, b.x1, colours.block[b.colour & 1]);
    if (layout.in_x >= 0) put_marker(pixels, width, layout.in_x, in_marker);
    if (layout.out_x >= 0) put_marker(pixels, width, layout.out_x, out_marker);
}

// ---- pointer ----

TmHit TmHitTest(const TmStripLayout &layout, int width, int x, int *window) {
    if (window) *window = -1;
    if (x < 0 || x >= width) return TM_HIT_NONE;
    if (layout.in_x >= 0 && x >= layout.in_x && x < layout.in_x + TM_MARKER) return TM_HIT_IN;
    if (layout.out_x >= 0 && x >= layout.out_x && x < layout.out_x + TM_MARKER) return TM_HIT_OUT;
    // Blocks stand in order of x: find the first that ends past x.
    auto it = std::upper_bound(layout.blocks.begin(), layout.blocks.end(), x,
                               [](int px, const TmBlock &b) { return px < b.x1; });
    for (; it != layout.blocks.end() && it->x0 <= x; ++it) {
        if (x < it->x1) {
            if (window) *window = int(it - layout.blocks.begin());
            return TM_HIT_WINDOW;
        }
    }
    return TM_HIT_NONE;
}

// ---- the master area and its In/Out range ----

int TmMasterCount() {
    int n = 0;
    for (WindowData *w = first_window; w && w != first_work; w = w->next)
        n++;
    return n;
}

int TmMasterIndex(const WindowData *win) {
    if (!win) return -1;
    int i = 0;
    for (WindowData *w = first_window; w && w != first_work; w = w->next, i++)
        if (w == win) return i;
    return -1;
}

WindowData *TmMasterWindow(int index) {
    if (index < 0) return nullptr;
    WindowData *w = first_window;
    for (; w && w != first_work && index > 0; w = w->next)
        index--;
    return w && w != first_work ? w : nullptr;
}

std::vector<int> TmMasterLengths() {
    std::vector<int> lengths;
    for (WindowData *w = first_window; w && w != first_work; w = w->next)
        lengths.push_back(w->total);
    return lengths;
}

int TmResolveRange(const TmRange &range, int *in_index, int *out_index) {
    int n = 0, in = -1, out = -1;
    for (WindowData *w = first_window; w && w != first_work; w = w->next, n++) {
        if (w == range.in) in = n;
        if (w == range.out) out = n;
    }
    if (n == 0) {
        *in_index = *out_index = -1;
        return 0;
    }
    *in_index = in >= 0 ? in : 0;
    *out_index = out >= 0 ? out : n - 1;
    return n;
}

void TmSetRangeWindow(TmRange *range, WindowData *win, int which) {
    const int at = TmMasterIndex(win);
    if (at < 0) win = nullptr;
    // Ends that have left the master area are forgotten, so that a record
    // freed meanwhile is never compared again.
    if (TmMasterIndex(range->in) < 0) range->in = nullptr;
    if (TmMasterIndex(range->out) < 0) range->out = nullptr;
    int in = 0, out = 0;
    if (TmResolveRange(*range, &in, &out) == 0) {
        range->in = range->out = nullptr;
        return;
    }
    if (which == 0) {
        range->in = win;
        if (win && out < at) range->out = win;
    } else {
        range->out = win;
        if (win && in > at) range->in = win;
    }
}

void TmRangeFrames(const TmRange &range, int *in, int *out) {
    *in = *out = 0;
    int in_index = 0, out_index = 0;
    if (TmResolveRange(range, &in_index, &out_index) == 0) return;
    int64_t sum = 0, first = 0, last = 0;
    int i = 0;
    for (WindowData *w = first_window; w && w != first_work; w = w->next, i++) {
        const int64_t len = std::max(w->total, 0);
        if (i == in_index) first = sum;
        if (i == out_index) last = sum + len - 1;
        sum += len;
    }
    auto clamp = [](int64_t v) { return int(std::clamp<int64_t>(v, 0, INT_MAX)); };
    *in = clamp(first);
    *out = clamp(last);
}
