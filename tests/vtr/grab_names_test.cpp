// Names of grabbed reels and D1 frame files: building them, and reading them
// back for recollect with the bounds that keep a hostile name out.
#include "vtr/grab_names.h"

#include <gtest/gtest.h>

TEST(GrabNames, BuildsReelAndFrameNames) {
    EXPECT_EQ(GrabReelName("/db/SVJ/reel1", 90000, 90024, 85), "/db/SVJ/reel1_15f90_15fa8_85.svj");
    EXPECT_EQ(GrabReelName("t", 0, 0xffffffffu, 100), "t_0_ffffffff_100.svj");
    const struct {
        int style, number;
        const char *ext, *name;
    } frames[] = {
        {0, 1, ".tga", "/i/reel1_15f90.1.tga"},
        {0, 12345, ".pic", "/i/reel1_15f90.12345.pic"},
        {1, 7, ".sgi", "/i/reel1_15f90.0007.sgi"},
        {2, 7, ".yuv", "/i/reel1_15f900007.yuv"},
        {3, 7, ".tga", ""},
        {0, -1, ".tga", ""},
    };
    for (const auto &f : frames)
        EXPECT_EQ(D1FrameName("/i/reel1", 90000, f.style, f.number, f.ext), f.name) << f.name;
}

TEST(GrabNames, ParsesReelNamesWithinBounds) {
    const struct {
        const char *name, *tape;
        uint32_t in, out;
        int quality;
    } good[] = {
        {"/db/SVJ/reel1_15f90_15fa8_85.svj", "reel1", 90000, 90024, 85},
        {"my_tape_0_0_1.svj", "my_tape", 0, 0, 1},
        {"t_ffffffff_ffffffff_100.svj", "t", 0xffffffffu, 0xffffffffu, 100},
        {"t_A_B_50.svj", "t", 10, 11, 50},
    };
    for (const auto &c : good) {
        ReelNameParts p;
        ASSERT_TRUE(ParseGrabReelName(c.name, &p)) << c.name;
        EXPECT_EQ(p.tape, c.tape);
        EXPECT_EQ(p.in, c.in);
        EXPECT_EQ(p.out, c.out);
        EXPECT_EQ(p.quality, c.quality);
        // What parses is what the builder makes of the parts.
        EXPECT_TRUE(ParseGrabReelName(GrabReelName(p.tape, p.in, p.out, p.quality).c_str(), &p));
    }
    // Nine digits, In after Out, quality out of 1..100 or not plain, no tape
    // name, a hidden name, another extension or none.
    for (const char *bad :
         {"t_100000000_100000001_50.svj", "t_10_5_50.svj", "t_1_2_0.svj", "t_1_2_101.svj",
          "t_1_2_0085.svj", "t_1_2_-5.svj", "t_1g_2_5.svj", "t__2_5.svj", "_1_2_5.svj",
          ".t_1_2_5.svj", "1_2_5.svj", "t_1_2_5.SVJ", "t_1_2_5", ".svj", ""}) {
        ReelNameParts p;
        p.tape = "untouched";
        EXPECT_FALSE(ParseGrabReelName(bad, &p)) << bad;
        EXPECT_EQ(p.tape, "untouched") << bad;
    }
    EXPECT_FALSE(ParseGrabReelName(nullptr, nullptr));
}

TEST(GrabNames, ParsesD1NamesAndStems) {
    const struct {
        const char *name;
        int style;
        const char *tape;
        uint32_t in;
        int number;
        const char *ext;
    } good[] = {
        {"/i/reel1_15f90.1.tga", 0, "reel1", 90000, 1, ".tga"},
        {"reel1_15f90.12345.pic", 0, "reel1", 90000, 12345, ".pic"},
        {"a_b_0.0007.sgi", 1, "a_b", 0, 7, ".sgi"},
        {"reel1_15f900007.yuv", 2, "reel1", 90000, 7, ".yuv"},
    };
    for (const auto &c : good) {
        D1NameParts p;
        ASSERT_TRUE(ParseD1FrameName(c.name, c.style, &p)) << c.name;
        EXPECT_EQ(p.tape, c.tape);
        EXPECT_EQ(p.in, c.in);
        EXPECT_EQ(p.number, c.number);
        EXPECT_EQ(p.ext, c.ext);
        EXPECT_EQ(D1FrameName(p.tape, p.in, c.style, p.number, p.ext.c_str()),
                  std::string(c.name).substr(std::string(c.name).rfind('/') + 1));
    }
    // Not four digits, no In left, nine digits, no number, a hidden name, no
    // tape name, no such style.
    const std::pair<const char *, int> bad[] = {
        {"reel1_15f90.7.tga", 1}, {"reel1_0007.yuv", 2},    {"reel1_123456789.1.tga", 0},
        {"reel1_15f90.x.tga", 0}, {".reel_15f90.1.tga", 0}, {"_15f90.1.tga", 0},
        {"reel1_15f90.1.tga", 3}};
    for (const auto &[name, style] : bad) {
        D1NameParts p;
        EXPECT_FALSE(ParseD1FrameName(name, style, &p)) << name;
    }
    const struct {
        const char *stem;
        bool ok;
        uint32_t in;
    } stems[] = {{"/db/IMAGES/reel1_15f90", true, 90000},
                 {"r_ffffffff", true, 0xffffffffu},
                 {"r_100000000", false, 0},
                 {"r_", false, 0},
                 {"r_12z", false, 0},
                 {"_12", false, 0},
                 {"reel1", false, 0}};
    for (const auto &s : stems) {
        std::string tape;
        uint32_t in = 0;
        ASSERT_EQ(ParseD1Stem(s.stem, &tape, &in), s.ok) << s.stem;
        EXPECT_EQ(in, s.in) << s.stem;
    }
    EXPECT_TRUE(TapeNameOk("reel 1"));
    EXPECT_FALSE(TapeNameOk(""));
    EXPECT_FALSE(TapeNameOk(".hidden"));
    EXPECT_FALSE(TapeNameOk("a/b"));
}
