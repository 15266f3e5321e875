// Timecode words and text, validity, frame counts and stepping at 25 and 30
// frames per second. Stepping is checked against a plain one-frame-at-a-time
// reference that follows the carry rules literally.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>

#include "media/video_globals.h"
#include "vtr/timecode.h"

namespace {

// Runs each test at a chosen frame rate and puts the old one back.
class TcTest : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = fps; }
    void TearDown() override { fps = saved_; }
    int saved_ = 25;
};

using TcText = TcTest;
using TcValid = TcTest;
using TcFrames = TcTest;
using TcAdd = TcTest;
using TcCount = TcTest;

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

// Reference: one frame at a time, exactly by the carry and borrow rules.
Timecode StepReference(int h, int m, int s, int f, int n) {
    for (; n > 0; n--) {
        if (++f == fps) {
            f = 0;
            if (++s == 60) {
                s = 0;
                if (++m == 60) {
                    m = 0;
                    h++;
                }
            }
        }
    }
    for (; n < 0; n++) {
        if (h == 0 && m == 0 && s == 0 && f == 0) break;
        if (--f < 0) {
            f = fps - 1;
            if (--s < 0) {
                s = 59;
                if (--m < 0) {
                    m = 59;
                    h--;
                }
            }
        }
    }
    char buf[16];
    snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d", h, m, s, f);
    return Word(buf);
}

} // namespace

TEST_F(TcText, WordLayoutIsHoursInTheLowByte) {
    EXPECT_EQ(Word("12:34:56:07"), 0x07563412u);
    EXPECT_EQ(Text(0x07563412u), "12:34:56:07");
    EXPECT_EQ(Text(0), "00:00:00:00");
    EXPECT_EQ(Text(0x24595923u), "23:59:59:24");
    // A "." before the frames reads the same.
    EXPECT_EQ(Word("01:02:03.04"), Word("01:02:03:04"));
}

TEST_F(TcText, RoundTripsEveryField) {
    for (int h = 0; h < 100; h += 7)
        for (int m = 0; m < 60; m += 11)
            for (int s = 0; s < 60; s += 13)
                for (int f = 0; f < 30; f += 29) {
                    char buf[16];
                    snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d", h, m, s, f);
                    Timecode w = Word(buf);
                    EXPECT_EQ(Text(w), buf);
                    EXPECT_EQ(Word(Text(w).c_str()), w);
                }
}

TEST_F(TcText, ShortOrMissingTextReadsNothingPastItsEnd) {
    // Heap copies of exact size so a read past the end would be caught by
    // the address sanitizer.
    std::string s = "12:3";
    char *p = strdup(s.c_str());
    EXPECT_EQ(Word(p), 0x00003012u);
    free(p);
    EXPECT_EQ(Word(""), 0u);
    EXPECT_EQ(Word(nullptr), 0u);
}

TEST_F(TcValid, AcceptsWellFormedTimes) {
    fps = 25;
    for (const char *t : {"00:00:00:00", "23:59:59:24", "99:59:59:24", "00:00:00.00",
                          "12:34:56:24 trailing text", "00:00:00:24x"})
        EXPECT_TRUE(is_valid_tc(t)) << t;
    fps = 30;
    EXPECT_TRUE(is_valid_tc("00:00:00:29"));
}

TEST_F(TcValid, RejectsMalformedTimes) {
    fps = 25;
    for (const char *t : {"00:60:00:00", "00:00:60:00", "00:00:00:25", "00:00:00:2", "",
                          "0a:00:00:00", "00-00:00:00", "00:00-00:00", "00:00:00;00",
                          "00:00:00:245", "00:00:00:99", "000:00:00:0"})
        EXPECT_FALSE(is_valid_tc(t)) << t;
    EXPECT_FALSE(is_valid_tc(nullptr));
    fps = 30;
    EXPECT_FALSE(is_valid_tc("00:00:00:30"));
    EXPECT_TRUE(is_valid_tc("00:00:00:25"));
}

TEST_F(TcFrames, CountsAtBothRates) {
    fps = 25;
    EXPECT_EQ(tc2frames(Word("01:00:00:00")), 90000);
    EXPECT_EQ(Text(frames2tc(90000)), "01:00:00:00");
    EXPECT_EQ(tc2frames(Word("00:00:00:00")), 0);
    EXPECT_EQ(tc2frames(Word("23:59:59:24")), 86400 * 25 - 1);
    EXPECT_EQ(Text(frames2tc(86400 * 25 - 1)), "23:59:59:24");
    EXPECT_EQ(Text(frames2tc(0)), "00:00:00:00");
    EXPECT_EQ(Text(frames2tc(1)), "00:00:00:01");
    EXPECT_EQ(Text(frames2tc(25)), "00:00:01:00");
    // Hours run on past 24.
    EXPECT_EQ(Text(frames2tc(30 * 3600 * 25 + 61 * 25 + 3)), "30:01:01:03");
    fps = 30;
    EXPECT_EQ(tc2frames(Word("01:00:00:00")), 108000);
    EXPECT_EQ(Text(frames2tc(108000)), "01:00:00:00");
    EXPECT_EQ(Text(frames2tc(29)), "00:00:00:29");
    EXPECT_EQ(Text(frames2tc(30)), "00:00:01:00");
}

