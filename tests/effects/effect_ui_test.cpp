// The effect commands on the desktop: the dialog and its checks, the new
// window shown at once from its preview while the job renders the reel, the
// end routine that turns the transition into a clip of the new reel, and
// what a refused start or a stop leaves behind.
#include "../clipops/clipops_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <Xm/Scale.h>

#include "database/db_list.h"
#include "desktop/effects_dialog.h"
#include "desktop/processes.h"
#include "editing/frame_map.h"
#include "platform/jobs.h"
#include "platform/sem.h"

namespace {

bool exists(const std::string &p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

class EffectUi : public ClipOpsFixture {
  protected:
    DbEntry entry{};

    void SetUp() override {
        ClipOpsFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!DbSubdir[0]) DbInitialize();
        std::snprintf(entry.dir, sizeof entry.dir, "%s/", dir.c_str());
        std::snprintf(entry.name, sizeof entry.name, "test");
        for (const char *s : {"SVJ", "CLIP", "WORK", "IMAGES"})
            mkdir((dir + "/" + s).c_str(), 0777);
        db_current = &entry;
        InstallEffectHooks();
    }
    void TearDown() override {
        if (!IsSkipped()) {
            Finish();
            CloseMessages();
            db_current = nullptr;
        }
        ClipOpsFixture::TearDown();
    }
    // A window on a reel of `frames` solid-colour frames with its log.
    WindowData *ReelWindow(int frames, const char *name) {
        FisicData *c = NewClip(frames);
        WriteLog(c, 1);
        WriteReel(c, dir + "/SVJ/" + name + ".svj");
        WindowData *w = NewWindow(c, 0, 0, name);
        w->selected = 1;
        return w;
    }
    static std::string Title(WindowData *w) { return WindowTitle(w); }
    // Runs the end routines of the finished jobs.
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
    struct Case {
        int selected; // windows selected of two
        const char *message;
    };
    const Case cases[] = {{1, "Effect needs two clips selected."},
                          {0, "Effect needs two clips selected."}};
    WindowData *a = ReelWindow(20, "a");
    WindowData *b = ReelWindow(20, "b");
    for (const Case &c : cases) {
        a->selected = c.selected >= 1;
        b->selected = c.selected >= 2;
        SoftNewWin(nullptr, nullptr, nullptr);
        Pump();
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
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
    ::Press(XtNameToWidget(d, "Cancel"));
    Pump();
    EXPECT_EQ(Count(), 2);
}

TEST_F(EffectUi, RefusalsOfTheOkButton) {
    WindowData *a = ReelWindow(20, "a");
    WindowData *b = ReelWindow(20, "b");
    struct Case {
        int n, position, b_in;
        const char *message;
    };
    const Case cases[] = {
        {21, EFFECT_CENTER, 0, "Not enough frames to do effect."},
        {10, EFFECT_BEFORE, 5, "Not enough frames to do effect.\nCheck in and out markers."},
        {10, EFFECT_AFTER, 0, "Not enough frames to do effect.\nCheck in and out markers."},
    };
    for (const Case &c : cases) {
        Marks(b, c.b_in, 19);
        EXPECT_EQ(EffectRun(c.n, 1, 0, c.position), nullptr);
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message}) << c.n << " " << c.position;
        CloseMessages();
    }
    Marks(b, 0, 19);
    // A clip still being made.
    b->seg_first->fisic->busy = 1;
    EXPECT_EQ(EffectRun(5, 1, 0, EFFECT_CENTER), nullptr);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{
                  "Trying to link to unfinished effect.\nPlease try again in a few seconds."});
    CloseMessages();
    b->seg_first->fisic->busy = 0;
    EXPECT_EQ(Count(), 2);
    (void)a;
}

