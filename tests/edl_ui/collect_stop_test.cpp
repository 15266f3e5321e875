// An edit-list collect over three reels on a tape that runs in real time,
// stopped with the wait dialog's "Stop" while the second reel is grabbed:
// the first reel's clips stay, the cut reel goes, and no further reel is
// asked for.
#include "tests/grab/grab_fixture.h"

#include <Xm/Text.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "desktop/edl_collect.h"

namespace {

using Strings = std::vector<std::string>;

class CollectStop : public GrabFixture {
  protected:
    void SetUp() override { Start({"--speed", "1"}); }
    // The one "effect" dialog on screen (Edlcollect or Change reel), or null.
    static Widget Effect() {
        const auto v = Named(app_shell, "effect");
        return v.size() == 1 ? v[0] : nullptr;
    }
    // Answers OK in "Change reel" for reel, which must be the one asked for.
    void ConfirmReel(const std::string &reel) {
        Widget change = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (change = Effect()) != nullptr; }));
        ASSERT_EQ(TitleOf(change), "Change reel");
        ASSERT_EQ(StringResource(Named(change, "label").at(0), XmNlabelString),
                  "Insert reel:\n" + reel + "\n\nNew reel name:");
        Press(XtNameToWidget(change, "*OK"));
    }
    // The names in dir, sorted.
    static Strings FilesIn(const std::string &dir) {
        Strings out;
        for (const auto &e : std::filesystem::directory_iterator(dir))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(CollectStop, StopInTheSecondReelKeepsTheFirstAndAsksNoMore) {
    // reel2's first event lasts ten seconds of tape; its second is never
    // reached, nor is reel3.
    const std::string list = db + "WORK/three.edl";
    std::ofstream(list) << "TITLE:  EDITED WITH ORVA\n"
                           "001 reel1 V C 01:00:00:00 01:00:00:04 01:00:00:00 01:00:00:04\n"
                           "002 reel1 V C 01:00:01:00 01:00:01:04 01:00:00:05 01:00:00:09\n"
                           "003 reel2 V C 01:00:02:00 01:00:11:24 01:00:00:10 01:00:10:09\n"
                           "004 reel2 V C 01:00:20:00 01:00:20:04 01:00:10:10 01:00:10:14\n"
                           "005 reel3 V C 01:00:30:00 01:00:30:04 01:00:10:15 01:00:10:19\n";
    InDispatch([&list] { EdlcollectDialog(list.c_str()); });
    Widget d = Effect();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(TitleOf(d), "Edlcollect");
    XmTextSetString(XtNameToWidget(d, "*quality_text"), const_cast<char *>("85"));
    Press(XtNameToWidget(d, "*All"));
    ASSERT_NO_FATAL_FAILURE(ConfirmReel("reel1"));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_EQ(Titles(), (Strings{" GSV(reel1_15f90_15f94_85)", " GSV(reel1_15fa9_15fad_85)"}));

    ASSERT_NO_FATAL_FAILURE(ConfirmReel("reel2"));
    ASSERT_TRUE(
        PumpUntil([this] { return sim->log().find("GRAB 01:00:02:00") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_NO_FATAL_FAILURE(StopJob(10));
    Pump();

    // What reel1 gave stays; the cut reel is gone; nothing else was grabbed
    // or asked for, and the stop is no failure to tell.
    EXPECT_EQ(FramesOf(db + "SVJ/reel1_15f90_15f94_85.svj"), 5);
    EXPECT_EQ(FramesOf(db + "SVJ/reel1_15fa9_15fad_85.svj"), 5);
    EXPECT_EQ(FilesIn(db + "SVJ"),
              (Strings{"reel1_15f90_15f94_85.svj", "reel1_15fa9_15fad_85.svj"}));
    EXPECT_EQ(Titles(), (Strings{" GSV(reel1_15f90_15f94_85)", " GSV(reel1_15fa9_15fad_85)"}));
    EXPECT_EQ(Effect(), nullptr);
    EXPECT_EQ(CountInLog("GRAB "), 3u) << sim->log();
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_FALSE(VtrPanelBusy());

    // The collect has ended: the list opens again.
    InDispatch([&list] { EdlcollectDialog(list.c_str()); });
    ASSERT_NE(Effect(), nullptr);
    EXPECT_EQ(TitleOf(Effect()), "Edlcollect");
    Press(XtNameToWidget(Effect(), "*Cancel"));
}

} // namespace
