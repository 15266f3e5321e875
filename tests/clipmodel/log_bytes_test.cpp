// The bytes of a log on disk: a header written for a reel and for a picture
// sequence, compared with the layout byte for byte, so that logs written by
// any version of the program read the same.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/log_writer.h"
#include "media/clip_log.h"
#include "platform/byteorder.h"
#include "platform/sem.h"
#include "tests/clipmodel/clip_log_fixture.h"

namespace {

std::string Hex(const reel_test::bytes &b) {
    std::string s;
    char two[3];
    for (unsigned char c : b) {
        snprintf(two, sizeof two, "%02x", c);
        s += two;
    }
    return s;
}

// The local time zone set to UTC for the test, so that the reel's date text
// is fixed.
class UtcZone {
  public:
    UtcZone() {
        if (const char *tz = getenv("TZ")) old_ = tz, had_ = true;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~UtcZone() {
        had_ ? setenv("TZ", old_.c_str(), 1) : unsetenv("TZ");
        tzset();
    }

  private:
    std::string old_;
    bool had_ = false;
};

} // namespace

TEST(ClipLogFormat, HeaderBytesOfAReelAndOfAPictureSequence) {
    UtcZone utc;
    TestDatabase db;
    SetVideoMode(0);
    // The header of a reel records the reel's size and modification time.
    const std::string reel = db.reel("h.svj");
    reel_test::write_file(reel, reel_test::bytes(70000, 7));
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, reel.c_str(), times, 0), 0);

    FisicData f;
    f.path = strdup(reel.c_str());
    f.frames = 25, f.width = 180, f.height = 144, f.parts = 2;
    LogPart *parts = new LogPart[2];
    parts[0].ready = 1;
    f.part = parts;
    ASSERT_EQ(UpdateLog(&f), 1);
    // 2 parts, 1 complete, 180 x 144, 25 frames, "Sun Sep  9 01:46:40 2001\n\0", 70000.
    EXPECT_EQ(Hex(reel_test::read_file(db.clip("h.svj_Log"))), "00000002000000010000"
                                                               "00b40000009000000019"
                                                               "53756e20536570202039"
                                                               "2030313a34363a343020"
                                                               "323030310a0000011170");
    parts[1].ready = 1;
    f.busy = 1;
    EXPECT_EQ(UpdateLog(&f), 0); // a clip still being written keeps its header
    f.busy = 0;
    ASSERT_EQ(UpdateLog(&f), 1);
    EXPECT_EQ(reel_test::read_file(db.clip("h.svj_Log"))[7], 2);

    // A picture sequence: no date or size, then its seven words and pattern.
    FisicData g;
    g.pic = new ImageLogInfo;
    g.pic->pattern = strdup("/pics/seq_");
    g.pic->first = 1, g.pic->last = 30, g.pic->step = 1;
    g.pic->ext = 5, g.pic->style = 2, g.pic->tag = 3;
    g.frames = 30, g.width = 180, g.height = 144, g.parts = 1;
    LogPart *one = new LogPart[1];
    one[0].ready = 1;
    g.part = one;
    ASSERT_EQ(UpdateLog(&g), 1);
    EXPECT_EQ(Hex(reel_test::read_file(db.clip("seq__Img03_Log"))),
              "00000001000000010000"
              "00b4000000900000001e" +
                  std::string(60, '0') + // date and size
                  "00000000"             // word 0, the pattern's place in memory
                  "00000001"
                  "0000001e"
                  "00000001"
                  "00000005"
                  "00000002"
                  "00000003"
                  "0000000b"
                  "2f706963732f7365715f00");
    FreeLogParts(f.part, 2);
    f.part = nullptr;
    free(f.path);
    f.path = nullptr;
    FreeLogParts(g.part, 1);
    g.part = nullptr;
    free(g.pic->pattern);
    delete g.pic;
    g.pic = nullptr;
}

