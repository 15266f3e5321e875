// The grab list, typed timecodes, quality steps, jog speeds, the preroll
// settings and the edit-list writer: everything of the VTR panel that works
// without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "media/video_globals.h"
#include "tests/media/reel_fixtures.h"
#include "vtr/edl_write.h"
#include "vtr/grab_list.h"
#include "vtr/vtr_env.h"
#include "vtr/vtr_panel_rules.h"

namespace {

Timecode Tc(const char *t) {
    Timecode w = 0;
    vtr_asc2tc(t, &w);
    return w;
}

std::vector<std::string> Items() {
    std::vector<std::string> v;
    for (int i = 0; i <= Items_In_List; ++i) {
        char buf[32];
        GrabListItemText(tc_list[i], buf, sizeof buf);
        v.push_back(buf);
    }
    return v;
}

struct GrabListTest : ::testing::Test {
    void SetUp() override {
        fps = 25;
        GrabListClear();
    }
};

TEST_F(GrabListTest, AddKeepsOrderAndRefusesWhatTheListCannotTake) {
    const struct {
        const char *in, *out;
        GrabAddResult want;
        int at;
    } steps[] = {
        {"00:00:20:00", "00:00:30:00", GRAB_ADDED, 0},
        {"00:00:05:00", "00:00:09:00", GRAB_ADDED, 0},
        {"00:00:20:00", "00:00:25:00", GRAB_ADDED, 1}, // equal In, earlier Out
        {"00:00:20:00", "00:00:40:00", GRAB_ADDED, 3},
        {"00:00:20:00", "00:00:30:00", GRAB_DUPLICATE, -1},
        {"00:00:09:00", "00:00:08:24", GRAB_OUT_BEFORE_IN, -1},
        {"00:00:07:00", "00:00:07:00", GRAB_ADDED, 1}, // one frame
    };
    for (const auto &s : steps) {
        int at = -1;
        EXPECT_EQ(GrabListAdd(Tc(s.in), Tc(s.out), &at), s.want) << s.in;
        if (s.want == GRAB_ADDED) {
            EXPECT_EQ(at, s.at) << s.in;
        }
    }
    EXPECT_EQ(Items(),
              (std::vector<std::string>{"00:00:05:00 - 00:00:09:00", "00:00:07:00 - 00:00:07:00",
                                        "00:00:20:00 - 00:00:25:00", "00:00:20:00 - 00:00:30:00",
                                        "00:00:20:00 - 00:00:40:00"}));
    EXPECT_STREQ(GrabAddMessage(GRAB_DUPLICATE), "Item already in list");
    EXPECT_STREQ(GrabAddMessage(GRAB_OUT_BEFORE_IN), "Warning: Out < In");
}

TEST_F(GrabListTest, HoldsAtMost101Entries) {
    for (int i = 0; i < TC_LIST_MAX; ++i)
        ASSERT_EQ(GrabListAdd(frames2tc(i * 10), frames2tc(i * 10 + 5)), GRAB_ADDED);
    EXPECT_EQ(Items_In_List, 100);
    EXPECT_EQ(GrabListAdd(frames2tc(5000), frames2tc(5001)), GRAB_FULL);
    EXPECT_STREQ(GrabAddMessage(GRAB_FULL), "Cannot add another item");
}

TEST_F(GrabListTest, DeleteClearAndRemovalOfTheWellGrabbed) {
    for (int i = 0; i < 5; ++i)
        GrabListAdd(frames2tc(i * 100), frames2tc(i * 100 + 50));
    EXPECT_FALSE(GrabListDelete(5));
    EXPECT_TRUE(GrabListDelete(1));
    EXPECT_EQ(Items_In_List, 3);
    EXPECT_EQ(tc_list[1].in, frames2tc(200));
    tc_list[0].status = 1;
    tc_list[2].status = 1;
    EXPECT_EQ(GrabListRemoveGood(), 2);
    ASSERT_EQ(Items_In_List, 1);
    EXPECT_EQ(tc_list[0].in, frames2tc(0));
    EXPECT_EQ(tc_list[1].in, frames2tc(300));
    GrabListClear();
    EXPECT_EQ(Items_In_List, -1);
    EXPECT_EQ(tc_list[0].in, 0u);
}

TEST(PanelRulesTest, TypedTimecodesAreNormalised) {
    const struct {
        int rate;
        const char *typed, *want;
    } cases[] = {
        {25, "1234", "00:00:12:24"},
        {30, "1234", "00:00:12:29"},
        {25, "01000000", "01:00:00:00"},
        {25, "1:2:3:4", "00:00:12:24"},
        {25, "", "00:00:00:00"},
        {25, "99999999", "99:59:59:24"},
        {25, "ab123456789", "23:45:59:24"},
        {25, "10:20:30.05", "10:20:30:05"},
    };
    for (const auto &c : cases) {
        fps = c.rate;
        char out[12];
        ParseTimecodeText(c.typed, out);
        EXPECT_STREQ(out, c.want) << c.typed << " at " << c.rate;
    }
    fps = 25;
}

TEST(PanelRulesTest, QualityStepsAndRepeats) {
    const struct {
        const char *label;
        int delta;
        bool changed;
        const char *want;
    } cases[] = {
        {"85", 1, true, "86"},   {"100", 1, true, "D1"}, {"D1", 1, false, ""},
        {"D1", -1, true, "100"}, {"1", -1, false, ""},   {"2", -8, true, "1"},
        {"95", 8, true, "D1"},   {"85", -1, true, "84"},
    };
    for (const auto &c : cases) {
        char out[8] = "";
        EXPECT_EQ(StepQualityText(c.label, c.delta, out, sizeof out), c.changed) << c.label;
        if (c.changed) {
            EXPECT_STREQ(out, c.want) << c.label;
        }
    }
    QualityRepeat up, down;
    std::vector<int> ups, downs;
    for (int i = 0; i < 9; ++i) {
        ups.push_back(up.NextStep(1));
        downs.push_back(down.NextStep(-1));
    }
    EXPECT_EQ(ups, (std::vector<int>{1, 1, 1, 1, 1, 2, 4, 8, 8}));
    EXPECT_EQ(downs, (std::vector<int>{-1, -1, -1, -1, -1, -2, -4, -8, -8}));
}

TEST(PanelRulesTest, JogSpeedAndSnapBack) {
    const struct {
        int v, speed;
        bool snaps;
    } cases[] = {{0, 0, true},          {9, 0, true},      {-9, 0, true},
                 {10, 0, false},        {-10, 0, false},   {11, 2896, false},
                 {-11, -2896, false},   {12, 4096, false}, {31, 2965820, false},
                 {-31, -2965820, false}};
    for (const auto &c : cases) {
        EXPECT_EQ(JogSpeed(c.v), c.speed) << c.v;
        EXPECT_EQ(JogSnapsBack(c.v), c.snaps) << c.v;
    }
}

TEST(PanelRulesTest, PrerollSettingsFromTheEnvironment) {
    const struct {
        const char *d1, *master, *normal, *d1env;
    } cases[] = {
        {"7", "00:00:05:00,3,UNSAFE", "SCSIVIDEO_MASTER=00:00:05:00,3,UNSAFE",
         "SCSIVIDEO_MASTER=00:00:05:00,7,UNSAFE"},
        {"12", "00:00:05:00,3,", "SCSIVIDEO_MASTER=00:00:05:00,3,",
         "SCSIVIDEO_MASTER=00:00:05:00,12,"},
        {"7", "00:00:05:00,3", "", ""}, // one comma
        {"100", "a,b,c", "", ""},       // D1 number out of range
        {"x", "a,b,c", "", ""},         // not a number
        {nullptr, "a,b,c", "", ""},     // no SCSI_D1
    };
    for (const auto &c : cases) {
        if (c.d1)
            setenv("SCSI_D1", c.d1, 1);
        else
            unsetenv("SCSI_D1");
        setenv("SCSIVIDEO_MASTER", c.master, 1);
        InitVtrEnv();
        EXPECT_EQ(VtrEnvNormal(), c.normal) << c.master;
        EXPECT_EQ(VtrEnvD1(), c.d1env) << c.master;
    }
    unsetenv("SCSI_D1");
    unsetenv("SCSIVIDEO_MASTER");
    InitVtrEnv();
}

std::string Slurp(const std::string &p) {
    const reel_test::bytes b = reel_test::read_file(p);
    return std::string(b.begin(), b.end());
}

TEST_F(GrabListTest, EditListWriting) {
    reel_test::temp_dir dir;
    const std::string path = dir.path("a.edl");
    std::string msg;
    EXPECT_EQ(EdlWriteFile(path.c_str(), "tape1", true, &msg), 0);
    EXPECT_EQ(Slurp(path), "TITLE:  EDITED WITH ORVA\n");
    for (int i = 0; i < 12; ++i)
        GrabListAdd(frames2tc(90000 + i * 50), frames2tc(90000 + i * 50 + 9));
    EXPECT_EQ(EdlWriteFile(path.c_str(), "tape1", true, &msg), 0);
    const std::string text = Slurp(path);
    EXPECT_EQ(text.substr(0, text.find('\n', 30) + 1),
              "TITLE:  EDITED WITH ORVA\n"
              "001 tape1 V C 01:00:00:00 01:00:00:09 01:00:00:00 01:00:00:09\n");
    EXPECT_NE(text.find("\n012 tape1 V C 01:00:22:00 "), std::string::npos);
    EXPECT_NE(access((path + ".new").c_str(), F_OK), 0);

    const struct {
        const char *path, *reel;
        bool board;
        std::string want;
    } fails[] = {
        {path.c_str(), "tape1", false, "Unable to find SCSI Video"},
        {path.c_str(), "", true, "Cannot read the reel name"},
        {"/nonexistent/dir/x.edl", "tape1", true, "Cannot open /nonexistent/dir/x.edl file"},
    };
    for (const auto &f : fails) {
        msg.clear();
        EXPECT_EQ(EdlWriteFile(f.path, f.reel, f.board, &msg), 1);
        EXPECT_EQ(msg, f.want);
    }
    EXPECT_EQ(Slurp(path), text); // the failures left the file as it was
}

} // namespace
