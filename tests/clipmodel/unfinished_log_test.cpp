// Logs that cannot be trusted as they stand: a header whose counts lie is
// rebuilt from the reel, and a FIFO in place of a log file is refused at
// once. The kill trial ends the converter at random moments in a child
// process and restarts it. (A log left unfinished by an earlier run is
// finished by the running converter: see the processes suite.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/log_writer.h"
#include "media/clip_log.h"
#include "platform/byteorder.h"
#include "tests/clipmodel/clip_log_fixture.h"

namespace {

// Names in the database's clip directory that end in ".new".
std::vector<std::string> Temporaries(const TestDatabase &db) {
    std::vector<std::string> v;
    for (const auto &e : std::filesystem::directory_iterator(db.clip("")))
        if (e.path().extension() == ".new") v.push_back(e.path().filename());
    return v;
}

// Opens the reel afresh and tells whether its log is complete on disk with
// every part loaded.
::testing::AssertionResult LogComplete(const std::string &reel) {
    int status = -1;
    FisicData *f = CreaFisicData(reel.c_str(), 0, &status);
    if (!f) return ::testing::AssertionFailure() << "not opened, status " << status;
    int ready = 0;
    for (int k = 0; f->part && k < f->parts; k++)
        ready += f->part[k].ready;
    const bool complete = f->complete && ready == f->parts;
    FreeFisicData(f);
    if (complete) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "incomplete, " << ready << " parts ready";
}

} // namespace

// A header that still matches its reel's size and date but lies about the
// frame count is rebuilt from the reel; without the reel, its parts must
// cover the count, so a lie there finds no part and opens nothing.
TEST_F(ClipLogTest, LyingCountsInACurrentHeaderAreNotTrusted) {
    const std::string reel = db.reel("c.svj");
    ASSERT_NE(OpenReel("c.svj", 12, true), nullptr);
    FreeAll();
    const reel_test::bytes good = reel_test::read_file(db.clip("c.svj_Log"));
    const struct {
        const char *what;
        uint32_t parts, frames;
    } cases[] = {
        {"parts above frames", 4, 2},
        {"frames one more", 1, 13},
        {"frames fewer", 1, 5},
        {"frames huge", 1, 0x7fffffffu}, // left in place for the reel gone
    };
    for (const auto &c : cases) {
        reel_test::bytes b = good;
        put_be32(&b[0], c.parts);
        put_be32(&b[16], c.frames);
        reel_test::write_file(db.clip("c.svj_Log"), b);
        int status = -1;
        FisicData *f = CreaFisicData(reel.c_str(), 0, &status);
        ASSERT_NE(f, nullptr) << c.what;
        EXPECT_EQ(status, 1) << c.what;
        EXPECT_TRUE(f->frames == 12 && f->parts == 1) << c.what;
        EXPECT_EQ(f->part.load(), nullptr) << c.what; // rebuilt, not read
        FreeFisicData(f);
    }
    // The reel gone: the lying header's parts cannot cover its count.
    unlink(reel.c_str());
    int status = -1;
    EXPECT_EQ(CreaFisicData(reel.c_str(), 0, &status), nullptr);
    EXPECT_EQ(status, 0);
}

// A FIFO where a log header or part belongs is refused at once: opening the
// reel, opening a picture log and the converter go on without waiting for a
// writer that never comes.
TEST_F(ClipLogTest, FifoInPlaceOfALogFileIsRefusedAtOnce) {
    alarm(60); // a hang ends the test program instead of blocking it
    const std::string reel = db.reel("f.svj");
    ASSERT_NE(OpenReel("f.svj", 25, true), nullptr);
    FreeAll();

    // Part 1 a FIFO: the part is not read; the converter cannot replace it
    // and moves on.
    const std::string part1 = db.clip("f.svj_Clip_1");
    unlink(part1.c_str());
    ASSERT_EQ(mkfifo(part1.c_str(), 0600), 0);
    FisicData *f = OpenReelInUse(reel);
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->part.load(), nullptr);
    EXPECT_EQ(f->part[0].ready + 2 * f->part[1].ready, 2);
    int saw = 0;
    EXPECT_EQ(ConvertPass(&saw), 0);
    EXPECT_EQ(f->complete.load(), 0);
    FreeAll();
    struct stat st {};
    ASSERT_EQ(lstat(part1.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // The header a FIFO: no log is read, the reel opens to be logged anew.
    const std::string header = db.clip("f.svj_Log");
    unlink(header.c_str());
    ASSERT_EQ(mkfifo(header.c_str(), 0600), 0);
    f = OpenReelInUse(reel);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->part.load(), nullptr);
    EXPECT_EQ(UpdateLog(f), 0); // nor is it replaced
    EXPECT_EQ(OpenImageLog(header.c_str()), 0);
    alarm(0);
}

// The converter is killed at random moments while it builds logs in a child
// process; after each kill a restart finishes the log, and at the end every
// log is complete and none is left half-written.
using LogKillTrial = ClipLogTest; // forks: outside the threaded suites

TEST_F(LogKillTrial, KilledConverterFinishesEveryLogOnRestart) {
    const std::string master = db.reel("master.svj");
    MakeReel(master, 40); // 3 parts
    const reel_test::bytes reel_bytes = reel_test::read_file(master);

    // Builds the log of `reel` in a child, which exits 0 when it is complete.
    auto start_build = [](const std::string &reel) {
        const pid_t pid = fork();
        if (pid == 0) {
            FisicData *f = OpenReelInUse(reel);
            if (!f) _exit(2);
            int saw = 0;
            for (int i = 0; i < 10 && !f->complete; i++)
                ConvertPass(&saw);
            _exit(f->complete ? 0 : 1);
        }
        return pid;
    };
    auto wait_exit = [](pid_t pid) {
        int st = 0;
        if (waitpid(pid, &st, 0) != pid) return -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    };
    // One uninterrupted build sets the range of the kill times.
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t timing = start_build(master);
    ASSERT_GT(timing, 0);
    ASSERT_EQ(wait_exit(timing), 0);
    const long full_us = long(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", full build " + std::to_string(full_us) +
                 " us");
    std::mt19937 rng(seed);
    std::uniform_int_distribution<long> when(0, full_us + full_us / 5);
    const int trials = 20;
    int killed_midway = 0;
    for (int i = 0; i < trials; i++) {
        const std::string reel = db.reel("k" + std::to_string(i) + ".svj");
        reel_test::write_file(reel, reel_bytes);
        const pid_t pid = start_build(reel);
        ASSERT_GT(pid, 0);
        usleep(useconds_t(when(rng)));
        kill(pid, SIGKILL);
        if (wait_exit(pid) == 128 + SIGKILL) killed_midway++;
        const pid_t again = start_build(reel);
        ASSERT_GT(again, 0);
        EXPECT_EQ(wait_exit(again), 0) << "restart " << i;
        EXPECT_TRUE(LogComplete(reel)) << "trial " << i;
    }
    EXPECT_TRUE(Temporaries(db).empty());
    printf("%d of %d builds killed midway (full build %ld us, seed %u)\n", killed_midway, trials,
           full_us, seed);
    EXPECT_GT(killed_midway, 0);
}