// A part written by the part writer: the pictures from offset 0, then N
// sizes, N offsets and N; entries past the last picture are zero.
TEST(ClipLogFormat, PartBytesAndTablesReadBack) {
    reel_test::temp_dir tmp;
    const std::string part = tmp.path("p_Clip_1");
    {
        ClipLogPartWriter w(part.c_str(), 3);
        ASSERT_TRUE(w.ok());
        EXPECT_TRUE(w.add("AAAA", 4));
        EXPECT_TRUE(w.add("BBBBBB", 6));
        EXPECT_TRUE(w.commit());
    }
    EXPECT_EQ(Hex(reel_test::read_file(part)), "41414141"
                                               "424242424242"
                                               "00000004"
                                               "00000006"
                                               "00000000"
                                               "00000000"
                                               "00000004"
                                               "00000000"
                                               "00000003");
    std::vector<int> sizes, offsets;
    ASSERT_TRUE(clip_log_read_tables(part.c_str(), 2, sizes, offsets));
    EXPECT_EQ(sizes, (std::vector<int>{4, 6, 0}));
    EXPECT_EQ(offsets, (std::vector<int>{0, 4, 0}));
    // The third entry describes no picture: it cannot stand for a frame.
    EXPECT_FALSE(clip_log_read_tables(part.c_str(), 3, sizes, offsets));

    // A full table takes no more pictures; an abandoned part leaves no file.
    {
        ClipLogPartWriter w(tmp.path("q").c_str(), 1);
        EXPECT_TRUE(w.add("A", 1));
        EXPECT_FALSE(w.add("B", 1));
        EXPECT_FALSE(w.commit());
    }
    {
        ClipLogPartWriter w(tmp.path("q").c_str(), 2);
        EXPECT_TRUE(w.add("A", 1));
    }
    EXPECT_EQ(access(tmp.path("q").c_str(), F_OK), -1);
    EXPECT_EQ(access(tmp.path("q.new").c_str(), F_OK), -1);
}

// Every number of a part's tail is checked against the file before it
// sizes, seeks or indexes anything.
TEST(ClipLogFormat, DamagedPartTablesAreRefused) {
    reel_test::temp_dir tmp;
    const std::string part = tmp.path("p");
    // Two pictures of 4 and 6 bytes, N = 2.
    const reel_test::bytes good = {'A', 'A', 'A', 'A', 'B', 'B', 'B', 'B', 'B', 'B', 0, 0, 0, 4, 0,
                                   0,   0,   6,   0,   0,   0,   0,   0,   0,   0,   4, 0, 0, 0, 2};
    struct Case {
        const char *what;
        std::function<void(reel_test::bytes &)> damage;
        int count;
    };
    const Case cases[] = {
        {"good", [](reel_test::bytes &) {}, 2},
        {"count above N", [](reel_test::bytes &) {}, 3},
        {"N zero", [](reel_test::bytes &b) { put_be32(&b[b.size() - 4], 0); }, 0},
        {"N past the file", [](reel_test::bytes &b) { put_be32(&b[b.size() - 4], 4); }, 2},
        {"N huge", [](reel_test::bytes &b) { put_be32(&b[b.size() - 4], 0xffffffffu); }, 2},
        {"size zero", [](reel_test::bytes &b) { put_be32(&b[10], 0); }, 2},
        {"size negative", [](reel_test::bytes &b) { put_be32(&b[14], 0xfffffffau); }, 2},
        {"offset negative", [](reel_test::bytes &b) { put_be32(&b[18], 0xffffff00u); }, 2},
        {"picture into the tables", [](reel_test::bytes &b) { put_be32(&b[22], 5); }, 2},
        {"offset overflowing", [](reel_test::bytes &b) { put_be32(&b[22], 0x7ffffffeu); }, 2},
        {"three bytes", [](reel_test::bytes &b) { b.resize(3); }, 0},
    };
    for (const Case &c : cases) {
        reel_test::bytes b = good;
        c.damage(b);
        reel_test::write_file(part, b);
        std::vector<int> sizes = {9}, offsets = {9};
        const bool want = std::string(c.what) == "good";
        EXPECT_EQ(clip_log_read_tables(part.c_str(), c.count, sizes, offsets), want) << c.what;
        if (!want) {
            EXPECT_EQ(sizes, std::vector<int>{9}) << c.what; // left unchanged
        }
    }
    std::vector<int> sizes, offsets;
    EXPECT_FALSE(clip_log_read_tables(tmp.path("none").c_str(), 0, sizes, offsets));
}

