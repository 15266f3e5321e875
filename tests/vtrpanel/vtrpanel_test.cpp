// The VTR panel in the main window against the simulated board: the controls
// at their places, transport sequences as the board logs them, timecode
// read-back, marks, the grab list with its messages, and the clear that
// keeps a copy of the list as WORK/.undo.edl.
#include "tests/boardsim/vtr_window_fixture.h"

#include <Xm/List.h>

#include "desktop/invert_process.h"
#include "editing/clip_records.h"
#include "editing/play_reel.h"
#include "media/fm_main.h"
#include "vtr/vtr_env.h"

namespace {

// Only the command word of each VTR line ("VTR play 01:00:00:00" -> "play").
std::vector<std::string> Words(const std::vector<std::string> &lines) {
    std::vector<std::string> out;
    for (const auto &l : lines)
        out.push_back(l.substr(4, l.find(' ', 4) - 4));
    return out;
}

class VtrPanelTest : public VtrWindowFixture {
  protected:
    void SetUp() override {
        // The tape moves at its real pace (--speed 1 overrides the fixture's 0).
        ASSERT_NO_FATAL_FAILURE(StartBoard({"--speed", "1"}, 2));
        if (IsSkipped()) return;
        fm_initialize(&sv);
        ASSERT_NO_FATAL_FAILURE(OpenVtrWindow());
    }
    void TearDown() override {
        DesktopFixture::TearDown();
        fm_deinitialize();
        CloseBoard();
    }
    std::string Field(int nth) {
        char *t = XmTextGetString(W("tc_text", nth));
        std::string s = t;
        XtFree(t);
        return s;
    }
    Pixel Bg(Widget w) {
        Pixel p = 0;
        XtVaGetValues(w, XmNbackground, &p, NULL);
        return p;
    }
};

TEST_F(VtrPanelTest, ControlsSitAtTheirPlaces) {
    Dimension mh = 0, fh = 0;
    Position fy = 0;
    XtVaGetValues(mainform, XmNheight, &mh, NULL);
    XtVaGetValues(form, XmNy, &fy, XmNheight, &fh, NULL);
    EXPECT_EQ(fy + fh, int(mh)); // at the main window's foot
    const struct {
        const char *name;
        int nth, x, y, w, h;
    } places[] = {
        {"stop", 0, 8, 8, 40, 40},        {"play", 0, 52, 8, 40, 40},
        {"rewind", 0, 96, 8, 40, 40},     {"forward", 0, 140, 8, 40, 40},
        {"pause", 0, 184, 8, 40, 40},     {"scale", 0, 8, 56, 216, 36},
        {"tc_goto", 0, 232, 8, 250, 44},  {"goto", 0, 232, 56, 60, 18},
        {"goto", 3, 418, 56, 60, 18},     {"goto", 4, 232, 76, 60, 18},
        {"goto", 7, 418, 76, 60, 18},     {"In", 0, 490, 8, 50, 40},
        {"Out", 0, 490, 52, 50, 40},      {"tc_text", 0, 544, 8, 140, 40},
        {"tc_text", 1, 544, 52, 140, 40}, {"add", 0, 692, 8, 30, 26},
        {"delete", 0, 692, 38, 30, 26},   {"clear", 0, 692, 68, 30, 26},
        {"listSW", 0, 726, 8, 230, 84},   {"reelname", 0, 964, 8, 136, 36},
        {"Grab", 0, 964, 52, 70, 40},     {"qual", 0, 1038, 52, 24, 19},
        {"qual", 1, 1038, 73, 24, 19},    {"lab2", 0, 1064, 52, 36, 40},
        {"Rec", 0, 1108, 8, 64, 40},      {"Disp", 0, 1108, 52, 64, 40},
    };
    for (const auto &p : places) {
        Widget w = W(p.name, p.nth);
        ASSERT_NE(w, nullptr) << p.name << " " << p.nth;
        Position x = 0, y = 0;
        Dimension wd = 0, ht = 0;
        XtVaGetValues(w, XmNx, &x, XmNy, &y, XmNwidth, &wd, XmNheight, &ht, NULL);
        EXPECT_EQ(std::vector<int>({x, y, wd, ht}), std::vector<int>({p.x, p.y, p.w, p.h}))
            << p.name << " " << p.nth;
    }
    EXPECT_EQ(LabelOf(W("lab2")), "85");
    EXPECT_EQ(LabelOf(W("tc_goto")), "00:00:00:00");
    char *reel = XmTextGetString(W("reelname"));
    EXPECT_STREQ(reel, "reel1");
    XtFree(reel);
}

TEST_F(VtrPanelTest, TransportSequencesReachTheBoard) {
    const struct {
        std::vector<const char *> buttons;
        std::vector<std::string> sent;
        const char *lit;
    } cases[] = {
        {{"play"}, {"pause", "play"}, "play"},
        {{"stop", "stop"}, {"stop"}, "stop"},
        {{"pause", "play", "play"}, {"pause", "play"}, "play"},
        {{"forward", "forward", "rewind", "pause", "pause"},
         {"forward", "rewind", "pause"},
         "pause"},
    };
    for (const auto &c : cases) {
        vtr_state = 0; // as after start-up: the first command always goes out
        const size_t from = sim->lines();
        for (const char *b : c.buttons) {
            Press(W(b));
            PumpFor(1500); // the play after a pause waits a second
        }
        PumpUntil([&] { return Words(sim->vtr(from)) == c.sent; });
        EXPECT_EQ(Words(sim->vtr(from)), c.sent) << c.buttons[0];
        for (const char *b : {"stop", "play", "rewind", "forward", "pause"})
            EXPECT_EQ(Bg(W(b)) == YEL_COL, std::string(b) == c.lit)
                << b << " after " << c.buttons[0];
    }
}

TEST_F(VtrPanelTest, MarksGotoAndStepping) {
    Type(0, "01000000");
    EXPECT_EQ(Field(0), "01:00:00:00");
    EXPECT_EQ(in_set, 1);
    EXPECT_EQ(Bg(W("In")), YEL_COL);
    Type(1, "1234");
    EXPECT_EQ(Field(1), "00:00:12:24");

    const size_t from = sim->lines();
    InDispatch([this] { Goto_In(W("In"), nullptr, nullptr, nullptr); });
    EXPECT_EQ(sim->vtr(from), std::vector<std::string>{"VTR goto 01:00:00:00"});
    EXPECT_EQ(LabelOf(W("tc_goto")), "01:00:00:00");
    EXPECT_EQ(Bg(W("pause")), YEL_COL);

    // Up one second, down one hour; the board goes to each.
    Press(W("goto", 2));
    Press(W("goto", 4));
    EXPECT_EQ(LabelOf(W("tc_goto")), "00:00:01:00");
    EXPECT_EQ(Words(sim->vtr(from)), (std::vector<std::string>{"goto", "goto", "goto"}));
    Read_TC(0);
    EXPECT_EQ(LabelOf(W("tc_goto")), "00:00:01:00"); // where the board stands

    // The In button takes the label; a second press on it unmarks.
    Press(W("In"));
    EXPECT_EQ(Field(0), "00:00:01:00");
    EXPECT_EQ(in_set, 1);
    Press(W("In"));
    EXPECT_EQ(in_set, 0);
    CopyIn(90000);
    EXPECT_EQ(Field(0), "01:00:00:00");
    EXPECT_EQ(in_set, 1);
}

TEST_F(VtrPanelTest, StopAfterForwardReadsTheTimecodeTwoSecondsLater) {
    Press(W("forward"));
    PumpFor(300);
    LabelSetString(W("tc_goto"), "11:11:11:11");
    const auto pressed = std::chrono::steady_clock::now();
    Press(W("stop"));
    ASSERT_TRUE(PumpUntil([this] { return LabelOf(W("tc_goto")) != "11:11:11:11"; }));
    // Not before its two seconds: never within the first one and a half.
    EXPECT_GE(std::chrono::steady_clock::now() - pressed, std::chrono::milliseconds(1500));
    sv_info info{};
    ASSERT_EQ(sv_status(sv, &info), 0);
    char want[12];
    vtr_tc2asc(Timecode(info.word[3]), want);
    EXPECT_EQ(LabelOf(W("tc_goto")), want);
}

TEST_F(VtrPanelTest, GrabListButtonsAndTheUndoCopy) {
    const struct {
        const char *in, *out;
        const char *message; // null: added
    } adds[] = {
        {"00:00:20:00", "00:00:30:00", nullptr},
        {"00:00:05:00", "00:00:06:00", nullptr},
        {"00:00:10:00", "00:00:11:00", nullptr},
        {"00:00:12:00", "00:00:11:00", "Warning: Out < In"},
        {"00:00:10:00", "00:00:11:00", "Item already in list"},
    };
    for (const auto &a : adds) {
        Type(0, a.in);
        Type(1, a.out);
        Press(W("add"));
        const auto msgs = TakeMessages();
        if (a.message)
            EXPECT_EQ(msgs, std::vector<std::string>{a.message}) << a.in;
        else
            EXPECT_TRUE(msgs.empty()) << a.in;
    }
    Widget list = W("list");
    const std::vector<std::string> sorted = {
        "00:00:05:00 - 00:00:06:00", "00:00:10:00 - 00:00:11:00", "00:00:20:00 - 00:00:30:00"};
    EXPECT_EQ(ListItems(list), sorted);

    // The refused repeat cleared the marks: nothing is added.
    Press(W("add"));
    EXPECT_EQ(Items_In_List, 2);

    // Clear keeps a copy in the current database's WORK/ first.
    const std::string db = UseDatabase();
    // A directory where the copy goes: the write fails, the list stays.
    ASSERT_EQ(mkdir((db + "WORK/.undo.edl").c_str(), 0755), 0);
    Press(W("clear"));
    EXPECT_EQ(TakeMessages(),
              std::vector<std::string>{"Cannot open " + db + "WORK/.undo.edl file"});
    EXPECT_EQ(ListItems(list), sorted);
    rmdir((db + "WORK/.undo.edl").c_str());

    XmListSelectPos(list, 2, False);
    Press(W("delete"));
    EXPECT_EQ(ListItems(list), (std::vector<std::string>{sorted[0], sorted[2]}));
    Press(W("clear"));
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_TRUE(ListItems(list).empty());
    EXPECT_EQ(Items_In_List, -1);
    const reel_test::bytes copy = reel_test::read_file(db + "WORK/.undo.edl");
    EXPECT_EQ(std::string(copy.begin(), copy.end()),
              "TITLE:  EDITED WITH ORVA\n"
              "001 reel1 V C 00:00:05:00 00:00:06:00 00:00:05:00 00:00:06:00\n"
              "002 reel1 V C 00:00:20:00 00:00:30:00 00:00:20:00 00:00:30:00\n");
}

TEST_F(VtrPanelTest, BusyPanelIgnoresTheBoardAndTheList) {
    VtrPanelSetBusy(1);
    for (const char *b : {"stop", "play", "add", "clear", "Grab", "Disp", "In"})
        EXPECT_FALSE(XtIsSensitive(W(b))) << b;
    EXPECT_TRUE(XtIsSensitive(W("qual")));
    const size_t from = sim->lines();
    Type(0, "01000000");
    InDispatch([this] { Goto_In(W("In"), nullptr, nullptr, nullptr); });
    EXPECT_TRUE(sim->vtr(from).empty());
    VtrPanelSetBusy(0);
    EXPECT_TRUE(XtIsSensitive(W("stop")));
}

TEST_F(VtrPanelTest, QualityButtonsStepAndRepeat) {
    Press(W("qual", 0));
    EXPECT_EQ(LabelOf(W("lab2")), "86");
    Press(W("qual", 1));
    Press(W("qual", 1));
    EXPECT_EQ(LabelOf(W("lab2")), "84");
    // Held: arm, then repeats every 0.21 s with steps 1,1,1,1,1,2,4,8.
    Widget up = W("qual", 0);
    InDispatch([up] { XtCallCallbacks(up, XmNarmCallback, nullptr); });
    PumpFor(2500);
    PumpUntil([this] { return LabelOf(W("lab2")) == "D1"; }); // late repeats on a busy machine
    InDispatch([up] {
        XtCallCallbacks(up, XmNactivateCallback, nullptr);
        XtCallCallbacks(up, XmNdisarmCallback, nullptr);
    });
    EXPECT_EQ(LabelOf(W("lab2")), "D1"); // 84 + 19 passes 100
    PumpFor(500);
    EXPECT_EQ(LabelOf(W("lab2")), "D1");
    // Each hold starts again at step 1: after a long hold of "down" (its
    // steps grown to 8), a short one moves by 1, or 2 on a slow machine.
    Widget down = W("qual", 1);
    auto label = [this] { return std::atoi(LabelOf(W("lab2")).c_str()); };
    auto hold = [&](auto until) {
        InDispatch([down] { XtCallCallbacks(down, XmNarmCallback, nullptr); });
        until();
        InDispatch([down] {
            XtCallCallbacks(down, XmNactivateCallback, nullptr);
            XtCallCallbacks(down, XmNdisarmCallback, nullptr);
        });
        return label();
    };
    const int after_long = hold([&] { PumpUntil([&] { return label() > 0 && label() < 75; }); });
    ASSERT_GT(after_long, 20);
    ASSERT_LT(after_long, 75);
    EXPECT_LE(after_long - hold([] { PumpFor(300); }), 2);
}

int continued = 0;
void Continue() {
    ++continued;
}

// Runs the reaper until done() holds, for up to 30 s.
template <class P> void ReapUntil(P done) {
    for (int i = 0; i < 3000 && !done(); ++i) {
        ReapEndedJobs();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
// Runs the reaper until the preparation has been collected.
void ReapAll() {
    ReapUntil([] { return play_jobs.empty(); });
}

TEST_F(VtrPanelTest, PreparationBuildsPlayReelsOrLeavesNothingWhenStopped) {
    const std::string reel = dir.path("src.svj");
    ASSERT_EQ(reel_test::store_reel(reel, reel_test::make_fields(12, 64, 32), 64, 32), "");
    FisicData clip;
    clip.path = strdup(reel.c_str());
    Segment back;
    back.first = 9;
    back.last = 2;
    back.fisic = &clip;
    const struct {
        bool stop;
        int continued;
        bool kept;
    } cases[] = {{true, 0, false}, {false, 1, false}};
    for (const auto &c : cases) {
        continued = 0;
        AddInvertProcess(&back, nullptr, Continue);
        ASSERT_EQ(SprocInvertSvj(), 1);
        EXPECT_EQ(SemGet(0), 1);
        EXPECT_FALSE(XtIsSensitive(W("play")));
        if (c.stop) StopInvertProcess();
        ReapAll();
        EXPECT_TRUE(play_jobs.empty());
        EXPECT_EQ(continued, c.continued) << c.stop;
        EXPECT_EQ(SemGet(0), 0);
        EXPECT_TRUE(XtIsSensitive(W("play")));
        // A reel of another frame size than the video's is not adopted: removed.
        EXPECT_FALSE(board_test::exists(dir.path("src_Play01.svj"))) << c.stop;
    }
    free(clip.path);
}

TEST_F(VtrPanelTest, APreparedReelBecomesAClipOfTheCurrentDatabase) {
    const std::string db = UseDatabase();
    const std::string reel = db + "SVJ/src.svj";
    ASSERT_EQ(reel_test::store_reel(reel, reel_test::make_fields(12, 720, 288), 720, 576), "");
    FisicData *const listed_before = first_fisic.load();
    FisicData clip;
    clip.path = strdup(reel.c_str());
    Segment back;
    back.first = 9;
    back.last = 2;
    back.fisic = &clip;
    back.next = back.prev = &back;
    back.offset = 0;
    clip.refs = 1;
    // The summa window of a master area whose first stretch runs backwards.
    WindowData summa;
    summa.seg_first = summa.seg_last = &back;
    WindowData *const summa_before = summa_window;
    summa_window = &summa;
    continued = 0;
    PreparePlaySequences(Continue);
    ASSERT_EQ(play_jobs.size(), 1u);
    EXPECT_EQ(Named(app_shell, "warning").size(), 1u); // "Working"
    ReapAll();
    summa_window = summa_before;
    EXPECT_EQ(continued, 1);
    EXPECT_TRUE(Named(app_shell, "warning").empty());
    EXPECT_EQ(back.first, 0);
    EXPECT_EQ(back.last, 7);
    EXPECT_NE(back.fisic, &clip);
    EXPECT_EQ(clip.refs.load(), 0);
    summa.seg_first = summa.seg_last = nullptr;
    const std::string made = db + "SVJ/src_Play01.svj";
    EXPECT_TRUE(board_test::exists(made));
    bool listed = false;
    for (FisicData *f = first_fisic.load(); f; f = f->next.load())
        if (f->path && made == f->path) listed = f->frames == 8;
    EXPECT_TRUE(listed);
    first_fisic = listed_before; // the new clip's reel goes with the directory
    free(clip.path);
}

TEST_F(VtrPanelTest, PrerollSettingsReachTheBoardWithoutTheEnvironment) {
    setenv("SCSIVIDEO_MASTER", "00:00:03:00,3,", 1);
    setenv("SCSI_D1", "7", 1);
    InitVtrEnv();
    setenv("SCSIVIDEO_MASTER", "00:00:09:00,5,", 1); // changed after: not read
    const struct {
        void (*mode)();
        const char *integer;
    } cases[] = {{SetD1_MODE, "C 5 1a 7"}, {SetSVJ_MODE, "C 5 1a 3"}};
    for (const auto &c : cases) {
        c.mode();
        const size_t from = sim->log().size();
        EXPECT_EQ(sv_vtrpreroll(sv, 0x00000001u, 0, 0), 0);
        const std::string added = sim->log().substr(from);
        EXPECT_NE(added.find(std::string(c.integer) + "\n"), std::string::npos) << added;
    }
    sv_set_master(nullptr);
    unsetenv("SCSIVIDEO_MASTER");
    unsetenv("SCSI_D1");
    InitVtrEnv();
}

int ended = -1;
void Ended(int aborted) {
    ended = aborted;
}
// A VTR job that runs until it is stopped, or once through with data set.
void Working(void *data) {
    for (int i = 0; i < 500 && !data; ++i) {
        JobCheckStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TEST_F(VtrPanelTest, VtrJobFrameWaitsAbortsAndEnds) {
    const struct {
        bool abort;
        int aborted;
    } cases[] = {{true, 1}, {false, 0}};
    static int once = 1;
    for (const auto &c : cases) {
        ended = -1;
        StartVtrProcess("Grab", Working, c.abort ? nullptr : &once, Ended);
        ASSERT_GT(VtrJobPid(), 0);
        EXPECT_EQ(SemGet(0), 1);
        const auto boxes = Named(app_shell, "warning");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(MessageOf(boxes[0]), "Click stop to abort");
        EXPECT_EQ(TitleOf(boxes[0]), "Grab");
        EXPECT_FALSE(XtIsSensitive(W("Grab")));
        if (c.abort) Press(ByLabel(boxes[0], "Stop"));
        ReapUntil([] { return ended >= 0; });
        Pump();
        EXPECT_EQ(ended, c.aborted) << c.abort;
        EXPECT_EQ(SemGet(0), 0);
        EXPECT_TRUE(Named(app_shell, "warning").empty());
        EXPECT_TRUE(XtIsSensitive(W("Grab")));
    }
}

TEST_F(VtrPanelTest, DispWithAnEmptyMasterAreaPreparesNothing) {
    Press(W("Disp"));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No clips in master area"});
    EXPECT_TRUE(play_jobs.empty());
}

} // namespace
