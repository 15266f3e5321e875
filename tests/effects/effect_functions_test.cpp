// The effect functions byte for byte, the picture functions by extension
// index, the names reserved for an effect's output, the preview file layout
// and the clean-up of a render that fails.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "../media/reel_fixtures.h"
#include "editing/clip_names.h"
#include "editing/effects.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"
#include "platform/sem.h"

using namespace reel_test;

namespace {

using Pic = std::vector<unsigned char>;

// The cross-fade written plainly: separate single-precision products.
unsigned char reference_softcut(int a, int b, int i, int n) {
    volatile float t = float(i + 1) / float(n + 1);
    volatile float u = float(1.0 - double(t));
    volatile float pb = float(b) * t, pa = float(a) * u;
    volatile float s = pb + pa;
    return (unsigned char)(int)s;
}

TEST(Softcut, EveryBytePairMatchesTheSinglePrecisionBlend) {
    // One picture holds all 65536 pairs (a in the first buffer, b in the second).
    Pic a(65536), b(65536), out(65536);
    for (int k = 0; k < 65536; k++) {
        a[k] = (unsigned char)(k >> 8);
        b[k] = (unsigned char)k;
    }
    const int cases[][2] = {{0, 1}, {0, 10}, {4, 10}, {9, 10}, {2, 3}, {0, 7}, {24, 25}};
    for (const auto &c : cases) {
        SoftcutEffect(out.data(), a.data(), b.data(), 256, 64, 4, c[0], c[1], 0);
        for (int k = 0; k < 65536; k++)
            ASSERT_EQ(out[k], reference_softcut(a[k], b[k], c[0], c[1]))
                << "a " << int(a[k]) << " b " << int(b[k]) << " i " << c[0] << " n " << c[1];
    }
    // n = 1: the one frame is the truncated mean.
    SoftcutEffect(out.data(), a.data(), b.data(), 256, 256, 1, 0, 1, 0);
    for (int k = 0; k < 65536; k++)
        ASSERT_EQ(out[k], (a[k] + b[k]) / 2);
}

TEST(Wipes, BoundariesOfEveryFrame) {
    // The boundary lies (i + 1) or (n - i) steps of size / (n + 1) from the
    // left, or from the top in rows; positions before it come from b or a.
    const struct {
        EffectFunc f;
        bool columns, b_first, growing;
    } cases[] = {{WipeLREffect, true, true, true},
                 {WipeRLEffect, true, false, false},
                 {WipeTBEffect, false, false, false},
                 {WipeBTEffect, false, true, true}};
    const int w = 720, h = 12, n = 9;
    Pic a(size_t(w) * h, 'a'), b(size_t(w) * h, 'b'), out(size_t(w) * h);
    for (const auto &c : cases) {
        for (int i = 0; i < n; i++) {
            c.f(out.data(), a.data(), b.data(), w, h, 1, i, n, 0);
            const int edge = (c.growing ? i + 1 : n - i) * (c.columns ? w : h) / (n + 1);
            for (int r = 0; r < h; r++)
                for (int x = 0; x < w; x++) {
                    const int pos = c.columns ? x : r;
                    const bool low = pos < edge;
                    const char want = (low == c.b_first) ? 'b' : 'a';
                    ASSERT_EQ(out[size_t(r) * w + x], want)
                        << "i " << i << " r " << r << " x " << x;
                }
        }
    }
}

TEST(Wipes, TopToBottomWithFieldsAddressesFrameLines) {
    // Each buffer row holds the frame line it carries: even lines from the
    // top first, then the odd ones.
    const int w = 3, h = 10, n = 4;
    Pic a(size_t(w) * h), b(size_t(w) * h), out(size_t(w) * h);
    for (int row = 0; row < h; row++) {
        const int line = row < h / 2 ? 2 * row : 2 * (row - h / 2) + 1;
        for (int x = 0; x < w; x++) {
            a[size_t(row) * w + x] = (unsigned char)line;
            b[size_t(row) * w + x] = (unsigned char)(100 + line);
        }
    }
    for (int i = 0; i < n; i++) {
        WipeTBEffect(out.data(), a.data(), b.data(), w, h, 1, i, n, 1);
        const int y = (n - i) * h / (n + 1); // rows from the bottom taken from a
        for (int row = 0; row < h; row++) {
            const int line = a[size_t(row) * w];
            const bool from_a = (h - 1 - line) < y;
            EXPECT_EQ(out[size_t(row) * w], from_a ? line : 100 + line)
                << "i " << i << " line " << line;
        }
    }
}

TEST(GetFunctionsTable, ExtensionIndexSelectsTheFileFunctions) {
    for (int format = 0; format < 8; format++) {
        ImgReadFunc read = nullptr;
        ImgWriteFunc write = nullptr;
        GetFunctions(format, &read, nullptr, &write);
        const ImgFunctions *f = format < 6 ? img_functions(format) : nullptr;
        EXPECT_EQ(read, f ? f->read : nullptr) << format;
        EXPECT_EQ(write, f ? f->write : nullptr) << format;
    }
    ImgHeaderFunc header = nullptr;
    GetFunctions(1, nullptr, &header, nullptr);
    EXPECT_EQ(header, img_functions(1)->header);
}

bool exists(const std::string &p) {
    return access(p.c_str(), F_OK) == 0;
}

// A database directory with the given subdirectories.
std::string make_db(const temp_dir &tmp, std::initializer_list<const char *> subdirs) {
    for (const char *d : subdirs)
        mkdir(tmp.path(d).c_str(), 0777);
    return tmp.path("");
}

TEST(EffectNames, ReelNamesSkipTakenNumbersAndStripFake) {
    const struct {
        const char *reel_a, *reel_b; // file names in SVJ/; null: a picture clip
        std::vector<const char *> taken;
        const char *want;
    } cases[] = {
        {"colour_bars.svj", "x.svj", {}, "SVJ/colour_bars_Fake01.svj"},
        {"colour_bars_Fake03.svj", "x.svj", {}, "SVJ/colour_bars_Fake01.svj"},
        {"c.svj", "x.svj", {"SVJ/c_Fake01.svj", "SVJ/c_Fake02.svj"}, "SVJ/c_Fake03.svj"},
        {nullptr, "b_Fake12.svj", {}, "SVJ/b_Fake01.svj"},
    };
    for (const auto &c : cases) {
        temp_dir tmp;
        const std::string db = make_db(tmp, {"SVJ", "CLIP"});
        for (const char *t : c.taken)
            write_file(db + t, {});
        std::string pa = db + "SVJ/" + (c.reel_a ? c.reel_a : ""), pb = db + "SVJ/" + c.reel_b;
        std::string pattern = db + "IMAGES/shot";
        ImageLogInfo pic;
        pic.pattern = pattern.data();
        FisicData a, b;
        if (c.reel_a)
            a.path = pa.data();
        else
            a.pic = &pic;
        b.path = pb.data();
        EffectName r = EffectFileName(&a, &b, 10, db);
        EXPECT_EQ(r.out, db + c.want);
        EXPECT_TRUE(exists(r.out));
        EXPECT_EQ(r.tag, -1);
        char *clip = ClipName(db.c_str(), r.out.c_str(), 1);
        EXPECT_EQ(r.preview, clip);
        free(clip);
    }
    // A directory that cannot take the file: refused, not searched on.
    temp_dir tmp;
    FisicData a, b;
    std::string pa = tmp.path("SVJ/a.svj");
    a.path = b.path = pa.data();
    EXPECT_EQ(EffectFileName(&a, &b, 5, tmp.path("")).out, "");
}

TEST(EffectNames, PictureNamesNeedAllFramesFree) {
    temp_dir tmp;
    const std::string db = make_db(tmp, {"IMAGES", "CLIP"});
    // "_Fake01" has frame 3 taken; "_Fake02" is free.
    write_file(db + "IMAGES/shot_Fake01.0003.tga", {});
    std::string pattern = tmp.path("src/shot_Fake07"), other = tmp.path("src/other");
    ImageLogInfo pa{pattern.data(), 0, 0, 1, 1, 1}, pb{other.data()};
    FisicData a, b;
    a.pic = &pa;
    b.pic = &pb;
    EffectName r = EffectFileName(&a, &b, 4, db);
    EXPECT_EQ(r.out, db + "IMAGES/shot_Fake02");
    EXPECT_TRUE(exists(db + "IMAGES/shot_Fake02.0001.tga"));
    EXPECT_GE(r.tag, 0);
    EXPECT_NE(r.preview.find("shot_Fake02_Img"), std::string::npos) << r.preview;
}

TEST(Preview, PicturesThenSizesOffsetsAndCount) {
    temp_dir tmp;
    EffectPreview p;
    ASSERT_TRUE(p.Open(tmp.path("prev")));
    const unsigned char one[] = {1, 2, 3}, two[] = {4, 5, 6, 7, 8};
    ASSERT_TRUE(p.Append(one, 3));
    ASSERT_TRUE(p.Append(two, 5));
    ASSERT_TRUE(p.Finish());
    const bytes f = read_file(tmp.path("prev"));
    ASSERT_EQ(f.size(), 8u + 4 * 5);
    EXPECT_EQ(std::memcmp(f.data(), "\1\2\3\4\5\6\7\10", 8), 0);
    const uint32_t words[] = {3, 5, 0, 3, 2};
    for (int k = 0; k < 5; k++)
        EXPECT_EQ(be32(&f[8 + 4 * k]), words[k]) << k;
}

TEST(RenderPiece, FailureRemovesTheOutput) {
    SetVideoMode(0);
    SemInit();
    temp_dir tmp;
    // A picture clip whose frames do not exist: the first read fails.
    std::string pattern = tmp.path("missing");
    ImageLogInfo pic{pattern.data(), 0, 0, 1, 1, 1};
    FisicData a;
    a.pic = &pic;
    a.frames = 5;
    Segment s{0, 4};
    s.fisic = &a;
    EffectData d;
    SetEffectSource(d.a, &s, 0, 1);
    SetEffectSource(d.b, &s, 0, 1);
    d.out = tmp.path("out");
    d.n = d.length = 3;
    write_file(tmp.path("out.0001.tga"), {});
    EXPECT_EQ(RenderEffectPiece(d, SoftcutEffect), 0);
    EXPECT_FALSE(exists(tmp.path("out.0001.tga")));
    SemRemove();
}

} // namespace
