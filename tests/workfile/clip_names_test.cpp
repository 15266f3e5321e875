// Names of a clip's log files and the database directory they are built in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "database/db_list.h"
#include "editing/clip_names.h"

namespace {
std::string Take(char *s) {
    std::string out = s ? s : "";
    free(s);
    return out;
}
} // namespace

TEST(ClipNamesTest, BaseNamesAndLogNames) {
    char a[] = "/db/SVJ/  reel one.svj";
    EXPECT_STREQ(GetName(a), "reel");
    char b[] = "plain.svj";
    EXPECT_STREQ(GetName(b), "plain.svj");
    char c[] = "/db/SVJ/\tx.svj\nrest";
    EXPECT_STREQ(GetName(c), "x.svj");

    DbInitialize();
    EXPECT_EQ(Take(ClipName("/d/", "/d/SVJ/r.svj", 3)), "/d/CLIP/r.svj_Clip_3");
    EXPECT_EQ(Take(LogName("/d/", "/d/SVJ/r.svj", nullptr, nullptr)), "/d/CLIP/r.svj_Log");
    EXPECT_EQ(Take(PicClipName("/d/", "/d/IMAGES/shot", 1203, 1)), "/d/CLIP/shot_Img1203_Clip_1");
    EXPECT_EQ(Take(PicLogName("/d/", "shot", 7)), "/d/CLIP/shot_Img07_Log");

    int size = 0;
    char date[26];
    free(LogName("/d/", "/nonexistent/reel.svj", &size, date));
    EXPECT_EQ(size, -1);
    EXPECT_EQ(date[0], 0);
}

// Without a directory the names are built in the current database, which
// the database makes known when it starts.
TEST(ClipNamesTest, CurrentDatabaseThroughTheHook) {
    char *(*const saved)(int) = ClipDbDirHook;
    ClipDbDirHook = [](int) -> char * { return const_cast<char *>("/cur/"); };
    EXPECT_EQ(Take(LogName(nullptr, "/x/SVJ/r.svj", nullptr, nullptr)), "/cur/CLIP/r.svj_Log");
    EXPECT_EQ(Take(PicClipName(nullptr, "shot", 3, 2)), "/cur/CLIP/shot_Img03_Clip_2");
    ClipDbDirHook = nullptr;
    EXPECT_EQ(Take(ClipName(nullptr, "/x/r.svj", 1)), "CLIP/r.svj_Clip_1");
    DbInitialize();
    EXPECT_EQ(ClipDbDirHook, &DbGetDir);
    ClipDbDirHook = saved;
}
