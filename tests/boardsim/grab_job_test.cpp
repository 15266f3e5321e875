// The compressed grab's body against the simulated board: names, reels
// taken as they are, a stop in the middle of a range and a lost board.
#include "device/sv.h"
#include "media/video_globals.h"
#include "platform/jobs.h"
#include "tests/boardsim/sim_fixture.h"
#include "tests/boardsim/strip_reader.h"
#include "vtr/grab_job.h"
#include "vtr/timecode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using board_test::exists;
using board_test::frames_of;
using reel_test::temp_dir;

namespace {

Timecode tc(const char *text) {
    Timecode w = 0;
    vtr_asc2tc(text, &w);
    return w;
}

// boardsim (with `extra` arguments) in a private directory and the board
// library connected to it.
class GrabJob : public ::testing::Test {
  protected:
    // (Re)starts the board with `extra` arguments.
    void Start(std::vector<std::string> extra = {}) {
        TearDown();
        sim.reset();
        SetVideoMode(0);
        sim = std::make_unique<board_test::Sim>(dir, std::move(extra));
        ASSERT_TRUE(sim->ready());
        sv = sv_open(("SCSI,dev=" + dir.path("sock") + ",timeout=1").c_str());
        ASSERT_NE(sv, nullptr);
    }
    void TearDown() override {
        if (sv) sv_close(sv);
        sv = nullptr;
    }
    ::GrabJob Job(std::vector<TcEntry> entries) {
        mkdir(dir.path("SVJ").c_str(), 0755);
        ::GrabJob job;
        job.sv = sv;
        job.base = dir.path("SVJ/reel1");
        job.quality = 85;
        job.entries = std::move(entries);
        return job;
    }
    temp_dir dir;
    std::unique_ptr<board_test::Sim> sim;
    sv_handle *sv = nullptr;
};

TEST_F(GrabJob, GrabsEachRangeOnceAndTakesReelsThatAreThere) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::string first = dir.path("SVJ/reel1_15f90_15fa8_85.svj");
    const std::string second = dir.path("SVJ/reel1_15fb3_15fb7_85.svj");
    ::GrabJob job = Job({{tc("01:00:00:00"), tc("01:00:00:24"), 1},
                         {tc("01:00:01:10"), tc("01:00:01:05"), 1}, // Out before In
                         {tc("01:00:01:10"), tc("01:00:01:14"), 1}});
    // Left by a failed grab: not a reel, so it is grabbed again.
    reel_test::write_file(second, reel_test::bytes({'x'}));
    EXPECT_EQ(RunGrabJob(&job), 2);
    const struct {
        const char *name;
        int skipped, has_reel, recorded, frames;
    } want[] = {{"reel1_15f90_15fa8_85.svj", 0, 1, 1, 25},
                {"", 1, 0, 0, -1},
                {"reel1_15fb3_15fb7_85.svj", 0, 1, 1, 5}};
    ASSERT_EQ(job.results.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const GrabResult &r = job.results[i];
        EXPECT_EQ(r.error, 0) << i;
        EXPECT_EQ(r.running, 0) << i;
        EXPECT_EQ(r.skipped, want[i].skipped) << i;
        EXPECT_EQ(r.has_reel, want[i].has_reel) << i;
        EXPECT_EQ(r.recorded, want[i].recorded) << i;
        EXPECT_EQ(r.name.empty() ? "" : r.name.substr(r.name.rfind('/') + 1), want[i].name) << i;
        if (*want[i].name) {
            EXPECT_EQ(frames_of(r.name), want[i].frames) << i;
        }
    }
    EXPECT_EQ(job.results[0].name, first);
    // Again: every reel is there, nothing is recorded.
    EXPECT_EQ(RunGrabJob(&job), 0);
    EXPECT_EQ(job.results[0].has_reel + job.results[2].has_reel, 2);
    EXPECT_EQ(job.results[0].recorded + job.results[2].recorded, 0);
    sim->stop();
    EXPECT_EQ(sim->count("GRAB "), 2u) << sim->log();
}

