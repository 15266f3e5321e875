// Shared pieces of the clip-log suites: a current test database with its
// four directories, synthetic reels written through the SVJ driver, and the
// fixture of the clip-log tests.
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
        for (int y = 0; y < H; y++) // picture line y at row y/2 + (H/2)(y mod 2)
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
    if (f && status != 1) FreeFisicData(f);
    if (!f || status != 1) return nullptr;
    f->refs = 1;
    AddFirstFisic(f);
    return f;
}

inline void FreeAll() {
    for (FisicData *f = first_fisic; f;)
        f = FreeFisicData(f);
    first_fisic = nullptr;
}

// Runs converter passes until no clip makes further progress.
inline void Convert() {
    int saw = 0;
    while (ConvertPass(&saw)) {
    }
}

// A current database, the SVJ driver and the semaphores; every clip freed
// at the end.
class ClipLogTest : public ::testing::Test {
  protected:
    // Writes a reel of `frames` frames and opens it as a clip in use; with
    // `logged`, its log is built as well.
    FisicData *OpenReel(const std::string &name, int frames, bool logged = false) {
        MakeReel(db.reel(name), frames);
        FisicData *f = OpenReelInUse(db.reel(name));
        EXPECT_NE(f, nullptr) << name;
        if (f && logged) {
            Convert();
            EXPECT_EQ(f->complete.load(), 1) << name;
        }
        return f;
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
