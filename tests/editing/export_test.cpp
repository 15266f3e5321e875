// Export of a clip window: the dialog's checks and names, picture, field-pair
// and reel exports (decoded and copied as compressed fields) from reels and
// picture sequences made here, and exports that meet busy, broken or
// stopped input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../media/reel_fixtures.h"
#include "editing/clip_records.h"
#include "editing/export.h"
#include "editing/segments.h"
#include "media/fm_format_svj.h"
#include "media/fm_main.h"
#include "media/img_formats.h"
#include "media/svjr.h"
#include "media/video_globals.h"
#include "platform/jobs.h"
#include "platform/sem.h"

using reel_test::bytes;
using reel_test::read_file;
using reel_test::temp_dir;

namespace {

// A field-sequential R, G, B frame whose content depends on seed; its two
// fields differ.
void fill_frame(fm_fileformat *file, int seed) {
    for (int i = 0; i < file->size; i++)
        file->buffer[i] = (unsigned char)((i / 3 % 720) / 3 + seed * 40 + (i % 3) * 50 +
                                          (i >= file->size / 2 ? 60 : 0));
}

// A PAL reel of `frames` frames at quality q.
void make_reel(const std::string &name, int frames, int q, int seed = 0) {
    fm_fileformat *file = fm_create_file("svj", name.c_str(), VIDEO_SIZEX, VIDEO_SIZEY, 0, q);
    ASSERT_NE(file, nullptr);
    for (int k = 0; k < frames; k++) {
        fill_frame(file, seed + k);
        ASSERT_EQ(fm_write(file, k), 0);
    }
    ASSERT_EQ(fm_close(file), 0);
    fm_fileformat_free(file);
}

// A stored field of a reel, as the field store keeps it.
bytes stored_field(const std::string &reel, int frame, int field) {
    fm_fileformat *file = fm_fileformat_allocate("svj");
    bytes out;
    if (file && fm_open(file, reel.c_str()) == 0) {
        auto *st = static_cast<fm_svj_state *>(file->state);
        out.resize(fm_svj_size(st, frame, field));
        fm_svj_data_read(st, fm_svj_offset(st, frame, field), uint32_t(out.size()), out.data());
        fm_close(file);
    }
    fm_fileformat_free(file);
    return out;
}

int reel_frames(const std::string &reel) {
    fm_fileformat *file = fm_fileformat_allocate("svj");
    int n = -1;
    if (fm_rheader(file, reel.c_str()) == 0) {
        n = file->frames;
        fm_close(file);
    }
    fm_fileformat_free(file);
    return n;
}

// Decodes a frame through the display reader; empty when it fails.
bytes decoded(const std::string &reel, int frame) {
    fm_fileformat *r = svjr_open(reel.c_str(), 1, 0, 0);
    if (!r) return {};
    bytes image(size_t(r->size));
    if (svjr_read(r, image.data(), frame) != 0) image.clear();
    svjr_close(r->state);
    std::free(r);
    return image;
}

// Clips joined as one window, as the master area's summa window joins them.
struct Clip {
    std::vector<FisicData *> clips;
    WindowData win;

