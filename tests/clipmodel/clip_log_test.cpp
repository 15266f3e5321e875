// Physical clips over real reels: the log written by the converter's work,
// read back, rebuilt when stale or lying, used when the reel is gone; a FIFO
// in place of a log file refused at once; the kill trial, which ends the
// converter at random moments in a child process and restarts it; opening
// reels into windows.
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

#include "desktop/clip_open.h"
#include "media/svjr.h"
#include "platform/byteorder.h"
#include "platform/jobs.h"
#include "tests/clipmodel/clip_log_fixture.h"
#include "tests/desktop/desktop_fixture.h"

namespace {

// Mean difference of the colour bytes (B, G, R) of two 4-byte-pixel images.
double MeanDifference(const unsigned char *a, const unsigned char *b, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; i++)
        if (i % 4) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(n / 4 * 3);
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

TEST_F(ClipLogTest, ConverterBuildsTheLogAndItIsReadBack) {
    const std::string path = db.reel("r.svj");
    FisicData *f = OpenReel("r.svj", 25);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->frames == 25 && f->width == 180 && f->height == 144 && f->parts == 2);
    EXPECT_EQ(f->part.load(), nullptr);
    EXPECT_NE(f->reader, nullptr);
    int saw_unused = 0;
    EXPECT_EQ(ConvertPass(&saw_unused), 1); // part 1 written, part 2 to come
    ASSERT_NE(f->part.load(), nullptr);
    EXPECT_EQ(f->part[0].ready + 2 * f->part[1].ready, 1);
    EXPECT_EQ(ConvertPass(&saw_unused), 0);
    EXPECT_EQ(f->complete.load(), 1);
    EXPECT_EQ(saw_unused, 0);
    EXPECT_EQ(access(db.clip("r.svj_Clip_1.new").c_str(), F_OK), -1);
    // Each part: N = frames / P + 1, whole JPEGs one after another from
    // offset 0, then the tables; entries past the part's frames are zero.
    for (int k = 1; k <= 2; k++) {
        const reel_test::bytes b = reel_test::read_file(db.clip("r.svj_Clip_" + std::to_string(k)));
        ASSERT_GT(b.size(), 14u * 8 + 4);
        ASSERT_EQ(be32(&b[b.size() - 4]), 25u / 2 + 1) << k;
        const size_t tables = b.size() - 13 * 8 - 4;
        uint32_t at = 0;
        for (int i = 0; i < 13; i++) {
            const uint32_t size = be32(&b[tables + 4 * i]), offset = be32(&b[tables + 52 + 4 * i]);
            if (i >= FramesInPart(25, 2, k)) {
                EXPECT_EQ(size | offset, 0u);
                continue;
            }
            EXPECT_EQ(offset, at) << k << " " << i;
            ASSERT_LE(size_t(offset) + size, tables);
            EXPECT_EQ(be16(&b[offset]), 0xffd8);
            EXPECT_EQ(be16(&b[offset + size - 2]), 0xffd9);
            at += size;
        }
        EXPECT_EQ(at, tables) << k; // nothing between the pictures and the tables
    }

    // A second open reads the current log; its frames match the reel's.
    int status = -1;
    FisicData *g = CreaFisicData(path.c_str(), 0, &status);
    ASSERT_NE(g, nullptr);
    ASSERT_NE(g->part.load(), nullptr);
    EXPECT_EQ(g->complete.load(), 1);
    WindowData w;
    Segment s;
    s.first = 0, s.last = 24, s.fisic = g, s.next = s.prev = &s;
    w.seg_first = w.seg_last = w.seg_current = &s;
    w.width = 180, w.height = 144;
    const std::vector<unsigned char> black(180 * 144 * 4);
    for (int frame : {0, 7, 24}) {
        w.current = frame;
        LoadFirstFrame(&w);
        std::vector<unsigned char> direct(black.size());
        fm_fileformat *r = svjr_open(path.c_str(), 4, 1, 0);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(svjr_read(r, direct.data(), frame), 0);
        CloseImage(r);
        EXPECT_LT(MeanDifference(w.image, direct.data(), direct.size()), 6.0) << frame;
        EXPECT_GT(MeanDifference(w.image, black.data(), black.size()), 10.0); // not black
    }
    free(w.image);
    FreeFisicData(g);
}

