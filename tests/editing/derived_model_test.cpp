// Derived windows against a naive model: every window is an explicit list of
// (clip, frame) pairs, each operation is written on those lists, and random
// compositions of operations are compared frame by frame with what the frame
// rule plays from the built rings.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "desk_fixture.h"

namespace {

struct Case {
    std::mt19937 rng;
    Desk desk;
    std::map<WindowData *, Frames> model;
    std::string log; // what was done, shown on a failure

    explicit Case(unsigned seed) : rng(seed) {}
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    // Base windows: pieces of clips, forward, backward or slowed by a map.
    void make_base() {
        std::vector<FisicData *> clips;
        for (int i = pick(1, 3); i >= 0; i--)
            clips.push_back(chance(10) ? desk.clip(pick(20, 60), 360, 288)
                                       : desk.clip(pick(20, 60)));
        const int masters = pick(0, 2), windows = masters + pick(1, 4);
        for (int i = 0; i < windows; i++) {
            std::vector<Piece> pieces;
            Frames f;
            for (int j = pick(1, 3); j > 0; j--) {
                FisicData *c = clips[pick(0, (int)clips.size() - 1)];
                const int a = pick(0, c->frames - 1), b = pick(0, c->frames - 1);
                Piece p{c, a, b};
                if (chance(25)) p.map = {0, 0}, p.period = 1; // each frame twice
                pieces.push_back(p);
                const int dir = b >= a ? 1 : -1, len = std::abs(b - a) + 1;
                for (int k = 0; k < len; k++) {
                    const int v = p.map.empty() ? k : p.map[k % 2] + k / 2 * p.period;
                    f.emplace_back(c, a + dir * v);
                }
            }
            model[desk.window(pieces, i < masters)] = f;
        }
        log += "base " + std::to_string(windows) + " windows; ";
    }

    std::vector<WindowData *> listed(bool master) {
        std::vector<WindowData *> out;
        for (WindowData *w = first_window; w; w = w->next)
            if ((w->master != 0) == master) out.push_back(w);
        return out;
    }

    // The window's marked range as the model reads it.
    Frames marked(WindowData *w) {
        const Frames &f = model[w];
        const int top = (int)f.size() - 1;
        const int in = std::clamp(w->in, 0, top), out = std::clamp(w->out, 0, top);
        Frames r;
        for (int k = in;; k += out >= in ? 1 : -1) {
            r.push_back(f[k]);
            if (k == out) break;
        }
        return r;
    }

    void random_marks(WindowData *w) {
        const int t = w->total;
        w->in = chance(10) ? pick(-5, t + 5) : pick(0, t - 1);
        w->out = chance(10) ? pick(-5, t + 5) : pick(0, t - 1);
        w->current = chance(10) ? pick(-3, t + 3) : pick(0, t - 1);
    }

