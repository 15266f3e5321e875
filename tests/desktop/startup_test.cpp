// Start-up configuration without a display: the video standard from the
// environment, the command line, the fallback resources and the logo re-tint.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "desktop/globals.h"
#include "desktop/logo.h"
#include "desktop/main_window.h"
#include "desktop/resources.h"
#include "desktop/startup.h"
#include "database/db_list.h"
#include "tests/desktop/desktop_fixture.h"

namespace {

struct VideoCase {
    const char *mode;
    int sizex, sizey, fps, ylarg_drop;
};

void ResetGeometry() {
    YLARG = 214;
    HAPPYH = 206;
}

} // namespace

TEST(StartupTest, VideoStandardFromEnvironment) {
    const VideoCase cases[] = {
        {nullptr, 720, 576, 25, 0},         {"SV_MODE_NTSC", 720, 486, 30, 24},
        {"SV_MODE_PALHR", 960, 576, 25, 0}, {"SV_MODE_NTSCHR", 960, 486, 30, 24},
        {"SV_MODE_PAL", 720, 576, 25, 0},   {"sv_mode_ntsc", 720, 576, 25, 0},
    };
    for (const VideoCase &c : cases) {
        ResetGeometry();
        if (c.mode)
            setenv("SCSI_VIDEO_MODE", c.mode, 1);
        else
            unsetenv("SCSI_VIDEO_MODE");
        ReadVideoEnvironment();
        SCOPED_TRACE(c.mode ? c.mode : "(unset)");
        EXPECT_EQ(VIDEO_SIZEX, c.sizex);
        EXPECT_EQ(VIDEO_SIZEY, c.sizey);
        EXPECT_EQ(fps, c.fps);
        EXPECT_EQ(YLARG, 214 - c.ylarg_drop);
        EXPECT_EQ(HAPPYH, 206 - c.ylarg_drop);
    }
    unsetenv("SCSI_VIDEO_MODE");
}

TEST(StartupTest, SyncFromEnvironment) {
    const std::pair<const char *, int> cases[] = {{nullptr, 0},
                                                  {"SV_SYNC_EXTERNAL", 1},
                                                  {"SV_SYNC_GENLOCK_ANALOG", 2},
                                                  {"SV_SYNC_GENLOCK_DIGITAL", 3},
                                                  {"SV_SYNC_INTERNAL", 0},
                                                  {"", 0}};
    for (auto [value, expect] : cases) {
        ResetGeometry();
        if (value)
            setenv("SCSI_SYNC", value, 1);
        else
            unsetenv("SCSI_SYNC");
        ReadVideoEnvironment();
        EXPECT_EQ(SYNC_MODE, expect) << (value ? value : "(unset)");
    }
    unsetenv("SCSI_SYNC");
}

TEST(StartupTest, OptionsAreExactAndAnywhere) {
    char a0[] = "orva", a1[] = "-display", a2[] = ":0", a3[] = "-border", a4[] = "-vtrx";
    char *argv[] = {a0, a1, a2, a3, a4, nullptr};
    StartupOptions o = ParseArguments(5, argv);
    EXPECT_TRUE(o.border);
    EXPECT_FALSE(o.vtr); // "-vtrx" is not "-vtr"
    char b1[] = "-vtr";
    char *argv2[] = {a0, b1, nullptr};
    o = ParseArguments(2, argv2);
    EXPECT_TRUE(o.vtr);
    EXPECT_FALSE(o.border);
}

TEST(FallbackTest, TableAndAdjustments) {
    std::vector<std::string> base(orva_fallbacks, orva_fallbacks + 61);

    auto at1280 = base;
    AdjustFallbacks(at1280, 1280, false);
    EXPECT_EQ(at1280, base);

    auto at1279 = base;
    AdjustFallbacks(at1279, 1279, false);
    int changed = 0;
    for (size_t i = 0; i < base.size(); i++)
        changed += at1279[i] != base[i];
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(at1279[18], "orva*vtrform*tc_goto*fontList: "
                          "-*-helvetica-medium-r-narrow--33-*-*-*-p-140-iso8859-1");

    auto border = base;
    AdjustFallbacks(border, 1600, true);
    EXPECT_EQ(border[42], "orva*mwmDecorations: 6");
    EXPECT_EQ(border[43], base[43]); // "orva*disp*mwmDecorations:" is another resource

    std::vector<std::string> none = {"orva*foreground: #eeeeee"};
    AdjustFallbacks(none, 800, true);
    EXPECT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0], "orva*foreground: #eeeeee");
}

