// Timecode words and text, validity, frame counts, stepping and ranges at 25
// and 30 frames per second. Every test sets the rate it needs.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "media/video_globals.h"
#include "vtr/timecode.h"

namespace {

std::string Text(Timecode w) {
    char buf[12];
    vtr_tc2asc(w, buf);
    return buf;
}

Timecode Word(const char *text) {
    Timecode w = 0xDEADBEEF;
    vtr_asc2tc(text, &w);
    return w;
}

TEST(TcTest, TextWordAndValidity) {
    EXPECT_EQ(Word("12:34:56:07"), 0x07563412u); // hours in the low byte
    EXPECT_EQ(Text(0x07563412u), "12:34:56:07");
    EXPECT_EQ(Word("01:02:03.04"), Word("01:02:03:04"));
    EXPECT_EQ(Word(nullptr), 0u);
    char *shorter = strdup("12:3"); // exact size: a read past its end shows under ASan
    EXPECT_EQ(Word(shorter), 0x00003012u);
    free(shorter);
    fps = 25;
    for (const char *t : {"00:00:00:00", "99:59:59:24", "00:00:00.00", "12:34:56:24 more"})
        EXPECT_TRUE(is_valid_tc(t)) << t;
    for (const char *t : {"00:60:00:00", "00:00:60:00", "00:00:00:25", "00:00:00:2", "",
                          "0a:00:00:00", "00-00:00:00", "00:00-00:00", "00:00:00;00",
                          "00:00:00:245", "000:00:00:0", static_cast<const char *>(nullptr)})
        EXPECT_FALSE(is_valid_tc(t)) << (t ? t : "null");
    fps = 30;
    EXPECT_TRUE(is_valid_tc("00:00:00:29"));
    EXPECT_FALSE(is_valid_tc("00:00:00:30"));
}

// Each case is "rate frames text".
TEST(TcTest, FrameCountsBothWays) {
    for (const char *c :
         {"25 0 00:00:00:00", "25 1 00:00:00:01", "25 25 00:00:01:00", "25 90000 01:00:00:00",
          "25 2159999 23:59:59:24", "25 2701528 30:01:01:03", "30 29 00:00:00:29",
          "30 30 00:00:01:00", "30 108000 01:00:00:00"}) {
        int frames = 0;
        char text[12] = "";
        ASSERT_EQ(sscanf(c, "%d %d %11s", &fps, &frames, text), 3);
        EXPECT_EQ(Text(frames2tc(frames)), text) << c;
        EXPECT_EQ(tc2frames(Word(text)), frames) << c;
    }
    for (int rate : {25, 30}) {
        fps = rate;
        for (int n = 0; n < 200000; n += 7) {
            const Timecode w = frames2tc(n);
            ASSERT_EQ(tc2frames(w), n) << n << " at " << rate;
            ASSERT_EQ(Word(Text(w).c_str()), w) << Text(w);
        }
        const int last = 360000 * rate - 1; // 99:59:59 and the last frame
        EXPECT_EQ(tc2frames(frames2tc(last)), last);
        EXPECT_EQ(frames2tc(INT_MAX), frames2tc(last));
        EXPECT_EQ(frames2tc(INT_MIN), 0u);
        EXPECT_EQ(frames2tc(-1), 0u);
    }
}

// Each case is "rate from step to": carries at every digit, borrows, and the
// limits of the word.
TEST(TcTest, AddFramesCarriesAndStopsAtTheLimits) {
    for (const char *c : {"25 00:00:00:23 1 00:00:00:24", "25 00:00:09:24 1 00:00:10:00",
                          "25 00:00:59:24 1 00:01:00:00", "25 00:09:59:24 1 00:10:00:00",
                          "25 00:59:59:24 1 01:00:00:00", "25 09:59:59:24 1 10:00:00:00",
                          "25 23:59:59:24 1 24:00:00:00", "25 01:00:00:00 -1 00:59:59:24",
                          "25 00:00:10:00 -1 00:00:09:24", "25 00:00:10:00 90000 01:00:10:00",
                          "25 12:34:56:07 -1132400 00:00:00:07", "25 00:00:01:00 -30 00:00:00:00",
                          "25 10:00:00:00 -2147483648 00:00:00:00",
                          "25 10:00:00:00 2147483647 99:59:59:24", "25 99:59:59:24 1 99:59:59:24",
                          "25 99:59:59:24 -1 99:59:59:23", "30 00:00:59:29 1 00:01:00:00",
                          "30 00:00:00:25 1 00:00:00:26", "30 00:00:01:00 -1 00:00:00:29"}) {
        int n = 0;
        char from[12] = "", to[12] = "";
        ASSERT_EQ(sscanf(c, "%d %11s %d %11s", &fps, from, &n, to), 4);
        EXPECT_EQ(Text(TcAddFrames(Word(from), n)), to) << c;
    }
    EXPECT_EQ(TcAddFrames(0x99999999u, 0), 0x99999999u); // no step: untouched
}

// Each case is "rate in out count".
TEST(TcTest, CountFramesIsInclusive) {
    for (const char *c : {"25 00:00:10:00 00:00:10:00 1", "25 00:00:00:00 00:00:01:00 26",
                          "25 00:00:10:01 00:00:10:00 -1", "25 01:00:00:00 00:59:59:24 -1",
                          "25 00:00:00:00 99:59:59:24 9000000", "30 00:59:59:29 01:00:00:00 2"}) {
        int count = 0;
        char in[12] = "", out[12] = "";
        ASSERT_EQ(sscanf(c, "%d %11s %11s %d", &fps, in, out, &count), 4);
        EXPECT_EQ(Count_Frames(Word(in), Word(out)), count) << c;
    }
}

} // namespace
