// edltool collect at 30 frames per second from a simulated NTSC board: the
// list's timecodes, the frames grabbed and the reel names all count 30
// frames a second, and drop-frame events are taken.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>

#include "media/svj.h"
#include "tests/boardsim/sim_fixture.h"
#include "tests/media/reel_fixtures.h"

namespace {

using board_test::Sim;
using reel_test::run_command;
using reel_test::temp_dir;

const std::string tool = std::string(ORVA_BIN_DIR) + "/tools/edltool";

size_t count(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

int frames_of(const std::string &reel) {
    svj_handle *h = svj_open(reel.c_str());
    if (!h) return -1;
    const int n = int(svj_info(h, 8));
    svj_close(h);
    return n;
}

TEST(EdltoolNtsc, CollectAtThirtyFramesASecond) {
    temp_dir dir;
    Sim sim(dir, {"--standard", "ntsc"});
    ASSERT_TRUE(sim.ready());
    mkdir(dir.path("db").c_str(), 0755);
    mkdir(dir.path("db/SVJ").c_str(), 0755);
    const std::string list = dir.path("ntsc.edl");
    // A second of tape ending on frame 29, and a drop-frame event across the
    // first minute, where labels 00 and 01 do not exist: four frames.
    std::ofstream(list) << "TITLE: NTSC\n"
                           "001 reel1 V C 01:00:00:00 01:00:00:29 01:00:00:00 01:00:01:00\n"
                           "002 reel1 V C 01:00:59;28 01:01:00;03 01:00:01:00 01:00:01:04\n";
    const std::string env = "SCSIVIDEO_CMD=SCSI,dev=" + dir.path("sock") + ",timeout=1 ";
    const std::string collect = env + tool + " collect " + list + " " + dir.path("db");

    // At 25 frames a second neither event exists.
    reel_test::run_result r = run_command(collect);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "edltool: No entries in edl_list\n");
    EXPECT_EQ(run_command(collect + " --fps 24").status, 2);

    r = run_command(collect + " --fps 30");
    EXPECT_EQ(r.status, 0) << r.err;
    // In 108000 (0x1a5e0) and 109798 (0x1ace6), in frames at 30 a second.
    const std::string second = dir.path("db/SVJ/reel1_1a5e0_1a5fd_85.svj");
    const std::string drop = dir.path("db/SVJ/reel1_1ace6_1ace9_85.svj");
    EXPECT_EQ(r.out.substr(0, r.out.find("TOTAL")),
              "recorded reel1 01:00:00:00 01:00:00:29 " + second +
                  "\nrecorded reel1 01:00:59:28 01:01:00:03 " + drop + "\n");
    EXPECT_NE(r.out.find("TOTAL 2 recorded 0 kept 0 lost 0 failed 34 frames "), std::string::npos)
        << r.out;
    EXPECT_EQ(frames_of(second), 30);
    EXPECT_EQ(frames_of(drop), 4);
    EXPECT_EQ(count(sim.log(), "GRAB 01:00:00:00 30"), 1u) << sim.log();
    EXPECT_EQ(count(sim.log(), "GRAB 01:00:59:28 4"), 1u) << sim.log();
}

} // namespace
