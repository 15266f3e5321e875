// Edit lists on the desktop against the simulated board: SAVE > "Edit list
// ..." writes the grab list, OPEN > "Edit list ..." reads it back into the
// "Edlcollect" dialog, whose "All" grabs every range once, and a list from
// another editor shows its video events and tells what it left out.
#include "tests/grab/grab_fixture.h"

#include <Xm/List.h>
#include <Xm/ToggleB.h>

#include <fstream>

#include "desktop/commands.h"
#include "desktop/edl_collect.h"

namespace {

using Strings = std::vector<std::string>;

class EdlUi : public GrabFixture {
  protected:
    // The database dialog titled title, or null.
    static Widget DbDialogTitled(const char *title) {
        for (Widget d : Named(app_shell, "dialog"))
            if (TitleOf(d) == std::string("DB grabdb - ") + title) return d;
        return nullptr;
    }
    static void Run(XtCallbackProc command) {
        InDispatch([command] { command(nullptr, nullptr, nullptr); });
    }
    // OPEN > "Edit list ...", choosing name.
    void Open(const char *name) {
        Run(DbSelectEdl);
        Widget d = DbDialogTitled("Open Edit List");
        ASSERT_NE(d, nullptr);
        XmString s = XmStringCreateLocalized(const_cast<char *>(name));
        XmListSelectItem(XtNameToWidget(d, "*list"), s, False);
        XmStringFree(s);
        Press(ByLabel(d, "OK"));
    }
    // "All" in Edlcollect, then OK in "Change reel" for each of `reels`.
    void CollectAll(const Strings &reels) {
        Widget d = Effect();
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(TitleOf(d), "Edlcollect");
        Press(XtNameToWidget(d, "*All"));
        for (const std::string &reel : reels) {
            Widget change = nullptr;
            ASSERT_TRUE(PumpUntil([&] { return (change = Effect()) != nullptr; }));
            ASSERT_EQ(TitleOf(change), "Change reel");
            EXPECT_EQ(StringResource(Named(change, "label").at(0), XmNlabelString),
                      "Insert reel:\n" + reel + "\n\nNew reel name:");
            Press(XtNameToWidget(change, "*OK"));
            ASSERT_TRUE(WaitJobEnd());
        }
        EXPECT_EQ(Effect(), nullptr);
    }
};

TEST_F(EdlUi, SavedGrabListCollectsOnceThenFindsItsReels) {
    Run(DbSaveEdl);
    EXPECT_EQ(TakeMessages(), Strings{"No items in grab list"});
    AddRange("01:00:02:00", "01:00:02:04");
    AddRange("01:00:00:00", "01:00:00:24");
    Run(DbSaveEdl);
    Widget save = DbDialogTitled("Save edit list");
    ASSERT_NE(save, nullptr);
    XmTextSetString(XtNameToWidget(save, "wtext"), const_cast<char *>("cut"));
    Press(ByLabel(save, "OK"));
    std::ifstream in(db + "WORK/cut.edl");
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(text, "TITLE:  EDITED WITH ORVA\n"
                    "001 reel1 V C 01:00:00:00 01:00:00:24 01:00:00:00 01:00:00:24\n"
                    "002 reel1 V C 01:00:02:00 01:00:02:04 01:00:02:00 01:00:02:04\n");

    Open("cut.edl");
    Widget d = Effect();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(TakeMessages().empty());
    Dimension w = 0, h = 0;
    XtVaGetValues(d, XmNwidth, &w, XmNheight, &h, NULL);
    EXPECT_EQ(w, 450);
    EXPECT_EQ(h, 370);
    EXPECT_EQ(
        ListItems(XtNameToWidget(d, "*list")),
        (Strings{"reel1    01:00:00:00    01:00:00:24", "reel1    01:00:02:00    01:00:02:04"}));
    CollectAll({"reel1"});
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(FramesOf(db + "SVJ/reel1_15f90_15fa8_85.svj"), 25);
    EXPECT_EQ(FramesOf(db + "SVJ/reel1_15fc2_15fc6_85.svj"), 5);
    EXPECT_EQ(Titles(), (Strings{" GSV(reel1_15f90_15fa8_85)", " GSV(reel1_15fc2_15fc6_85)"}));
    EXPECT_EQ(CountInLog("GRAB "), 2u);

    // Again: every reel is there; nothing goes to tape.
    Open("cut.edl");
    CollectAll({"reel1"});
    EXPECT_EQ(CountInLog("GRAB "), 2u);
    EXPECT_EQ(Titles().size(), 4u);
}

TEST_F(EdlUi, AListFromAnotherEditorShowsItsVideoEventsAndWhatItLeftOut) {
    std::ofstream(db + "WORK/other.edl")
        << "TITLE: OTHER\r\nFCM: NON-DROP FRAME\r\n* FROM CLIP NAME: A\r\n"
           "001  tapeA    V     C        01:00:00:00 01:00:00:09 10:00:00:00 10:00:00:10\r\n"
           "002  tapeA    A     C        01:00:05:00 01:00:06:00 10:00:00:10 10:00:01:10\r\n"
           "003  tapeB    V     C        02:00:00:00 02:00:00:00 10:00:01:10 10:00:01:10\r\n"
           "003  tapeA    V     D    010 01:00:10:00 01:00:10:04 10:00:01:10 10:00:01:15\r\n"
           "EFFECTS NAME IS CROSS DISSOLVE\r\n"
           "004  tapeB    V     C        02:00:01:00 02:00:01:10 10:00:01:15 10:00:02:00\r\n"
           "M2   tapeB       050.0                02:00:01:00\r\n";
    Open("other.edl");
    Widget d = Effect();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(
        ListItems(XtNameToWidget(d, "*list")),
        (Strings{"tapeA    01:00:00:00    01:00:00:09", "tapeB    02:00:00:00    02:00:00:00",
                 "tapeA    01:00:10:00    01:00:10:04", "tapeB    02:00:01:00    02:00:01:20"}));
    EXPECT_EQ(TakeMessages(), Strings{"Lines of the list not collected as they stand:\n"
                                      "line 5 skipped: audio\n"
                                      "line 7 taken as the cut of its incoming source\n"
                                      "line 10 taken as the range its motion effect plays"});
    // "Selected" needs a choice; the chosen events are grouped by reel.
    Press(XtNameToWidget(d, "*Selected"));
    EXPECT_EQ(TakeMessages(), Strings{"No events selected"});
    XmListSelectPos(XtNameToWidget(d, "*list"), 2, False);
    Press(XtNameToWidget(d, "*Selected"));
    Widget change = Effect();
    ASSERT_NE(change, nullptr);
    EXPECT_EQ(StringResource(Named(change, "label").at(0), XmNlabelString),
              "Insert reel:\ntapeB\n\nNew reel name:");
    // Renamed at the question: the reel is named after the tape given.
    XmTextSetString(XtNameToWidget(change, "*reel_text"), const_cast<char *>("tapeC"));
    Press(XtNameToWidget(change, "*OK"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_EQ(FramesOf(db + "SVJ/tapeC_2bf20_2bf20_85.svj"), 1);
    EXPECT_EQ(Titles(), Strings{" GSV(tapeC_2bf20_2bf20_85)"});
    // "Break" ends the collect before anything goes to tape.
    Open("other.edl");
    TakeMessages();
    Press(XtNameToWidget(Effect(), "*All"));
    Press(XtNameToWidget(Effect(), "*Break"));
    Pump();
    EXPECT_EQ(Effect(), nullptr);
    EXPECT_EQ(CountInLog("GRAB "), 1u);
}

TEST_F(EdlUi, D1QualityCollectsFrameFiles) {
    std::ofstream(db + "WORK/d1.edl")
        << "TITLE:  EDITED WITH ORVA\n001 reel1 V C 01:00:00:00 01:00:00:02 01:00:00:00 "
           "01:00:00:02\n";
    Open("d1.edl");
    Widget d = Effect();
    ASSERT_NE(d, nullptr);
    Widget d1 = ByLabel(d, "D1 quality");
    ASSERT_NE(d1, nullptr);
    XmToggleButtonSetState(d1, True, True);
    CollectAll({"reel1"});
    EXPECT_TRUE(TakeMessages().empty());
    // Targa, numbered ".1.": In 90000 is 15f90.
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(board_test::exists(db + "IMAGES/reel1_15f90." + std::to_string(i) + ".tga"))
            << i;
    ASSERT_EQ(Titles().size(), 1u);
    EXPECT_EQ(Titles()[0].rfind(" GD1(", 0), 0u) << Titles()[0];
}

TEST_F(EdlUi, Refusals) {
    InDispatch([this] { EdlcollectDialog((db + "WORK/none.edl").c_str()); });
    EXPECT_EQ(TakeMessages(), Strings{"Cannot open " + db + "WORK/none.edl file"});
    std::ofstream(db + "WORK/empty.edl") << "TITLE: X\n001 R A C 01:00:00:00 01:00:00:01 a b\n";
    InDispatch([this] { EdlcollectDialog((db + "WORK/empty.edl").c_str()); });
    EXPECT_EQ(TakeMessages(), Strings{"No entries in edl_list\n\nLines of the list not collected "
                                      "as they stand:\nline 2 skipped: audio"});
    sv_handle *board = vtr_board;
    vtr_board = nullptr;
    InDispatch([this] { EdlcollectDialog((db + "WORK/empty.edl").c_str()); });
    vtr_board = board;
    EXPECT_EQ(TakeMessages(), Strings{"Unable to find SCSI Video"});
    EXPECT_EQ(Effect(), nullptr);
}

} // namespace
