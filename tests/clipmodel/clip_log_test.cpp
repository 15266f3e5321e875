// Physical clips over real reels: the log written by the converter's work,
// read back, rebuilt when stale, used when the reel is gone; opening reels
// into windows.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(ClipLogTest, StaleLogIsIgnoredAndMissingReelUsesTheLog) {
    const std::string path = db.reel("s.svj");
    FisicData *f = OpenReel("s.svj", 12, true);
    ASSERT_TRUE(f && f->complete);
    int status = -1;

    // The reel changes on disk: the old log no longer counts.
    struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    FisicData *g = CreaFisicData(path.c_str(), 0, &status);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(g->part.load(), nullptr);
    EXPECT_EQ(g->complete.load(), 0);
    FreeFisicData(g);

    // The reel is deleted while its complete log remains: status 2, frames
    // from the log.
    unlink(path.c_str());
    g = CreaFisicData(path.c_str(), 0, &status);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(g->reader, nullptr);
    ASSERT_NE(g->part.load(), nullptr);
    EXPECT_EQ(g->frames, 12);
    FreeFisicData(g);

    // Without the log either, the reel cannot be opened.
    unlink(db.clip("s.svj_Log").c_str());
    EXPECT_EQ(CreaFisicData(path.c_str(), 0, &status), nullptr);
    EXPECT_EQ(status, 0);
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
    for (int i = 0; i < 5000 && !done; i++)
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