TEST_F(EffectUi, SoftcutShowsAtOnceThenReadsItsReel) {
    WindowData *a = ReelWindow(20, "a");
    WindowData *b = ReelWindow(20, "b");
    SemSet(0, 1); // holds the job at its first pause gate
    SoftNewWin(nullptr, nullptr, nullptr);
    Pump();
    ASSERT_NE(Dialog(), nullptr);
    ::Press(XtNameToWidget(Dialog(), "OK"));
    Pump();
    WindowData *w = Last();
    ASSERT_NE(w, b);
    EXPECT_EQ(Title(w), "SC10(a,b)");
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
    EXPECT_TRUE(exists(out));
    EXPECT_TRUE(exists(dir + "/CLIP/a_Fake01.svj_Clip_1"));
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
    a->selected = b->selected = 1;
    w->selected = 0;
    ASSERT_NE(EffectRun(3, 0, 0, EFFECT_CENTER), nullptr);
    EXPECT_EQ(Last()->total, 3);
    EXPECT_TRUE(exists(dir + "/SVJ/a_Fake02.svj"));
    Finish();
}

TEST_F(EffectUi, FailedStartAndStopLeaveNothing) {
    WindowData *a = ReelWindow(20, "a");
    ReelWindow(20, "b");
    // No free process entry: "Error creating process", nothing made.
    const int kept = num_sproc;
    num_sproc = GENERAL_SPROC;
    EXPECT_EQ(EffectRun(4, 1, 0, EFFECT_CENTER), nullptr);
    num_sproc = kept;
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error creating process"});
    CloseMessages();
    EXPECT_EQ(Count(), 2);
    EXPECT_FALSE(exists(dir + "/SVJ/a_Fake01.svj"));
    EXPECT_FALSE(exists(dir + "/CLIP/a_Fake01.svj_Clip_1"));
    EXPECT_EQ(a->seg_first->fisic->refs.load(), 1);
    for (FisicData *f = first_fisic.load(); f; f = f->next.load())
        EXPECT_FALSE(f->busy.load());
    // Stopped while it waits: no message, the reel gone.
    SemSet(0, 1);
    ASSERT_NE(EffectRun(4, 1, 0, EFFECT_CENTER), nullptr);
    const int entry = EffectEntry();
    ASSERT_GE(entry, 0);
    StopProcess(entry);
    Finish();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(exists(dir + "/SVJ/a_Fake01.svj"));
}

TEST_F(EffectUi, EndWaitsWhileClipsAreRemoved) {
    ReelWindow(20, "a");
    ReelWindow(20, "b");
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
    // A: 6 frames of clip "a" then 6 of clip "c"; a 4-frame transition at
    // A's end (After, Out at 9) crosses nothing, one at Out 7 crosses the cut.
    WindowData *a = ReelWindow(6, "a");
    FisicData *c = NewClip(6);
    WriteLog(c, 1);
    WriteReel(c, dir + "/SVJ/c.svj");
    auto *s = new Segment;
    s->first = 0;
    s->last = 5;
    s->offset = 6;
    s->fisic = c;
    c->refs++;
    s->prev = a->seg_first;
    s->next = a->seg_first;
    a->seg_first->next = a->seg_first->prev = s;
    a->seg_last = s;
    a->total = 12;
    Marks(a, 0, 7);
    ReelWindow(12, "b");
    SemSet(0, 1);
    WindowData *w = EffectRun(4, 0, 0, EFFECT_CENTER);
    ASSERT_NE(w, nullptr);
    // Window frames 4, 5 of A come from "a", 6, 7 from "c".
    Segment *first = w->seg_first, *second = first->next;
    ASSERT_NE(second, first);
    EXPECT_EQ(first->last - first->first + 1, 2);
    EXPECT_EQ(second->offset, 2);
    EXPECT_TRUE(exists(dir + "/SVJ/a_Fake01.svj"));
    EXPECT_TRUE(exists(dir + "/SVJ/c_Fake01.svj"));
    Finish();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(first->fisic->busy.load());
    EXPECT_FALSE(second->fisic->busy.load());
}

} // namespace