    // One operation on the model and on the records; false when the model's
    // result would be too long to check quickly.
    bool step() {
        std::vector<WindowData *> desktop = listed(false), masters = listed(true);
        for (WindowData *w : desktop) {
            w->selected = chance(50);
            random_marks(w);
        }
        for (WindowData *w : masters)
            random_marks(w);
        WindowData *one = desktop[pick(0, (int)desktop.size() - 1)];

        const int op = pick(0, 9);
        int reps = 1, type = DERIVE_COPY, factor = 1, master = 0, recollect = 0;
        WindowData *source = nullptr;
        std::vector<WindowData *> taken;
        switch (op) {
        case 0:
            source = one;
            break;
        case 1:
            source = one, recollect = 1;
            break;
        case 2:
            master = 1;
            break;
        case 3:
            type = DERIVE_FASTER, factor = pick(2, 5), reps = pick(1, 3);
            break;
        case 4:
            type = DERIVE_SLOWER, factor = pick(2, 4), reps = pick(1, 2);
            break;
        case 5:
            type = DERIVE_STROBE, factor = pick(2, 6), reps = pick(1, 3);
            break;
        case 6:
            reps = pick(2, 4);
            break;
        case 7:
            reps = -pick(1, 3);
            break;
        case 8:
            return still(desktop);
        default:
            break;
        }
        if (source) {
            taken = {source};
        } else {
            for (WindowData *w : master ? masters : desktop)
                if (master || w->selected) taken.push_back(w);
        }
        int expect = DERIVE_OK;
        Frames join;
        for (WindowData *w : taken) {
            if (w->width != taken[0]->width || w->height != taken[0]->height) {
                expect = DERIVE_SKIPPED;
                continue;
            }
            join = join + (master || recollect ? model[w] : marked(w));
        }
        if (taken.empty()) expect = DERIVE_NOTHING;

        Frames want;
        const int passes = std::abs(reps);
        if (type == DERIVE_FASTER) {
            Frames all;
            for (int p = 0; p < passes; p++)
                all = all + join;
            for (size_t k = 0; k < all.size(); k += factor)
                want.push_back(all[k]);
        } else {
            for (int p = 0; p < passes; p++) {
                for (size_t k = 0; k < join.size(); k++) {
                    if (type == DERIVE_SLOWER)
                        want.insert(want.end(), factor, join[k]);
                    else if (type == DERIVE_STROBE)
                        want.push_back(join[k / factor * factor]);
                    else
                        want.push_back(join[k]);
                }
                if (reps < 0) want.insert(want.end(), join.rbegin(), join.rend());
            }
        }
        if (want.size() > 4000) return false;

        log += "op " + std::to_string(op) + " x" + std::to_string(factor) + " r" +
               std::to_string(reps) + "; ";
        WindowData *win = desk.record();
        std::string name;
        const int got =
            BuildDerivedWindow(win, source, master, reps, recollect, &name, type, factor);
        EXPECT_EQ(got, expect) << log;
        if (got == DERIVE_NOTHING) return true;
        check(win, want);
        desk.list(win);
        model[win] = want;
        return true;
    }

    bool still(const std::vector<WindowData *> &desktop) {
        WindowData *w = nullptr;
        for (WindowData *d : desktop)
            if (d->selected && !w) w = d;
        const int n = pick(1, 6);
        log += "still " + std::to_string(n) + "; ";
        WindowData *win = desk.record();
        std::string name;
        const int got = BuildStillWindow(win, n, &name);
        EXPECT_EQ(got, w ? DERIVE_OK : DERIVE_NOTHING) << log;
        if (!w) return true;
        const Frames &f = model[w];
        const Frame shown = f[std::clamp(w->current, 0, (int)f.size() - 1)];
        check(win, Frames(n, shown));
        desk.list(win);
        model[win] = Frames(n, shown);
        return true;
    }

    // Every frame in order, then in a random order, and the use counts.
    void check(WindowData *win, const Frames &want) {
        ASSERT_EQ(win->total, (int)want.size()) << log;
        ASSERT_EQ(played(win), want) << log;
        for (int i = 0; i < 50; i++) {
            const int k = pick(0, win->total - 1);
            const int f = FrameCtrl(win, k, &win->seg_current);
            ASSERT_EQ(Frame(win->seg_current->fisic, f), want[k]) << log << " frame " << k;
        }
        std::map<const FisicData *, int> uses;
        for (WindowData *w : desk.owned) {
            for (Segment *s = w->seg_first; s; s = s->next == w->seg_first ? nullptr : s->next)
                uses[s->fisic]++;
        }
        for (auto &c : desk.clips)
            ASSERT_EQ(c->refs, uses[c.get()]) << log;
    }
};

TEST(DerivedModel, RandomCompositionsPlayLikeTheModel) {
    for (unsigned seed = 1; seed <= 3000; seed++) {
        Case c(seed);
        c.make_base();
        for (int i = c.pick(1, 4); i > 0; i--) {
            if (!c.step()) break;
            if (testing::Test::HasFailure()) {
                ADD_FAILURE() << "seed " << seed;
                return;
            }
        }
    }
}

} // namespace
