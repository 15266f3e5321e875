// The effect commands on the desktop: the dialog and its checks, the new
// window shown at once from its preview while the job renders the reel, the
// end routine that turns the transition into a clip of the new reel, and
// what a refused start or a stop leaves behind.
#include "../clipops/clipops_fixture.h"

#include <Xm/Scale.h>

#include "desktop/effects_dialog.h"
#include "editing/frame_map.h"
#include "platform/sem.h"

namespace {

class EffectUi : public DbOpsFixture {
  protected:
    void SetUp() override {
        DbOpsFixture::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) InstallEffectHooks();
    }
    void TearDown() override {
        if (!IsSkipped()) Finish();
        DbOpsFixture::TearDown();
    }
    // Two selected windows on reels "a" and "b" of `frames` frames.
    WindowData *Pair(int frames = 20) {
        WindowData *a = ReelWindow(frames, "a", true);
        ReelWindow(frames, "b", true);
        return a;
    }
    // Opens the pause gate and runs the end routines of the finished jobs.
    static void Finish() {
        SemSet(0, 0);
        for (int k = 0; k < 6000 && EffectEntry() >= 0; k++) {
            ReapEndedJobs();
            usleep(5000);
        }
        Pump();
    }
    static int EffectEntry() {
        for (int i = 0; i < GENERAL_SPROC; i++)
            if (pidData[i].pid.load() > 0 && pidData[i].type == JOB_EFFECT) return i;
        return -1;
    }
};

TEST_F(EffectUi, DialogChecksAndMessages) {
    WindowData *a = Pair(), *b = a->next;
    for (int selected : {1, 0}) {
        a->selected = selected;
        b->selected = 0;
        SoftNewWin(nullptr, nullptr, nullptr);
        Pump();
        EXPECT_EQ(Messages(), std::vector<std::string>{"Effect needs two clips selected."});
        EXPECT_EQ(Dialog(), nullptr);
        CloseMessages();
    }
    // Two selected: the dialog with its kept values.
    a->selected = b->selected = 1;
    TendinaUD(nullptr, nullptr, nullptr);
    Pump();
    Widget d = Dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(TitleOf(d), "Effect - Wipe T->B");
    int value = 0;
    XmScaleGetValue(XtNameToWidget(d, "scale"), &value);
    EXPECT_EQ(value, 10);
    EXPECT_TRUE(XmToggleButtonGetState(ByLabel(d, "Join clips")));
    EXPECT_FALSE(XmToggleButtonGetState(ByLabel(d, "Invert order")));
    EXPECT_TRUE(XmToggleButtonGetState(ByLabel(d, "Center")));
    Answer("Cancel");
    EXPECT_EQ(Count(), 2);
}

TEST_F(EffectUi, RefusalsOfTheOkButton) {
    WindowData *b = Pair()->next;
    const std::string markers = "Not enough frames to do effect.\nCheck in and out markers.";
    const struct {
        int n, position, b_in;
        bool busy;
        std::string message;
    } cases[] = {
        {21, EFFECT_CENTER, 0, false, "Not enough frames to do effect."},
        {10, EFFECT_BEFORE, 5, false, markers},
        {10, EFFECT_AFTER, 0, false, markers},
        {5, EFFECT_CENTER, 0, true,
         "Trying to link to unfinished effect.\nPlease try again in a few seconds."},
    };
    for (const auto &c : cases) {
        Marks(b, c.b_in, 19);
        b->seg_first->fisic->busy = c.busy;
        EXPECT_EQ(EffectRun(c.n, 1, 0, c.position), nullptr);
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message}) << c.n << " " << c.position;
        CloseMessages();
    }
    b->seg_first->fisic->busy = 0;
    EXPECT_EQ(Count(), 2);
}

