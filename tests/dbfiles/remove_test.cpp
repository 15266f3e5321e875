// Removing clip files: reels with their logs, picture sequences with theirs,
// and the checks that keep files that open clips or running jobs still use.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "desktop/clip_model.h"
#include "desktop/file_use.h"
#include "editing/clip_names.h"
#include "editing/clip_remove.h"
#include "media/clip_log.h"
#include "tests/dbfiles/dbfiles_util.h"
#include "tests/media/reel_fixtures.h"
#include "tests/processes/process_test_util.h"

namespace fs = std::filesystem;

namespace {

using namespace dbfiles_test;

std::string g_db; // the database directory the hook reports

class ClipRemove : public ProcessFixture {
  protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        g_db = root_ + "/db/";
        for (const char *s : {"SVJ", "CLIP", "IMAGES"})
            fs::create_directories(g_db + s);
        fs::create_directories(root_ + "/other");
        old_hook_ = ClipDbDirHook;
        ClipDbDirHook = [](int copy) -> char * {
            return copy ? strdup(g_db.c_str()) : const_cast<char *>(g_db.c_str());
        };
        RemoveJobUsesHook = JobWritesFile;
        first_fisic = nullptr;
    }
    void TearDown() override {
        FreeClips();
        RemoveJobUsesHook = nullptr;
        ClipDbDirHook = old_hook_;
        ProcessFixture::TearDown();
    }
    // A picture log of base with tag, and its part file 1.
    static void PicLog(const std::string &base, int tag, int style, int ext) {
        PictureLog(Owned(PicLogName(nullptr, base.c_str(), tag)), base, style, ext, tag);
        Touch(Owned(PicClipName(nullptr, base.c_str(), tag, 1)));
    }

    reel_test::temp_dir tmp_;
    const std::string &root_ = tmp_.dir();
    char *(*old_hook_)(int) = nullptr;
};

TEST_F(ClipRemove, ReelInUseByAWindowOrByAJobIsKept) {
    const std::string reel = g_db + "SVJ/a.svj", hard = g_db + "SVJ/hard.svj",
                      soft = g_db + "SVJ/soft.svj";
    Touch(reel);
    ASSERT_EQ(link(reel.c_str(), hard.c_str()), 0);
    ASSERT_EQ(symlink(reel.c_str(), soft.c_str()), 0);
    Reel(reel, 1);
    // The same file under any of its names is the open clip's.
    for (const std::string &p : {reel, hard, soft}) {
        int ok = 1, in_use = 0;
        EXPECT_EQ(DoRemove(p.c_str(), &ok, &in_use, 1, 1), 0) << p;
        EXPECT_EQ(in_use, 1) << p;
        EXPECT_EQ(ok, 1) << p;
        EXPECT_TRUE(Exists(p)) << p;
    }

    // A job of any entry, the seventh included, whose output is the reel.
    const std::string written = g_db + "SVJ/grab.svj";
    Touch(written);
    SemSet(4, 1);
    const int entry = Sproc(held_job, nullptr, JOB_VTR);
    ASSERT_EQ(entry, 6);
    pidData[entry].output = written;
    int ok = 1, in_use = 0;
    EXPECT_EQ(DoRemove(written.c_str(), &ok, &in_use, 0, 1), 0);
    EXPECT_EQ(in_use, 1);
    EXPECT_TRUE(Exists(written));
    pidData[entry].output.clear();
}

TEST_F(ClipRemove, UnusedClipIsMarkedAndTheConverterRemovesItsFiles) {
    const std::string reel = g_db + "SVJ/b.svj";
    Touch(reel);
    const std::string log = Owned(LogName(nullptr, reel.c_str(), nullptr, nullptr));
    Touch(log);
    FisicData *clip = Reel(reel, 0);
    for (int companions : {0, 1}) {
        int ok = 1, in_use = 0;
        EXPECT_EQ(DoRemove(reel.c_str(), &ok, &in_use, companions, 1), 1);
        EXPECT_EQ(clip->remove, companions ? 2 : 1);
        EXPECT_EQ(in_use, 0);
        EXPECT_TRUE(Exists(reel));
    }
    // The converter's removal of marked clips calls back with the mark.
    DoRemoveMarked(reel.c_str(), clip->remove == 2);
    EXPECT_FALSE(Exists(reel));
    EXPECT_FALSE(Exists(log));
}

TEST_F(ClipRemove, CompanionsStopAtTheFirstMissingPart) {
    const std::string reel = g_db + "SVJ/c.svj";
    Touch(reel);
    const std::string p1 = Owned(ClipName(nullptr, reel.c_str(), 1)),
                      p2 = Owned(ClipName(nullptr, reel.c_str(), 2)),
                      p3 = Owned(ClipName(nullptr, reel.c_str(), 3)),
                      p4 = Owned(ClipName(nullptr, reel.c_str(), 4)),
                      log = Owned(LogName(nullptr, reel.c_str(), nullptr, nullptr));
    for (const std::string &p : {p1, p2, p4, log})
        Touch(p);
    int ok = 1, in_use = 0;
    EXPECT_EQ(DoRemove(reel.c_str(), &ok, &in_use, 1, 1), 0);
    EXPECT_EQ(ok, 1);
    EXPECT_FALSE(Exists(reel));
    EXPECT_FALSE(Exists(p1));
    EXPECT_FALSE(Exists(p2));
    EXPECT_TRUE(Exists(p4)); // after the gap at 3
    EXPECT_FALSE(Exists(log));

    // A reel that is not there any more clears the ok flag.
    ok = 1;
    DoRemove(reel.c_str(), &ok, &in_use, 0, 1);
    EXPECT_EQ(ok, 0);
}

