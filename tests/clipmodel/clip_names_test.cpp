// Numbers coded into clip files and their names, and the frame rule of
// windows (log file names: tests/workfile/clip_names_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "desktop/clip_model.h"
#include "editing/frame_map.h"

TEST(ClipNamesTest, PartCounts) {
    for (auto [frames, parts] : {std::pair{19, 1}, {39, 2}, {40, 3}, {60, 4}, {90000, 4}, {0, 1}})
        EXPECT_EQ(LogPartsFor(frames), parts) << frames;
    // Part k holds frames k-1, k-1+P, ...: 10 frames in 4 parts are 0 4 8,
    // 1 5 9, 2 6 and 3 7.
    for (auto [frames, k, n] :
         {std::tuple{10, 1, 3}, {10, 2, 3}, {10, 3, 2}, {10, 4, 2}, {2, 3, 0}, {10, 5, 0}})
        EXPECT_EQ(FramesInPart(frames, 4, k), n) << frames << " " << k;
}

TEST(ClipNamesTest, StartFrameFromNames) {
    // A grabbed reel's name holds its first timecode in hex; only the file
    // name counts, and a clip still being written has none yet.
    const std::tuple<std::string, int, int> reels[] = {
        {"/db/SVJ/tape_3a98_3b60_1.svj", 0, 15000},
        {"/db/SVJ/holiday.svj", 0, 0},
        {"a_1_2_3", 0, 0},
        {"/a_1_2/b_3.svj", 0, 0},
        {"/db/t_12345678901_2_3.svj", 0, 0},
        {"/db/SVJ/tape_3a98_3b60_1.svj", 1, 0},
    };
    for (const auto &[path, busy, start] : reels) {
        FisicData f;
        std::string name = path;
        f.path = name.data();
        f.busy = busy;
        EXPECT_EQ(GetStartFrame(&f), start) << path << " " << busy;
        f.path = nullptr;
    }
    EXPECT_EQ(GetStartFrame(nullptr), 0);

    FisicData f;
    char pattern[] = "/img/shot_0010";
    ImageLogInfo pic{pattern, 5, 0, 1};
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