TEST(LogoTest, RetintArithmetic) {
    // The default background leaves every byte as drawn.
    for (int c : {0, 85, 96, 200, 255}) {
        EXPECT_EQ(RetintByte(c, 85, 85), c);
        EXPECT_EQ(RetintByte(c, 96, 96), c);
    }
    // White background: everything becomes white.
    EXPECT_EQ(RetintByte(0, 255, 85), 255);
    // 255 - floor(100 * 200 / 170) = 255 - 117.
    EXPECT_EQ(RetintByte(55, 155, 85), 138);
    // 255 - floor(100 * 200 / 159) = 255 - 125.
    EXPECT_EQ(RetintByte(55, 155, 96), 130);
    // A darker background can push the quotient past 255: kept at 0.
    EXPECT_EQ(RetintByte(0, 0, 85), 0);
    EXPECT_EQ(RetintByte(10, 20, 96), 0);

    unsigned char px[8] = {0, 0x60, 0x55, 0x55, 0, 10, 20, 30};
    unsigned char same[8];
    memcpy(same, px, 8);
    RetintLogo(px, 2, 0x55, 0x55, 0x60);
    EXPECT_EQ(memcmp(px, same, 8), 0);
    RetintLogo(px, 2, 0x40, 0x45, 0x61);
    // Background pixels take the new background exactly (bytes A, B, G, R).
    EXPECT_EQ(px[3], 0x40);
    EXPECT_EQ(px[2], 0x45);
    EXPECT_EQ(px[1], 0x61);
    EXPECT_EQ(px[4], 0); // alpha untouched
}

TEST(LogoTest, MovieIsExtractedOnlyIntoAFreshFile) {
    RsrcRoot tmp("orva-logo");
    ASSERT_FALSE(tmp.path.empty());
    const std::string program = tmp.path + "/orva", movie = tmp.path + "/dulsar.mv",
                      victim = tmp.path + "/victim";
    std::string bytes;
    for (int i = 0; i < 5000; i++)
        bytes += char(i % 251);
    std::ofstream(program, std::ios::binary) << bytes;
    std::ofstream(victim) << "keep me";
    auto read = [](const std::string &path) {
        std::ostringstream s;
        s << std::ifstream(path, std::ios::binary).rdbuf();
        return s.str();
    };
    // A link placed at the movie's name is never followed.
    ASSERT_EQ(symlink(victim.c_str(), movie.c_str()), 0);
    EXPECT_EQ(ExtractLogoMovie(program.c_str(), movie.c_str(), 1000), 0);
    EXPECT_EQ(read(victim), "keep me");
    unlink(movie.c_str());

    // A fresh name gets exactly the last bytes of the program.
    EXPECT_EQ(ExtractLogoMovie(program.c_str(), movie.c_str(), 1000), 1);
    EXPECT_EQ(read(movie), bytes.substr(4000));
    // A program shorter than the movie gives nothing.
    unlink(movie.c_str());
    EXPECT_EQ(ExtractLogoMovie(program.c_str(), movie.c_str(), 6000), 0);
    EXPECT_NE(access(movie.c_str(), F_OK), 0);
}

TEST(StartupTest, WithoutADatabaseStartUpNamesTheListFile) {
    {
        RsrcRoot root("orva_nodb");
        ASSERT_FALSE(root.path.empty());
        const std::string dir = root.path, list = dir + "/OrvaDB";
        struct Case {
            const char *rsrc;
            const char *list; // OrvaDB contents, null: no file
            const char *want; // text in the message, null: no message
        } cases[] = {
            {"", nullptr, "ORVA_RSRC is empty"},
            {dir.c_str(), nullptr, "/OrvaDB\n(from ORVA_RSRC)"},
            {dir.c_str(), "DATABASE broken\n", "/OrvaDB\n(from ORVA_RSRC)"},
            {dir.c_str(), "\r\nDATABASE Good\r\nPATH /tmp/\r\n", nullptr},
        };
        for (const Case &c : cases) {
            unlink(list.c_str());
            if (c.list) std::ofstream(list) << c.list;
            setenv("ORVA_RSRC", c.rsrc, 1);
            DbInitialize();
            const std::string text = NoDatabaseMessage();
            if (!c.want) {
                EXPECT_EQ(text, "") << c.list;
                continue;
            }
            EXPECT_NE(text.find(c.want), std::string::npos) << text;
            if (*c.rsrc) {
                EXPECT_NE(text.find(dir), std::string::npos) << text;
            }
        }
    }
    DbInitialize();
}