TEST_F(ClipRemove, InUseImgLooksAtTheFramesOfEachClip) {
    const std::string base = g_db + "IMAGES/s";
    Seq(base, 3, 11, 2, 1, 0, 1); // frames 3, 5, 7, 9, 11
    Seq(g_db + "IMAGES/unused", 1, 5, 1, 1, 0, 0);
    FisicData *making = Seq(g_db + "IMAGES/new", 1, 4, 1, 0, 2, 1);
    making->busy = 1;
    const struct {
        std::string base;
        int style, ext, frame, want;
    } cases[] = {
        {base, 1, 0, 0, 1},
        {base, 1, 0, 3, 1},
        {base, 1, 0, 4, 0},
        {base, 1, 0, 11, 1},
        {base, 1, 0, 13, 0},
        {base, 1, 0, 1, 0},
        {base, 0, 0, 0, 0},
        {base, 1, 1, 0, 0},
        {g_db + "IMAGES/unused", 1, 0, 0, 0},
        {g_db + "IMAGES/new", 3, 5, 0, 1},
        {g_db + "IMAGES/new", 3, 5, 4, 1},
        {g_db + "IMAGES/new", 3, 5, 5, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(InUseImg(c.base.c_str(), c.style, c.ext, c.frame), c.want)
            << c.base << " style " << c.style << " ext " << c.ext << " frame " << c.frame;
}

TEST_F(ClipRemove, DoRemoveImgRemovesTheFilesThatExist) {
    const std::string dir = g_db + "IMAGES/", base = dir + "seq";
    for (const char *n : {"seq.0001.tga", "seq.0002.tga", "seq.0004.tga", "seq.1.tga",
                          "seq.0001.pic", "seq.0009.tga", "seqx.0001.tga"})
        Touch(dir + n);
    // A link among the frames goes; what it points at stays.
    Touch(root_ + "/other/target.tga");
    ASSERT_EQ(symlink((root_ + "/other/target.tga").c_str(), (dir + "seq.0003.tga").c_str()), 0);
    // The same file name elsewhere, and its log, are another sequence.
    Touch(root_ + "/other/seq.0001.tga");
    PicLog(base, 1201, 1, 1);
    PicLog(root_ + "/other/seq", 1202, 1, 1);
    PicLog(base, 1203, 0, 1); // same base, another style

    int ok = 1, in_use = 0;
    EXPECT_EQ(DoRemoveImg(base.c_str(), &ok, &in_use, 1, 1, 4, 1, 1), 1);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(in_use, 0);
    for (const char *n : {"seq.0001.tga", "seq.0002.tga", "seq.0003.tga", "seq.0004.tga"})
        EXPECT_FALSE(Exists(dir + n)) << n;
    for (const char *n : {"seq.1.tga", "seq.0001.pic", "seq.0009.tga", "seqx.0001.tga"})
        EXPECT_TRUE(Exists(dir + n)) << n;
    EXPECT_TRUE(Exists(root_ + "/other/target.tga"));
    EXPECT_TRUE(Exists(root_ + "/other/seq.0001.tga"));
    EXPECT_FALSE(Exists(Owned(PicLogName(nullptr, base.c_str(), 1201))));
    EXPECT_FALSE(Exists(Owned(PicClipName(nullptr, base.c_str(), 1201, 1))));
    EXPECT_TRUE(Exists(Owned(PicLogName(nullptr, "x/seq", 1202))));
    EXPECT_TRUE(Exists(Owned(PicClipName(nullptr, "x/seq", 1202, 1))));
    EXPECT_TRUE(Exists(Owned(PicLogName(nullptr, base.c_str(), 1203))));

    // Numbers of the range without a file are failures; a range of two
    // thousand million numbers costs no more than the files there are.
    ok = 1;
    EXPECT_EQ(DoRemoveImg(base.c_str(), &ok, &in_use, 0, 1, 2147483647, 0, 1), 1);
    EXPECT_EQ(ok, 0);
    EXPECT_FALSE(Exists(dir + "seq.1.tga"));
    EXPECT_TRUE(Exists(dir + "seq.0009.tga"));

    // In use: nothing goes.
    Seq(base, 1, 9, 1, 1, 1, 1);
    ok = 1;
    EXPECT_EQ(DoRemoveImg(base.c_str(), &ok, &in_use, 1, 1, 9, 1, 1), 0);
    EXPECT_EQ(in_use, 1);
    EXPECT_TRUE(Exists(dir + "seq.0009.tga"));
}

} // namespace
