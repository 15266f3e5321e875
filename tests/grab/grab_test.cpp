// "Grab" from the VTR panel against the simulated board: the reel and its
// window, a second grab that finds the reel, a stop in the third range, the
// warning and error texts and the question that clears the well grabbed.
#include "tests/grab/grab_fixture.h"

#include <Xm/List.h>
#include <Xm/ToggleB.h>

#include "desktop/clip_model.h"
#include "desktop/clip_open.h"
#include "desktop/commands.h"
#include "desktop/converter.h"
#include "desktop/log_writer.h"
#include "desktop/work_files.h"

namespace {

class GrabTest : public GrabFixture {};
// The board's recordings report lost AC values (a warning).
class GrabAcLostTest : public GrabFixture {
    void SetUp() override { Start({"--fault", "ac-lost"}); }
};
// The tape runs in real time.
class GrabPacedTest : public GrabFixture {
    void SetUp() override { Start({"--speed", "1"}); }
};

TEST_F(GrabTest, RefusalsBeforeAnyJob) {
    Press(W("Grab"));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No items in list"});
    AddRange("01:00:00:00", "01:00:00:24");
    DbFreeList();
    Press(W("Grab"));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No database selected"});
    EXPECT_FALSE(VtrPanelBusy());
}

TEST_F(GrabTest, GrabsTheRangeOnceAndOpensItsWindow) {
    ASSERT_NO_FATAL_FAILURE(GrabOne("01:00:00:00", "01:00:00:24"));
    EXPECT_EQ(FramesOf(db + "SVJ/reel1_15f90_15fa8_85.svj"), 25);
    EXPECT_EQ(Titles(), std::vector<std::string>{" GSV(reel1_15f90_15fa8_85)"});
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(tc_list[0].status, 0u);
    EXPECT_EQ(CountInLog("GRAB "), 1u);
    // Again: the reel is there and open, nothing is recorded; the second
    // window shares the clip.
    Press(W("Grab"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_EQ(CountInLog("GRAB "), 1u);
    ASSERT_EQ(Titles().size(), 2u);
    EXPECT_EQ(Window(0)->seg_first->fisic, Window(1)->seg_first->fisic);
    EXPECT_EQ(vtr_state, int(SV_MASTER_STOP));
}

TEST_F(GrabAcLostTest, WarningsOnlyAreToldWithoutAQuestion) {
    AddRange("01:00:00:00", "01:00:00:04");
    Press(W("Grab"));
    ASSERT_TRUE(WaitJobEnd());
    const auto msgs = TakeMessages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].rfind("Grab warning:\n", 0), 0u) << msgs[0];
    EXPECT_NE(msgs[0].find("Trying to resume clip:\nreel1_15f90_15f94_85 01:00:00:00 01:00:00:04"),
              std::string::npos)
        << msgs[0];
    EXPECT_TRUE(TakeMessages("warning").empty());
    EXPECT_EQ(Titles().size(), 1u); // the clip stays
    EXPECT_EQ(tc_list[0].status, 0u);
}

TEST_F(GrabTest, ErrorsAskToClearTheWellGrabbed) {
    AddRange("01:00:00:00", "01:00:00:04");
    AddRange("01:00:01:00", "01:00:01:04");
    // Something that is not a reel and cannot be removed holds the second name.
    ASSERT_EQ(mkdir((db + "SVJ/reel1_15fa9_15fad_85.svj").c_str(), 0755), 0);
    Press(W("Grab"));
    ASSERT_TRUE(WaitJobEnd());
    const auto q = Named(app_shell, "warning");
    ASSERT_EQ(q.size(), 1u);
    const std::string text = MessageOf(q[0]);
    EXPECT_EQ(text.rfind("Grab error:\n", 0), 0u) << text;
    EXPECT_NE(text.find("Can't resume clip:\nreel1_15fa9_15fad_85 01:00:01:00 01:00:01:04\n\n"
                        "Clear the well grabbed from the list?"),
              std::string::npos)
        << text;
    EXPECT_EQ(Titles().size(), 1u);
    EXPECT_EQ(tc_list[1].status, 1u);
    Press(XtNameToWidget(q[0], "OK"));
    Pump();
    EXPECT_EQ(ListItems(W("list")), std::vector<std::string>{"01:00:01:00 - 01:00:01:04"});
}

TEST_F(GrabPacedTest, StopInTheThirdRangeKeepsTwoReels) {
    AddRange("01:00:00:00", "01:00:00:04");
    AddRange("01:00:01:00", "01:00:01:04");
    AddRange("01:00:02:00", "01:00:09:24");
    Press(W("Grab"));
    ASSERT_TRUE(PumpUntil([this] { return CountInLog("GRAB 01:00:02:00") > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double ms = 0;
    ASSERT_NO_FATAL_FAILURE(StopJob(10, &ms));
    EXPECT_LT(ms, 5000.0); // the range had seven seconds to go
    RecordProperty("stop_to_job_end_ms", int(ms));
    EXPECT_EQ(FramesOf(db + "SVJ/reel1_15f90_15f94_85.svj"), 5);
    EXPECT_EQ(FramesOf(db + "SVJ/reel1_15fa9_15fad_85.svj"), 5);
    EXPECT_FALSE(board_test::exists(db + "SVJ/reel1_15fc2_16089_85.svj"));
    EXPECT_EQ(Titles().size(), 2u);
    EXPECT_TRUE(TakeMessages().empty());
}

// The board goes away in the middle of the recording.
class GrabLostBoardTest : public GrabFixture {
    void SetUp() override { Start({"--fault", "disconnect-data"}); }
};

TEST_F(GrabLostBoardTest, ALostBoardIsAGrabErrorNamingTheRange) {
    AddRange("01:00:00:00", "01:00:00:24");
    const auto t0 = std::chrono::steady_clock::now();
    Press(W("Grab"));
    ASSERT_TRUE(WaitJobEnd(20));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 8.0);
    const auto msgs = TakeMessages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].rfind("Grab error:\n", 0), 0u) << msgs[0];
    EXPECT_NE(msgs[0].find("Can't resume clip:\nreel1_15f90_15fa8_85 01:00:00:00 01:00:00:24"),
              std::string::npos)
        << msgs[0];
    EXPECT_FALSE(board_test::exists(db + "SVJ/reel1_15f90_15fa8_85.svj"));
    EXPECT_TRUE(Titles().empty());
    EXPECT_EQ(tc_list[0].status, 1u);
}

class OutputTest : public GrabFixture {
  protected:
    // Grabs 01:00:00:00..01:00:00:24 and puts its window in the master area.
    void MasterOfOneReel() {
        ASSERT_NO_FATAL_FAILURE(GrabOne("01:00:00:00", "01:00:00:24"));
        ASSERT_NO_FATAL_FAILURE(ToMaster(Window(0), 0));
    }
};

TEST_F(OutputTest, RefusalsOfDispAndRec) {
    Press(W("Disp"));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No clips in master area"});
    ASSERT_NO_FATAL_FAILURE(MasterOfOneReel());
    in_set = out_set = 0;
    Press(W("Rec"));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No in/out timecode"});
    Window(0)->seg_first->fisic->busy = 1;
    Type(0, "02:00:00:00");
    Press(W("Rec"));
    EXPECT_EQ(TakeMessages(),
              std::vector<std::string>{
                  "Effect process still running.\nPlease try again in a few seconds."});
    Window(0)->seg_first->fisic->busy = 0;
    EXPECT_FALSE(VtrPanelBusy());
}

TEST_F(OutputTest, RecLaysTheMasterAreaAtInAndDispShowsIt) {
    ASSERT_NO_FATAL_FAILURE(MasterOfOneReel());
    FisicData *clip = Window(0)->seg_first->fisic;
    const int uses = clip->refs;
    Type(0, "02:00:00:00");
    const auto t0 = std::chrono::steady_clock::now();
    Press(W("Rec"));
    EXPECT_EQ(clip->refs, uses + 1); // held by the job
    ASSERT_TRUE(WaitJobEnd());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    RecordProperty("rec_frames_per_s", int(25 / s));
    EXPECT_EQ(clip->refs, uses);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(CountInLog("EDIT 02:00:00:00 25"), 1u) << sim->log();
    // Grabbing the recorded range gives the source's strips.
    GrabListClear();
    AddRange("02:00:00:00", "02:00:00:24");
    Press(W("Grab"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_EQ(FramesOf(db + "SVJ/reel1_2bf20_2bf38_85.svj"), 25);

    // Disp plays the same frames out without an edit.
    const std::string out = "OUT 25 01:00:00:00 01:00:00:24";
    EXPECT_EQ(CountInLog(out), 1u);
    Press(W("Disp"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(CountInLog(out), 2u) << sim->log();
    EXPECT_EQ(CountInLog("EDIT "), 1u);
}

class GrabD1Test : public GrabFixture {};

TEST_F(GrabD1Test, FiveFramesAsTargaMakeAnImageClip) {
    AddRange("01:00:00:00", "01:00:00:04");
    LabelSetString(W("lab2"), "D1");
    Press(W("Grab"));
    const auto dialogs = Named(app_shell, "effect");
    ASSERT_EQ(dialogs.size(), 1u);
    Widget dialog = dialogs[0];
    Widget ok = XtNameToWidget(dialog, "*OK");
    ASSERT_NE(ok, nullptr);
    Widget dflt = nullptr;
    XtVaGetValues(dialog, XmNdefaultButton, &dflt, NULL);
    EXPECT_EQ(dflt, ok); // Return confirms
    EXPECT_TRUE(XmToggleButtonGetState(ByLabel(dialog, "Targa")));
    const auto t0 = std::chrono::steady_clock::now();
    Press(ok);
    ASSERT_TRUE(WaitJobEnd());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    RecordProperty("d1_ms_per_frame", int(s * 1000 / 5));
    EXPECT_TRUE(TakeMessages().empty());
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(board_test::exists(db + "IMAGES/reel1_15f90." + std::to_string(i) + ".tga"))
            << i;
    EXPECT_EQ(CountInLog("GRAB "), 5u);
    EXPECT_EQ(Titles(), std::vector<std::string>{" GD1(reel1_15f90)"});
    ASSERT_NE(Window(0)->seg_first, nullptr);
    EXPECT_EQ(Window(0)->seg_first->fisic->frames, 5);
    EXPECT_EQ(tc_list[0].status, 0u);
    // Again: the frame files are read back (past the pause gate the job
    // closed), none is grabbed.
    GrabD1();
    ASSERT_TRUE(WaitJobEnd(20));
    EXPECT_EQ(CountInLog("GRAB "), 5u);
    EXPECT_EQ(Titles().size(), 2u);
}

class RecollectTest : public GrabFixture {
  protected:
    // Grabs 01:00:00:00..01:00:00:24 and selects its window.
    void GrabbedAndSelected() {
        ASSERT_NO_FATAL_FAILURE(GrabOne("01:00:00:00", "01:00:00:24"));
        SetSelection(Window(0), 1);
    }
    void Recollect() {
        InDispatch([] { RecollectSelected(nullptr, nullptr, nullptr); });
    }
};

TEST_F(RecollectTest, ADeletedReelComesBackUnderItsName) {
    ASSERT_NO_FATAL_FAILURE(GrabbedAndSelected());
    const std::string reel = db + "SVJ/reel1_15f90_15fa8_85.svj";
    ASSERT_EQ(unlink(reel.c_str()), 0);
    Recollect();
    Widget d = Effect();
    ASSERT_NE(d, nullptr);
    Widget dflt = nullptr;
    XtVaGetValues(d, XmNdefaultButton, &dflt, NULL);
    EXPECT_EQ(dflt, XtNameToWidget(d, "*OK"));
    Press(XtNameToWidget(d, "*OK"));
    Widget change = Effect();
    ASSERT_NE(change, nullptr);
    const auto labels = Named(change, "label");
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(StringResource(labels[0], XmNlabelString), "Insert reel:\nreel1\n\nNew reel name:");
    Press(XtNameToWidget(change, "*OK"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(FramesOf(reel), 25);
    EXPECT_EQ(CountInLog("GRAB 01:00:00:00 25"), 2u);
    FisicData *clip = Window(0)->seg_first->fisic;
    EXPECT_STREQ(clip->path, reel.c_str());
    EXPECT_NE(clip->reader, nullptr);
    EXPECT_EQ(Titles().size(), 1u); // no clips added
}

TEST_F(RecollectTest, RefusalsAndNamesThatSayNothing) {
    Recollect();
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No clip selected"});
    InDispatch([] { RecollectHappy(nullptr, nullptr, nullptr); });
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"No clips in master area"});
    ASSERT_NO_FATAL_FAILURE(GrabbedAndSelected());
    // A new reel name that cannot be a file name.
    Recollect();
    Press(XtNameToWidget(Effect(), "*OK"));
    Widget change = Effect();
    ASSERT_NE(change, nullptr);
    XmTextSetString(XtNameToWidget(change, "*reel_text"), const_cast<char *>("a/b"));
    Press(XtNameToWidget(change, "*OK"));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Error: unable to recollect."});
    EXPECT_FALSE(VtrPanelBusy());
    // A reel whose name is not a grab's.
    const std::string odd = db + "SVJ/odd.svj";
    ASSERT_EQ(link((db + "SVJ/reel1_15f90_15fa8_85.svj").c_str(), odd.c_str()), 0);
    OpenFile(odd.c_str());
    SetSelection(Window(0), 0);
    SetSelection(Window(1), 1);
    Recollect();
    Press(XtNameToWidget(Effect(), "*OK"));
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Error: unable to recollect."});
    EXPECT_EQ(Effect(), nullptr);
    sv_handle *board = vtr_board;
    vtr_board = nullptr;
    Recollect();
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Unable to find SCSI Video"});
    vtr_board = board;
}

TEST_F(RecollectTest, AWorkWhoseReelIsMissingGrabsItAgain) {
    ASSERT_NO_FATAL_FAILURE(GrabbedAndSelected());
    // The log converter builds the clip's log, which carries the window
    // while its reel is away.
    InstallLogWriter();
    ASSERT_GE(Sproc(eConvert, nullptr, JOB_CONVERT), 0);
    SemSet(1, 0);
    SemSet(2, 0);
    FisicData *clip = Window(0)->seg_first->fisic;
    ASSERT_TRUE(PumpUntil([clip] { return clip->parts > 0 && clip->complete.load() == 1; }));
    const std::string work = db + "WORK/grabbed.work";
    ASSERT_EQ(SaveOK(work.c_str(), WORK_SAVE_ALL), 1);
    const std::string reel = db + "SVJ/reel1_15f90_15fa8_85.svj";
    ASSERT_EQ(unlink(reel.c_str()), 0);
    CloseOK(1, 1, nullptr, 0, 0);
    FreeClosedWindows();
    windows_before = Titles().size();
    InDispatch([&work] { LoadWork(work.c_str(), 0); });
    TakeMessages();
    ASSERT_NE(Effect(), nullptr); // "Recollect"
    Press(XtNameToWidget(Effect(), "*OK"));
    ASSERT_NE(Effect(), nullptr); // "Change reel"
    Press(XtNameToWidget(Effect(), "*OK"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(FramesOf(reel), 25);
    EXPECT_EQ(CountInLog("GRAB 01:00:00:00 25"), 2u);
    ASSERT_EQ(Titles().size(), 1u);
    EXPECT_NE(Window(0)->seg_first->fisic->reader, nullptr);
}

class GrabD1PacedTest : public GrabFixture {
    void SetUp() override { Start({"--speed", "1"}); }
};

TEST_F(GrabD1PacedTest, AStoppedRangeLeavesNoFramesNorLog) {
    AddRange("01:00:00:00", "01:00:00:04");
    AddRange("01:00:01:00", "01:00:09:24");
    GrabD1();
    ASSERT_TRUE(PumpUntil([this] { return CountInLog("GRAB ") >= 7; }));
    ASSERT_NO_FATAL_FAILURE(StopJob(10));
    EXPECT_EQ(Titles(), std::vector<std::string>{" GD1(reel1_15f90)"});
    EXPECT_TRUE(board_test::exists(db + "IMAGES/reel1_15f90.5.tga"));
    for (const char *gone : {"IMAGES/reel1_15fa9.1.tga", "IMAGES/reel1_15fa9.2.tga",
                             "CLIP/reel1_15fa9_Img00_Log", "CLIP/reel1_15fa9_Img00_Clip_1"})
        EXPECT_FALSE(board_test::exists(db + gone)) << gone;
}

TEST_F(OutputTest, ImageFramesShowOneByOneAndSequencesAreTold) {
    // One D1 frame and a D1 range of five, both in the master area.
    AddRange("01:00:00:00", "01:00:00:00");
    AddRange("01:00:01:00", "01:00:01:04");
    GrabD1();
    ASSERT_TRUE(WaitJobEnd());
    ASSERT_EQ(Titles().size(), 2u);
    ASSERT_NO_FATAL_FAILURE(ToMaster(Window(0), 0));
    const size_t shown = CountInLog("DISPLAY host");
    Press(W("Disp"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(CountInLog("DISPLAY host 720x576 01:00:00:00"), shown + 1) << sim->log();
    ASSERT_NO_FATAL_FAILURE(ToMaster(Window(1), 1));
    Press(W("Disp"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_EQ(TakeMessages(),
              std::vector<std::string>{"D1 sequences cannot be\nplayed in realtime."});
}

TEST_F(RecollectTest, ImageClipsAndD1QualityGrabFramesAgain) {
    AddRange("01:00:00:00", "01:00:00:04");
    GrabD1();
    ASSERT_TRUE(WaitJobEnd());
    LabelSetString(W("lab2"), "85");
    Press(W("Grab"));
    ASSERT_TRUE(WaitJobEnd());
    ASSERT_EQ(Titles().size(), 2u);
    for (int i = 1; i <= 5; ++i)
        unlink((db + "IMAGES/reel1_15f90." + std::to_string(i) + ".tga").c_str());
    SetSelection(Window(0), 1);
    SetSelection(Window(1), 1);
    Recollect();
    Widget d = Effect();
    ASSERT_NE(d, nullptr);
    // D1 quality, numbered ".0001.", as SGI: the reel comes back as frames.
    Widget quality = XtNameToWidget(d, "*quality");
    ASSERT_NE(quality, nullptr);
    Widget d1 = XtNameToWidget(d, "*D1 quality");
    ASSERT_NE(d1, nullptr);
    XtVaSetValues(quality, XmNmenuHistory, d1, NULL);
    XmToggleButtonSetState(ByLabel(d, "SGI"), True, True);
    XmToggleButtonSetState(ByLabel(d, ".0001."), True, True);
    Press(XtNameToWidget(d, "*OK"));
    Press(XtNameToWidget(Effect(), "*OK"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_TRUE(TakeMessages().empty());
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(board_test::exists(db + "IMAGES/reel1_15f90." + std::to_string(i) + ".tga"))
            << i;
    EXPECT_TRUE(board_test::exists(db + "IMAGES/reel1_15f90.0005.sgi"));
    for (size_t w = 0; w < 2; ++w) {
        FisicData *clip = Window(w)->seg_first->fisic;
        ASSERT_NE(clip->pic, nullptr) << w;
        EXPECT_EQ(clip->frames, 5) << w;
    }
}

TEST_F(OutputTest, RecPlacesTheMaterialByTheMarks) {
    ASSERT_NO_FATAL_FAILURE(MasterOfOneReel());
    const struct {
        const char *in, *out; // null: not marked
        const char *edit;
    } cases[] = {
        {"02:00:00:00", "02:00:00:09", "EDIT 02:00:00:00 10"}, // cut at Out
        {nullptr, "02:00:01:00", "EDIT 02:00:00:00 25"},       // ends at Out
        {"02:00:00:09", "02:00:00:00", nullptr},               // Out before In: nothing
    };
    for (const auto &c : cases) {
        in_set = out_set = 0;
        if (c.in) Type(0, c.in);
        if (c.out) Type(1, c.out);
        const size_t edits = CountInLog("EDIT ");
        Press(W("Rec"));
        ASSERT_TRUE(WaitJobEnd());
        EXPECT_TRUE(TakeMessages().empty()) << c.out;
        if (c.edit)
            EXPECT_EQ(CountInLog(c.edit), 1u) << sim->log();
        else
            EXPECT_EQ(CountInLog("EDIT "), edits);
    }
}

} // namespace
