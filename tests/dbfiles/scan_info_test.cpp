// The directory scan that lists picture sequences, frame file names, and the
// rows of the info table.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "desktop/info_window.h"
#include "editing/image_seq.h"
#include "tests/media/reel_fixtures.h"

namespace {

using Strings = std::vector<std::string>;

Strings Scan(const Strings &files) {
    reel_test::temp_dir dir;
    for (const std::string &f : files)
        std::ofstream(dir.path(f)) << "x";
    std::vector<ImportSeq> seqs;
    const int n = ImportFileSearch(dir.dir().c_str(), seqs);
    EXPECT_EQ(n, int(seqs.size()));
    Strings out;
    for (const ImportSeq &s : seqs)
        out.push_back(s.shown);
    return out;
}

Strings Range(const std::string &fmt, int a, int b) {
    Strings out;
    for (int i = a; i <= b; i++) {
        char buf[64];
        snprintf(buf, sizeof buf, fmt.c_str(), i);
        out.push_back(buf);
    }
    return out;
}

TEST(ImportFileSearch, GroupsNumberedFilesBySequence) {
    EXPECT_EQ(Scan(Range("a.%04i.pic", 1, 100)), Strings{"a.[0001...0100].pic"});
    EXPECT_EQ(Scan(Range("a.%i.pic", 1, 12)), Strings{"a.[1...12].pic"});
    EXPECT_EQ(Scan(Range("a%i.tga", 1000, 1010)), Strings{"a[1000...1010].tga"});
    // Four digits after a '.' fit both numberings until a shorter one comes.
    EXPECT_EQ(Scan({"b.1000.sgi", "b.1001.sgi", "b.7.sgi"}), Strings{"b.[7...1001].sgi"});
    // Padded and unpadded numbering do not join: the later file is left out
    // (directory order decides which; one of them is listed).
    Strings mixed = Scan({"c.0001.pic", "c.1.pic"});
    ASSERT_EQ(mixed.size(), 1u);
    EXPECT_TRUE(mixed[0] == "c.[0001...0001].pic" || mixed[0] == "c.[1...1].pic") << mixed[0];
    // Plain files, other extensions, upper case, short names.
    EXPECT_EQ(
        Scan({"logo.jpg", "x.001.yuv", "clip07.rgb", "NOTE.TXT", "A.TGA", "p.pic", ".pic",
              "z.0002.JPG"}),
        (Strings{"A.TGA", "clip07.rgb", "logo.jpg", "p.pic", "x.001.yuv", "z.[0002...0002].JPG"}));
    std::vector<ImportSeq> none;
    EXPECT_EQ(ImportFileSearch("/nonexistent/dir/", none), -1);
}

TEST(ImgFrameNumber, OnlyTheExactNameOfTheStyle) {
    const struct {
        const char *file;
        int style, want;
    } cases[] = {
        {"a.12.pic", 0, 12}, {"a.012.pic", 0, -1},        {"a.0012.pic", 1, 12},
        {"a.12.pic", 1, -1}, {"a0012.pic", 2, 12},        {"a.0012.pic", 2, -1},
        {"a.pic", 3, 1},     {"a.1.pic", 3, -1},          {"a.1.PIC", 0, -1},
        {"ab.1.pic", 0, -1}, {"a.1234567890.pic", 0, -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ImgFrameNumber(c.file, "a", c.style, 0), c.want) << c.file << " " << c.style;
}

TEST(InfoTable, RowsOfGoodAndDamagedReels) {
    reel_test::temp_dir dir;
    const std::string ntsc = dir.path("ntsc.svj"), pal = dir.path("pal.svj"),
                      bad = dir.path("bad.svj");
    ASSERT_EQ(reel_test::store_reel(ntsc, reel_test::make_fields(2, 720, 248), 720, 496), "");
    ASSERT_EQ(reel_test::store_reel(pal, reel_test::make_fields(3, 720, 288), 720, 576), "");
    std::ofstream(bad) << "not a reel at all, just some text";
    InfoTable *t = InfoAllocStruct();
    for (const std::string &p : {ntsc, pal, bad, dir.path("missing.svj")})
        InfoAddData(t, p.c_str());
    ASSERT_EQ(t->rows, 4);
    EXPECT_EQ(t->cells[INFO_NAME], (Strings{"ntsc.svj", "pal.svj", "bad.svj", "missing.svj"}));
    EXPECT_EQ(t->cells[INFO_SIZE], (Strings{"720, 486", "720, 576", "error", "error"}));
    EXPECT_EQ(t->cells[INFO_FRAMES], (Strings{"2", "3", "-", "-"}));
    EXPECT_EQ(t->cells[INFO_COMPR][2], "-");
    EXPECT_EQ(t->cells[INFO_LOST][3], "-");
    EXPECT_NE(t->cells[INFO_COMPR][0], "-");
    InfoFreeStruct(t);
}

} // namespace