    ~Clip() {
        FreeSegments(&win);
        first_fisic = nullptr;
        for (FisicData *f : clips) {
            if (f->pic) std::free(f->pic->pattern);
            delete f->pic;
            std::free(f->path);
            delete f;
        }
    }
    FisicData *reel(const std::string &name) {
        auto *f = new FisicData;
        f->path = strdup(name.c_str());
        f->frames = reel_frames(name);
        return add(f);
    }
    FisicData *pictures(const std::string &base, int first, int last, int ext) {
        auto *f = new FisicData;
        f->pic = new ImageLogInfo{strdup(base.c_str()), first, last, 1, ext, 1};
        f->frames = last - first + 1;
        return add(f);
    }
    FisicData *add(FisicData *f) {
        clips.push_back(f);
        f->next = first_fisic.load();
        first_fisic = f;
        auto *s = new Segment{0, f->frames - 1, win.total};
        s->fisic = f;
        f->refs++;
        RingAppend(&win, s);
        win.total += f->frames;
        return f;
    }
};

// Mean byte of each of `frames` frames of a movie, decoded to R, G, B by ffmpeg.
std::vector<double> movie_means(const std::string &movie, const std::string &raw, int frames) {
    reel_test::run_command("ffmpeg -v error -y -i '" + movie + "' -f rawvideo -pix_fmt rgb24 '" +
                           raw + "'");
    const bytes rgb = read_file(raw);
    std::vector<double> means;
    const size_t n = rgb.size() / size_t(frames);
    for (int k = 0; k < frames && n; k++) {
        double sum = 0;
        for (size_t i = 0; i < n; i++)
            sum += rgb[size_t(k) * n + i];
        means.push_back(sum / double(n));
    }
    return means;
}

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetVideoMode(0);
        fm_initialize(nullptr);
        SemInit();
        ExportPathWrittenHook = nullptr;
    }
    void TearDown() override {
        SemRemove();
        fm_deinitialize();
    }

    // A reel `name` of the test directory, made and added to the clip.
    FisicData *reel(const std::string &name, int frames, int q = 85, int seed = 0) {
        make_reel(tmp.path(name), frames, q, seed);
        return c.reel(tmp.path(name));
    }
    ExportRequest request(const std::string &name, int kind, int format, int start, int end,
                          int step = 1, int style = 0) {
        ExportRequest r;
        r.path = tmp.path(name);
        r.kind = kind;
        r.format = format;
        r.start = std::to_string(start);
        r.end = std::to_string(end);
        r.step = std::to_string(step);
        r.out_start = "1";
        r.quality = "85";
        r.style = style;
        return r;
    }
    ExportRequest pictures(const std::string &name, int end, int style = 0) {
        return request(name, EXPORT_KIND_PICTURES, 1, 1, end, 1, style);
    }
    // The check's refusal ("" when it accepts) and its overwrite question.
    std::pair<std::string, bool> check(const ExportRequest &req, WindowData *win) {
        ExportCheckResult r = ExportCheck(req, win, win ? win->total : 3);
        std::pair<std::string, bool> out{r.message ? r.message : "", r.overwrite};
        FreeExportData(r.data);
        return out;
    }
    // Checks and runs an export in the foreground; its status, -1 when refused.
    int run(const ExportRequest &req, Clip &from) {
        ExportCheckResult r = ExportCheck(req, &from.win, from.win.total);
        if (r.message) return -1;
        ExportProcess(r.data);
        int status = r.data->status;
        FreeExportData(r.data);
        return status;
    }
    int run(const ExportRequest &req) { return run(req, c); }
    temp_dir tmp;
    Clip c;
};

TEST_F(ExportTest, ChecksRefuseInOrderWithTheirMessages) {
    reel("a.svj", 3);
    struct Case {
        const char *start, *end, *step, *out_start;
        const char *message;
    } cases[] = {
        {"0", "3", "1", "1", EXPORT_MSG_START}, {"1", "3", "1", "0", EXPORT_MSG_START},
        {"1", "4", "0", "1", EXPORT_MSG_END},   {"1", "3", "0", "1", EXPORT_MSG_STEP},
        {"3", "2", "1", "1", EXPORT_MSG_ORDER}, {"1", "3", "1", "1", ""},
    };
    for (const Case &k : cases) {
        ExportRequest req = pictures("p", 1);
        req.start = k.start, req.end = k.end, req.step = k.step, req.out_start = k.out_start;
        EXPECT_EQ(check(req, &c.win).first, k.message) << k.start << k.end;
    }
    EXPECT_EQ(check(pictures("p", 3), nullptr).first, EXPORT_MSG_NO_CLIP);
    EXPECT_EQ(check(pictures("missing/p", 3), &c.win).first, EXPORT_MSG_DIRECTORY);
    EXPECT_NE(check(pictures("", 3), &c.win).first, "");
    c.clips[0]->busy = 1;
    EXPECT_EQ(check(pictures("p", 3), &c.win).first, EXPORT_MSG_EFFECT);
}

