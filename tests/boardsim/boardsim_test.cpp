// The simulated board end to end: boardsim on a socket in a private
// directory, driven by boardtool, checked through the reels it records, its
// log and the time each failure takes to come back.
#include "device/sv.h"
#include "device/sv_protocol.h"
#include "media/video_globals.h"
#include "tests/boardsim/sim_fixture.h"
#include "tests/boardsim/strip_reader.h"

#include <gtest/gtest.h>

#include <chrono>

using board_test::decoded_strips;
using board_test::exists;
using board_test::kBin;
using board_test::Sim;
using reel_test::run_command;
using reel_test::temp_dir;

namespace {

// The strip word of "hh:mm:ss:ff": two BCD digits a byte, hours lowest.
uint32_t tc_word(const std::string &t) {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i)
        w |= uint32_t((t[size_t(3 * i)] - '0') << 4 | (t[size_t(3 * i + 1)] - '0')) << 8 * i;
    return w;
}

} // namespace

TEST(BoardSim, GrabOnANewTapeShowsEachFramesTimecode) {
    temp_dir dir;
    Sim sim(dir, {});
    ASSERT_TRUE(sim.ready());
    const std::string reel = dir.path("g.svj");
    auto r = run_command(sim.tool("grab 01:00:00:00 01:00:00:24 " + reel + " -q 85"));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint32_t> want;
    for (int f = 0; f < 25; ++f)
        want.push_back(tc_word("01:00:00:" + std::to_string(100 + f).substr(1)));
    EXPECT_EQ(decoded_strips(reel), want);
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(exists(dir.path("sock")));
    const std::string log = sim.log();
    EXPECT_EQ(log.rfind("CONNECT\n", 0), 0u) << log;
    for (const char *line : {"C 7 81 55\n", "GRAB 01:00:00:00 25\n", "\nPEER pid ", "CLOSE\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

TEST(BoardSim, GrabbedAndRepackedReelsDecodeInEachStandard) {
    struct Case {
        const char *standard;
        int mode;
    } cases[] = {{"pal", 0}, {"ntsc", 1}};
    const std::vector<uint32_t> strips = {tc_word("01:00:00:00"), tc_word("01:00:00:01"),
                                          tc_word("01:00:00:02"), tc_word("01:00:00:03")};
    for (const Case &c : cases) {
        temp_dir dir;
        Sim sim(dir, {"--standard", c.standard});
        ASSERT_TRUE(sim.ready());
        SetVideoMode(c.mode);
        const std::string reel = dir.path("g.svj");
        auto r = run_command(sim.tool("grab 01:00:00:00 01:00:00:03 " + reel + " -q 85"));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(decoded_strips(reel), strips) << c.standard;
        // Its fields packed into a reel of the same frame size decode alike.
        std::string pack = kBin + "/tools/svjtool pack " + dir.path("p.svj") + " 720 " +
                           std::to_string(StoredHeight(VIDEO_SIZEY));
        for (int k = 0; k < 4; ++k)
            for (int f = 0; f < 2; ++f) {
                const std::string jpg = dir.path("f" + std::to_string(2 * k + f) + ".jpg");
                ASSERT_EQ(run_command(kBin + "/tools/svjtool field " + reel + " " +
                                      std::to_string(k) + " " + std::to_string(f) + " " + jpg)
                              .status,
                          0);
                pack += " " + jpg;
            }
        ASSERT_EQ(run_command(pack).status, 0);
        EXPECT_EQ(decoded_strips(dir.path("p.svj")), strips) << c.standard;
        EXPECT_EQ(
            run_command(kBin + "/tools/svjtool decode " + reel + " 3 " + dir.path("d.tga")).status,
            0);
    }
    SetVideoMode(0);
}

TEST(BoardSim, APlayedReelBecomesAnEditThatLaterGrabsReturn) {
    temp_dir dir;
    Sim sim(dir, {});
    ASSERT_TRUE(sim.ready());
    const std::string g = dir.path("g.svj"), h = dir.path("h.svj");
    ASSERT_EQ(run_command(sim.tool("grab 01:00:00:00 01:00:00:24 " + g + " -q 85")).status, 0);
    auto r = run_command(sim.tool("play " + g + " -t 02:00:00:00"));
    ASSERT_EQ(r.status, 0) << r.err;
    const reel_test::bytes edits = reel_test::read_file(dir.path("tape/edits"));
    EXPECT_EQ(std::string(edits.begin(), edits.end()), "02:00:00:00 25 edit-1.svj\n");
    // One frame before the edit, the edit, one frame after it.
    ASSERT_EQ(run_command(sim.tool("grab 01:59:59:24 02:00:01:00 " + h)).status, 0);
    const std::vector<uint32_t> got = decoded_strips(h);
    ASSERT_EQ(got.size(), 27u);
    EXPECT_EQ(got[0], tc_word("01:59:59:24"));
    EXPECT_EQ(got[1], tc_word("01:00:00:00"));
    EXPECT_EQ(got[25], tc_word("01:00:00:24"));
    EXPECT_EQ(got[26], tc_word("02:00:01:00"));
    sim.stop();
    const std::string log = sim.log();
    EXPECT_NE(log.find("OUT 25 01:00:00:00 01:00:00:24\n"), std::string::npos) << log;
    EXPECT_NE(log.find("EDIT 02:00:00:00 25 edit-1.svj\n"), std::string::npos) << log;
}

TEST(BoardSim, AnUncompressedFrameBecomesATargaPicture) {
    temp_dir dir;
    Sim sim(dir, {});
    ASSERT_TRUE(sim.ready());
    const std::string tga = dir.path("f.tga");
    auto r = run_command(sim.tool("frame 03:00:00:12 " + tga));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto px = reel_test::read_file(tga);
    ASSERT_EQ(px.size(), 18u + 720u * 576u * 3u);
    EXPECT_EQ(board_test::tga_strip(px), tc_word("03:00:00:12"));
    // The tape's name "tape" above the timecode: the top dot row of "T" is
    // full, that of "A" starts dark; 5 x 7 dots of 4 pixels, 24 a letter.
    auto name_dot = [&](int letter, int col, int row) {
        const int x = 80 + 24 * letter + 4 * col + 2, y = 576 / 2 - 80 + 4 * row + 2;
        return px[18 + (size_t(576 - 1 - y) * 720 + size_t(x)) * 3 + 1] >= 128;
    };
    const struct {
        int letter, col, row;
        bool lit;
    } dots[] = {{0, 0, 0, true},  {0, 4, 0, true}, {0, 0, 1, false}, {0, 2, 6, true},
                {1, 0, 0, false}, {1, 1, 0, true}, {1, 0, 3, true},  {2, 0, 6, true},
                {2, 4, 6, false}, {3, 0, 0, true}, {3, 4, 1, false}, {4, 0, 0, false}};
    for (const auto &d : dots)
        EXPECT_EQ(name_dot(d.letter, d.col, d.row), d.lit) << d.letter << d.col << d.row;
}

TEST(BoardSim, VtrCommandsAndStatus) {
    temp_dir dir;
    Sim sim(dir, {});
    ASSERT_TRUE(sim.ready());
    EXPECT_EQ(run_command(sim.tool("vtr goto 02:10:00:05")).status, 0);
    auto r = run_command(sim.tool("status --repeat 2"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("size 720x576 sync 0 timecode 02:10:00:05"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ok 2 failed 0\n"), std::string::npos);
    EXPECT_EQ(run_command(sim.tool("vtr jog -5")).status, 0);
    EXPECT_EQ(run_command(sim.tool("vtr stop")).status, 0);
    EXPECT_EQ(run_command(sim.tool("vtr spin")).status, 1);
    sim.stop();
    EXPECT_EQ(sim.vtr(), (std::vector<std::string>{"VTR goto 02:10:00:05", "VTR jog 02:10:00:00",
                                                   "VTR stop 02:10:00:00"}));
}

TEST(BoardSim, EachFaultComesBackWithinTheTimeout) {
    struct Case {
        const char *fault;
        const char *verb; // "status" or "grab"
        int status;
        const char *out; // expected in the output ("" none)
        bool reel;
    } cases[] = {
        {"bad-reply@2", "status --repeat 3", 1, "ok 2 failed 1", false},
        {"short-reply@2", "status --repeat 3", 1, "ok 2 failed 1", false},
        {"stall@2", "status --repeat 3", 1, "ok 2 failed 1", false},
        {"slow=300@2", "status --repeat 3", 0, "ok 3 failed 0", false},
        {"disconnect@2", "status --repeat 3", 1, "ok 1 failed 2", false},
        {"no-signal", "grab", 1, "", false},
        {"short-data", "grab", 1, "", false},
        {"disconnect-data", "grab", 1, "", false},
        {"data-lost", "grab", 1, "", false},
        {"ac-lost", "grab", 2, "", true},
        {"vtr-error=8@2", "grab", 2, "", false},
    };
    for (const Case &c : cases) {
        temp_dir dir;
        Sim sim(dir, {"--fault", c.fault});
        ASSERT_TRUE(sim.ready()) << c.fault;
        const std::string reel = dir.path("g.svj");
        const std::string verb =
            std::string(c.verb) == "grab" ? "grab 01:00:00:00 01:00:00:04 " + reel : c.verb;
        const auto t = std::chrono::steady_clock::now();
        auto r = run_command(sim.tool(verb));
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
        EXPECT_EQ(r.status, c.status) << c.fault << "\n" << r.out << r.err;
        if (*c.out) {
            EXPECT_NE(r.out.find(c.out), std::string::npos) << c.fault << "\n" << r.out;
        }
        EXPECT_EQ(exists(reel), c.reel) << c.fault;
        // One timeout (1 s) and the one-second steps of a grab at most, with
        // room for two program starts on a busy machine.
        EXPECT_LT(s, std::string(c.verb) == "grab" ? 8.0 : 5.0) << c.fault;
        sim.stop();
        EXPECT_NE(sim.log().find(
                      std::string("FAULT ") +
                      std::string(c.fault).substr(0, std::string(c.fault).find_first_of("=@"))),
                  std::string::npos)
            << c.fault;
    }
}

namespace {

class IspReader : public svj_device {
  public:
    explicit IspReader(sv_handle *sv) : sv_(sv) {}
    int host2isp(const unsigned char *, uint32_t) override { return -1; }
    int isp2host(unsigned char *block, uint32_t len) override {
        return isp_isp2host(sv_, block, len) == 0 ? 0 : -1;
    }

  private:
    sv_handle *sv_;
};

} // namespace

TEST(BoardSim, AHostBehindByMoreThanTheBufferLosesData) {
    for (const bool late : {false, true}) {
        temp_dir dir;
        Sim sim(dir, {"--speed", "1", "--buffer", "1"});
        ASSERT_TRUE(sim.ready());
        sv_handle *sv = sv_open(("SCSI,dev=" + dir.path("sock")).c_str());
        ASSERT_NE(sv, nullptr);
        // Start recording 40 frames (1.6 s) to the data channel.
        isp_command(sv, sv_group_word(2), 0);
        isp_command(sv, sv_param_word(2, SV_P2_XFER_MODE), SV_XFER_JPEG);
        isp_command(sv, sv_param_word(2, SV_P2_XFER_COUNT), 40);
        isp_command(sv, SV_ACT_RECORD_HOST, 0);
        ASSERT_EQ(isp_flush(sv), 0);
        if (late) usleep(1500000); // far more than 1 MB of frames go by
        svj_handle *h = svj_create(dir.path("g.svj").c_str());
        ASSERT_NE(h, nullptr);
        IspReader reader(sv);
        testing::internal::CaptureStderr();
        const int rc = svj_isp2host(&reader, h, 40);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(rc, late ? SVJ_ENOTREC : SVJ_OK) << late;
        svj_close(h);
        sv_close(sv);
    }
}

// What an edit lays onto tape when no reel is played for it: the frame the
// output holds (a reel's held frame, a frame sent uncompressed, board memory
// pages), checked by grabbing the edited range back.
TEST(BoardSim, EditsWithoutPlayedDataRecordTheOutput) {
    temp_dir dir;
    Sim sim(dir, {});
    ASSERT_TRUE(sim.ready());
    const std::string g = dir.path("g.svj"), back = dir.path("back.svj");
    ASSERT_EQ(run_command(sim.tool("grab 01:00:00:00 01:00:00:24 " + g)).status, 0);
    auto grab_back = [&](const std::string &in, const std::string &out) {
        unlink(back.c_str());
        EXPECT_EQ(run_command(sim.tool("grab " + in + " " + out + " " + back)).status, 0);
        return decoded_strips(back);
    };
    using W = std::vector<uint32_t>;
    // A held frame of a reel, laid four times.
    ASSERT_EQ(run_command(sim.tool("play " + g + " 3 0")).status, 0);
    auto r = run_command(sim.tool("edit 02:00:00:00 4"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(grab_back("02:00:00:00", "02:00:00:04"),
              (W{0x03000001u, 0x03000001u, 0x03000001u, 0x03000001u, 0x04000002u}));
    EXPECT_EQ(run_command(sim.tool("edit 02:00:00:00")).status, 1);
    EXPECT_EQ(run_command(sim.tool("edit 02:00:00:00 0")).status, 1);

    sv_handle *sv = sv_open(("SCSI,dev=" + dir.path("sock")).c_str());
    ASSERT_NE(sv, nullptr);
    // Board memory: three pages from 01:00:00:10 shown onto tape at 03:00:00:00.
    EXPECT_EQ(sv_record(sv, nullptr, 0, nullptr, nullptr, 5, 3, 0x10000001u), 0);
    EXPECT_EQ(sv_display(sv, nullptr, 0, 720, 576, 5, 3, 0x00000003u), 0);
    // An uncompressed frame of 01:00:00:20 sent from the host, laid twice.
    std::vector<unsigned char> uyvy(720 * 576 * 2);
    EXPECT_EQ(sv_record(sv, uyvy.data(), int(uyvy.size()), nullptr, nullptr, 0, 1, 0x20000001u), 0);
    EXPECT_EQ(sv_display(sv, uyvy.data(), int(uyvy.size()), 720, 576, 0, 2, 0x00000004u), 0);
    sv_close(sv);
    EXPECT_EQ(grab_back("03:00:00:00", "03:00:00:02"), (W{0x10000001u, 0x11000001u, 0x12000001u}));
    EXPECT_EQ(grab_back("04:00:00:00", "04:00:00:02"), (W{0x20000001u, 0x20000001u, 0x02000004u}));
    sim.stop();
    const std::string log = sim.log();
    for (const char *line :
         {"EDIT 02:00:00:00 4 edit-1.svj\n", "PAGES 5 8 01:00:00:10\n", "DISPLAY pages 5 7\n",
          "EDIT 03:00:00:00 3 edit-2.svj\n", "DISPLAY host 720x576 01:00:00:20\n",
          "EDIT 04:00:00:00 2 edit-3.svj\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
}
