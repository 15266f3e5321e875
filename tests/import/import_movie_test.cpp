// Movies into reels: H.264 MP4, MJPEG AVI and a 30 fps MOV sampled at the
// PAL frame rate, turned movies, and the files that must be refused (no
// reel, truncated, playlists and concatenation scripts). Fixtures are made
// with the ffmpeg program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "editing/image_seq.h"
#include "editing/import.h"
#include "editing/import_movie.h"
#include "media/video_globals.h"
#include "platform/sem.h"
#include "tests/import/import_util.h"
#include "tests/media/reel_fixtures.h"

namespace {

using import_test::Reel;
using reel_test::temp_dir;

const char *const kFfmpeg = "ffmpeg -nostdin -loglevel error -y ";

class ImportMovie : public ::testing::Test {
  protected:
    temp_dir tmp;
    std::string db = tmp.dir() + "/";
    void SetUp() override {
        SetVideoMode(0);
        fm_initialize(nullptr);
        ASSERT_EQ(SemInit(), 0);
        for (const char *sub : {"SVJ", "CLIP"})
            ASSERT_EQ(mkdir((db + sub).c_str(), 0777), 0);
    }
    void TearDown() override { SemRemove(); }
    // A movie of one second of red, then one of blue, w x h at rate, made
    // with the given codec options.
    std::string Movie(const std::string &name, int w, int h, int rate, const std::string &codec) {
        const std::string out = tmp.path(name);
        const std::string colour = ":s=" + std::to_string(w) + "x" + std::to_string(h) +
                                   ":r=" + std::to_string(rate) + ":d=1";
        const std::string cmd = std::string(kFfmpeg) + "-f lavfi -i color=c=red" + colour +
                                " -f lavfi -i color=c=blue" + colour +
                                " -filter_complex '[0][1]concat=n=2' " + codec + " '" + out + "'";
        EXPECT_EQ(system(cmd.c_str()), 0) << cmd;
        return out;
    }
    // Imports the movie into a reel: the status, or -1 when refused with message.
    int Import(const std::string &movie, const std::string &reel) {
        ImportData d;
        d.start = 1;
        d.end = 1 << 30;
        if (ImportPrepare(movie, reel, db, 0, 0, d, message) != PREPARE_START) return -1;
        ImportWrite(&d);
        return d.status->load();
    }
    std::string message;
};

TEST_F(ImportMovie, MoviesAreSampledAtTheVideoRate) {
    struct Case {
        const char *name;
        int w, h, rate;
        const char *codec;
    } cases[] = {
        {"clip.mp4", 1280, 720, 30, "-c:v libx264 -pix_fmt yuv420p"},
        {"clip.avi", 720, 576, 25, "-c:v mjpeg -q:v 3"},
        {"clip.mov", 640, 480, 30, "-c:v mjpeg -q:v 3"},
        {"clip.mkv", 720, 576, 25, "-c:v libx264 -pix_fmt yuv420p"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string movie = Movie(c.name, c.w, c.h, c.rate, c.codec);
        std::vector<ImportSeq> list;
        ASSERT_EQ(ImportMovieSearch(tmp.dir().c_str(), list), 1);
        EXPECT_EQ(list[0].shown, c.name);
        EXPECT_EQ(list[0].last, 50);
        const std::string reel = db + "SVJ/" + c.name + ".svj";
        ASSERT_EQ(Import(movie, reel), IMPORT_OK) << message;
        Reel r(reel);
        ASSERT_NE(r.f, nullptr);
        EXPECT_EQ(r.f->frames, 50);
        // Red up to 1 s, blue after: the middle of frames 23 and 26, R and B.
        for (int k : {23, 26}) {
            const unsigned char *f = r.frame(k);
            ASSERT_NE(f, nullptr);
            const unsigned char *p =
                f + (size_t(r.f->height / 4) * r.f->width + r.f->width / 2) * 3;
            EXPECT_EQ(p[0] > 200 && p[2] < 60, k == 23) << int(p[0]) << " " << int(p[2]);
            EXPECT_EQ(p[0] < 60 && p[2] > 200, k == 26) << int(p[0]) << " " << int(p[2]);
        }
        unlink(movie.c_str());
    }
}

TEST_F(ImportMovie, RefusedMovies) {
    const std::string movie = Movie("m.mp4", 720, 576, 25, "-c:v libx264 -pix_fmt yuv420p");
    EXPECT_EQ(Import(movie, ""), -1);
    EXPECT_EQ(message, "You must write the svj to\nimport movies\n");
    // Truncated to its first kilobyte: no picture can be read; a playlist and
    // a concatenation script under movie names open nothing.
    auto bytes = reel_test::read_file(movie);
    bytes.resize(1024);
    reel_test::write_file(tmp.path("cut.mp4"), bytes);
    std::ofstream(tmp.path("list.mp4")) << "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\n"
                                        << movie << "\n#EXT-X-ENDLIST\n";
    std::ofstream(tmp.path("cat.mov")) << "ffconcat version 1.0\nfile '" << movie << "'\n";
    for (const char *name : {"cut.mp4", "list.mp4", "cat.mov"}) {
        EXPECT_EQ(Import(tmp.path(name), db + "SVJ/p.svj"), -1) << name;
        EXPECT_EQ(message, "Error reading first picture\n");
    }
    struct stat st;
    EXPECT_NE(stat((db + "SVJ/p.svj").c_str(), &st), 0);
}

TEST_F(ImportMovie, TurnedMoviesComeOutUpright) {
    // Red above blue, stored with a display matrix turning it a quarter
    // counterclockwise: shown upright, red is on the left.
    const std::string coded = tmp.path("coded.mp4"), turned = tmp.path("turned.mp4");
    ASSERT_EQ(system((kFfmpeg +
                      std::string("-f lavfi -i "
                                  "'color=red:s=320x240:d=1,drawbox=y=120:h=120:c=blue:t=fill' "
                                  "-c:v libx264 -pix_fmt yuv420p '") +
                      coded + "' && " + kFfmpeg + "-i '" + coded +
                      "' -c copy -metadata:s:v:0 rotate=90 '" + turned + "'")
                         .c_str()),
              0);
    MovieSource m;
    ASSERT_TRUE(m.open(turned));
    EXPECT_EQ(m.width(), 240);
    EXPECT_EQ(m.height(), 320);
    const std::string reel = db + "SVJ/turned.svj";
    ASSERT_EQ(Import(turned, reel), IMPORT_OK) << message;
    Reel r(reel);
    ASSERT_NE(r.f, nullptr);
    const unsigned char *frame = r.frame(0);
    ASSERT_NE(frame, nullptr);
    const unsigned char *row = frame + size_t(r.f->height / 4) * r.f->width * 3;
    const unsigned char *left = row + (r.f->width / 2 - 60) * 3,
                        *right = row + (r.f->width / 2 + 60) * 3;
    EXPECT_GT(left[0], 200);
    EXPECT_LT(left[2], 60);
    EXPECT_LT(right[0], 60);
    EXPECT_GT(right[2], 200);
    EXPECT_LT(row[0] + row[1] + row[2], 10) << "pillarboxed";
}

} // namespace
