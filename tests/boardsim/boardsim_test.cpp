// The simulated board end to end: boardsim on a socket in a private
// directory, driven by boardtool, checked through the reels it records, its
// log and the time each failure takes to come back.
#include "device/sv.h"
#include "device/sv_protocol.h"
#include "media/svj.h"
#include "tests/media/reel_fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using reel_test::run_command;
using reel_test::temp_dir;

namespace {

const std::string kBin = ORVA_BIN_DIR;

bool exists(const std::string &p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0;
}

// boardsim as a child process, ready when it returns.
class Sim {
  public:
    Sim(const temp_dir &dir, std::vector<std::string> extra) : dir_(dir) {
        mkdir(dir.path("tape").c_str(), 0755);
        std::vector<std::string> args = {kBin + "/boardsim/boardsim",
                                         dir.path("sock"),
                                         dir.path("tape"),
                                         "--speed",
                                         "0",
                                         "--log",
                                         dir.path("log")};
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            std::vector<char *> argv;
            for (auto &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        char buf[64] = {};
        const ssize_t n = read(out[0], buf, sizeof buf - 1);
        ready_ = n > 0 && std::string(buf, size_t(n)) == "boardsim: ready\n";
        close(out[0]);
    }
    ~Sim() { stop(); }
    int stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    bool ready() const { return ready_; }
    std::string tool(const std::string &args) const {
        return "SCSIVIDEO_CMD=SCSI,dev=" + dir_.path("sock") + ",timeout=1 " + kBin +
               "/tools/boardtool " + args;
    }
    std::string log() const {
        std::ifstream in(dir_.path("log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    const temp_dir &dir_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

// The timecode word in the strip of field 0 of a frame of a reel.
uint32_t strip_of(const temp_dir &dir, const std::string &reel, int frame) {
    const std::string jpg = dir.path("strip.jpg"), ppm = dir.path("strip.ppm");
    auto r = run_command(kBin + "/tools/svjtool field " + reel + " " + std::to_string(frame) +
                         " 0 " + jpg + " && djpeg -pnm " + jpg + " > " + ppm);
    if (r.status != 0) return 0xdeadbeef;
    const auto px = reel_test::read_file(ppm);
    // Header "P6\n720 288\n255\n".
    size_t at = 0;
    for (int nl = 0; nl < 3 && at < px.size(); ++at)
        if (px[at] == '\n') ++nl;
    auto green = [&](int cell) { return px[at + (size_t(24) * 720 + 88 + 16 * cell + 8) * 3 + 1]; };
    if (green(0) < 128 || green(33) >= 128) return 0xdeadbeef;
    uint32_t w = 0;
    for (int b = 0; b < 32; ++b)
        if (green(b + 1) >= 128) w |= 1u << b;
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
    auto info = run_command(kBin + "/tools/svjtool info " + reel);
    EXPECT_NE(info.out.find("frames 25\n"), std::string::npos) << info.out;
    EXPECT_EQ(strip_of(dir, reel, 0), 0x00000001u);
    EXPECT_EQ(strip_of(dir, reel, 24), 0x24000001u);
    EXPECT_EQ(strip_of(dir, reel, 13), 0x13000001u);
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(exists(dir.path("sock")));
    const std::string log = sim.log();
    EXPECT_EQ(log.rfind("CONNECT\n", 0), 0u) << log;
    EXPECT_NE(log.find("C 7 81 55\n"), std::string::npos);
    EXPECT_NE(log.find("GRAB 01:00:00:00 25\n"), std::string::npos);
    EXPECT_NE(log.find("CLOSE\n"), std::string::npos);
}

TEST(BoardSim, APlayedReelBecomesAnEditThatLaterGrabsReturn) {
    temp_dir dir;
    Sim sim(dir, {});
    ASSERT_TRUE(sim.ready());
    const std::string g = dir.path("g.svj"), h = dir.path("h.svj");
    ASSERT_EQ(run_command(sim.tool("grab 01:00:00:00 01:00:00:24 " + g + " -q 85")).status, 0);
    auto r = run_command(sim.tool("play " + g + " -t 02:00:00:00"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(reel_test::read_file(dir.path("tape/edits")),
              reel_test::bytes({'0', '2', ':', '0', '0', ':', '0', '0', ':', '0', '0', ' ', '2',
                                '5', ' ', 'e', 'd', 'i', 't', '-', '1', '.', 's', 'v', 'j', '\n'}));
    // One frame before the edit, the edit, one frame after it.
    ASSERT_EQ(run_command(sim.tool("grab 01:59:59:24 02:00:01:00 " + h)).status, 0);
    EXPECT_EQ(strip_of(dir, h, 0), 0x24595901u);
    EXPECT_EQ(strip_of(dir, h, 1), 0x00000001u);
    EXPECT_EQ(strip_of(dir, h, 25), 0x24000001u);
    EXPECT_EQ(strip_of(dir, h, 26), 0x00010002u);
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
    // Rows from the bottom; line 48 of the picture carries the strip.
    auto green = [&](int cell) {
        return px[18 + (size_t(576 - 1 - 48) * 720 + 88 + 16 * cell + 8) * 3 + 1];
    };
    EXPECT_GE(green(0), 200);
    EXPECT_LT(green(33), 50);
    uint32_t w = 0;
    for (int b = 0; b < 32; ++b)
        if (green(b + 1) >= 128) w |= 1u << b;
    EXPECT_EQ(w, 0x12000003u);
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
    const std::string log = sim.log();
    EXPECT_NE(log.find("VTR goto 02:10:00:05\n"), std::string::npos) << log;
    EXPECT_NE(log.find("VTR jog 02:10:00:00\n"), std::string::npos) << log;
    EXPECT_NE(log.find("VTR stop 02:10:00:00\n"), std::string::npos) << log;
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
        // One timeout (1 s) and the one-second steps of a grab at most.
        EXPECT_LT(s, std::string(c.verb) == "grab" ? 6.0 : 2.5) << c.fault;
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