TEST_F(GrabJob, AStopInTheThirdRangeKeepsTheFirstTwo) {
    ASSERT_NO_FATAL_FAILURE(Start({"--speed", "1"}));
    ::GrabJob job = Job({{tc("01:00:00:00"), tc("01:00:00:04"), 0},
                         {tc("01:00:01:00"), tc("01:00:01:04"), 0},
                         {tc("01:00:02:00"), tc("01:00:09:24"), 0}});
    const int id = JobStart([](void *p) { RunGrabJob(static_cast<::GrabJob *>(p)); }, &job);
    ASSERT_GT(id, 0);
    // Stop once the third range is being recorded.
    const auto t0 = std::chrono::steady_clock::now();
    while (sim->count("GRAB 01:00:02:00") == 0 &&
           std::chrono::steady_clock::now() - t0 < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(JobStop(id), 0);
    JobJoinAll();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count();
    EXPECT_LT(ms, 3000.0); // the range had seven seconds to go
    ASSERT_EQ(job.results.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(job.results[i].has_reel, 1) << i;
        EXPECT_EQ(frames_of(job.results[i].name), 5) << i;
    }
    EXPECT_EQ(job.results[2].running, 1);
    EXPECT_EQ(job.results[2].has_reel, 0);
    EXPECT_FALSE(exists(job.results[2].name));
}

TEST_F(GrabJob, ALostBoardGivesAnErrorWithinTheTimeoutAndNoFile) {
    for (const char *fault : {"disconnect-data", "disconnect@6", "stall@6"}) {
        ASSERT_NO_FATAL_FAILURE(Start({"--fault", fault}));
        ::GrabJob job = Job({{tc("01:00:00:00"), tc("01:00:00:24"), 0}});
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(RunGrabJob(&job), 0) << fault;
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        // The one-second steps of the VTR load and one timeout (1 s).
        EXPECT_LT(s, 8.0) << fault;
        EXPECT_NE(job.results[0].error, 0) << fault;
        EXPECT_EQ(job.results[0].running, 0) << fault;
        EXPECT_EQ(job.results[0].has_reel, 0) << fault;
        EXPECT_FALSE(exists(job.results[0].name)) << fault;
    }
}

TEST_F(GrabJob, D1GrabWritesNumberedFramesAndResumesFromThem) {
    ASSERT_NO_FATAL_FAILURE(Start());
    mkdir(dir.path("IMAGES").c_str(), 0755);
    FILE *log = fopen(dir.path("thumbs").c_str(), "w+");
    ASSERT_NE(log, nullptr);
    const struct {
        int step, style;
        std::vector<const char *> files; // numbered frames, by tape frame
        std::vector<uint32_t> strips;
    } cases[] = {
        {1,
         0,
         {"reel1_15f90.1.tga", "reel1_15f90.2.tga", "reel1_15f90.3.tga", "reel1_15f90.4.tga",
          "reel1_15f90.5.tga"},
         {0x00000001u, 0x01000001u, 0x02000001u, 0x03000001u, 0x04000001u}},
        {2,
         2,
         {"reel1_15f900001.tga", "reel1_15f900003.tga", "reel1_15f900005.tga"},
         {0x00000001u, 0x02000001u, 0x04000001u}},
    };
    size_t grabs = 0;
    for (const auto &c : cases) {
        D1Job job;
        job.sv = sv;
        job.base = dir.path("IMAGES/reel1");
        job.step = c.step;
        job.style = c.style;
        job.format = 1;
        job.log_fd = fileno(log);
        job.entries = {{tc("01:00:00:00"), tc("01:00:00:04"), 0}};
        EXPECT_EQ(RunGrabD1Job(&job), 1);
        ASSERT_EQ(job.results.size(), 1u);
        EXPECT_EQ(job.results[0].error, 0);
        EXPECT_EQ(job.results[0].grabbed, int(c.files.size()));
        EXPECT_EQ(job.results[0].thumbs.size(), c.files.size());
        for (size_t k = 0; k < c.files.size(); ++k)
            EXPECT_EQ(board_test::tga_strip(reel_test::read_file(dir.path("IMAGES/") + c.files[k])),
                      c.strips[k])
                << c.files[k];
        grabs += c.files.size();
        // Again: every frame file is read back, none is grabbed.
        EXPECT_EQ(RunGrabD1Job(&job), 1);
        EXPECT_EQ(job.results[0].grabbed, 0);
        EXPECT_EQ(job.results[0].read_back, int(c.files.size()));
        EXPECT_EQ(job.results[0].thumbs.size(), c.files.size());
    }
    fclose(log);
    sim->stop();
    EXPECT_EQ(sim->count("GRAB "), grabs) << sim->log();
}

} // namespace
