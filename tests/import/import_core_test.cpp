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
#include "media/video_globals.h"
#include "platform/jobs.h"
#include "platform/sem.h"
#include "tests/import/import_util.h"
#include "tests/media/reel_fixtures.h"

namespace {

using import_test::Reel;
using reel_test::read_file;
using reel_test::temp_dir;

// PSNR of two frames of n bytes.
double psnr(const unsigned char *a, const unsigned char *b, size_t n) {
    double se = 0;
    for (size_t i = 0; i < n; i++)
        se += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (se / double(n)));
}

bool exists(const std::string &name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

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
            EXPECT_EQ(base + "," + std::to_string(ext), c.base + ("," + std::to_string(c.ext)));
        }
    }
}

TEST(ImportNames, RemoteNamesAndFormats) {
    EXPECT_EQ(CreaAbeName("/d/clipname", 0), "/d/clipname.[1.yuv");
    EXPECT_EQ(CreaAbeName("/d/clipname", 1), "/d/clipname.[0.yuv");
    EXPECT_EQ(CreaAbeName("/d/clipname", 2), "/d/clipn[.yuv");
    EXPECT_EQ(CreaAbeName("ab", 2), "ab[.yuv");
    // Export picture formats: PIC, Targa, SGI, YUV, JPEG, JPEG fields, reel;
    // anything else is a reel.
    const int want[] = {6, 0, 1, 2, 4, 5, 6, 6, 6};
    for (int i = -1; i < 8; i++)
        EXPECT_EQ(VtrToImportFormat(i == 7 ? 99 : i), want[i + 1]) << i;
}

TEST(ImportNames, FrameCountNeverOverflows) {
    EXPECT_EQ(ImportFrameCount(1, 50, 1), 50);
    EXPECT_EQ(ImportFrameCount(1, 50, 7), 8);
    EXPECT_EQ(ImportFrameCount(5, 4, 1), 0);
    EXPECT_EQ(ImportFrameCount(1, 5, 0), 0);
    EXPECT_EQ(ImportFrameCount(INT_MIN, INT_MAX, 1), int64_t(UINT32_MAX) + 1);
    EXPECT_EQ(ImportFrameCount(INT_MIN, INT_MAX, INT_MAX), 3);
}

