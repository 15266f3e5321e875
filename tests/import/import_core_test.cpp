// The import core without a display: names of a chosen sequence, the
// first-picture check, and the background body writing reels, field-pair
// reels and image-clip previews, with its edge cases and a stop mid-import.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "editing/clip_names.h"
#include "editing/import.h"
#include "media/clip_log.h"
#include "media/field.h"
#include "media/fm_main.h"
#include "media/img_jpeg.h"
#include "media/video_globals.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/media/reel_fixtures.h"

namespace {

using reel_test::bytes;
using reel_test::read_file;
using reel_test::temp_dir;

// A test picture of w x h (3-byte display image, bottom-up B, G, R): a
// gradient that depends on seed.
std::vector<unsigned char> picture(int w, int h, int seed) {
    std::vector<unsigned char> p(size_t(w) * h * 3);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char *q = &p[(size_t(y) * w + x) * 3];
            q[0] = (unsigned char)((x + seed * 13) & 255);
            q[1] = (unsigned char)((y + seed * 7) & 255);
            q[2] = (unsigned char)(((x + y) / 2 + seed * 29) & 255);
        }
    return p;
}

void write_jpeg(const std::string &name, int w, int h, int seed) {
    auto p = picture(w, h, seed);
    ASSERT_EQ(glotojpg(name.c_str(), w, h, p.data(), 95), 1);
}