TEST_F(ExportTest, NamesAndValues) {
    reel("a.svj", 2);
    struct Case {
        const char *path;
        int kind, format, style;
        const char *quality;
        const char *want_path;
        int want_quality;
    } cases[] = {
        {"name.mov", EXPORT_KIND_REEL, EXPORT_SVJ, 0, "0", "name.svj", 1},
        {"name", EXPORT_KIND_REEL, EXPORT_SVJ, 0, "250", "name.svj", 100},
        {"name.x.y", EXPORT_KIND_PICTURES, 1, 0, "", "name", 85},
        {"longname", EXPORT_KIND_PICTURES, 1, 2, "50", "longn", 50},
        {"longname", EXPORT_KIND_PICTURES, EXPORT_FIELDS, 2, "50", "long", 50},
    };
    for (const Case &k : cases) {
        ExportRequest req = request(k.path, k.kind, k.format, 1, 2, 1, k.style);
        req.quality = k.quality;
        ExportCheckResult r = ExportCheck(req, &c.win, c.win.total);
        ASSERT_NE(r.data, nullptr) << k.path;
        EXPECT_EQ(r.data->path, tmp.path(k.want_path));
        EXPECT_EQ(r.data->quality, k.want_quality);
        FreeExportData(r.data);
    }
}

TEST_F(ExportTest, NumbersFollowTheDistanceFromStart) {
    reel("a.svj", 20);
    ASSERT_EQ(run(request("name", EXPORT_KIND_PICTURES, 1, 10, 20, 5, 1)), 0);
    for (const char *n : {"name.0001.tga", "name.0006.tga", "name.0011.tga"})
        EXPECT_EQ(access(tmp.path(n).c_str(), F_OK), 0) << n;
    EXPECT_NE(access(tmp.path("name.0002.tga").c_str(), F_OK), 0);
    // Frame 15 of the window is reel frame 14.
    ASSERT_EQ(
        reel_test::run_svjtool("decode " + tmp.path("a.svj") + " 14 " + tmp.path("ref.tga")).status,
        0);
    EXPECT_EQ(read_file(tmp.path("ref.tga")), read_file(tmp.path("name.0006.tga")));
}

TEST_F(ExportTest, AnExistingFrameAsksBeforeOverwriting) {
    reel("a.svj", 3);
    EXPECT_FALSE(check(pictures("name", 3, 1), &c.win).second);
    reel_test::write_file(tmp.path("name.0002.tga"), {1});
    reel_test::write_file(tmp.path("name.0004.tga"), {1}); // not written by this export
    EXPECT_TRUE(check(pictures("name", 3, 1), &c.win).second);
    EXPECT_FALSE(check(pictures("name", 3, 0), &c.win).second);
}

TEST_F(ExportTest, ATargetThatIsASourceIsRefused) {
    reel("a.svj", 3);
    make_reel(tmp.path("b.svj"), 3, 85);
    const ExportRequest a = request("a.svj", EXPORT_KIND_REEL, EXPORT_SVJ, 1, 3),
                        b = request("b.svj", EXPORT_KIND_REEL, EXPORT_SVJ, 1, 3);
    EXPECT_EQ(check(a, &c.win).first, EXPORT_MSG_IN_USE);
    // Open in another window (in the clip list) only.
    Clip other;
    other.reel(tmp.path("b.svj"));
    EXPECT_EQ(check(b, &c.win).first, EXPORT_MSG_IN_USE);
    first_fisic = c.clips[0];
    c.clips[0]->next = nullptr;
    // Being written by another export.
    ExportPathWrittenHook = [](const char *) { return true; };
    EXPECT_EQ(check(b, &c.win).first, EXPORT_MSG_IN_USE);
    ExportPathWrittenHook = nullptr;
    EXPECT_EQ(check(b, &c.win).first, "");
}

