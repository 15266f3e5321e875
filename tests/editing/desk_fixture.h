// A desktop made by hand for the derived-window tests: clips without files,
// windows with rings built from explicit pieces, the window list in the
// globals, and every window's frames read back through the frame rule.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "editing/clip_records.h"
#include "editing/derived_window.h"
#include "editing/frame_map.h"
#include "editing/segments.h"

// One frame of a window: which clip, which frame of it.
using Frame = std::pair<const FisicData *, int>;
using Frames = std::vector<Frame>;

// One piece of a hand-made ring: frames first..last of a clip, optionally
// remapped (map with its period).
struct Piece {
    FisicData *clip;
    int first, last;
    std::vector<int> map = {};
    int period = 1;
};

// The memo text the tests give windows: a name per window kept by address,
// forgotten with the desk.
inline std::map<WindowData *, std::string> &window_titles() {
    static std::map<WindowData *, std::string> t;
    return t;
}

struct Desk {
    std::vector<std::unique_ptr<FisicData>> clips;
    std::vector<WindowData *> owned;

    Desk() {
        first_window = last_window = first_work = summa_window = nullptr;
        window_titles().clear();
    }
    ~Desk() {
        for (WindowData *w : owned) {
            FreeSegments(w);
            delete w;
        }
        first_window = last_window = first_work = summa_window = nullptr;
    }

    FisicData *clip(int frames, int width = 180, int height = 144) {
        clips.push_back(std::make_unique<FisicData>());
        FisicData *f = clips.back().get();
        f->frames = frames;
        f->width = width;
        f->height = height;
        return f;
    }

    // A window record (not in the list) owned by the desk.
    WindowData *record() {
        owned.push_back(new WindowData);
        return owned.back();
    }

    // A window holding the pieces one after another, appended to the list;
    // master windows must be made before desktop ones.
    WindowData *window(const std::vector<Piece> &pieces, bool master = false,
                       bool selected = true) {
        WindowData *w = record();
        int offset = 0;
        for (const Piece &p : pieces) {
            Segment *s = new Segment;
            s->first = p.first;
            s->last = p.last;
            s->offset = offset;
            s->fisic = p.clip;
            p.clip->refs++;
            if (!p.map.empty()) {
                s->map_len = (int)p.map.size();
                s->map = CopyTable(p.map.data(), s->map_len);
                s->period = p.period;
            }
            offset += (p.last > p.first ? p.last - p.first : p.first - p.last) + 1;
            RingAppend(w, s);
        }
        if (w->seg_first) {
            w->width = pieces[0].clip->width;
            w->height = pieces[0].clip->height;
        }
        w->total = offset;
        w->out = offset - 1;
        w->master = master;
        w->selected = selected && !master;
        list(w);
        return w;
    }

    // A clip's frames lo..hi (backwards when hi < lo) in one plain segment.
    WindowData *range(FisicData *c, int lo, int hi, bool master = false) {
        return window({{c, lo, hi}}, master);
    }

    void list(WindowData *w) {
        if (last_window)
            last_window->next = w;
        else
            first_window = w;
        last_window = w;
        if (!w->master && !first_work) first_work = w;
    }

    static void select_only(WindowData *keep) {
        for (WindowData *w = first_window; w; w = w->next)
            w->selected = w == keep;
    }
};

// Every frame of a window read through the frame rule, in order.
inline Frames played(WindowData *w) {
    Frames out;
    for (int k = 0; k < w->total; k++) {
        Segment *s = nullptr;
        const int f = FrameCtrl(w, k, &s);
        out.emplace_back(s ? s->fisic : nullptr, f);
    }
    return out;
}

// Frames lo..hi of one clip (backwards when hi < lo).
inline Frames run(const FisicData *c, int lo, int hi) {
    Frames out;
    for (int f = lo;; f += hi >= lo ? 1 : -1) {
        out.emplace_back(c, f);
        if (f == hi) break;
    }
    return out;
}

inline Frames operator+(Frames a, const Frames &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::string title_of(WindowData *w) {
    auto t = window_titles().find(w);
    return t == window_titles().end() ? "?" : t->second;
}