// PSNR of two field-sequential frames of the same size.
double psnr(const unsigned char *a, const unsigned char *b, size_t n) {
    double se = 0;
    for (size_t i = 0; i < n; i++) {
        const double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    if (se == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 / (se / double(n)));
}

class ImportCore : public ::testing::Test {
  protected:
    temp_dir tmp;
    std::string db;
    void SetUp() override {
        SetVideoMode(0);
        fm_initialize(nullptr);
        ASSERT_EQ(SemInit(), 0);
        db = tmp.dir() + "/";
        for (const char *sub : {"SVJ", "CLIP", "IMAGES"})
            ASSERT_EQ(mkdir((db + sub).c_str(), 0777), 0);
        unsetenv(IMPORT_RECORD_ENV);
        ImportJpegFields = 0;
    }
    void TearDown() override {
        SemSet(0, 0);
        JobJoinAll();
        SemRemove();
    }
    std::string img(const std::string &n) const { return db + "IMAGES/" + n; }
    // walk.0001.jpg .. walk.<n>.jpg of w x h.
    void sequence(int n, int w = 720, int h = 576, const std::string &base = "walk") {
        for (int i = 1; i <= n; i++) {
            char name[64];
            snprintf(name, sizeof name, "%s.%04d.jpg", base.c_str(), i);
            write_jpeg(img(name), w, h, i);
        }
    }
    int prepare(ImportData &d, const std::string &path, const std::string &reel, int mode = 0,
                int fields = 0) {
        std::string msg;
        const int rc = ImportPrepare(path, reel, db, mode, fields, d, msg);
        last_message = msg;
        return rc;
    }
    std::string last_message;
};

TEST(ImportNames, GetBasenameSplitsListLinesAndFiles) {
    struct Case {
        const char *path;
        int style;
        const char *base;
        int ext;
    } cases[] = {
        {"/d/a.[1...12].pic", 0, "/d/a", 0},
        {"/d/a.[0001...0100].pic", 1, "/d/a", 0},
        {"/d/a[1000...1010].tga", 2, "/d/a", 1},
        {"/d/one.sgi", 3, "/d/one", 2},
        {"/d/x.[0001...0002].JPG", -1, "", 0}, // the extension must match exactly
        {"/d/.jpg", -1, "", 0},
        {"/d/[0001...0002].jpg", -1, "", 0},
        {".rgb", -1, "", 0},
        {"abc", -1, "", 0},
    };
    for (const Case &c : cases) {
        std::string base;
        int ext = -1;
        EXPECT_EQ(GetBasename(c.path, base, ext), c.style) << c.path;
        if (c.style >= 0) {
            EXPECT_EQ(base, c.base) << c.path;
            EXPECT_EQ(ext, c.ext) << c.path;
        }
    }
}

TEST(ImportNames, RemoteNamesAndFormats) {
    EXPECT_EQ(CreaAbeName("/d/clipname", 0), "/d/clipname.[1.yuv");
    EXPECT_EQ(CreaAbeName("/d/clipname", 1), "/d/clipname.[0.yuv");
    EXPECT_EQ(CreaAbeName("/d/clipname", 2), "/d/clipn[.yuv");
    EXPECT_EQ(CreaAbeName("ab", 2), "ab[.yuv");
    // Export picture formats: PIC, Targa, SGI, YUV, JPEG, JPEG fields, reel.
    const int want[] = {0, 1, 2, 4, 5, 6, 6};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(VtrToImportFormat(i), want[i]) << i;
    EXPECT_EQ(VtrToImportFormat(-1), 6);
    EXPECT_EQ(VtrToImportFormat(99), 6);
}

TEST(ImportNames, FrameCountNeverOverflows) {
    EXPECT_EQ(ImportFrameCount(1, 50, 1), 50);
    EXPECT_EQ(ImportFrameCount(1, 50, 7), 8);
    EXPECT_EQ(ImportFrameCount(5, 4, 1), 0);
    EXPECT_EQ(ImportFrameCount(1, 5, 0), 0);
    EXPECT_EQ(ImportFrameCount(INT_MIN, INT_MAX, 1), int64_t(UINT32_MAX) + 1);
    EXPECT_EQ(ImportFrameCount(INT_MIN, INT_MAX, INT_MAX), 3);
}

TEST_F(ImportCore, ImageClipPreviewAndLog) {
    sequence(5);
    ImportData d;
    d.start = 1;
    d.end = 5;
    ASSERT_EQ(prepare(d, img("walk.[0001...0005].jpg"), ""), PREPARE_START) << last_message;
    EXPECT_EQ(d.format_num, 1);
    EXPECT_EQ(d.ext_num, 5);
    EXPECT_EQ(d.xsize, 720);
    EXPECT_EQ(d.clip_num, 0);
    ImportWrite(&d);
    EXPECT_EQ(d.status->load(), IMPORT_OK);
    EXPECT_EQ(d.frames_made, 5);
    EXPECT_EQ(d.progress->load(), 0);
    ASSERT_TRUE(ImportWriteImageLog(d));
    char *log = PicLogName(db.c_str(), img("walk").c_str(), 0);
    ClipLogHeader h;
    ASSERT_TRUE(clip_log_read_header(log, h, true));
    free(log);
    EXPECT_EQ(h.frames, 5);
    EXPECT_EQ(h.width, 180);
    EXPECT_EQ(h.height, 144);
    EXPECT_EQ(h.first, 1);
    EXPECT_EQ(h.last, 5);
    EXPECT_EQ(h.pattern, img("walk"));
    std::vector<int> sizes, offsets;
    ASSERT_TRUE(clip_log_read_tables(d.preview.c_str(), 5, sizes, offsets));
    // The next import of the same base takes the next tag.
    ImportData e;
    ASSERT_EQ(prepare(e, img("walk.[0001...0005].jpg"), ""), PREPARE_START);
    EXPECT_EQ(e.clip_num, 1);
}

TEST_F(ImportCore, ReelMatchesItsSourcesAndMissingFramesAreBlack) {
    sequence(4);
    ASSERT_EQ(unlink(img("walk.0003.jpg").c_str()), 0);
    ImportData d;
    d.start = 1;
    d.end = 4;
    const std::string reel = db + "SVJ/walk.svj";
    ASSERT_EQ(prepare(d, img("walk.[0001...0004].jpg"), reel), PREPARE_START);
    ImportWrite(&d);
    EXPECT_EQ(d.status->load(), IMPORT_BLACK);
    EXPECT_EQ(d.frames_made, 4);
    fm_fileformat *f = fm_fileformat_allocate("svj");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fm_open(f, reel.c_str()), 0);
    EXPECT_EQ(f->frames, 4);
    std::vector<unsigned char> src(720 * 576 * 3);
    for (int i = 0; i < 4; i++) {
        ASSERT_EQ(fm_read(f, i), 0);
        if (i == 2) {
            long sum = 0;
            for (int k = 0; k < f->size; k++)
                sum += f->buffer[k];
            EXPECT_LT(sum / f->size, 2) << "missing frame is black";
            continue;
        }
        char name[64];
        snprintf(name, sizeof name, "walk.%04d.jpg", i + 1);
        ASSERT_EQ(jpgtoglo(img(name).c_str(), src.data(), 1), 1);
        EXPECT_GT(psnr(src.data(), f->buffer, src.size()), 30.0) << i;
    }
    fm_close(f);
    fm_fileformat_free(f);
    std::vector<int> sizes, offsets;
    EXPECT_TRUE(clip_log_read_tables(d.preview.c_str(), 4, sizes, offsets));
}