TEST_F(EffectUi, SoftcutShowsAtOnceThenReadsItsReel) {
    WindowData *a = Pair();
    SemSet(0, 1); // holds the job at its first pause gate
    SoftNewWin(nullptr, nullptr, nullptr);
    Pump();
    ASSERT_NE(Dialog(), nullptr);
    Answer("OK");
    WindowData *w = Last();
    ASSERT_NE(w, a->next);
    EXPECT_EQ(WindowTitle(w), "SC10(a,b)");
    // A's range up to the transition, the transition, B's range after it.
    EXPECT_EQ(w->total, 30);
    Segment *piece = nullptr;
    FrameCtrl(w, 10, &piece);
    ASSERT_NE(piece, nullptr);
    FisicData *t = piece->fisic;
    EXPECT_TRUE(t->busy.load());
    EXPECT_EQ(t->frames, 10);
    EXPECT_EQ(t->part.load()[0].ready.load(), 1);
    const std::string out = dir + "/SVJ/a_Fake01.svj";
    EXPECT_TRUE(Exists("SVJ/a_Fake01.svj"));
    EXPECT_TRUE(Exists("CLIP/a_Fake01.svj_Clip_1"));
    const int entry = EffectEntry();
    ASSERT_GE(entry, 0);
    EXPECT_EQ(pidData[entry].output, out);
    EXPECT_EQ(a->seg_first->fisic->refs.load(), 3); // window, new window, job
    Finish();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(t->busy.load());
    ASSERT_NE(t->path, nullptr);
    EXPECT_EQ(std::string(t->path), out);
    ASSERT_NE(t->reader, nullptr);
    EXPECT_EQ(t->reader->frames, 10);
    EXPECT_EQ(t->refs.load(), 1);
    EXPECT_EQ(a->seg_first->fisic->refs.load(), 2);
    // A second effect of the same clips takes the next name.
    SemSet(0, 1);
    a->selected = a->next->selected = 1;
    w->selected = 0;
    ASSERT_NE(EffectRun(3, 0, 0, EFFECT_CENTER), nullptr);
    EXPECT_EQ(Last()->total, 3);
    EXPECT_TRUE(Exists("SVJ/a_Fake02.svj"));
}

TEST_F(EffectUi, FailedStartAndStopLeaveNothing) {
    WindowData *a = Pair();
    // No free process entry: "Error creating process", nothing made.
    const int kept = num_sproc;
    num_sproc = GENERAL_SPROC;
    EXPECT_EQ(EffectRun(4, 1, 0, EFFECT_CENTER), nullptr);
    num_sproc = kept;
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error creating process"});
    CloseMessages();
    EXPECT_EQ(Count(), 2);
    EXPECT_FALSE(Exists("SVJ/a_Fake01.svj"));
    EXPECT_FALSE(Exists("CLIP/a_Fake01.svj_Clip_1"));
    EXPECT_EQ(a->seg_first->fisic->refs.load(), 1);
    for (FisicData *f = first_fisic.load(); f; f = f->next.load())
        EXPECT_FALSE(f->busy.load());
    // Stopped while it waits: no message, the reel gone.
    SemSet(0, 1);
    ASSERT_NE(EffectRun(4, 1, 0, EFFECT_CENTER), nullptr);
    ASSERT_GE(EffectEntry(), 0);
    StopProcess(EffectEntry());
    Finish();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(Exists("SVJ/a_Fake01.svj"));
}

TEST_F(EffectUi, EndWaitsWhileClipsAreRemoved) {
    Pair();
    SemSet(3, 1); // the converter is serving a removal
    WindowData *w = EffectRun(4, 0, 0, EFFECT_CENTER);
    ASSERT_NE(w, nullptr);
    FisicData *t = w->seg_first->fisic;
    Finish();
    EXPECT_TRUE(t->busy.load());
    EXPECT_EQ(t->path, nullptr);
    SemSet(3, 0);
    for (int k = 0; k < 3000 && t->busy.load(); k++) {
        usleep(10000);
        Pump();
    }
    EXPECT_FALSE(t->busy.load());
    ASSERT_NE(t->path, nullptr);
    EXPECT_EQ(std::string(t->path), dir + "/SVJ/a_Fake01.svj");
}

TEST_F(EffectUi, TransitionAcrossACutMakesTwoPieces) {
    // A: 6 frames of clip "a" then 6 of clip "c"; a 4-frame transition
    // centred on Out 7 crosses the cut.
    WindowData *a = ReelWindow(6, "a", true);
    FisicData *c = NewClip(6);
    WriteLog(c, 1);
    WriteReel(c, dir + "/SVJ/c.svj");
    auto *s = new Segment;
    s->first = 0, s->last = 5, s->offset = 6, s->fisic = c;
    c->refs++;
    s->prev = s->next = a->seg_first;
    a->seg_first->next = a->seg_first->prev = a->seg_last = s;
    a->total = 12;
    Marks(a, 0, 7);
    ReelWindow(12, "b", true);
    SemSet(0, 1);
    WindowData *w = EffectRun(4, 0, 0, EFFECT_CENTER);
    ASSERT_NE(w, nullptr);
    // Window frames 4, 5 of A come from "a", 6, 7 from "c".
    Segment *first = w->seg_first, *second = first->next;
    ASSERT_NE(second, first);
    EXPECT_EQ(first->last - first->first + 1, 2);
    EXPECT_EQ(second->offset, 2);
    EXPECT_TRUE(Exists("SVJ/a_Fake01.svj"));
    EXPECT_TRUE(Exists("SVJ/c_Fake01.svj"));
    Finish();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(first->fisic->busy.load());
    EXPECT_FALSE(second->fisic->busy.load());
}

} // namespace