TEST_F(TcFrames, RoundTripsAtBothRates) {
    for (int rate : {25, 30}) {
        fps = rate;
        for (int n = 0; n < 200000; n += 7) {
            Timecode w = frames2tc(n);
            ASSERT_EQ(tc2frames(w), n) << rate << " " << n;
            ASSERT_TRUE(is_valid_tc(Text(w).c_str())) << Text(w);
        }
        const int last = 360000 * rate - 1; // 99:59:59 and the last frame
        EXPECT_EQ(tc2frames(frames2tc(last)), last);
    }
}

TEST_F(TcFrames, CountsOutsideTheWordAreHeldToItsRange) {
    fps = 25;
    EXPECT_EQ(Text(frames2tc(-1)), "00:00:00:00");
    EXPECT_EQ(Text(frames2tc(INT_MIN)), "00:00:00:00");
    EXPECT_EQ(Text(frames2tc(360000 * 25)), "99:59:59:24");
    EXPECT_EQ(Text(frames2tc(INT_MAX)), "99:59:59:24");
    fps = 30;
    EXPECT_EQ(Text(frames2tc(INT_MAX)), "99:59:59:29");
}

TEST_F(TcAdd, CarriesAndBorrows) {
    fps = 25;
    EXPECT_EQ(Text(TcAddFrames(Word("00:00:00:00"), -1)), "00:00:00:00");
    EXPECT_EQ(Text(TcAddFrames(Word("00:00:59:24"), 1)), "00:01:00:00");
    EXPECT_EQ(Text(TcAddFrames(Word("00:59:59:24"), 1)), "01:00:00:00");
    EXPECT_EQ(Text(TcAddFrames(Word("23:59:59:24"), 1)), "24:00:00:00");
    EXPECT_EQ(Text(TcAddFrames(Word("01:00:00:00"), -1)), "00:59:59:24");
    EXPECT_EQ(Text(TcAddFrames(Word("00:00:01:00"), -30)), "00:00:00:00");
    EXPECT_EQ(Text(TcAddFrames(Word("00:00:10:00"), 3600 * 25)), "01:00:10:00");
    fps = 30;
    EXPECT_EQ(Text(TcAddFrames(Word("00:00:59:29"), 1)), "00:01:00:00");
    EXPECT_EQ(Text(TcAddFrames(Word("00:00:00:25"), 1)), "00:00:00:26");
}

TEST_F(TcAdd, ZeroStepReturnsTheWordUntouched) {
    fps = 25;
    EXPECT_EQ(TcAddFrames(0x99999999u, 0), 0x99999999u);
    EXPECT_EQ(TcAddFrames(Word("12:00:00:00"), 0), Word("12:00:00:00"));
}

TEST_F(TcAdd, MatchesOneFrameAtATime) {
    std::mt19937 rng(7);
    for (int rate : {25, 30}) {
        fps = rate;
        for (int i = 0; i < 400; i++) {
            int h = int(rng() % 40), m = int(rng() % 60), s = int(rng() % 60),
                f = int(rng() % unsigned(rate));
            int n = int(rng() % 20001) - 10000;
            char buf[16];
            snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d", h, m, s, f);
            ASSERT_EQ(Text(TcAddFrames(Word(buf), n)), Text(StepReference(h, m, s, f, n)))
                << buf << " + " << n << " at " << rate;
        }
    }
}

TEST_F(TcAdd, LargeStepsEndAtTheWordsLimits) {
    fps = 25;
    EXPECT_EQ(Text(TcAddFrames(Word("10:00:00:00"), INT_MIN)), "00:00:00:00");
    EXPECT_EQ(Text(TcAddFrames(Word("10:00:00:00"), INT_MAX)), "99:59:59:24");
    EXPECT_EQ(Text(TcAddFrames(Word("99:59:59:24"), 1)), "99:59:59:24");
    EXPECT_EQ(Text(TcAddFrames(Word("99:59:59:24"), -1)), "99:59:59:23");
}

TEST_F(TcCount, InclusiveRanges) {
    fps = 25;
    EXPECT_EQ(Count_Frames(Word("00:00:10:00"), Word("00:00:10:00")), 1);
    EXPECT_EQ(Count_Frames(Word("00:00:00:00"), Word("00:00:01:00")), 26);
    EXPECT_EQ(Count_Frames(Word("00:00:10:01"), Word("00:00:10:00")), -1);
    EXPECT_EQ(Count_Frames(Word("01:00:00:00"), Word("00:59:59:24")), -1);
    EXPECT_EQ(Count_Frames(Word("00:00:00:00"), Word("99:59:59:24")), 360000 * 25);
    fps = 30;
    EXPECT_EQ(Count_Frames(Word("00:00:00:00"), Word("00:00:01:00")), 31);
    EXPECT_EQ(Count_Frames(Word("00:59:59:29"), Word("01:00:00:00")), 2);
}