TEST_F(ImportCore, PictureOfAnotherSizeEndsEarlyWithTheFramesMade) {
    sequence(5);
    write_jpeg(img("walk.0004.jpg"), 640, 480, 4);
    ImportData d;
    d.start = 1;
    d.end = 5;
    ASSERT_EQ(prepare(d, img("walk.[0001...0005].jpg"), ""), PREPARE_START);
    ImportWrite(&d);
    EXPECT_EQ(d.status->load(), IMPORT_EARLY);
    EXPECT_EQ(d.frames_made, 3);
    ImageLogInfo info = ImportImageInfo(d);
    EXPECT_EQ(info.last, 3);
    free(info.pattern);
    std::vector<int> sizes, offsets;
    EXPECT_TRUE(clip_log_read_tables(d.preview.c_str(), 3, sizes, offsets));
}

TEST_F(ImportCore, NotVideoSizeAsksToFitOrRefuses) {
    sequence(2, 1024, 768, "big");
    ImportData d;
    d.start = 1;
    d.end = 2;
    EXPECT_EQ(prepare(d, img("big.[0001...0002].jpg"), ""), PREPARE_ERROR);
    EXPECT_EQ(last_message, "You must write the svj to\nimport non video size images\n");
    struct stat st;
    EXPECT_NE(stat(d.preview.c_str(), &st), 0);
    ImportData r;
    r.start = 1;
    r.end = 2;
    const std::string reel = db + "SVJ/big.svj";
    ASSERT_EQ(prepare(r, img("big.[0001...0002].jpg"), reel), PREPARE_FIT);
    ImportSetFit(r);
    ImportWrite(&r);
    EXPECT_EQ(r.status->load(), IMPORT_OK);
    fm_fileformat *f = fm_fileformat_allocate("svj");
    ASSERT_EQ(fm_open(f, reel.c_str()), 0);
    EXPECT_EQ(f->width, 720);
    EXPECT_EQ(f->height, 576);
    EXPECT_EQ(f->frames, 2);
    ASSERT_EQ(fm_read(f, 0), 0);
    // Letterboxed: 1024 x 768 fits as 720 x 540, 18 black lines above.
    EXPECT_LT(f->buffer[0] + f->buffer[1] + f->buffer[2], 6);
    fm_close(f);
    fm_fileformat_free(f);
}

TEST_F(ImportCore, MissingFirstPictureLeavesNothing) {
    ImportData d;
    d.start = 1;
    d.end = 3;
    EXPECT_EQ(prepare(d, img("none.[0001...0003].jpg"), ""), PREPARE_ERROR);
    EXPECT_EQ(last_message, "Error reading first picture\n");
    EXPECT_EQ(prepare(d, img("bad.name"), ""), PREPARE_ERROR);
    EXPECT_EQ(last_message, "Error importing pictures\n");
}

TEST_F(ImportCore, FieldPairsAreByteIdenticalToTheFieldWriter) {
    auto fields = reel_test::make_fields(3, 720, 288);
    for (int i = 0; i < 3; i++) {
        char n[64];
        snprintf(n, sizeof n, "pair_f1.%04d.jpg", i + 1);
        reel_test::write_file(img(n), fields[size_t(2 * i)]);
        snprintf(n, sizeof n, "pair_f2.%04d.jpg", i + 1);
        reel_test::write_file(img(n), fields[size_t(2 * i + 1)]);
    }
    ImportData d;
    d.start = 1;
    d.end = 3;
    const std::string reel = db + "SVJ/pair.svj";
    // The chosen "_f1" line names the base without its suffix.
    ASSERT_EQ(prepare(d, img("pair_f1.[0001...0003].jpg"), reel, 0, 1), PREPARE_START)
        << last_message;
    EXPECT_EQ(d.in_basename, img("pair"));
    EXPECT_EQ(d.ysize, 576);
    ImportWrite(&d);
    EXPECT_EQ(d.status->load(), IMPORT_OK);
    const std::string ref = db + "ref.svj";
    fm_fileformat rec{};
    ASSERT_EQ(svjf_create(ref.c_str(), &rec, 720, 576), 0);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(0, svjf_write(&rec, i, ImportFieldName(d, 0, i + 1).c_str(),
                                ImportFieldName(d, 1, i + 1).c_str()));
    ASSERT_EQ(svjf_close(&rec), 0);
    EXPECT_EQ(read_file(reel), read_file(ref));
    // A field of the wrong size ends the import.
    reel_test::write_file(img("pair_f2.0002.jpg"), reel_test::make_field_jpeg(720, 240, 9));
    ImportData e;
    e.start = 1;
    e.end = 3;
    ASSERT_EQ(prepare(e, img("pair_f1.[0001...0003].jpg"), db + "SVJ/pair2.svj", 0, 1),
              PREPARE_START);
    ImportWrite(&e);
    EXPECT_EQ(e.status->load(), IMPORT_EARLY);
    EXPECT_EQ(e.frames_made, 1);
}

