// Shared pieces of the clip-log suites: a current test database with its
// four directories, synthetic reels written through the SVJ driver, and
// freeing the clip list, and the fixture of the clip-log tests.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/log_writer.h"
#include "media/fm_main.h"
#include "media/video_globals.h"
#include "platform/sem.h"
#include "tests/media/reel_fixtures.h"

// A database with its four directories, current for the test.
class TestDatabase {
  public:
    TestDatabase() {
        for (const char *d : {"SVJ", "CLIP", "WORK", "IMAGES"})
            mkdir(tmp.path(d).c_str(), 0777);
        std::ofstream(tmp.path("OrvaDB")) << "DATABASE test\nPATH " << tmp.dir() << "/\n";
        setenv("ORVA_RSRC", tmp.dir().c_str(), 1);
        DbInitialize();
    }
    ~TestDatabase() { unsetenv("ORVA_RSRC"); }
    std::string reel(const std::string &name) const { return tmp.path("SVJ/" + name); }
    std::string clip(const std::string &name) const { return tmp.path("CLIP/" + name); }
    reel_test::temp_dir tmp;
};

// Writes a reel of `frames` frames of moving gradients through the SVJ
// driver, in the given video mode (the current mode is restored).
inline void MakeReel(const std::string &path, int frames, int mode = 0) {
    const int old = VIDEO_MODE;
    SetVideoMode(mode);
    const int W = VIDEO_SIZEX, H = VIDEO_SIZEY;
    fm_fileformat *f = fm_create_file("svj", path.c_str(), W, H, frames, 0);
    ASSERT_NE(f, nullptr);
    for (int n = 0; n < frames; n++) {
        // Picture line y lives at row y/2 + (H/2)(y mod 2) of the buffer.
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                unsigned char *p = f->buffer + (size_t(y / 2 + H / 2 * (y % 2)) * W + x) * 3;
                p[0] = (unsigned char)(x / 3 + n * 9);
                p[1] = (unsigned char)(y / 3);
                p[2] = (unsigned char)((x + y) / 6 + n * 5);
            }
        ASSERT_EQ(fm_write(f, n), 0);
    }
    ASSERT_EQ(fm_close(f), 0);
    fm_fileformat_free(f);
    SetVideoMode(old);
}

// Opens the reel as a clip in use (one reference) at the head of the clip
// list; null when it does not open with status 1.
inline FisicData *OpenReelInUse(const std::string &path) {
    int status = -1;
    FisicData *f = CreaFisicData(path.c_str(), 0, &status);
    if (f && status != 1) {
        FreeFisicData(f);
        f = nullptr;
    }
    if (!f) return nullptr;
    f->refs = 1;
    AddFirstFisic(f);
    return f;
}

inline void FreeAll() {
    for (FisicData *f = first_fisic; f;)
        f = FreeFisicData(f);
    first_fisic = nullptr;
}

// A current database, the SVJ driver and the semaphores; every clip freed
// at the end.
class ClipLogTest : public ::testing::Test {
  protected:
    // Writes a reel of `frames` frames and opens it as a clip in use, at the
    // head of the clip list.
    FisicData *OpenReel(const std::string &name, int frames) {
        const std::string path = db.reel(name);
        MakeReel(path, frames);
        FisicData *f = OpenReelInUse(path);
        EXPECT_NE(f, nullptr) << name;
        return f;
    }
    // The same, with its log built: the clip is complete.
    FisicData *OpenLogged(const std::string &name, int frames) {
        FisicData *f = OpenReel(name, frames);
        if (!f) return nullptr;
        Convert();
        EXPECT_EQ(f->complete.load(), 1) << name;
        return f;
    }
    // Runs converter passes until the clip's log is complete.
    static void Convert() {
        int saw = 0;
        while (ConvertPass(&saw)) {
        }
    }
    void SetUp() override {
        SetVideoMode(0);
        fm_initialize(nullptr);
        ASSERT_EQ(SemInit(), 0);
    }
    void TearDown() override {
        FreeAll();
        SemRemove();
        fm_deinitialize();
    }
    TestDatabase db;
};