TEST(ClipLogFormat, HeadersReadBackOrAreRefused) {
    reel_test::temp_dir tmp;
    const std::string path = tmp.path("h");
    ClipLogHeader h;
    h.parts = 3, h.complete = 2, h.width = 180, h.height = 144, h.frames = 41;
    h.picture = true;
    h.first = 10, h.last = 50, h.step = 1, h.ext = 2, h.style = 1, h.tag = 7;
    h.pattern = "/p/q_";
    ASSERT_TRUE(clip_log_write_header(path.c_str(), h));
    ClipLogHeader r;
    ASSERT_TRUE(clip_log_read_header(path.c_str(), r, true));
    EXPECT_EQ(clip_log_header_bytes(r), clip_log_header_bytes(h));
    EXPECT_EQ(r.pattern, "/p/q_");
    ASSERT_TRUE(clip_log_read_header(path.c_str(), r, false)); // the common part alone
    EXPECT_FALSE(r.picture);
    EXPECT_EQ(r.frames, 41);

    // Pattern lengths outside 1..1024, a pattern cut short, a short header.
    const reel_test::bytes good = reel_test::read_file(path);
    struct Case {
        const char *what;
        std::function<void(reel_test::bytes &)> damage;
        bool picture;
    };
    const Case cases[] = {
        {"length 0", [](reel_test::bytes &b) { put_be32(&b[78], 0); }, true},
        {"length 1025", [](reel_test::bytes &b) { put_be32(&b[78], 1025); }, true},
        {"length past the file", [](reel_test::bytes &b) { put_be32(&b[78], 7); }, true},
        {"no pattern", [](reel_test::bytes &b) { b.resize(82); }, true},
        {"49 bytes", [](reel_test::bytes &b) { b.resize(49); }, false},
    };
    for (const Case &c : cases) {
        reel_test::bytes b = good;
        c.damage(b);
        reel_test::write_file(path, b);
        EXPECT_FALSE(clip_log_read_header(path.c_str(), r, c.picture)) << c.what;
    }
    // Readers would refuse an empty pattern: it is not written.
    h.pattern.clear();
    EXPECT_FALSE(clip_log_write_header(path.c_str(), h));

    struct Counts {
        int parts, complete, frames;
        bool valid;
    };
    const Counts counts[] = {{1, 0, 1, true},    {4, 4, 90000, true}, {0, 0, 5, false},
                             {5, 0, 100, false}, {2, 3, 40, false},   {2, -1, 40, false},
                             {1, 1, 0, false},   {1, 1, -4, false},   {4, 0, 3, false}};
    for (const Counts &c : counts) {
        ClipLogHeader k;
        k.parts = c.parts, k.complete = c.complete, k.frames = c.frames;
        EXPECT_EQ(clip_log_counts_valid(k), c.valid)
            << c.parts << " " << c.complete << " " << c.frames;
    }
}

// The parts the converter writes follow the layout: N = frames / P + 1,
// pictures one after another from offset 0, each a whole JPEG.
TEST_F(ClipLogTest, ConverterPartsFollowTheLayout) {
    FisicData *f = OpenLogged("l.svj", 45);
    ASSERT_TRUE(f && f->complete);
    ASSERT_EQ(f->parts, 3);
    for (int k = 1; k <= 3; k++) {
        const reel_test::bytes b = reel_test::read_file(db.clip("l.svj_Clip_" + std::to_string(k)));
        ASSERT_GT(b.size(), 4u);
        const uint32_t n = be32(&b[b.size() - 4]);
        EXPECT_EQ(n, 45u / 3 + 1) << k;
        ASSERT_EQ(b.size() > n * 8 + 4, true) << k;
        const size_t tables = b.size() - n * 8 - 4;
        uint32_t at = 0;
        for (uint32_t i = 0; i < n; i++) {
            const uint32_t size = be32(&b[tables + 4 * i]), offset = be32(&b[tables + 4 * (n + i)]);
            if (int(i) >= FramesInPart(45, 3, k)) {
                EXPECT_EQ(size, 0u);
                EXPECT_EQ(offset, 0u);
                continue;
            }
            EXPECT_EQ(offset, at) << k << " " << i;
            ASSERT_LE(size_t(offset) + size, tables);
            EXPECT_EQ(b[offset], 0xff);
            EXPECT_EQ(b[offset + 1], 0xd8);
            EXPECT_EQ(b[offset + size - 2], 0xff);
            EXPECT_EQ(b[offset + size - 1], 0xd9);
            at += size;
        }
        EXPECT_EQ(at, tables) << k; // nothing between the pictures and the tables
    }
}