TEST_F(ImportCore, RemoteFetchPassesHostileNamesLiterally) {
    // A stub rcp that logs its arguments and copies a picture into place.
    sequence(1, 720, 576, "src");
    const std::string bin = tmp.path("bin");
    ASSERT_EQ(mkdir(bin.c_str(), 0777), 0);
    const std::string argslog = tmp.path("args.log");
    {
        std::ofstream s(bin + "/rcp");
        s << "#!/bin/sh\nprintf '%s\\n' \"$1\" \"$2\" >> '" << argslog << "'\n"
          << "cp '" << img("src.0001.jpg") << "' \"$2\"\n";
    }
    ASSERT_EQ(chmod((bin + "/rcp").c_str(), 0755), 0);
    const std::string old_path = getenv("PATH");
    setenv("PATH", (bin + ":" + old_path).c_str(), 1);
    const std::string hostile = "host:it's $(touch pwned) `x`;";
    setenv(IMPORT_RECORD_ENV, hostile.c_str(), 1);
    ImportData d;
    d.start = 1;
    d.end = 2;
    const std::string local = img("we'ird $(id).jpg");
    std::string msg;
    ASSERT_EQ(ImportPrepare(local, "", db, 1, 0, d, msg), PREPARE_START) << msg;
    ImportWrite(&d);
    setenv("PATH", old_path.c_str(), 1);
    unsetenv(IMPORT_RECORD_ENV);
    EXPECT_EQ(d.status->load(), IMPORT_OK);
    EXPECT_EQ(d.frames_made, 2);
    std::ifstream in(argslog);
    std::string l1, l2, l3, l4;
    std::getline(in, l1);
    std::getline(in, l2);
    std::getline(in, l3);
    std::getline(in, l4);
    EXPECT_EQ(l1, hostile + "1");
    EXPECT_EQ(l2, local);
    EXPECT_EQ(l3, hostile + "2");
    struct stat st;
    EXPECT_NE(stat("pwned", &st), 0);
    EXPECT_NE(stat(tmp.path("pwned").c_str(), &st), 0);
}

TEST_F(ImportCore, RemoteWithoutTheVariableSetsStatus6) {
    ImportData d;
    d.start = 1;
    d.end = 2;
    std::string msg;
    ASSERT_EQ(ImportPrepare(img("r.yuv"), "", db, 2, 0, d, msg), PREPARE_START);
    ImportWrite(&d);
    EXPECT_EQ(d.status->load(), IMPORT_NOENV);
}

TEST_F(ImportCore, StopMidImportLeavesNoPreview) {
    sequence(3);
    ImportData d;
    d.start = 1;
    d.end = 3;
    ASSERT_EQ(prepare(d, img("walk.[0001...0003].jpg"), ""), PREPARE_START);
    SemSet(0, 1); // the pause gate is closed: the job waits before its first frame
    std::atomic<int> id{-1};
    ASSERT_GT(JobStart(ImportWrite, &d, &id), 0);
    while (d.progress->load() == 0)
        usleep(1000);
    ASSERT_EQ(JobStop(id), 0);
    JobJoinAll();
    EXPECT_EQ(d.frames_made, 0);
    struct stat st;
    EXPECT_NE(stat(d.preview.c_str(), &st), 0) << "an abandoned preview leaves no file";
    SemSet(0, 0);
}

} // namespace
