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

#include "desktop/clip_model.h"
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
