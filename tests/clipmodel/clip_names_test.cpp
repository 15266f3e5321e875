// Names and numbers coded into clip files, and the frame rule of windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/frame_map.h"

namespace {
std::string Take(char *s) {
    std::string out = s ? s : "";
    free(s);
    return out;
}
} // namespace

TEST(ClipNamesTest, BaseNamesAndLogNames) {
    char a[] = "/db/SVJ/  reel one.svj";
    EXPECT_STREQ(GetName(a), "reel");
    char b[] = "plain.svj";
    EXPECT_STREQ(GetName(b), "plain.svj");
    char c[] = "/db/SVJ/\tx.svj\nrest";
    EXPECT_STREQ(GetName(c), "x.svj");

    DbInitialize();
    EXPECT_EQ(Take(ClipName("/d/", "/d/SVJ/r.svj", 3)), "/d/CLIP/r.svj_Clip_3");
    EXPECT_EQ(Take(LogName("/d/", "/d/SVJ/r.svj", nullptr, nullptr)), "/d/CLIP/r.svj_Log");
    EXPECT_EQ(Take(PicClipName("/d/", "/d/IMAGES/shot", 1203, 1)), "/d/CLIP/shot_Img1203_Clip_1");
    EXPECT_EQ(Take(PicLogName("/d/", "shot", 7)), "/d/CLIP/shot_Img07_Log");

    int size = 0;
    char date[26];
    free(LogName("/d/", "/nonexistent/reel.svj", &size, date));
    EXPECT_EQ(size, -1);
    EXPECT_EQ(date[0], 0);
}

TEST(ClipNamesTest, PartCounts) {
    EXPECT_EQ(LogPartsFor(19), 1);
    EXPECT_EQ(LogPartsFor(39), 2);
    EXPECT_EQ(LogPartsFor(40), 3);
    EXPECT_EQ(LogPartsFor(60), 4);
    EXPECT_EQ(LogPartsFor(90000), 4);
    EXPECT_EQ(LogPartsFor(0), 1);
    // Part k holds frames k-1, k-1+P, ...: 10 frames in 4 parts.
    EXPECT_EQ(FramesInPart(10, 4, 1), 3); // 0 4 8
    EXPECT_EQ(FramesInPart(10, 4, 2), 3); // 1 5 9
    EXPECT_EQ(FramesInPart(10, 4, 3), 2); // 2 6
    EXPECT_EQ(FramesInPart(10, 4, 4), 2); // 3 7
    EXPECT_EQ(FramesInPart(2, 4, 3), 0);
    EXPECT_EQ(FramesInPart(10, 4, 5), 0);
}

TEST(ClipNamesTest, StartFrameFromNames) {
    FisicData f;
    char grabbed[] = "/db/SVJ/tape_3a98_3b60_1.svj";
    f.path = grabbed;
    EXPECT_EQ(GetStartFrame(&f), 15000);
    char other[] = "/db/SVJ/holiday.svj";
    f.path = other;
    EXPECT_EQ(GetStartFrame(&f), 0);
    char shorty[] = "a_1_2_3";
    f.path = shorty;
    EXPECT_EQ(GetStartFrame(&f), 0);
    char dir_underscores[] = "/a_1_2/b_3.svj";
    f.path = dir_underscores; // only the file name counts
    EXPECT_EQ(GetStartFrame(&f), 0);
    char too_long[] = "/db/t_12345678901_2_3.svj";
    f.path = too_long;
    EXPECT_EQ(GetStartFrame(&f), 0);
    f.busy = 1;
    f.path = grabbed;
    EXPECT_EQ(GetStartFrame(&f), 0);
    f.busy = 0;
    f.path = nullptr;
    EXPECT_EQ(GetStartFrame(nullptr), 0);

    ImageLogInfo pic;
    char pattern[] = "/img/shot_0010";
    pic.pattern = pattern;
    pic.first = 5;
    pic.step = 1;
    f.pic = &pic;
    EXPECT_EQ(GetStartFrame(&f), 0x10 + 5 - 1);
    pic.step = 2;
    EXPECT_EQ(GetStartFrame(&f), 0);
    f.pic = nullptr;
}

TEST(ClipNamesTest, PictureSequenceLogNames) {
    EXPECT_EQ(ClipOrLogOfImage("seq_Img1203_Clip_1", "seq", 0, 1), 1);
    EXPECT_EQ(ClipOrLogOfImage("seq_Img1203_Log", "seq", 0, 1), 1);
    EXPECT_EQ(ClipOrLogOfImage("seq_Img1203_Log", "seq", 1, 1), 0);  // a
    EXPECT_EQ(ClipOrLogOfImage("seq_Img123_Log", "seq", 0, 1), 0);   // 3 digits
    EXPECT_EQ(ClipOrLogOfImage("seqx_Img1203_Log", "seq", 0, 1), 0); // prefix
    EXPECT_EQ(ClipOrLogOfImage("seq_Img1203_Clip_", "seq", 0, 1), 0);
    EXPECT_EQ(ClipOrLogOfImage("seq_Vid1203_Log", "seq", 0, 1), 0);
    EXPECT_EQ(ClipOrLogOfImage("seq.pic", "seq", 0, 1), 0);
}

TEST(ClipNamesTest, FrameRuleOverSegments) {
    // Window: 0..4 forward from 10, then 5..8 backward from 50, then a
    // slow-motion map (each frame twice) from 100.
    Segment a, b, c;
    a.first = 10, a.last = 14, a.offset = 0;
    b.first = 50, b.last = 47, b.offset = 5;
    int map[2] = {0, 0};
    c.first = 100, c.last = 103, c.offset = 9, c.map = map, c.map_len = 2, c.period = 1;
    a.next = &b, b.next = &c, c.next = &a;
    a.prev = &c, b.prev = &a, c.prev = &b;
    WindowData w;
    w.seg_first = &a, w.seg_last = &c, w.seg_current = &a;
    Segment *s = nullptr;
    EXPECT_EQ(FrameCtrl(&w, 0, &s), 10);
    EXPECT_EQ(s, &a);
    EXPECT_EQ(FrameCtrl(&w, 4, &w.seg_current), 14);
    EXPECT_EQ(FrameCtrl(&w, 5, &w.seg_current), 50);
    EXPECT_EQ(w.seg_current, &b);
    EXPECT_EQ(FrameCtrl(&w, 8, &w.seg_current), 47);
    EXPECT_EQ(FrameCtrl(&w, 9, &w.seg_current), 100);
    EXPECT_EQ(FrameCtrl(&w, 10, &w.seg_current), 100);
    EXPECT_EQ(FrameCtrl(&w, 11, &w.seg_current), 101);
    EXPECT_EQ(w.seg_current, &c);
    EXPECT_EQ(FrameCtrl(&w, 1, &w.seg_current), 11); // back from the last segment
    EXPECT_EQ(w.seg_current, &a);
    // A map repeating with a period, and negative offsets rounding down.
    int strobe[3] = {0, 0, 0};
    Segment d;
    d.first = 0, d.last = 30, d.map = strobe, d.map_len = 3, d.period = 3;
    EXPECT_EQ(PlayCtrl(&d, 4), 3);
    EXPECT_EQ(PlayCtrl(&d, -1), -3);
    WindowData empty;
    EXPECT_EQ(FrameCtrl(&empty, 3, &s), 0);
}