TEST_F(ExportTest, CompressedCopyAcrossReelsOfOneQualityAndDecodeForAnother) {
    reel("a.svj", 3, 85, 0);
    reel("b.svj", 2, 85, 5);
    reel("c.svj", 2, 60, 9);
    c.reel(tmp.path("a.svj"));
    ASSERT_EQ(run(request("out.svj", EXPORT_KIND_REEL, EXPORT_SVJ, 1, 9)), 0);
    const std::string out = tmp.path("out.svj");
    ASSERT_EQ(reel_frames(out), 9);
    struct From {
        const char *reel;
        int frame;
    } from[] = {{"a.svj", 0}, {"a.svj", 1}, {"a.svj", 2}, {"b.svj", 0}, {"b.svj", 1},
                {nullptr, 0}, {nullptr, 0}, {"a.svj", 0}, {"a.svj", 1}};
    for (int k = 0; k < 9; k++) {
        ASSERT_FALSE(decoded(out, k).empty()) << k;
        for (int field = 0; from[k].reel && field < 2; field++)
            EXPECT_EQ(stored_field(out, k, field),
                      stored_field(tmp.path(from[k].reel), from[k].frame, field))
                << k;
    }
    // Frames of the reel at the other quality are decoded and encoded again.
    EXPECT_NE(stored_field(out, 5, 0), stored_field(tmp.path("c.svj"), 0, 0));
    EXPECT_EQ(reel_test::run_svjtool("index " + out).status, 0);
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
}

TEST_F(ExportTest, FieldsAreThePairsAsStored) {
    reel("a.svj", 2);
    ASSERT_EQ(run(request("f", EXPORT_KIND_PICTURES, EXPORT_FIELDS, 1, 2)), 0);
    for (int k = 0; k < 2; k++)
        for (int field = 0; field < 2; field++) {
            std::string name =
                tmp.path("f_f" + std::to_string(field + 1) + "." + std::to_string(k + 1) + ".jpg");
            ASSERT_TRUE(reel_test::djpeg_clean(name)) << name;
            // Imported back as a pair, a field keeps its coded data.
            bytes jpeg = read_file(name);
            bytes data = stored_field(tmp.path("a.svj"), k, field);
            ASSERT_GE(jpeg.size(), data.size());
            EXPECT_TRUE(std::equal(data.begin(), data.end(), jpeg.end() - long(data.size())));
        }
    std::vector<bytes> pair = {read_file(tmp.path("f_f1.1.jpg")),
                               read_file(tmp.path("f_f2.1.jpg"))};
    ASSERT_EQ(reel_test::store_reel(tmp.path("back.svj"), pair, 720, 576), "");
    for (int field = 0; field < 2; field++)
        EXPECT_EQ(stored_field(tmp.path("back.svj"), 0, field),
                  stored_field(tmp.path("a.svj"), 0, field));
}

// Pictures written by one export are read by the next as a picture clip,
// every frame of it; a missing one is written black.
TEST_F(ExportTest, PicturesInAndOutAndFieldsOfPicturesEndWithStatusTwo) {
    reel("a.svj", 3);
    ASSERT_EQ(run(pictures("p", 3, 1)), 0);
    Clip pics;
    pics.pictures(tmp.path("p"), 1, 4, 1); // p.0004.tga is missing
    ASSERT_EQ(run(request("q.svj", EXPORT_KIND_REEL, EXPORT_SVJ, 1, 4), pics), 0);
    EXPECT_EQ(reel_frames(tmp.path("q.svj")), 4);
    const bytes black = decoded(tmp.path("q.svj"), 3);
    ASSERT_FALSE(black.empty());
    EXPECT_LT(black[black.size() / 2], 20);
    for (int k = 0; k < 3; k++) {
        const bytes got = decoded(tmp.path("q.svj"), k), want = decoded(tmp.path("a.svj"), k);
        ASSERT_EQ(got.size(), want.size()) << k;
        double diff = 0;
        for (size_t i = 0; i < got.size(); i++)
            diff += std::abs(int(got[i]) - int(want[i]));
        EXPECT_LT(diff / double(got.size()), 8.0) << "frame " << k;
    }
    EXPECT_EQ(run(request("f", EXPORT_KIND_PICTURES, EXPORT_FIELDS, 1, 2), pics), EXPORT_NOT_REEL);
}