class ImportCore : public ::testing::Test {
  protected:
    temp_dir tmp;
    std::string db = tmp.dir() + "/";
    void SetUp() override {
        SetVideoMode(0);
        fm_initialize(nullptr);
        ASSERT_EQ(SemInit(), 0);
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
    void sequence(int n, int w = 720, int h = 576, const std::string &base = "walk") {
        import_test::sequence(db + "IMAGES", base, n, w, h);
    }
    // Prepares the import of frames 1 .. end of path (into reel when given).
    int prepare(ImportData &d, const std::string &path, int end, const std::string &reel = "",
                int mode = 0, int fields = 0) {
        d.start = 1;
        d.end = end;
        return ImportPrepare(path, reel, db, mode, fields, d, last_message);
    }
    std::string last_message;
};

TEST_F(ImportCore, ImageClipPreviewAndLog) {
    sequence(5);
    ImportData d;
    ASSERT_EQ(prepare(d, img("walk.[0001...0005].jpg"), 5), PREPARE_START) << last_message;
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
    EXPECT_EQ((std::vector<int>{h.frames, h.width, h.height, h.first, h.last}),
              (std::vector<int>{5, 180, 144, 1, 5}));
    EXPECT_EQ(h.pattern, img("walk"));
    std::vector<int> sizes, offsets;
    ASSERT_TRUE(clip_log_read_tables(d.preview.c_str(), 5, sizes, offsets));
    // The next import of the same base takes the next tag.
    ImportData e;
    ASSERT_EQ(prepare(e, img("walk.[0001...0005].jpg"), 5), PREPARE_START);
    EXPECT_EQ(e.clip_num, 1);
}

TEST_F(ImportCore, ReelMatchesItsSourcesAndMissingFramesAreBlack) {
    sequence(4);
    ASSERT_EQ(unlink(img("walk.0003.jpg").c_str()), 0);
    ImportData d;
    const std::string reel = db + "SVJ/walk.svj";
    ASSERT_EQ(prepare(d, img("walk.[0001...0004].jpg"), 4, reel), PREPARE_START);
    ImportWrite(&d);
    EXPECT_EQ(d.status->load(), IMPORT_BLACK);
    EXPECT_EQ(d.frames_made, 4);
    Reel r(reel);
    ASSERT_NE(r.f, nullptr);
    EXPECT_EQ(r.f->frames, 4);
    std::vector<unsigned char> src(720 * 576 * 3);
    for (int i = 0; i < 4; i++) {
        const unsigned char *frame = r.frame(i);
        ASSERT_NE(frame, nullptr);
        if (i == 2) {
            long sum = 0;
            for (int k = 0; k < r.f->size; k++)
                sum += frame[k];
            EXPECT_LT(sum / r.f->size, 2) << "missing frame is black";
            continue;
        }
        ASSERT_EQ(jpgtoglo(img("walk.000" + std::to_string(i + 1) + ".jpg").c_str(), src.data(), 1),
                  1);
        EXPECT_GT(psnr(src.data(), frame, src.size()), 30.0) << i;
    }
    std::vector<int> sizes, offsets;
    EXPECT_TRUE(clip_log_read_tables(d.preview.c_str(), 4, sizes, offsets));
}

TEST_F(ImportCore, PictureOfAnotherSizeEndsEarlyWithTheFramesMade) {
    sequence(5);
    import_test::write_jpeg(img("walk.0004.jpg"), 640, 480, 4);
    ImportData d;
    ASSERT_EQ(prepare(d, img("walk.[0001...0005].jpg"), 5), PREPARE_START);
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
    EXPECT_EQ(prepare(d, img("big.[0001...0002].jpg"), 2), PREPARE_ERROR);
    EXPECT_EQ(last_message, "You must write the svj to\nimport non video size images\n");
    EXPECT_FALSE(exists(d.preview));
    ImportData r;
    const std::string reel = db + "SVJ/big.svj";
    ASSERT_EQ(prepare(r, img("big.[0001...0002].jpg"), 2, reel), PREPARE_FIT);
    ImportSetFit(r);
    ImportWrite(&r);
    EXPECT_EQ(r.status->load(), IMPORT_OK);
    Reel out(reel);
    ASSERT_NE(out.f, nullptr);
    EXPECT_EQ((std::vector<int>{out.f->width, out.f->height, out.f->frames}),
              (std::vector<int>{720, 576, 2}));
    // Letterboxed: 1024 x 768 fits as 720 x 540, 18 black lines above.
    const unsigned char *frame = out.frame(0);
    ASSERT_NE(frame, nullptr);
    EXPECT_LT(frame[0] + frame[1] + frame[2], 6);
}

TEST_F(ImportCore, FieldPairsAreByteIdenticalToTheFieldWriter) {
    auto fields = reel_test::make_fields(3, 720, 288);
    for (size_t i = 0; i < fields.size(); i++)
        reel_test::write_file(
            img("pair_f" + std::to_string(i % 2 + 1) + ".000" + std::to_string(i / 2 + 1) + ".jpg"),
            fields[i]);
    ImportData d;
    const std::string reel = db + "SVJ/pair.svj";
    // The chosen "_f1" line names the base without its suffix.
    ASSERT_EQ(prepare(d, img("pair_f1.[0001...0003].jpg"), 3, reel, 0, 1), PREPARE_START)
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
    ASSERT_EQ(prepare(e, img("pair_f1.[0001...0003].jpg"), 3, db + "SVJ/pair2.svj", 0, 1),
              PREPARE_START);
    ImportWrite(&e);
    EXPECT_EQ(e.status->load(), IMPORT_EARLY);
    EXPECT_EQ(e.frames_made, 1);
}

// A stub rcp logs its arguments and copies a picture into place; without
// the variable naming the remote host, the job ends with status 6.
TEST_F(ImportCore, RemoteFetchPassesHostileNamesLiterally) {
    sequence(1, 720, 576, "src");
    const std::string bin = tmp.path("bin"), argslog = tmp.path("args.log");
    ASSERT_EQ(mkdir(bin.c_str(), 0777), 0);
    std::ofstream(bin + "/rcp") << "#!/bin/sh\nprintf '%s\\n' \"$1\" \"$2\" >> '" << argslog
                                << "'\ncp '" << img("src.0001.jpg") << "' \"$2\"\n";
    ASSERT_EQ(chmod((bin + "/rcp").c_str(), 0755), 0);
    ImportData n;
    ASSERT_EQ(prepare(n, img("r.yuv"), 2, "", 2), PREPARE_START);
    ImportWrite(&n);
    EXPECT_EQ(n.status->load(), IMPORT_NOENV);

    const std::string hostile = "host:it's $(touch pwned) `x`;";
    reel_test::ScopedEnv path("PATH", (bin + ":" + getenv("PATH")).c_str()),
        record(IMPORT_RECORD_ENV, hostile.c_str());
    ImportData d;
    const std::string local = img("we'ird $(id).jpg");
    ASSERT_EQ(prepare(d, local, 2, "", 1), PREPARE_START) << last_message;
    ImportWrite(&d);
    EXPECT_EQ(d.status->load(), IMPORT_OK);
    EXPECT_EQ(d.frames_made, 2);
    const auto args = read_file(argslog);
    EXPECT_EQ(std::string(args.begin(), args.end()),
              hostile + "1\n" + local + "\n" + hostile + "2\n" + local + "\n");
    EXPECT_FALSE(exists("pwned"));
    EXPECT_FALSE(exists(tmp.path("pwned")));
}

TEST_F(ImportCore, StopMidImportLeavesNoPreview) {
    sequence(3);
    ImportData d;
    ASSERT_EQ(prepare(d, img("walk.[0001...0003].jpg"), 3), PREPARE_START);
    SemSet(0, 1); // the pause gate is closed: the job waits before its first frame
    std::atomic<int> id{-1};
    ASSERT_GT(JobStart(ImportWrite, &d, &id), 0);
    for (int i = 0; i < 10000 && d.progress->load() == 0; i++)
        usleep(1000);
    ASSERT_EQ(JobStop(id), 0);
    JobJoinAll();
    EXPECT_EQ(d.frames_made, 0);
    EXPECT_FALSE(exists(d.preview)) << "an abandoned preview leaves no file";
}

} // namespace
