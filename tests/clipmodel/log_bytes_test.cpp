// The bytes of a log on disk: a header written for a reel and for a picture
// sequence, and a part's pictures and tables, compared with the layout byte
// for byte, so that logs written by any version of the program read the
// same; and every number of a header or a part's tail checked on reading.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/log_writer.h"
#include "media/clip_log.h"
#include "platform/byteorder.h"
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

// A log part of `parts` parts, the first `ready` of them complete.
LogPart *Parts(int parts, int ready) {
    LogPart *p = new LogPart[parts];
    for (int k = 0; k < ready; k++)
        p[k].ready = 1;
    return p;
}

} // namespace

TEST(ClipLogFormat, HeaderBytesOfAReelAndOfAPictureSequence) {
    setenv("TZ", "UTC", 1); // the reel's date text fixed
    tzset();
    TestDatabase db;
    SetVideoMode(0);
    // The header of a reel records the reel's size and modification time.
    const std::string reel = db.reel("h.svj");
    reel_test::write_file(reel, reel_test::bytes(70000, 7));
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, reel.c_str(), times, 0), 0);
    FisicData *f = new FisicData;
    f->path = strdup(reel.c_str());
    f->frames = 25, f->width = 180, f->height = 144, f->parts = 2, f->part = Parts(2, 1);
    ASSERT_EQ(UpdateLog(f), 1);
    // 2 parts, 1 complete, 180 x 144, 25 frames, "Sun Sep  9 01:46:40 2001\n\0", 70000.
    EXPECT_EQ(Hex(reel_test::read_file(db.clip("h.svj_Log"))),
              "0000000200000001000000b40000009000000019"
              "53756e205365702020392030313a34363a343020323030310a0000011170");
    f->part[1].ready = 1;
    f->busy = 1;
    EXPECT_EQ(UpdateLog(f), 0); // a clip still being written keeps its header
    f->busy = 0;
    ASSERT_EQ(UpdateLog(f), 1);
    EXPECT_EQ(reel_test::read_file(db.clip("h.svj_Log"))[7], 2);
    FreeFisicData(f);

    // A picture sequence: no date or size, then its seven words and pattern.
    FisicData *g = new FisicData;
    g->pic = new ImageLogInfo{strdup("/pics/seq_"), 1, 30, 1, 5, 2, 3};
    g->frames = 30, g->width = 180, g->height = 144, g->parts = 1, g->part = Parts(1, 1);
    ASSERT_EQ(UpdateLog(g), 1);
    EXPECT_EQ(Hex(reel_test::read_file(db.clip("seq__Img03_Log"))),
              "0000000100000001000000b4000000900000001e" + std::string(60, '0') + // date, size
                  "00000000" // word 0, the pattern's place in memory
                  "000000010000001e00000001000000050000000200000003"
                  "0000000b2f706963732f7365715f00");
    FreeFisicData(g);
    unsetenv("TZ");
    tzset();
}

// A part written by the part writer: the pictures from offset 0, then N
// sizes, N offsets and N; entries past the last picture are zero. Every
// number of the tail is checked against the file before it sizes, seeks or
// indexes anything.
TEST(ClipLogFormat, PartBytesAndDamagedTables) {
    reel_test::temp_dir tmp;
    const std::string part = tmp.path("p_Clip_1");
    {
        ClipLogPartWriter w(part.c_str(), 3);
        ASSERT_TRUE(w.ok());
        EXPECT_TRUE(w.add("AAAA", 4));
        EXPECT_TRUE(w.add("BBBBBB", 6));
        EXPECT_TRUE(w.commit());
    }
    const reel_test::bytes good = reel_test::read_file(part);
    EXPECT_EQ(Hex(good), "41414141424242424242"
                         "000000040000000600000000"
                         "000000000000000400000000"
                         "00000003");
    // Sizes at 10, offsets at 22, N at 34.
    const struct {
        const char *what;
        size_t at; // 0: no change
        uint32_t value;
        int count;
    } cases[] = {
        {"good", 0, 0, 2},
        {"an entry past the pictures", 0, 0, 3},
        {"count above N", 0, 0, 4},
        {"N zero", 34, 0, 0},
        {"N past the file", 34, 5, 2},
        {"N huge", 34, 0xffffffffu, 2},
        {"size zero", 10, 0, 2},
        {"size negative", 14, 0xfffffffau, 2},
        {"offset negative", 22, 0xffffff00u, 2},
        {"picture into the tables", 26, 5, 2},
        {"offset overflowing", 26, 0x7ffffffeu, 2},
        {"three bytes", 3, 0, 0}, // cut after three bytes
    };
    for (const auto &c : cases) {
        reel_test::bytes b = good;
        if (c.at == 3)
            b.resize(3);
        else if (c.at)
            put_be32(&b[c.at], c.value);
        reel_test::write_file(part, b);
        std::vector<int> sizes = {9}, offsets = {9};
        const bool want = std::string(c.what) == "good";
        EXPECT_EQ(clip_log_read_tables(part.c_str(), c.count, sizes, offsets), want) << c.what;
        EXPECT_EQ(sizes, (want ? std::vector<int>{4, 6, 0} : std::vector<int>{9})) << c.what;
        EXPECT_EQ(offsets, (want ? std::vector<int>{0, 4, 0} : std::vector<int>{9})) << c.what;
    }
    std::vector<int> sizes, offsets;
    EXPECT_FALSE(clip_log_read_tables(tmp.path("none").c_str(), 0, sizes, offsets));

    // A full table takes no more pictures; an abandoned part leaves no file.
    for (bool commit : {true, false}) {
        ClipLogPartWriter w(tmp.path("q").c_str(), 1);
        EXPECT_TRUE(w.add("A", 1));
        EXPECT_FALSE(w.add("B", 1));
        EXPECT_FALSE(commit && w.commit());
    }
    EXPECT_EQ(access(tmp.path("q").c_str(), F_OK), -1);
    EXPECT_EQ(access(tmp.path("q.new").c_str(), F_OK), -1);
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

    // Pattern lengths outside 1..1024, a pattern cut short, a short header.
    const reel_test::bytes good = reel_test::read_file(path);
    const struct {
        const char *what;
        uint32_t length; // 0 with `cut`: no change
        size_t cut;
        bool picture;
    } cases[] = {
        {"length 0", 0, 0, true},
        {"length 1025", 1025, 0, true},
        {"length past the file", 7, 0, true},
        {"no pattern", 6, 82, true},
        {"49 bytes", 6, 49, false},
    };
    for (const auto &c : cases) {
        reel_test::bytes b = good;
        put_be32(&b[78], c.length);
        if (c.cut) b.resize(c.cut);
        reel_test::write_file(path, b);
        EXPECT_FALSE(clip_log_read_header(path.c_str(), r, c.picture)) << c.what;
    }
    h.pattern.clear(); // readers would refuse an empty pattern: it is not written
    EXPECT_FALSE(clip_log_write_header(path.c_str(), h));

    const struct {
        int parts, complete, frames;
        bool valid;
    } counts[] = {{1, 0, 1, true},    {4, 4, 90000, true}, {0, 0, 5, false},
                  {5, 0, 100, false}, {2, 3, 40, false},   {2, -1, 40, false},
                  {1, 1, 0, false},   {1, 1, -4, false},   {4, 0, 3, false}};
    for (const auto &c : counts) {
        ClipLogHeader k;
        k.parts = c.parts, k.complete = c.complete, k.frames = c.frames;
        EXPECT_EQ(clip_log_counts_valid(k), c.valid)
            << c.parts << " " << c.complete << " " << c.frames;
    }
}
