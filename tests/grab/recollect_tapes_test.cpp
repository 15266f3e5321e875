// Recollect over clips of two tapes: "Change reel" comes once per tape, and
// "Break" at the second tape ends the recollect with what the first gave.
#include "tests/grab/grab_fixture.h"

#include <Xm/ToggleB.h>

#include "desktop/commands.h"
#include "vtr/vtr_panel.h"

namespace {

using Strings = std::vector<std::string>;

class RecollectTapes : public GrabFixture {
  protected:
    // The one dialog named "effect" on screen (Recollect or Change reel), or null.
    static Widget Effect() {
        const auto v = Named(app_shell, "effect");
        return v.size() == 1 ? v[0] : nullptr;
    }
    // The text "Change reel" shows, or "" when it is not up.
    static std::string ChangeReelAsks() {
        Widget d = Effect();
        if (!d || TitleOf(d) != "Change reel") return "";
        return StringResource(Named(d, "label").at(0), XmNlabelString);
    }
    // Grabs in..out from the tape named tape into its own window.
    void GrabFrom(const char *tape, const char *in, const char *out) {
        InDispatch([] { VtrListClear(); });
        XmTextSetString(W("reelname"), const_cast<char *>(tape));
        AddRange(in, out);
        Press(W("Grab"));
        ASSERT_TRUE(WaitJobEnd());
    }
    static void Recollect() {
        InDispatch([] { RecollectSelected(nullptr, nullptr, nullptr); });
    }
};

TEST_F(RecollectTapes, BreakAtTheSecondTapeKeepsWhatTheFirstGave) {
    ASSERT_NO_FATAL_FAILURE(GrabFrom("reel1", "01:00:00:00", "01:00:00:24"));
    ASSERT_NO_FATAL_FAILURE(GrabFrom("reel2", "01:00:02:00", "01:00:02:04"));
    const std::string first = db + "SVJ/reel1_15f90_15fa8_85.svj";
    const std::string second = db + "SVJ/reel2_15fc2_15fc6_85.svj";
    ASSERT_EQ(Titles(), (Strings{" GSV(reel1_15f90_15fa8_85)", " GSV(reel2_15fc2_15fc6_85)"}));
    ASSERT_EQ(CountInLog("GRAB "), 2u);
    ASSERT_EQ(unlink(first.c_str()), 0);
    ASSERT_EQ(unlink(second.c_str()), 0);
    SetSelection(Window(0), 1);
    SetSelection(Window(1), 1);
    FisicData *old_second = Window(1)->seg_first->fisic;

    Recollect();
    ASSERT_NE(Effect(), nullptr);
    ASSERT_EQ(TitleOf(Effect()), "Recollect");
    Widget add = ByLabel(Effect(), "Add clips");
    ASSERT_NE(add, nullptr);
    XmToggleButtonSetState(add, True, False);
    Press(XtNameToWidget(Effect(), "*OK"));
    EXPECT_EQ(ChangeReelAsks(), "Insert reel:\nreel1\n\nNew reel name:");
    Press(XtNameToWidget(Effect(), "*OK"));
    ASSERT_TRUE(WaitJobEnd());
    // The first tape's clip is back; the second tape is asked for.
    EXPECT_EQ(ChangeReelAsks(), "Insert reel:\nreel2\n\nNew reel name:");
    EXPECT_EQ(FramesOf(first), 25);
    EXPECT_EQ(CountInLog("GRAB 01:00:00:00 25"), 2u);
    Press(XtNameToWidget(Effect(), "*Break"));
    Pump();

    // Nothing more goes to tape, nothing is told, and the first clip's
    // window shows the new reel while the second keeps its old clip.
    EXPECT_EQ(Effect(), nullptr);
    EXPECT_EQ(CountInLog("GRAB "), 3u);
    EXPECT_FALSE(board_test::exists(second));
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_FALSE(VtrPanelBusy());
    EXPECT_STREQ(Window(0)->seg_first->fisic->path, first.c_str());
    EXPECT_NE(Window(0)->seg_first->fisic->reader, nullptr);
    EXPECT_EQ(Window(1)->seg_first->fisic, old_second);
    // "Add clips": the new clip also gets a window of its own, named as a grab names it.
    EXPECT_EQ(Titles(), (Strings{" GSV(reel1_15f90_15fa8_85)", " GSV(reel2_15fc2_15fc6_85)",
                                 " GSV(reel1_15f90_15fa8_85)"}));

    // The recollect has ended: a new one opens its dialog.
    Recollect();
    ASSERT_NE(Effect(), nullptr);
    EXPECT_EQ(TitleOf(Effect()), "Recollect");
    Press(XtNameToWidget(Effect(), "*Cancel"));
    EXPECT_EQ(Effect(), nullptr);
}

} // namespace
