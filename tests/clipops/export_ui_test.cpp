// The export commands and dialog on the desktop: the window they take, the
// dialog's initial values, messages of the checks, the overwrite question,
// and the export job writing pictures, reels and movies of a database.
#include "clipops_fixture.h"

#include "../media/reel_fixtures.h"
#include "editing/export.h"

namespace {

class ExportUi : public DbOpsFixture {
  protected:
    static Widget Dialog(const char *title) {
        for (Widget d : Named(app_shell, "dialog"))
            if (!d->core.being_destroyed && XtIsManaged(d) &&
                TitleOf(d) == std::string("DB test - ") + title)
                return d;
        return nullptr;
    }
    static void Set(Widget d, const char *name, const char *value) {
        XmTextSetString(XtNameToWidget(d, name), const_cast<char *>(value));
    }
    static void Toggle(Widget d, const char *label) {
        Widget t = ByLabel(d, label);
        ASSERT_NE(t, nullptr) << label;
        XmToggleButtonSetState(t, True, True);
    }
    // Runs `command`, names the output in its dialog `title` and presses
    // OK; the dialog, null when none opened.
    static Widget Export(XtCallbackProc command, const char *title, const char *name) {
        command(nullptr, nullptr, nullptr);
        Pump();
        Widget d = Dialog(title);
        if (!d) return nullptr;
        Set(d, "wtext", name);
        ::Press(ByLabel(d, "OK"));
        Pump();
        return d;
    }
    // Waits for the export jobs and runs their end routines.
    static void Finish() {
        JobJoinAll();
        ReapEndedJobs();
        Pump();
    }
};

TEST_F(ExportUi, CommandsNeedOneSelectedWindowOrTheMasterArea) {
    WindowData *a = ReelWindow(5, "src");
    const struct {
        XtCallbackProc command;
        const char *message;
    } cases[] = {{ExportImg, "No clip selected"},
                 {MasterExportSvj, "No clips in master area"},
                 {ExportSvj, "More than one clip selected"}};
    for (const auto &c : cases) {
        if (c.command == ExportSvj) a->selected = LogWindow(3, "b")->selected = 1;
        c.command(nullptr, nullptr, nullptr);
        Pump();
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
        CloseMessages();
    }
}

TEST_F(ExportUi, PicturesOfTheSelectedWindow) {
    ReelWindow(5, "src", true);
    ExportImg(nullptr, nullptr, nullptr);
    Pump();
    Widget d = Dialog("Export");
    ASSERT_NE(d, nullptr);
    for (auto [field, value] : {std::pair{"start", "1"},
                                {"end", "5"},
                                {"step", "1"},
                                {"outStart", "1"},
                                {"quality", "85"}})
        EXPECT_EQ(Text(d, field), value) << field;
    Set(d, "wtext", "sweep");
    Toggle(d, ".0001.");
    Toggle(d, "Targa");
    Set(d, "start", "0");
    ::Press(ByLabel(d, "OK"));
    Pump();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Start must be >= 1"});
    CloseMessages();
    Set(d, "start", "1");
    ::Press(ByLabel(d, "OK"));
    Pump();
    EXPECT_EQ(Dialog("Export"), nullptr);
    // Listed in "Processes ..." until its end routine has run.
    EXPECT_EQ(RunningProcessList(), std::vector<std::string>{"EXPORT PROCESS:    sweep"});
    Finish();
    for (int k = 1; k <= 5; k++)
        EXPECT_TRUE(Exists("IMAGES/sweep.000" + std::to_string(k) + ".tga")) << k;
    EXPECT_TRUE(Messages().empty());
    // Again: the overwrite question, answered no.
    ASSERT_NE(Export(ExportImg, "Export", "sweep"), nullptr);
    std::vector<Widget> q = Named(app_shell, "warning");
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(MessageOf(q[0]), "One or more files will be\noverwritten. Continue anyway?");
    ::Press(ByLabel(q[0], "  No  "));
    Pump();
}

TEST_F(ExportUi, AReelOfTheMasterAreaIntoSvj) {
    FisicData *c = NewClip(4);
    WriteLog(c, 1);
    WriteReel(c, dir + "/SVJ/src.svj");
    NewWindow(c, 0, 1, "summa");
    MasterExportSvj(nullptr, nullptr, nullptr);
    Pump();
    ASSERT_NE(Dialog("Save Reel"), nullptr);
    EXPECT_EQ(Text(Dialog("Save Reel"), "end"), "4");
    ASSERT_NE(Export(MasterExportSvj, "Save Reel", "joined.mov"), nullptr);
    Finish();
    EXPECT_TRUE(Exists("SVJ/joined.svj"));
    EXPECT_TRUE(Messages().empty());
    // The source itself cannot be the target.
    ASSERT_NE(Export(MasterExportSvj, "Save Reel", "src"), nullptr);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"One or more files are in\nuse, cannot remove them."});
}

TEST_F(ExportUi, ALogSizeMovieOfTheSelectedWindow) {
    ReelWindow(4, "src", true);
    ExportMovie(nullptr, nullptr, nullptr);
    Pump();
    Widget d = Dialog("Save Clip");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(ByLabel(d, "SVJ"), nullptr);
    ASSERT_NE(ByLabel(d, "Uncompressed"), nullptr);
    EXPECT_TRUE(XmToggleButtonGetState(ByLabel(d, "Uncompressed")));
    Set(d, "wtext", "sweep");
    Toggle(d, "QT JPEG");
    ::Press(ByLabel(d, "OK"));
    Pump();
    Finish();
    EXPECT_TRUE(Messages().empty());
    reel_test::run_result r = reel_test::run_command(
        "ffprobe -v error -count_frames -show_entries stream=codec_name,width,height,"
        "nb_read_frames -of csv=p=0 '" +
        dir + "/IMAGES/sweep.movie'");
    EXPECT_EQ(r.out, "mjpeg,180,144,4\n");
}

} // namespace
