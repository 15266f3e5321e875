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
    const std::pair<const char *, int> names[] = {
        {"seq_Img1203_Clip_1", 1}, {"seq_Img1203_Log", 1},   {"seq_Img123_Log", 0}, // 3 digits
        {"seqx_Img1203_Log", 0},   {"seq_Img1203_Clip_", 0}, {"seq_Vid1203_Log", 0}, {"seq.pic", 0},
    };
    for (auto [name, is_log] : names)
        EXPECT_EQ(ClipOrLogOfImage(name, "seq", 0, 1), is_log) << name;
    EXPECT_EQ(ClipOrLogOfImage("seq_Img1203_Log", "seq", 1, 1), 0); // another tag
}

TEST(ClipNamesTest, FrameRuleOverSegments) {
    // Window: 0..4 forward from 10, then 5..8 backward from 50, then a
    // slow-motion map (each frame twice) from 100.
    int map[2] = {0, 0};
    Segment a{10, 14, 0}, b{50, 47, 5}, c{100, 103, 9, 2, 1, map};
    a.next = &b, b.next = &c, c.next = &a;
    a.prev = &c, b.prev = &a, c.prev = &b;
    WindowData w;
    w.seg_first = &a, w.seg_last = &c, w.seg_current = &a;
    // Walked forwards, then back from the last segment to the first.
    const std::pair<int, int> plays[] = {{0, 10},  {4, 14},   {5, 50},   {8, 47},
                                         {9, 100}, {10, 100}, {11, 101}, {1, 11}};
    for (auto [k, frame] : plays)
        EXPECT_EQ(FrameCtrl(&w, k, &w.seg_current), frame) << k;
    EXPECT_EQ(w.seg_current, &a);
    // A map repeating with a period, and negative offsets rounding down.
    int strobe[3] = {0, 0, 0};
    Segment d{0, 30, 0, 3, 3, strobe};
    EXPECT_EQ(PlayCtrl(&d, 4), 3);
    EXPECT_EQ(PlayCtrl(&d, -1), -3);
    WindowData empty;
    Segment *s = nullptr;
    EXPECT_EQ(FrameCtrl(&empty, 3, &s), 0);
}
