// Movies into reels: H.264 MP4, MJPEG AVI and a 30 fps MOV sampled at the
// PAL frame rate, and the files that must be refused (no reel, truncated,
// playlists and concatenation scripts). Fixtures are made with the ffmpeg
// program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "editing/image_seq.h"
#include "editing/import.h"
#include "editing/import_movie.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/sem.h"
#include "tests/media/reel_fixtures.h"

namespace {

using reel_test::temp_dir;

class ImportMovie : public ::testing::Test {
  protected:
    temp_dir tmp;
    std::string db;
    void SetUp() override {
        SetVideoMode(0);
        fm_initialize(nullptr);
        ASSERT_EQ(SemInit(), 0);
        db = tmp.dir() + "/";
        for (const char *sub : {"SVJ", "CLIP"})
            ASSERT_EQ(mkdir((db + sub).c_str(), 0777), 0);
    }
    void TearDown() override { SemRemove(); }
    // A movie of one second of red, then one of blue, w x h at rate, made
    // with the given codec options.
    std::string Movie(const std::string &name, int w, int h, int rate, const std::string &codec) {
        const std::string out = tmp.path(name);
        char size[32];
        snprintf(size, sizeof size, "%dx%d", w, h);
        const std::string cmd =
            std::string("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                        "color=c=red:s=") +
            size + ":r=" + std::to_string(rate) + ":d=1 -f lavfi -i color=c=blue:s=" + size +
            ":r=" + std::to_string(rate) + ":d=1 -filter_complex '[0][1]concat=n=2' " + codec +
            " '" + out + "'";
        EXPECT_EQ(system(cmd.c_str()), 0) << cmd;
        return out;
    }
    // Imports the movie into a reel; the status, or -1 when refused with message.
    int Import(const std::string &movie, const std::string &reel, std::string &message,
               ImportData &d) {
        d.start = 1;
        d.end = 1 << 30;
        if (ImportPrepare(movie, reel, db, 0, 0, d, message) != PREPARE_START) return -1;
        ImportWrite(&d);
        return d.status->load();
    }
    // Mean R and B of the middle of reel frame k.
    static void Colour(const std::string &reel, int k, int &r, int &b) {
        fm_fileformat *f = fm_fileformat_allocate("svj");
        ASSERT_EQ(fm_open(f, reel.c_str()), 0);
        ASSERT_EQ(fm_read(f, k), 0);
        const unsigned char *p = f->buffer + (size_t(f->height / 4) * f->width + f->width / 2) * 3;
        r = p[0];
        b = p[2];
        fm_close(f);
        fm_fileformat_free(f);
    }
    static int Frames(const std::string &reel) {
        fm_fileformat *f = fm_fileformat_allocate("svj");
        int n = fm_rheader(f, reel.c_str()) == 0 ? f->frames : -1;
        fm_close(f);
        fm_fileformat_free(f);
        return n;
    }
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
        std::string message;
        ImportData d;
        ASSERT_EQ(Import(movie, reel, message, d), IMPORT_OK) << message;
        EXPECT_EQ(Frames(reel), 50);
        int r, b;
        Colour(reel, 23, r, b);
        EXPECT_GT(r, 200);
        EXPECT_LT(b, 60);
        Colour(reel, 26, r, b);
        EXPECT_LT(r, 60);
        EXPECT_GT(b, 200);
        unlink(movie.c_str());
    }
}

TEST_F(ImportMovie, RefusedMovies) {
    const std::string movie = Movie("m.mp4", 720, 576, 25, "-c:v libx264 -pix_fmt yuv420p");
    std::string message;
    ImportData d;
    EXPECT_EQ(Import(movie, "", message, d), -1);
    EXPECT_EQ(message, "You must write the svj to\nimport movies\n");

    // Truncated to its first kilobyte: no picture can be read.
    auto bytes = reel_test::read_file(movie);
    bytes.resize(1024);
    reel_test::write_file(tmp.path("cut.mp4"), bytes);
    ImportData c;
    EXPECT_EQ(Import(tmp.path("cut.mp4"), db + "SVJ/cut.svj", message, c), -1);
    EXPECT_EQ(message, "Error reading first picture\n");

    // A playlist and a concatenation script under movie names open nothing.
    std::ofstream(tmp.path("list.mp4")) << "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\n"
                                        << movie << "\n#EXT-X-ENDLIST\n";
    std::ofstream(tmp.path("cat.mov")) << "ffconcat version 1.0\nfile '" << movie << "'\n";
    for (const char *name : {"list.mp4", "cat.mov"}) {
        ImportData p;
        EXPECT_EQ(Import(tmp.path(name), db + "SVJ/p.svj", message, p), -1) << name;
        EXPECT_EQ(message, "Error reading first picture\n");
    }
    struct stat st;
    EXPECT_NE(stat((db + "SVJ/p.svj").c_str(), &st), 0);
}

} // namespace

namespace {

TEST_F(ImportMovie, TurnedMoviesComeOutUpright) {
    // Red above blue, stored with a display matrix turning it a quarter
    // counterclockwise: shown upright, red is on the left.
    const std::string coded = tmp.path("coded.mp4"), turned = tmp.path("turned.mp4");
    ASSERT_EQ(system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                      "'color=red:s=320x240:d=1,drawbox=y=120:h=120:c=blue:t=fill' -c:v libx264 "
                      "-pix_fmt yuv420p '" +
                      coded + "' && ffmpeg -nostdin -loglevel error -y -i '" + coded +
                      "' -c copy -metadata:s:v:0 rotate=90 '" + turned + "'")
                         .c_str()),
              0);
    MovieSource m;
    ASSERT_TRUE(m.open(turned));
    EXPECT_EQ(m.width(), 240);
    EXPECT_EQ(m.height(), 320);
    std::string message;
    ImportData d;
    const std::string reel = db + "SVJ/turned.svj";
    ASSERT_EQ(Import(turned, reel, message, d), IMPORT_OK) << message;
    fm_fileformat *f = fm_fileformat_allocate("svj");
    ASSERT_EQ(fm_open(f, reel.c_str()), 0);
    ASSERT_EQ(fm_read(f, 0), 0);
    const unsigned char *row = f->buffer + size_t(f->height / 4) * f->width * 3;
    const unsigned char *left = row + (f->width / 2 - 60) * 3,
                        *right = row + (f->width / 2 + 60) * 3;
    EXPECT_GT(left[0], 200);
    EXPECT_LT(left[2], 60);
    EXPECT_LT(right[0], 60);
    EXPECT_GT(right[2], 200);
    EXPECT_LT(row[0] + row[1] + row[2], 10) << "pillarboxed";
    fm_close(f);
    fm_fileformat_free(f);
}

} // namespace
