// Tests of the still-image formats: round trips through our own readers and
// writers, hand-built run-length files, files that lie about themselves or
// end early, damaged JPEG, device frames, the pause gate, names by extension,
// hostile files (FIFOs, planted links, oversized headers), and cross-checks
// against ImageMagick as an independent encoder and decoder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/img_formats.h"
#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "media/img_sgi.h"
#include "media/img_tga.h"
#include "media/img_yuv.h"
#include "media/img_util.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"
#include "platform/sem.h"
#include "stills_test_util.h"

namespace {

using namespace stills_test;

// Passes of the row gate since the last reset; a Stop thrown from the gate
// stands for a job stopped at its pause gate.
int gate_passes = 0;
struct Stop {};

class Stills : public ::testing::Test {
  protected:
    void SetUp() override {
        SetVideoMode(0);
        img_set_row_gate([] { ++gate_passes; });
    }
    void TearDown() override { img_set_row_gate(nullptr); }
    ScratchDir dir;
};

// The device-frame reader and writer of each format index (no writer: null).
using DeviceReader = int (*)(const char *, int, int, unsigned char *);
using DeviceWriter = int (*)(const char *, int, int, const unsigned char *, int);
const DeviceReader device_reader[6] = {pic_to_buffer, tga_to_buffer, sgi_to_buffer,
                                       sgi_to_buffer, yuv_to_buffer, jpg_to_buffer};
const DeviceWriter device_writer[6] = {buffer_to_pic, buffer_to_tga, buffer_to_sgi,
                                       nullptr,       buffer_to_yuv, nullptr};

// Reads a file with a ...toglo reader in mode 0 as top-down R, G, B.
Bytes read_rgb(ImgReadFunc read, const std::string &path, int w, int h) {
    Bytes img(size_t(w) * h * 3, 0xAA);
    return read(path.c_str(), img.data(), 0) == 1 ? flip(img, w, h) : Bytes();
}

// A stop thrown at the gate unwinds a reader or writer with its files closed.
void ExpectStopUnwinds(const ImgFunctions *fn, const std::string &path, int w, int h,
                       const unsigned char *pixels) {
    auto open_fds = [] {
        auto it = std::filesystem::directory_iterator("/proc/self/fd");
        return std::distance(begin(it), end(it));
    };
    Bytes buf(size_t(w) * h * 4);
    const auto fds = open_fds();
    img_set_row_gate([] { throw Stop{}; });
    EXPECT_THROW(fn->read(path.c_str(), buf.data(), 0), Stop) << path;
    EXPECT_THROW(fn->write((path + ".out").c_str(), w, h, pixels, 90), Stop) << path;
    img_set_row_gate([] { ++gate_passes; });
    EXPECT_EQ(open_fds(), fds) << path;
}

// Every reader mode gives the written picture back; the row-by-row formats
// pass the pause gate once per row, and a stop there unwinds them; JPEG (one
// call to the library) passes no gate.
TEST_F(Stills, EveryFormatRoundTripsInEveryReaderMode) {
    const int w = 37, h = 23;
    const Bytes rgb = test_rgb(w, h);
    for (int index : {0, 1, 2, 3, 5}) { // PIC, Targa, SGI twice, JPEG
        const ImgFunctions *fn = img_functions(index);
        const std::string path = dir.path(std::string("rt") + imp_format[index]);
        const int tol = index == 5 ? 8 : 0, rows = index == 5 ? 0 : h;
        gate_passes = 0;
        ASSERT_EQ(fn->write(path.c_str(), w, h, flip(rgb, w, h).data(), 95), 1) << index;
        EXPECT_EQ(gate_passes, rows) << index;
        int pw = 0, ph = 0;
        EXPECT_EQ(fn->header(path.c_str(), &pw, &ph), 1);
        EXPECT_TRUE(pw == w && ph == h) << index;
        gate_passes = 0;
        EXPECT_LE(max_diff(read_rgb(fn->read, path, w, h), rgb), tol) << index;
        Bytes four(size_t(w) * h * 4);
        ASSERT_EQ(fn->read(path.c_str(), four.data(), 2), 1);
        EXPECT_LE(max_diff(four, flip(rgb, w, h, 4)), tol) << index;
        // Field-sequential: line y at row y/2 + (h/2)(y mod 2); the odd last
        // line has no row.
        Bytes fields(size_t(w) * h * 3, 0xAA);
        ASSERT_EQ(fn->read(path.c_str(), fields.data(), 1), 1);
        EXPECT_EQ(gate_passes, 3 * rows) << index;
        for (int y = 0; y < h - 1; ++y) {
            const auto f = fields.begin() + long(y / 2 + (h / 2) * (y % 2)) * w * 3;
            const auto r = rgb.begin() + long(y) * w * 3;
            ASSERT_LE(max_diff(Bytes(f, f + w * 3), Bytes(r, r + w * 3)), tol) << index << y;
        }
        EXPECT_EQ(fields[size_t(h - 1) * w * 3], 0xAA);
        if (rows) ExpectStopUnwinds(fn, path, w, h, flip(rgb, w, h).data());
    }
}

TEST_F(Stills, RunLengthCodedPicAndTargaDecode) {
    const std::string pic = dir.path("rle.pic"), tga = dir.path("rle.tga");
    // PIC 6 x 2 (our header, then packets): packet 1 mixed run-length R, G, B
    // (literal 2, run 3, long run 1), packet 2 pure runs for alpha.
    ASSERT_EQ(glotopic(pic.c_str(), 6, 2, Bytes(36).data()), 1);
    Bytes p = read_file(pic);
    p.resize(104);
    p.insert(p.end(), {1, 8, 2, 0xE0, 0, 8, 1, 0x10});
    p.insert(p.end(), {1, 10, 20, 30, 11, 21, 31, 130, 1, 2, 3, 128, 0, 1, 7, 8, 9, 6, 0xFF});
    p.insert(p.end(), {128, 0, 6, 50, 60, 70, 3, 9, 3, 9});
    write_file(pic, p);
    EXPECT_EQ(read_rgb(pictoglo, pic, 6, 2),
              Bytes({10, 20, 30, 11, 21, 31, 1,  2,  3,  1,  2,  3,  1,  2,  3,  7,  8,  9,
                     50, 60, 70, 50, 60, 70, 50, 60, 70, 50, 60, 70, 50, 60, 70, 50, 60, 70}));
    // Targa 3 x 2 grey, top row first: a run of 4 crossing the row end, then 2
    // literals; then a run longer than the picture fills it and stops there.
    Bytes t(18, 0);
    t[2] = 11, t[12] = 3, t[14] = 2, t[16] = 8, t[17] = 0x20;
    t.insert(t.end(), {0x83, 50, 0x01, 60, 70});
    write_file(tga, t);
    EXPECT_EQ(read_rgb(tgatoglo, tga, 3, 2),
              Bytes({50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 60, 60, 60, 70, 70, 70}));
    t.resize(18);
    t.insert(t.end(), {0xFF, 9, 0, 0, 0, 0, 0, 0, 0, 0});
    write_file(tga, t);
    Bytes buf(3 * 2 * 3 + 32, 0xCC);
    EXPECT_EQ(tgatoglo(tga.c_str(), buf.data(), 0), 1);
    EXPECT_EQ(Bytes(buf.begin() + 18, buf.end()), Bytes(32, 0xCC));
}

TEST_F(Stills, LyingOrTruncatedFilesAreRefusedWithoutOverrun) {
    const int w = 19, h = 11;
    using Lie = std::function<void(Bytes &)>;
    auto set = [](size_t at, Bytes v) {
        return [=](Bytes &b) { std::copy(v.begin(), v.end(), b.begin() + long(at)); };
    };
    const struct {
        int index;
        std::vector<Lie> lies;
    } formats[] = {
        {0,
         {set(3, {0x47}),                               // magic beyond the last known
          set(92, {0, 0}),                              // zero width
          set(92, {0xEA, 0x60, 0xEA, 0x60}),            // 60000 x 60000
          set(105, {16}), set(106, {3}), set(107, {0}), // 16-bit, unknown coding, no channels
          // Run-length rows that run past the row end (19 pixels): mixed
          // coding with a run of 128, 101 literals, a long run of 50; a pure run of 50.
          set(106, {2, 0xE0, 255}), set(106, {2, 0xE0, 100}), set(106, {2, 0xE0, 128, 0, 50}),
          set(106, {1, 0xE0, 50})}},
        {1,
         {set(12, {0x60, 0xEA, 0x60, 0xEA}), set(12, {0, 0}), // 60000 x 60000, zero width
          set(16, {12}), set(2, {5}), set(2, {1}),            // depth 12, types 5 and 1
          set(1, {1, 2, 0, 0, 0xFF, 0xFF, 32}), set(1, {1, 2, 0, 0, 2, 0, 8}), // colour maps
          [](Bytes &b) { // run-length data ending inside a literal packet
              b[2] = 10;
              b.resize(18 + 100);
              b[18] = 0x7F;
          }}},
        {2,
         {set(0, {0}), set(3, {2}), set(10, {0, 5}), set(8, {0xEA, 0x60}), // magic, bpc, z, y
          set(512, {0x7F, 0xFF, 0xFF, 0xF0}),          // a row starting beyond the end
          set(512 + 4 * 33, {0, 1, 0x86, 0xA0}),       // a row length beyond the end
          [](Bytes &b) { b[be32(&b[512])] = 0x7F; }}}, // a run of 127 in a row of 19
        {5, {}},
    };
    for (const auto &fmt : formats) {
        const ImgFunctions *fn = img_functions(fmt.index);
        const std::string path = dir.path(std::string("bad") + imp_format[fmt.index]);
        ASSERT_EQ(fn->write(path.c_str(), w, h, flip(test_rgb(w, h), w, h).data(), 80), 1);
        const Bytes good = read_file(path);
        std::vector<Bytes> bad;
        for (size_t len = 0; len < good.size(); len += 1 + len / 8)
            bad.emplace_back(good.begin(), good.begin() + long(len));
        for (const Lie &lie : fmt.lies) {
            bad.push_back(good);
            lie(bad.back());
        }
        for (const Bytes &b : bad) {
            write_file(path, b);
            int pw, ph;
            fn->header(path.c_str(), &pw, &ph);
            Bytes buf(size_t(w) * h * 4 + 64, 0xCC);
            EXPECT_EQ(fn->read(path.c_str(), buf.data(), 2), 0) << fmt.index << " " << b.size();
            ASSERT_EQ(Bytes(buf.end() - 64, buf.end()), Bytes(64, 0xCC)) << fmt.index;
        }
    }
}

TEST_F(Stills, YuvFilesAreOneFrame) {
    const std::string path = dir.path("f.yuv");
    const Bytes rgb(720 * 576 * 3, 100);
    gate_passes = 0;
    ASSERT_EQ(glotoyuv(path.c_str(), 720, 576, rgb.data()), 1);
    EXPECT_EQ(read_file(path).size(), 829440u);
    int w, h;
    EXPECT_EQ(headeryuv(path.c_str(), &w, &h), 1);
    EXPECT_TRUE(w == 720 && h == 576);
    EXPECT_LE(max_diff(read_rgb(yuvtoglo, path, 720, 576), rgb), 2);
    EXPECT_EQ(gate_passes, 2 * 576); // once per row each way
    ExpectStopUnwinds(img_functions(4), path, 720, 576, rgb.data());
    for (size_t size : {829439u, 829441u, 0u}) {
        write_file(path, Bytes(size, 0x80));
        EXPECT_EQ(headeryuv(path.c_str(), &w, &h), 0);
        EXPECT_TRUE(w == 0 && h == 0) << size;
        EXPECT_EQ(read_rgb(yuvtoglo, path, 720, 576), Bytes()) << size;
    }
}

// Device frames through every format, moved without the pause gate.
TEST_F(Stills, DeviceFramesRoundTripThroughEveryFormat) {
    for (int mode : {0, 1}) {
        SetVideoMode(mode);
        const int w = VIDEO_SIZEX, h = VIDEO_SIZEY, half = mode == 0 ? 288 : 248;
        Bytes rgb(size_t(w) * h * 3); // flat grey lines 20 + y mod 200
        for (int y = 0; y < h; ++y)
            std::memset(&rgb[size_t(y) * w * 3], 20 + y % 200, size_t(w) * 3);
        const std::string base = dir.path("dev");
        ASSERT_EQ(glotopic((base + ".pic").c_str(), w, h, flip(rgb, w, h).data()), 1);
        ASSERT_EQ(glotojpg((base + ".jpg").c_str(), w, h, flip(rgb, w, h).data(), 95), 1);
        Bytes frame(size_t(4 * w) * half, 0xAB);
        gate_passes = 0;
        ASSERT_EQ(pic_to_buffer((base + ".pic").c_str(), w, h, frame.data()), 1);
        // PAL: line y at row y/2, odd lines in the second half; NTSC: 5 rows
        // down, even lines in the second half; the 5 leading rows stay as they were.
        for (int y = 0; y < h; y += 37) {
            const int row = mode == 0 ? y / 2 + (y % 2) * half : 5 + y / 2 + (y % 2 ? 0 : half);
            EXPECT_NEAR(frame[size_t(row) * 2 * w + 1], ((56284 * (20 + y % 200)) >> 16) + 16, 2);
        }
        for (int r : {0, 4, half, half + 4})
            EXPECT_TRUE(mode == 0 || frame[size_t(r) * 2 * w + 7] == 0xAB) << r;
        // Each writer makes a file and a quarter-size JPEG thumbnail (120 rows
        // for 486 lines, row i from line 4i); each reader brings the file back.
        const int tw = w / 4, th = h == 486 ? 120 : h / 4;
        for (int index : {0, 1, 2, 4, 5}) {
            const char *ext = imp_format[index];
            const DeviceWriter write = device_writer[index];
            std::string file = base + ext;
            if (write) {
                file = dir.path(std::string("out") + ext);
                const std::string thumb = dir.path("thumb.jpg");
                FILE *t = std::fopen(thumb.c_str(), "wb");
                ASSERT_GT(write(file.c_str(), w, h, frame.data(), fileno(t)), 0) << ext;
                std::fclose(t);
                const Bytes small = magick_decode(thumb);
                ASSERT_EQ(small.size(), size_t(tw) * th * 3) << ext;
                for (int i = 0; i < th; i += 13)
                    EXPECT_NEAR(small[size_t(i) * tw * 3 + 30], 20 + (4 * i) % 200, 6) << ext;
            }
            Bytes back(frame.size(), 0xAB);
            ASSERT_EQ(device_reader[index](file.c_str(), w, h, back.data()), 1) << ext;
            EXPECT_LE(max_diff(back, frame), write ? 2 : 4) << ext << " " << mode;
        }
        EXPECT_EQ(gate_passes, 0);
    }
}

TEST_F(Stills, ReadersWaitAtTheClosedPauseGate) {
    const std::string pic = dir.path("gate.pic");
    ASSERT_EQ(glotopic(pic.c_str(), 8, 6, flip(test_rgb(8, 6), 8, 6).data()), 1);
    Bytes buf(8 * 6 * 4);
    // The gate the job layer installs at start-up.
    SemInit();
    img_set_row_gate([] { SemWait(0); });
    SemSet(0, 1);
    auto blocked =
        std::async(std::launch::async, [&] { return pictoglo(pic.c_str(), buf.data(), 0); });
    EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    SemSet(0, 0);
    EXPECT_EQ(blocked.get(), 1);
}

// Cross-checks with ImageMagick
// ---------------------------------------------------

class Magick : public Stills {
  protected:
    const int w = 37, h = 23;
    const std::string src = dir.path("src.ppm");
};

TEST_F(Magick, TheirFilesReadAsTheyDecodeThem) {
    // Targa: 24-bit, 8-bit grey, 32-bit, 16-bit, top-left origin, each plain and
    // run-length; SGI (also as .rgb, .bw, .rgba): RGB, grey, RGBA, each
    // run-length and verbatim.
    struct Variant {
        std::string file, opts;
        int index, tol;
    };
    std::vector<Variant> variants = {{"jpg:im.jpg", "-quality 90", 5, 2},
                                     {"jpg:im.JPEG", "-quality 90", 5, 2}};
    for (const char *rle : {"", " -compress RLE"}) {
        for (const char *o : {"-type TrueColor", "-type Grayscale", "-type TrueColorAlpha",
                              "-depth 5", "-orient TopLeft -type TrueColorAlpha"})
            variants.push_back({"tga:im.tga", o + std::string(rle), 1, 0});
        for (const char *o : {"", "-type Grayscale", "-type TrueColorAlpha"})
            variants.push_back({*rle ? "sgi:im.sgi" : "sgi:im.rgb",
                                o + std::string(*rle ? rle : " -compress None"), *rle ? 2 : 3, 0});
        variants.push_back({"sgi:im.bw", "-type Grayscale" + std::string(rle), 2, 0});
        variants.push_back({"sgi:im.rgba", "-type TrueColorAlpha" + std::string(rle), 2, 0});
    }
    for (const auto &v : variants) {
        const std::string file = dir.path(v.file.substr(4)), tagged = v.file.substr(0, 4) + file;
        ASSERT_TRUE(magick_make(src, w, h, v.opts, tagged)) << v.opts;
        const Bytes theirs = magick_decode(tagged);
        ASSERT_EQ(theirs.size(), size_t(w) * h * 3) << v.opts;
        int pw, ph;
        ASSERT_EQ(img_format_of_name(file.c_str()), v.index) << file;
        const ImgFunctions *fn = img_functions(v.index);
        ASSERT_EQ(fn->header(file.c_str(), &pw, &ph), 1) << v.opts;
        EXPECT_TRUE(pw == w && ph == h) << v.opts;
        EXPECT_LE(max_diff(read_rgb(fn->read, file, w, h), theirs), v.tol) << v.file << v.opts;
    }
}

// ImageMagick writes no 16-bit grey Targa; its 8-bit grey one, each pixel
// given an alpha byte after its grey byte, must read as ImageMagick decodes
// the 8-bit file.
TEST_F(Magick, GreyAndAlphaTargaReadsAsTheirGrey) {
    const std::string grey = dir.path("grey.tga"), ga = dir.path("ga.tga");
    ASSERT_TRUE(magick_make(src, w, h, "-type Grayscale", "tga:" + grey));
    const Bytes theirs = magick_decode("tga:" + grey), g = read_file(grey);
    ASSERT_EQ(theirs.size(), size_t(w) * h * 3);
    const size_t at = 18 + g.at(0);
    ASSERT_GE(g.size(), at + size_t(w) * h);
    ASSERT_TRUE(g[2] == 3 && g[16] == 8 && g[1] == 0) << int(g[2]);
    Bytes out(g.begin(), g.begin() + long(at));
    out[16] = 16;
    out[17] = static_cast<unsigned char>(out[17] | 8); // 8 alpha bits
    for (size_t i = at; i < at + size_t(w) * h; ++i)
        out.insert(out.end(), {g[i], static_cast<unsigned char>(255 - g[i])});
    write_file(ga, out);
    EXPECT_EQ(read_rgb(tgatoglo, ga, w, h), theirs);
}

// Names, Targa depths and damaged JPEG
// ---------------------------------------------------------

TEST(StillNames, FormatsByExtension) {
    const std::pair<const char *, int> cases[] = {
        {"a.pic", 0}, {"a.tga", 1},  {"a.TGA", 1},   {"a.sgi", 2},    {"a.rgb", 3},  {"a.RGB", 3},
        {"a.bw", 2},  {"a.BW", 2},   {"a.rgba", 2},  {"a.Rgba", 2},   {"a.yuv", 4},  {"a.jpg", 5},
        {"a.JPG", 5}, {"a.jpeg", 5}, {"a.JPEG", 5},  {"a.PIC", -1},   {"a.Pic", -1}, {"a.png", -1},
        {".jpg", -1}, {".bw", -1},   {"a.jpgx", -1}, {"a.[1.yuv", 4}, {"jpeg", -1},  {"", -1},
    };
    for (const auto &[name, index] : cases)
        EXPECT_EQ(img_format_of_name(name), index) << name;
    EXPECT_EQ(img_format_of_name(nullptr), -1);
}

TEST_F(Stills, SixteenBitTargaIsColourOrGreyByImageType) {
    // One pixel, stored little-endian: 5-5-5 colour in types 2 and 10; grey,
    // then alpha (ignored), in types 3 and 11. Run-length files hold one run.
    const struct {
        int type;
        Bytes pixel, rgb;
    } cases[] = {
        {2, {0x1F, 0x00}, {0, 0, 255}},
        {2, {0xFF, 0x7F}, {255, 255, 255}},
        {10, {0x80, 0x1F, 0x00}, {0, 0, 255}},
        {3, {0x1F, 0x00}, {31, 31, 31}},
        {3, {0x80, 0xFF}, {128, 128, 128}},
        {11, {0x80, 0x1F, 0x00}, {31, 31, 31}},
        {11, {0x80, 0xC8, 0x7F}, {200, 200, 200}},
    };
    const std::string path = dir.path("p16.tga");
    for (const auto &c : cases) {
        Bytes t(18, 0);
        t[2] = static_cast<unsigned char>(c.type);
        t[12] = 1, t[14] = 1, t[16] = 16;
        t.insert(t.end(), c.pixel.begin(), c.pixel.end());
        write_file(path, t);
        EXPECT_EQ(read_rgb(tgatoglo, path, 1, 1), c.rgb) << c.type << " " << int(c.pixel[0]);
    }
}

// A JPEG cut short or with a stray marker fails, without a word from the
// library, in a picture and in a device frame.
TEST_F(Stills, DamagedJpegFailsWithoutAWord) {
    const int w = 64, h = 48;
    const std::string path = dir.path("d.jpg"), frame_path = dir.path("f.jpg");
    ASSERT_EQ(glotojpg(path.c_str(), w, h, flip(test_rgb(w, h), w, h).data(), 90), 1);
    ASSERT_EQ(glotojpg(frame_path.c_str(), 720, 576, Bytes(720 * 576 * 3, 77).data(), 90), 1);
    const Bytes good = read_file(path), frame_jpeg = read_file(frame_path);
    const long sos = reel_test::scan_index(good);
    ASSERT_LT(sos + 100, long(good.size()));
    Bytes marker = good; // a stray restart marker inside the entropy data
    marker.insert(marker.begin() + sos + 60, {0xFF, 0xD3});
    const std::pair<std::string, Bytes> bad[] = {
        {"cut in the scan", Bytes(good.begin(), good.begin() + sos + 20)},
        {"cut half-way", Bytes(good.begin(), good.begin() + (sos + long(good.size())) / 2)},
        {"no end marker", Bytes(good.begin(), good.end() - 2)},
        {"stray marker", marker},
    };
    Bytes buf(size_t(w) * h * 4), frame(static_cast<size_t>(device_frame_bytes()));
    for (const auto &[what, b] : bad) {
        write_file(path, b);
        testing::internal::CaptureStderr();
        EXPECT_EQ(jpgtoglo(path.c_str(), buf.data(), 0), 0) << what;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << what;
    }
    write_file(frame_path, Bytes(frame_jpeg.begin(), frame_jpeg.end() - 40));
    testing::internal::CaptureStderr();
    EXPECT_EQ(jpg_to_buffer(frame_path.c_str(), 720, 576, frame.data()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Hostile files
// -------------------------------------------------------------------

// A FIFO is refused at once by every header, picture and device-frame reader
// and writer; a planted link is never written through.
TEST_F(Stills, FifosAndPlantedLinksAreRefused) {
    alarm(60); // a reader or writer that waited for the FIFO's other end is ended
    const std::string victim = dir.path("victim");
    write_file(victim, {'k'});
    const Bytes img(720 * 576 * 3, 50);
    Bytes buf(img.size() + 720 * 576), frame(static_cast<size_t>(device_frame_bytes()), 0x80);
    const int thumb = open(dir.path("thumb").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (int index = 0; index < 6; ++index) {
        const ImgFunctions *fn = img_functions(index);
        const std::string fifo = dir.path(std::string("fifo") + imp_format[index]);
        const std::string link = dir.path(std::string("link") + imp_format[index]);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
        int w = 0, h = 0;
        EXPECT_EQ(fn->header(fifo.c_str(), &w, &h), -1) << index;
        EXPECT_EQ(fn->read(fifo.c_str(), buf.data(), 0), 0) << index;
        EXPECT_EQ(device_reader[index](fifo.c_str(), 720, 576, frame.data()), 0) << index;
        for (const std::string &name : {fifo, link}) {
            EXPECT_EQ(fn->write(name.c_str(), 720, 576, img.data(), 90), 0) << index << name;
            const DeviceWriter write = device_writer[index];
            EXPECT_TRUE(!write || write(name.c_str(), 720, 576, frame.data(), thumb) == 0) << index;
        }
        EXPECT_EQ(read_file(victim), Bytes{'k'}) << index;
    }
    close(thumb);
    alarm(0);
}

// A JPEG header beyond the still limits (16384 a side, 64 Mpixel) is refused
// before anything is decoded into a buffer of the real picture's size.
TEST_F(Stills, JpegHeaderBeyondTheStillLimitsIsRefusedBeforeDecoding) {
    const std::string path = dir.path("big.jpg");
    ASSERT_EQ(glotojpg(path.c_str(), 16, 16, Bytes(16 * 16 * 3, 60).data(), 90), 1);
    const Bytes small = read_file(path);
    const std::tuple<int, int, bool> sizes[] = {{65500, 65500, false}, {16385, 16, false},
                                                {16, 16385, false},    {16000, 16000, false},
                                                {16384, 4097, false},  {16384, 4096, true}};
    for (const auto &[w, h, accepted] : sizes) {
        write_file(path, reel_test::claim_size(small, w, h));
        int pw = 0, ph = 0;
        EXPECT_EQ(headerjpg(path.c_str(), &pw, &ph), accepted ? 1 : -1) << w << "x" << h;
        EXPECT_TRUE(accepted ? pw == w && ph == h : pw == -1 && ph == -1) << w << "x" << h;
        if (accepted) continue;
        Bytes buf(16 * 16 * 4, 0xCC);
        EXPECT_EQ(jpgtoglo(path.c_str(), buf.data(), 2), 0) << w << "x" << h;
        EXPECT_EQ(buf, Bytes(16 * 16 * 4, 0xCC));
    }
}

} // namespace

TEST_F(Magick, OurFilesReadByImageMagick) {
    const Bytes rgb = test_rgb(w, h);
    for (int index : {1, 2, 5}) { // Targa, SGI, JPEG
        const std::string path = dir.path(std::string("ours") + imp_format[index]);
        ASSERT_EQ(img_functions(index)->write(path.c_str(), w, h, flip(rgb, w, h).data(), 95), 1);
        EXPECT_LE(max_diff(magick_decode(path), rgb), index == 5 ? 10 : 0) << index;
    }
}