// A log counts only while its header matches its reel: a reel changed on
// disk, or a header that still matches its reel's size and date but lies
// about the counts, has the log rebuilt from the reel. A reel deleted while
// its complete log remains opens from the log (status 2), as long as the
// header's parts cover its count; without the log it does not open.
TEST_F(ClipLogTest, LogIsTrustedOnlyWhileItsHeaderMatchesTheReel) {
    const std::string reel = db.reel("s.svj"), log = db.clip("s.svj_Log");
    ASSERT_NE(OpenReel("s.svj", 12, true), nullptr);
    FreeAll();
    const reel_test::bytes good = reel_test::read_file(log);
    auto expect_rebuilt = [&](const std::string &what) {
        int status = -1;
        FisicData *f = CreaFisicData(reel.c_str(), 0, &status);
        ASSERT_NE(f, nullptr) << what;
        EXPECT_EQ(status, 1) << what;
        EXPECT_TRUE(f->frames == 12 && f->parts == 1 && !f->complete) << what;
        EXPECT_EQ(f->part.load(), nullptr) << what; // rebuilt, not read
        FreeFisicData(f);
    };
    const struct {
        const char *what;
        uint32_t parts, frames;
    } lies[] = {
        {"parts above frames", 4, 2}, {"parts above the most", 77, 12}, {"frames one more", 1, 13},
        {"frames fewer", 1, 5},       {"frames huge", 1, 0x7fffffffu},
    };
    for (const auto &c : lies) {
        reel_test::bytes b = good;
        put_be32(&b[0], c.parts);
        put_be32(&b[16], c.frames);
        reel_test::write_file(log, b);
        expect_rebuilt(c.what);
    }
    // The reel gone: the lying header's parts cannot cover its count.
    const std::string saved = db.tmp.path("saved.svj");
    ASSERT_EQ(rename(reel.c_str(), saved.c_str()), 0);
    int status = -1;
    EXPECT_EQ(CreaFisicData(reel.c_str(), 0, &status), nullptr);
    EXPECT_EQ(status, 0);
    // The true header opens the log without its reel.
    reel_test::write_file(log, good);
    FisicData *f = CreaFisicData(reel.c_str(), 0, &status);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(f->reader, nullptr);
    EXPECT_TRUE(f->frames == 12 && f->complete && f->part);
    FreeFisicData(f);
    // The reel back, but changed on disk since the log was made.
    ASSERT_EQ(rename(saved.c_str(), reel.c_str()), 0);
    struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, reel.c_str(), times, 0), 0);
    expect_rebuilt("reel changed");
    // Without reel or log, nothing opens.
    unlink(reel.c_str());
    unlink(log.c_str());
    EXPECT_EQ(CreaFisicData(reel.c_str(), 0, &status), nullptr);
    EXPECT_EQ(status, 0);
}

TEST_F(ClipLogTest, DamagedLogsAreRefused) {
    const std::string path = db.reel("d.svj");
    FisicData *f = OpenReel("d.svj", 30, true);
    ASSERT_NE(f, nullptr);
    int status = -1;
    // Part 2's table count points past the start of the file.
    const std::string part2 = db.clip("d.svj_Clip_2");
    reel_test::bytes p = reel_test::read_file(part2);
    put_be32(&p[p.size() - 4], 0x10000000u);
    reel_test::write_file(part2, p);
    // Part 1 loses its tail.
    const std::string part1 = db.clip("d.svj_Clip_1");
    p = reel_test::read_file(part1);
    p.resize(p.size() / 2);
    reel_test::write_file(part1, p);
    FisicData *g = CreaFisicData(path.c_str(), 0, &status);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->part.load(), nullptr); // no part readable
    EXPECT_EQ(g->complete.load(), 0);
    FreeFisicData(g);
}