TEST_F(ExportTest, AnUnreadableFrameIsBlackWithStatusOne) {
    make_reel(tmp.path("a.svj"), 3, 85);
    // Spoil the coded data of frame 1's first field.
    {
        bytes data = stored_field(tmp.path("a.svj"), 1, 0);
        fm_fileformat *file = fm_fileformat_allocate("svj");
        ASSERT_EQ(fm_open(file, tmp.path("a.svj").c_str()), 0);
        uint32_t off = fm_svj_offset(static_cast<fm_svj_state *>(file->state), 1, 0);
        fm_close(file);
        fm_fileformat_free(file);
        int fd = open(tmp.path("a.svj").c_str(), O_WRONLY);
        std::vector<unsigned char> junk(data.size() - 8, 0xFF);
        ASSERT_EQ(pwrite(fd, junk.data(), junk.size(), off + 4), ssize_t(junk.size()));
        close(fd);
    }
    c.reel(tmp.path("a.svj"));
    EXPECT_EQ(run(pictures("p", 3)), EXPORT_PARTIAL);
    for (const char *n : {"p.1.tga", "p.2.tga", "p.3.tga"}) {
        const bytes pic = read_file(tmp.path(n));
        ASSERT_GT(pic.size(), 18u) << n;
        const bool black =
            std::all_of(pic.begin() + 18, pic.end(), [](unsigned char b) { return b == 0; });
        EXPECT_EQ(black, n[2] == '2') << n;
    }
}

TEST_F(ExportTest, ABusyClipInRangeEndsTheExport) {
    reel("a.svj", 2);
    FisicData *b = reel("b.svj", 2);
    ExportCheckResult r = ExportCheck(pictures("p", 4), &c.win, 4);
    ASSERT_NE(r.data, nullptr);
    b->busy = 1; // became busy after the check
    ExportProcess(r.data);
    EXPECT_EQ(r.data->status, EXPORT_PARTIAL);
    EXPECT_EQ(r.data->progress, 2);
    FreeExportData(r.data);
    EXPECT_NE(access(tmp.path("p.3.tga").c_str(), F_OK), 0);
}

TEST_F(ExportTest, TheWindowMayBeEditedDuringItsExport) {
    reel("a.svj", 3);
    ExportCheckResult r =
        ExportCheck(request("o.svj", EXPORT_KIND_REEL, EXPORT_SVJ, 1, 3), &c.win, 3);
    ASSERT_NE(r.data, nullptr);
    // The window loses its segments; the export's copy keeps the clip in use.
    FreeSegments(&c.win);
    EXPECT_EQ(c.clips[0]->refs, 1);
    ExportProcess(r.data);
    EXPECT_EQ(r.data->status, 0);
    FreeExportData(r.data);
    EXPECT_EQ(c.clips[0]->refs, 0);
    EXPECT_EQ(reel_frames(tmp.path("o.svj")), 3);
}

TEST_F(ExportTest, AStoppedExportUnwindsAtItsPauseGate) {
    reel("a.svj", 3);
    ExportCheckResult r = ExportCheck(pictures("p", 3), &c.win, 3);
    ASSERT_NE(r.data, nullptr);
    SemSet(0, 1); // closed, as during a playback
    int id = JobStart(ExportProcess, r.data);
    ASSERT_GT(id, 0);
    usleep(50000);
    EXPECT_EQ(JobStop(id), 0);
    JobJoinAll();
    SemSet(0, 0);
    EXPECT_EQ(r.data->progress, 0);
    EXPECT_NE(access(tmp.path("p.1.tga").c_str(), F_OK), 0);
    FreeExportData(r.data);
}

// A log-size movie of a clip without a log reads the reel at a quarter of
// its size: its frames are the full-size movie's, scaled down.
TEST_F(ExportTest, ALogSizeMovieWithoutALogReadsTheReelAtAQuarter) {
    reel("a.svj", 3);
    std::vector<double> means[2];
    for (int kind : {EXPORT_KIND_REEL, EXPORT_KIND_MOVIE}) {
        const std::string name = "m" + std::to_string(kind) + ".movie";
        ASSERT_EQ(run(request(name, kind, EXPORT_MOVIE_BASE, 1, 3)), EXPORT_OK) << kind;
        means[kind == EXPORT_KIND_MOVIE] = movie_means(tmp.path(name), tmp.path("raw"), 3);
        ASSERT_EQ(read_file(tmp.path("raw")).size(),
                  (kind == EXPORT_KIND_MOVIE ? 180u * 144 : 720u * 576) * 3 * 3);
    }
    for (int k = 0; k < 3; k++)
        EXPECT_NEAR(means[0][k], means[1][k], 3.0) << "frame " << k;
}

} // namespace
