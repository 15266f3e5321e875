// The export commands and dialog on the desktop: the window they take, the
// dialog's initial values, messages of the checks, the overwrite question,
// and the export job writing pictures and reels of a database.
#include "clipops_fixture.h"

#include <sys/stat.h>

#include <Xm/List.h>

#include "../media/reel_fixtures.h"
#include "database/db_list.h"
#include "desktop/processes.h"
#include "editing/export.h"
#include "platform/jobs.h"

namespace {

class ExportUi : public ClipOpsFixture {
  protected:
    DbEntry entry{};
    std::string kept_image_dir;

    void SetUp() override {
        ClipOpsFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!DbSubdir[0]) DbInitialize();
        std::snprintf(entry.dir, sizeof entry.dir, "%s/", dir.c_str());
        std::snprintf(entry.name, sizeof entry.name, "test");
        for (const char *s : {"SVJ", "CLIP", "WORK", "IMAGES"})
            mkdir((dir + "/" + s).c_str(), 0777);
        db_current = &entry;
        kept_image_dir = db_image_dir;
        std::snprintf(db_image_dir, sizeof db_image_dir, "%s/IMAGES/", dir.c_str());
        std::snprintf(db_browse_dir, sizeof db_browse_dir, "%s", db_image_dir);
    }
    void TearDown() override {
        if (!IsSkipped()) {
            JobJoinAll();
            ReapEndedJobs();
            for (Widget d : Named(app_shell, "dialog"))
                if (TitleOf(d).find("DB test") == 0) XtDestroyWidget(XtParent(d));
            db_current = nullptr;
            std::snprintf(db_image_dir, sizeof db_image_dir, "%s", kept_image_dir.c_str());
        }
        ClipOpsFixture::TearDown();
    }

    WindowData *ReelWindow(int frames) {
        FisicData *c = NewClip(frames);
        WriteLog(c, 1);
        WriteReel(c, dir + "/SVJ/src.svj");
        WindowData *w = NewWindow(c, 0, 0, "src");
        return w;
    }
    static Widget Dialog(const char *title) {
        for (Widget d : Named(app_shell, "dialog"))
            if (!d->core.being_destroyed && XtIsManaged(d) &&
                TitleOf(d) == std::string("DB test - ") + title)
                return d;
        return nullptr;
    }
    static std::string Text(Widget d, const char *name) {
        Widget t = XtNameToWidget(d, name);
        if (!t) return "(none)";
        char *s = XmTextGetString(t);
        std::string v = s;
        XtFree(s);
        return v;
    }
    static void Set(Widget d, const char *name, const char *value) {
        XmTextSetString(XtNameToWidget(d, name), const_cast<char *>(value));
    }
    static void Toggle(Widget d, const char *label) {
        Widget t = ByLabel(d, label);
        ASSERT_NE(t, nullptr) << label;
        XmToggleButtonSetState(t, True, True);
    }
    // Waits for the export jobs and runs their end routines.
    static void Finish() {
        JobJoinAll();
        ReapEndedJobs();
        Pump();
    }
    bool Exists(const std::string &rel) const {
        return access((dir + "/" + rel).c_str(), F_OK) == 0;
    }
};

TEST_F(ExportUi, CommandsNeedOneSelectedWindowOrTheMasterArea) {
    WindowData *a = ReelWindow(5);
    ExportImg(nullptr, nullptr, nullptr);
    Pump();
    EXPECT_EQ(Messages(), std::vector<std::string>{"No clip selected"});
    CloseMessages();
    MasterExportSvj(nullptr, nullptr, nullptr);
    Pump();
    EXPECT_EQ(Messages(), std::vector<std::string>{"No clips in master area"});
    CloseMessages();
    a->selected = 1;
    WindowData *b = LogWindow(3, "b");
    b->selected = 1;
    ExportSvj(nullptr, nullptr, nullptr);
    Pump();
    EXPECT_EQ(Messages(), std::vector<std::string>{"More than one clip selected"});
    CloseMessages();
}

TEST_F(ExportUi, PicturesOfTheSelectedWindow) {
    WindowData *a = ReelWindow(5);
    a->selected = 1;
    ExportImg(nullptr, nullptr, nullptr);
    Pump();
    Widget d = Dialog("Export");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Text(d, "start"), "1");
    EXPECT_EQ(Text(d, "end"), "5");
    EXPECT_EQ(Text(d, "step"), "1");
    EXPECT_EQ(Text(d, "outStart"), "1");
    EXPECT_EQ(Text(d, "quality"), "85");
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
    for (int k = 1; k <= 5; k++) {
        char name[64];
        std::snprintf(name, sizeof name, "IMAGES/sweep.%04d.tga", k);
        EXPECT_TRUE(Exists(name)) << name;
    }
    EXPECT_TRUE(Messages().empty());
    // Again: the overwrite question, answered no.
    ExportImg(nullptr, nullptr, nullptr);
    Pump();
    d = Dialog("Export");
    ASSERT_NE(d, nullptr);
    Set(d, "wtext", "sweep");
    ::Press(ByLabel(d, "OK"));
    Pump();
    std::vector<Widget> q = Named(app_shell, "warning");
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(MessageOf(q[0]), "One or more files will be\noverwritten. Continue anyway?");
    ::Press(ByLabel(q[0], "  No  "));
    Pump();
    Finish();
}

TEST_F(ExportUi, AReelOfTheMasterAreaIntoSvj) {
    FisicData *c = NewClip(4);
    WriteLog(c, 1);
    WriteReel(c, dir + "/SVJ/src.svj");
    NewWindow(c, 0, 1, "summa");
    MasterExportSvj(nullptr, nullptr, nullptr);
    Pump();
    Widget d = Dialog("Save Reel");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Text(d, "end"), "4");
    Set(d, "wtext", "joined.mov");
    ::Press(ByLabel(d, "OK"));
    Pump();
    Finish();
    EXPECT_TRUE(Exists("SVJ/joined.svj"));
    EXPECT_TRUE(Messages().empty());
    // The source itself cannot be the target.
    MasterExportSvj(nullptr, nullptr, nullptr);
    Pump();
    d = Dialog("Save Reel");
    ASSERT_NE(d, nullptr);
    Set(d, "wtext", "src");
    ::Press(ByLabel(d, "OK"));
    Pump();
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"One or more files are in\nuse, cannot remove them."});
    CloseMessages();
}

TEST_F(ExportUi, ALogSizeMovieOfTheSelectedWindow) {
    WindowData *a = ReelWindow(4);
    a->selected = 1;
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
    reel_test::run_result r =
        reel_test::run_command("ffprobe -v error -count_frames -show_entries "
                               "stream=codec_name,width,height,nb_read_frames "
                               "-of csv=p=0 '" +
                               dir + "/IMAGES/sweep.movie'");
    EXPECT_EQ(r.out, "mjpeg,180,144,4\n");
}

} // namespace
