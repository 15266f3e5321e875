// Writing the grab list as an edit list and collecting a list from the
// simulated board's tape with edltool.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/boardsim/sim_fixture.h"
#include "tests/media/reel_fixtures.h"
#include "vtr/edl_collect.h"
#include "vtr/edl_read.h"

namespace {

using board_test::Sim;
using reel_test::run_command;
using reel_test::temp_dir;

const std::string tool = std::string(ORVA_BIN_DIR) + "/tools/edltool";

std::string text_of(const std::string &path) {
    const reel_test::bytes b = reel_test::read_file(path);
    return std::string(b.begin(), b.end());
}

using board_test::count_of;

TEST(EdlWrite, TheToolWritesTheGrabListAsThePanelAddsIt) {
    temp_dir dir;
    const std::string list = dir.path("list.edl");
    // Out of order, a repeat and an Out before In: the panel's add sorts by
    // In, refuses the repeat and the backwards range and says so.
    const reel_test::run_result r =
        run_command(tool + " write " + list +
                    " tape1 01:00:02:00-01:00:02:10 01:00:00:00-01:00:00:24"
                    " 01:00:00:00-01:00:00:24 01:00:05:00-01:00:04:00");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count_of(r.err, "Item already in list"), 1u) << r.err;
    EXPECT_EQ(count_of(r.err, "Warning: Out < In"), 1u) << r.err;
    EXPECT_EQ(text_of(list), "TITLE:  EDITED WITH ORVA\n"
                             "001 tape1 V C 01:00:00:00 01:00:00:24 01:00:00:00 01:00:00:24\n"
                             "002 tape1 V C 01:00:02:00 01:00:02:10 01:00:02:00 01:00:02:10\n");
    // Only the title for an empty list; an empty reel and a bad path fail
    // with one message and leave the old file.
    EXPECT_EQ(run_command(tool + " write " + dir.path("empty.edl") + " tape1").status, 0);
    EXPECT_EQ(text_of(dir.path("empty.edl")), "TITLE:  EDITED WITH ORVA\n");
    for (const std::string &args : {" write " + list + " '' 01:00:00:00-01:00:00:01",
                                    " write " + dir.path("no/list.edl") + " t"}) {
        const reel_test::run_result bad = run_command(tool + args);
        EXPECT_EQ(bad.status, 1) << args;
        EXPECT_EQ(count_of(bad.err, "\n"), 1u) << bad.err;
    }
    EXPECT_EQ(count_of(text_of(list), "\n"), 3u);
    EXPECT_EQ(run_command(tool + " write " + list + " t 01:00:00:00").status, 2);
}

TEST(EdlCollect, RangesAndGroups) {
    EdlTable t;
    const std::string list = "TITLE: X\n"
                             "001 B V C 01:00:00:00 01:00:00:24 10:00:00:00 10:00:01:00\n"
                             "002 A V C 02:00:00:00 02:00:00:00 10:00:01:00 10:00:01:01\n"
                             "003 B V C 01:00:10:00 01:00:10:04 10:00:01:01 10:00:01:06\n";
    EdlReadBytes(list.data(), list.size(), &t);
    ASSERT_EQ(t.entries.size(), 3u);
    const std::vector<EdlReelGroup> g = EdlGroupByReel(t, {2, 1, 0, 2, 7, -1});
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].reel, "B");
    EXPECT_EQ(g[0].events, (std::vector<int>{0, 2}));
    EXPECT_EQ(g[1].reel, "A");
    EXPECT_EQ(g[1].events, (std::vector<int>{1}));
    EXPECT_EQ(EdlGroupByReel(t, {1}).size(), 1u);
    const TcEntry one = EdlRange(t.entries[1]);
    EXPECT_EQ(one.in, one.out);
    EXPECT_EQ(Count_Frames(EdlRange(t.entries[0]).in, EdlRange(t.entries[0]).out), 25);
}

TEST(EdlCollect, TheToolCollectsEveryReelOnceAndThenNothing) {
    temp_dir dir;
    Sim sim(dir, {});
    ASSERT_TRUE(sim.ready());
    mkdir(dir.path("db").c_str(), 0755);
    mkdir(dir.path("db/SVJ").c_str(), 0755);
    const std::string list = dir.path("list.edl");
    // From another editor: a dissolve, an audio event, a comment.
    std::ofstream(list) << ("TITLE: OTHER\r\n* A COMMENT\r\n"
                            "001  reel1 V  C  01:00:00:00 01:00:01:00 10:00:00:00 "
                            "10:00:01:00\r\n"
                            "002  reel1 A  C  01:00:05:00 01:00:06:00 10:00:01:00 "
                            "10:00:02:00\r\n"
                            "003  reel2 V  C  02:00:00:00 02:00:00:09 10:00:02:00 "
                            "10:00:02:10\r\n"
                            "003  reel1 V  D 010 01:00:10:00 01:00:10:04 10:00:02:00 "
                            "10:00:02:05\r\n");
    const std::string env = "SCSIVIDEO_CMD=SCSI,dev=" + dir.path("sock") + ",timeout=1 ";
    const std::string collect = env + tool + " collect " + list + " " + dir.path("db") + " -q 80";
    reel_test::run_result r = run_command(collect);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string first = dir.path("db/SVJ/reel1_15f90_15fa9_80.svj");
    const std::string second = dir.path("db/SVJ/reel2_2bf20_2bf29_80.svj");
    const std::string third = dir.path("db/SVJ/reel1_1608a_1608e_80.svj");
    EXPECT_EQ(r.out, "recorded reel1 01:00:00:00 01:00:01:00 " + first +
                         "\nrecorded reel1 01:00:10:00 01:00:10:04 " + third +
                         "\nrecorded reel2 02:00:00:00 02:00:00:09 " + second + "\n" +
                         r.out.substr(r.out.find("TOTAL")));
    EXPECT_NE(r.out.find("\nTOTAL 3 recorded 0 kept 0 lost 0 failed 41 frames "),
              std::string::npos);
    EXPECT_EQ(board_test::frames_of(first), 26);
    EXPECT_EQ(board_test::frames_of(second), 10);
    EXPECT_EQ(board_test::frames_of(third), 5);
    EXPECT_EQ(sim.count("GRAB "), 3u) << sim.log();

    // Again: every reel is there, nothing goes to tape.
    r = run_command(collect);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("TOTAL 0 recorded 3 kept 0 lost 0 failed 0 frames"), std::string::npos)
        << r.out;
    EXPECT_EQ(sim.count("GRAB "), 3u);

    // No board, no list, a list without entries: one message each (the
    // board library adds its own line about the missing board).
    for (const std::string &bad :
         {"SCSIVIDEO_CMD=SCSI,dev=" + dir.path("none") + ",timeout=1 " + tool + " collect " + list +
              " " + dir.path("db"),
          env + tool + " collect " + dir.path("none.edl") + " " + dir.path("db"),
          env + tool + " collect " + dir.path("db/SVJ") + " " + dir.path("db")}) {
        r = run_command(bad);
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_EQ(count_of(r.err, "edltool: "), 1u) << r.err;
    }
}

} // namespace
