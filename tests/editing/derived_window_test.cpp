// Derived windows on hand-made desktops: a join as an explicit frame list,
// names, refusals, marks, malformed rings and ring copies (the frames of
// every operation are checked against a model in derived_model_test.cpp).
#include <gtest/gtest.h>

#include <numeric>

#include "desk_fixture.h"

namespace {

struct Built {
    int result;
    std::string name;
    WindowData *win;
};

Built build(Desk &d, WindowData *source, int reps, int type, int factor, int master = 0,
            int recollect = 0) {
    Built b{0, "", d.record()};
    b.result =
        BuildDerivedWindow(b.win, source, master, reps, recollect, &b.name, type, factor, title_of);
    return b;
}

void title(WindowData *w, const char *t) {
    window_titles()[w] = t;
}

// ---- the documented cases ----

TEST(DerivedWindow, JoinOfTwoMarkedRanges) {
    Desk d;
    FisicData *a = d.clip(30), *b = d.clip(8);
    WindowData *wa = d.range(a, 0, 29), *wb = d.range(b, 0, 7);
    wa->in = 10, wa->out = 19, wb->in = 0, wb->out = 4;
    title(wa, "A"), title(wb, "B");
    Built r = build(d, nullptr, 1, DERIVE_COPY, 1);
    EXPECT_EQ(r.result, DERIVE_OK);
    EXPECT_EQ(r.name, "JN(A,B)");
    EXPECT_EQ(r.win->total, 15);
    EXPECT_EQ(played(r.win), run(a, 10, 19) + run(b, 0, 4));
    EXPECT_EQ(a->refs, 2);
    EXPECT_EQ(r.win->out, 14);
}

TEST(DerivedWindow, StillRepeatsTheCurrentFrame) {
    Desk d;
    FisicData *a = d.clip(20);
    WindowData *w = d.range(a, 0, 19);
    title(w, "T");
    w->current = 7;
    WindowData *still = d.record();
    std::string name;
    EXPECT_EQ(BuildStillWindow(still, 25, &name, title_of), DERIVE_OK);
    EXPECT_EQ(name, "ST25(8->T)");
    EXPECT_EQ(played(still), Frames(25, {a, 7}));
    EXPECT_EQ(still->out, 24);
    a->busy = 1;
    EXPECT_EQ(BuildStillWindow(d.record(), 2, &name, title_of), DERIVE_PRODUCING);
    w->selected = 0;
    EXPECT_EQ(BuildStillWindow(d.record(), 2, &name, title_of), DERIVE_NOTHING);
    w->selected = 1;
    EXPECT_EQ(BuildStillWindow(d.record(), 0, &name, title_of), DERIVE_NOTHING);
}

TEST(DerivedWindow, OtherPictureSizesAreSkipped) {
    Desk d;
    FisicData *a = d.clip(5), *big = d.clip(5, 360, 288), *b = d.clip(5);
    d.range(a, 0, 4), d.range(big, 0, 4), d.range(b, 0, 4);
    Built r = build(d, nullptr, 1, DERIVE_COPY, 1);
    EXPECT_EQ(r.result, DERIVE_SKIPPED);
    EXPECT_EQ(played(r.win), run(a, 0, 4) + run(b, 0, 4));
    EXPECT_EQ(big->refs, 1);
    b->busy = 1; // a clip still in production wins over the skip
    EXPECT_EQ(build(d, nullptr, 1, DERIVE_COPY, 1).result, DERIVE_PRODUCING);
}

TEST(DerivedWindow, NamesTellHowTheWindowWasMade) {
    struct Case {
        int source, reps, recollect, type, factor;
        const char *name;
    } cases[] = {
        {0, 1, 0, DERIVE_COPY, 1, "JN(A,B)"},    {0, 3, 0, DERIVE_COPY, 1, "ST 3(A,B)"},
        {0, -4, 0, DERIVE_COPY, 1, "FF 4(A,B)"}, {0, 1, 0, DERIVE_FASTER, 2, "FA(A,B)"},
        {0, 1, 0, DERIVE_SLOWER, 2, "SL(A,B)"},  {0, 1, 0, DERIVE_STROBE, 2, "STR(A,B)"},
        {1, 1, 0, DERIVE_COPY, 1, "C(B)"},       {1, 1, 1, DERIVE_COPY, 1, "R(B)"},
    };
    for (const Case &c : cases) {
        Desk d;
        FisicData *a = d.clip(4);
        WindowData *wa = d.range(a, 0, 3), *wb = d.range(a, 3, 0);
        title(wa, "A"), title(wb, "B");
        Built r = build(d, c.source ? wb : nullptr, c.reps, c.type, c.factor, 0, c.recollect);
        EXPECT_EQ(r.name, c.name);
    }
    Desk d;
    FisicData *a = d.clip(4);
    d.range(a, 0, 3);
    std::string name = "old";
    EXPECT_EQ(BuildDerivedWindow(d.record(), nullptr, 0, 1, 0, &name, DERIVE_COPY, 1), DERIVE_OK);
    EXPECT_EQ(name, "JN()"); // no titles callback: empty titles
}

TEST(DerivedWindow, JoinOfAHundredWindowsNamesThemAll) {
    Desk d;
    FisicData *a = d.clip(3);
    std::string want = "JN(";
    std::vector<std::string> names(100);
    for (int i = 0; i < 100; i++) {
        names[i] = "window number " + std::to_string(i);
        title(d.range(a, 0, 2), names[i].c_str());
        want += names[i] + (i < 99 ? "," : ")");
    }
    Built r = build(d, nullptr, 1, DERIVE_COPY, 1);
    EXPECT_EQ(r.name, want);
    EXPECT_EQ(r.win->total, 300);
}

// ---- refusals and marks ----

TEST(DerivedWindow, RefusesWhatCannotBeMade) {
    Desk d;
    EXPECT_EQ(build(d, nullptr, 1, DERIVE_COPY, 1).result, DERIVE_NOTHING); // no windows
    FisicData *a = d.clip(15);
    WindowData *w = d.range(a, 0, 14);
    w->in = 2, w->out = 11;
    struct Case {
        int reps, type, factor, selected, result;
    } cases[] = {
        {1, DERIVE_SLOWER, 2000000000, 1, DERIVE_TOO_LONG},
        {1, DERIVE_STROBE, 2000000000, 1, DERIVE_TOO_LONG},
        {300000000, DERIVE_COPY, 1, 1, DERIVE_TOO_LONG},
        {-300000000, DERIVE_COPY, 1, 1, DERIVE_TOO_LONG},
        {1, DERIVE_COPY, 1, 0, DERIVE_NOTHING},
    };
    for (const Case &c : cases) {
        w->selected = c.selected;
        Built r = build(d, nullptr, c.reps, c.type, c.factor);
        EXPECT_EQ(r.result, c.result) << c.reps << " " << c.type << " " << c.factor;
        EXPECT_EQ(r.win->seg_first, nullptr);
        EXPECT_EQ(a->refs, 1);
        EXPECT_EQ(w->in, 2);
        EXPECT_EQ(w->out, 11);
    }
    // Slower 100 of the long window still fits.
    w->selected = 1;
    EXPECT_EQ(build(d, nullptr, 1, DERIVE_SLOWER, 100).win->total, 1000);
}

TEST(DerivedWindow, LongestWindowsAreStillMade) {
    Desk d;
    const int big = (1 << 30) - 1; // two of these fit, three do not
    d.range(d.clip(big), 0, big - 1);
    struct Case {
        int reps, type, factor;
        long long total; // 0: too long
    } cases[] = {
        {2, DERIVE_COPY, 1, 2LL * big},   {-1, DERIVE_COPY, 1, 2LL * big},
        {4, DERIVE_FASTER, 2, 2LL * big}, {2, DERIVE_STROBE, 7, 2LL * big},
        {3, DERIVE_COPY, 1, 0},           {-2, DERIVE_COPY, 1, 0},
        {1, DERIVE_SLOWER, 3, 0},
    };
    for (const Case &c : cases) {
        Built r = build(d, nullptr, c.reps, c.type, c.factor);
        EXPECT_EQ(r.result, c.total ? DERIVE_OK : DERIVE_TOO_LONG) << c.reps << " " << c.type;
        EXPECT_EQ(r.win->total, c.total);
    }
}

TEST(DerivedWindow, CountSelectedSeesPlaceholders) {
    Desk d;
    FisicData *a = d.clip(5);
    d.range(a, 0, 4, true);
    WindowData *w1 = d.range(a, 0, 4), *w2 = d.range(a, 0, 4);
    EXPECT_EQ(CountSelected(), 2);
    w1->selected = 0;
    EXPECT_EQ(CountSelected(), 1);
    WindowData *placeholder = d.window({});
    EXPECT_EQ(CountSelected(), -1);
    placeholder->selected = 0;
    w2->selected = 0;
    EXPECT_EQ(CountSelected(), 0);
}

TEST(DerivedWindow, MarksStayAsTheUserHadThem) {
    Desk d;
    FisicData *a = d.clip(10), *b = d.clip(6);
    WindowData *m1 = d.range(a, 0, 9, true), *m2 = d.range(b, 5, 0, true);
    WindowData *w = d.range(a, 0, 9);
    m1->in = 3, m1->out = 4, m2->in = 5, m2->out = 1;
    Built summa = build(d, nullptr, 1, DERIVE_COPY, 1, 1);
    EXPECT_EQ(played(summa.win), run(a, 0, 9) + run(b, 5, 0));
    Built again = build(d, m2, 1, DERIVE_COPY, 1, 0, 1);
    EXPECT_EQ(played(again.win), run(b, 5, 0));
    EXPECT_EQ(std::vector<int>({m1->in, m1->out, m2->in, m2->out}), std::vector<int>({3, 4, 5, 1}));
    // Marks outside the window, as a work file may give them, are clamped
    // for the operation only.
    w->in = -7, w->out = 99;
    EXPECT_EQ(played(build(d, w, 1, DERIVE_COPY, 1).win), run(a, 0, 9));
    w->in = 99, w->out = -7;
    EXPECT_EQ(played(build(d, w, 1, DERIVE_COPY, 1).win), run(a, 9, 0));
    EXPECT_EQ(w->in, 99);
    EXPECT_EQ(w->out, -7);
}

TEST(DerivedWindow, MalformedRingsEndTheWalk) {
    Desk d;
    FisicData *a = d.clip(30);
    WindowData *w = d.window({{a, 0, 4}, {a, 10, 14}, {a, 20, 24}});
    Segment *s1 = w->seg_first, *s2 = s1->next, *s3 = s2->next;
    w->out = 99;
    s2->fisic = nullptr; // a segment without its clip gives nothing
    a->refs--;
    EXPECT_EQ(played(build(d, w, 1, DERIVE_COPY, 1).win), run(a, 0, 4) + run(a, 20, 24));
    s3->next = s2; // a loop that never comes back to the first segment
    w->seg_last = nullptr;
    EXPECT_EQ(build(d, w, 1, DERIVE_COPY, 1).win->total, 10);
    w->current = 50; // beyond every segment: the frame rule stops at the loop
    Segment *at = nullptr;
    EXPECT_EQ(FrameCtrl(w, 50, &at), 20 + 50 - 10);
    EXPECT_EQ(BuildStillWindow(d.record(), 2, nullptr), DERIVE_OK);
    s1->next = nullptr; // a broken link
    EXPECT_EQ(build(d, w, 1, DERIVE_COPY, 1).win->total, 5);
    s3->next = s1, s2->fisic = a, a->refs++, s1->next = s2, w->seg_last = s3;
}

// ---- pieces of the machinery ----

TEST(LeastCommonMultiple, MatchesStdLcm) {
    for (int a = 1; a <= 60; a++)
        for (int b = 1; b <= 60; b++)
            ASSERT_EQ(LeastCommonMultiple(a, b), std::lcm(a, b));
    struct Case {
        int a, b, want;
    } cases[] = {{0, 7, 7},
                 {7, 0, 7},
                 {1, 9, 9},
                 {-3, 5, 5},
                 {65536, 65537, 0},
                 {2147483647, 2, 0},
                 {2147483647, 1, 2147483647},
                 {46340, 46341, 46340 * 46341}};
    for (const Case &c : cases)
        EXPECT_EQ(LeastCommonMultiple(c.a, c.b), c.want);
}

TEST(PlayType, MapsOfEachTypeOverPlainAndMappedSources) {
    Segment plain{0, 99};
    int pattern[] = {0, 0, 1}; // each even frame twice, advancing 2 per 3
    Segment mapped{10, 99, 0, 3, 2, pattern};
    struct Case {
        const Segment *s;
        int type, factor, count;
        long long out;
        int carry, period;
        std::vector<int> map;
    } cases[] = {
        {&plain, DERIVE_COPY, 5, 7, 7, 0, 1, {}},
        {&plain, DERIVE_FASTER, 3, 10, 4, 2, 3, {0}},
        {&plain, DERIVE_SLOWER, 3, 4, 12, 0, 1, {0, 0, 0}},
        {&plain, DERIVE_STROBE, 4, 10, 12, 2, 4, {0, 0, 0, 0}},
        {&plain, DERIVE_FASTER, 3, 2, 1, 1, 1, {}}, // one frame: no map
        {&mapped, DERIVE_COPY, 1, 9, 9, 0, 2, {0, 0, 1}},
        {&mapped, DERIVE_FASTER, 2, 12, 6, 0, 4, {0, 1, 2}},
        {&mapped, DERIVE_SLOWER, 2, 4, 8, 0, 2, {0, 0, 0, 0, 1, 1}},
        {&mapped, DERIVE_STROBE, 2, 12, 12, 0, 4, {0, 0, 1, 1, 2, 2}},
        {&mapped, DERIVE_COPY, 1, 2, 2, 0, 1, {0, 0}}, // cut: period is the next entry
    };
    for (const Case &c : cases) {
        Segment t;
        int carry = -1;
        EXPECT_EQ(PlayType(c.s, &t, &carry, c.type, c.factor, c.count, 0, c.s->first, 1, 1), c.out)
            << c.type << " x" << c.factor;
        EXPECT_EQ(carry, c.carry);
        EXPECT_EQ(t.period, c.period);
        EXPECT_EQ(std::vector<int>(t.map, t.map + t.map_len), c.map);
        free(t.map);
    }
}

TEST(Segments, CopyWindowIsDeepAndCountsUses) {
    Desk d;
    FisicData *a = d.clip(30), *b = d.clip(30);
    WindowData *w = d.window({{a, 0, 9, {0, 0}, 1}, {b, 20, 11}, {a, 5, 5}});
    w->in = 3, w->selected = 1, w->current = 4;
    WindowData *copy = CopyWindow(w, w->total);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(a->refs, 4);
    EXPECT_EQ(b->refs, 2);
    EXPECT_EQ(copy->in, 0);
    EXPECT_EQ(copy->selected, 0);
    EXPECT_EQ(copy->width, w->width);
    EXPECT_EQ(copy->seg_current, copy->seg_first);
    EXPECT_EQ(copy->seg_last->next, copy->seg_first);
    EXPECT_NE(copy->seg_first->map, w->seg_first->map);
    EXPECT_EQ(played(copy), played(w));
    FreeSegments(copy);
    delete copy;
    EXPECT_EQ(a->refs, 2);
    EXPECT_EQ(b->refs, 1);
    EXPECT_EQ(CopyTable(nullptr, 3), nullptr);
    int one = 1;
    EXPECT_EQ(CopyTable(&one, 0), nullptr);
}

} // namespace