TEST_F(ClipLogTest, OtherVideoStandardIsRefused) {
    const std::string path = db.reel("ntsc.svj");
    MakeReel(path, 3, 1); // an NTSC reel (496 stored lines) in PAL
    int status = -1;
    EXPECT_EQ(CreaFisicData(path.c_str(), 0, &status), nullptr);
    EXPECT_EQ(status, 3);
}

TEST_F(ClipLogTest, WriterWaitsAtThePauseGate) {
    FisicData *f = OpenReel("p.svj", 5);
    ASSERT_NE(f, nullptr);
    SemSet(0, 1);
    static std::atomic<int> done;
    done = 0;
    int id = JobStart(
        [](void *) {
            int saw = 0;
            ConvertPass(&saw);
            done = 1;
        },
        nullptr);
    ASSERT_GT(id, 0);
    usleep(200000);
    EXPECT_EQ(done.load(), 0);
    EXPECT_EQ(f->part.load(), nullptr);
    SemSet(0, 0);
    for (int i = 0; i < 30000 && !done; i++)
        usleep(1000);
    EXPECT_EQ(done.load(), 1);
    JobJoinAll();
    EXPECT_EQ(f->complete.load(), 1);
}

TEST_F(ClipLogTest, UnusedClipsAreSkippedThenFreed) {
    FisicData *f = OpenReel("u.svj", 4);
    ASSERT_NE(f, nullptr);
    f->refs = 0; // its windows are gone
    int saw = 0;
    EXPECT_EQ(ConvertPass(&saw), 0);
    EXPECT_EQ(saw, 1);
    EXPECT_EQ(f->part.load(), nullptr);
    FreeUnusedClips();
    EXPECT_EQ(first_fisic.load(), nullptr);
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
    for (const auto &e : std::filesystem::directory_iterator(db.clip("")))
        EXPECT_NE(e.path().extension(), ".new") << e.path(); // none left half-written
    printf("%d of %d builds killed midway (full build %ld us, seed %u)\n", killed_midway, trials,
           full_us, seed);
    EXPECT_GT(killed_midway, 0);
}

namespace {
class ClipOpenTest : public DesktopFixture {
  protected:
    void SetUp() override {
        DesktopFixture::SetUp();
        fm_initialize(nullptr);
    }
    void TearDown() override {
        while (first_window) {
            WindowData *next = first_window->next;
            FreeWindowData(first_window, 1);
            first_window = next;
        }
        last_window = first_work = nullptr;
        FreeAll();
        fm_deinitialize();
        DesktopFixture::TearDown();
    }
};
} // namespace

TEST_F(ClipOpenTest, SameReelTwiceSharesOneClip) {
    TestDatabase db;
    const std::string path = db.reel("tape_3a98_3b60_85.svj");
    MakeReel(path, 6);
    OpenFile(path.c_str());
    OpenFile(path.c_str());
    Pump();
    ASSERT_NE(first_fisic.load(), nullptr);
    EXPECT_EQ(first_fisic.load()->next.load(), nullptr);
    EXPECT_EQ(first_fisic.load()->refs.load(), 2);
    ASSERT_NE(first_window, nullptr);
    ASSERT_NE(first_window->next, nullptr);
    EXPECT_EQ(last_window, first_window->next);
    EXPECT_EQ(first_window->total, 6);
    EXPECT_EQ(first_window->out, 5);
    EXPECT_EQ(first_window->start, 15000);
    EXPECT_TRUE(Named(mainform, "error").empty());
    EXPECT_EQ(SemGet(1), 0); // the converter was woken
}

TEST_F(ClipOpenTest, UnreadableReelsAreReported) {
    TestDatabase db;
    OpenFile(db.reel("missing.svj").c_str());
    std::vector<Widget> boxes = Named(mainform, "error");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(MessageOf(boxes[0]), "Error reading file:\nmissing.svj");
    EXPECT_EQ(first_window, nullptr);
}
