// IMPORT > "System ..." under the test X server: the list of the image
// directory, Start and End filled from the chosen sequence, an image clip
// and a reel made by the job and put on the desktop, and the messages of a
// picture that is not of video size.
#include <gtest/gtest.h>

#include <Xm/ToggleB.h>

#include "database/db_commands.h"
#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/processes.h"
#include "media/fm_main.h"
#include "media/img_jpeg.h"
#include "platform/jobs.h"
#include "tests/dbadmin/dbadmin_fixture.h"

namespace {

using namespace dbadmin_test;

class ImportDialog : public DbAdmin {
  protected:
    void SetUp() override {
        DbAdmin::SetUp();
        MakeDatabases({{"idb", "idb"}});
        db_ = root_ + "/idb/";
        fm_initialize(nullptr);
    }
    void TearDown() override {
        CloseOK(1, 1, nullptr, 0, 0);
        FreeClosedWindows();
        DbAdmin::TearDown();
    }
    // Pictures base.0001.jpg ... of w x h in IMAGES/.
    void Pictures(const std::string &base, int n, int w, int h) {
        std::vector<unsigned char> p(size_t(w) * h * 3);
        for (int i = 1; i <= n; i++) {
            for (size_t k = 0; k < p.size(); k++)
                p[k] = (unsigned char)(k / 3 % size_t(w) + size_t(i) * 40);
            char name[64];
            snprintf(name, sizeof name, "%s.%04d.jpg", base.c_str(), i);
            ASSERT_EQ(glotojpg((db_ + "IMAGES/" + name).c_str(), w, h, p.data(), 90), 1);
        }
    }
    static std::string Text(Widget dialog, const char *name) {
        char *s = XmTextGetString(XtNameToWidget(dialog, name));
        std::string out = s;
        XtFree(s);
        return out;
    }
    static void WaitJobs() { WaitJobsReaped(); }
    // Opens the dialog and chooses line 1.
    static Widget OpenAndChoose() {
        InDispatch([] { DbSelectImport(nullptr, nullptr, nullptr); });
        Widget dialog = Dialog("DB idb - Import");
        if (!dialog) return nullptr;
        Widget list = XtNameToWidget(dialog, "*list");
        InDispatch([list] { XmListSelectPos(list, 1, True); });
        return dialog;
    }
    // Chooses line 1, sets "Write SVJ" and names the reel.
    static void ImportAsReel(const char *name) {
        Widget dialog = OpenAndChoose();
        ASSERT_NE(dialog, nullptr);
        XmToggleButtonSetState(ByLabel(dialog, "Write SVJ"), True, False);
        Press(ByLabel(dialog, "OK"));
        Widget names = Dialog("DB idb - Import");
        ASSERT_NE(names, nullptr);
        XmTextSetString(XtNameToWidget(names, "*wtext"), const_cast<char *>(name));
        Press(ByLabel(names, "OK"));
    }
    std::string db_;
};

TEST_F(ImportDialog, SequenceBecomesAnImageClipAndAReel) {
    Pictures("walk", 3, 720, 576);
    Widget dialog = OpenAndChoose();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(dialog, "*list")), Strings{"walk.[0001...0003].jpg"});
    EXPECT_EQ(Text(dialog, "*start"), "1");
    EXPECT_EQ(Text(dialog, "*end"), "3");
    EXPECT_EQ(Text(dialog, "*quality"), "85");
    EXPECT_FALSE(XmToggleButtonGetState(ByLabel(dialog, "Write SVJ")));
    Press(ByLabel(dialog, "OK"));
    EXPECT_EQ(Dialog("DB idb - Import"), nullptr);
    ASSERT_EQ(CountWindows(), 1);
    EXPECT_EQ(first_window->total, 3);
    // The placeholder becomes the clip's window where it stands, keeping
    // its title and selection.
    WindowData *placeholder = first_window;
    placeholder->slot = 4;
    RebuildWindow(placeholder);
    SetSelection(placeholder, 1);
    WaitJobs();
    EXPECT_TRUE(Messages().empty());
    ASSERT_EQ(CountWindows(), 1);
    EXPECT_EQ(first_window, placeholder);
    EXPECT_EQ(placeholder->slot, 4);
    EXPECT_EQ(placeholder->selected, 1);
    EXPECT_EQ(WindowTitle(placeholder), " IP(walk)");
    EXPECT_NE(placeholder->scale, nullptr); // a clip window's slider, not the progress label
    ASSERT_NE(first_window->seg_first, nullptr);
    FisicData *clip = first_window->seg_first->fisic;
    ASSERT_NE(clip, nullptr);
    ASSERT_NE(clip->pic, nullptr);
    EXPECT_EQ(clip->frames, 3);
    EXPECT_TRUE(fs::exists(db_ + "CLIP/walk_Img00_Log"));

    // With "Write SVJ" and a name: a reel of the three pictures.
    ImportAsReel("walk");
    WaitJobs();
    EXPECT_TRUE(Messages().empty());
    ASSERT_TRUE(fs::exists(db_ + "SVJ/walk.svj"));
    fm_fileformat *f = fm_fileformat_allocate("svj");
    ASSERT_EQ(fm_rheader(f, (db_ + "SVJ/walk.svj").c_str()), 0);
    EXPECT_EQ(f->frames, 3);
    fm_close(f);
    fm_fileformat_free(f);
    EXPECT_EQ(CountWindows(), 2);
}

TEST_F(ImportDialog, NotVideoSizeWithoutAReelIsRefused) {
    Pictures("big", 2, 1024, 768);
    const int before = CountWindows();
    Widget dialog = OpenAndChoose();
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "OK"));
    EXPECT_EQ(Messages(), Strings{"You must write the svj to\nimport non video size images\n"});
    EXPECT_EQ(CountWindows(), before);
    EXPECT_FALSE(fs::exists(db_ + "CLIP/big_Img00_Clip_1"));
}

TEST_F(ImportDialog, RemoteImportFetchesEachFrameWithRcp) {
    unsetenv("ORVA_DSK_RECORD");
    InDispatch([] { DbSelectAbekas(nullptr, nullptr, nullptr); });
    EXPECT_EQ(Messages(), Strings{"Environment variable\nORVA_DSK_RECORD\nnot found\n"});

    // A stub rcp that logs its arguments and writes a frame of the video size.
    const std::string bin = root_ + "/bin", args = root_ + "/args";
    fs::create_directories(bin);
    std::ofstream(bin + "/rcp") << "#!/bin/sh\nprintf '%s\\n' \"$1\" \"$2\" >> '" << args
                                << "'\nhead -c 829440 /dev/zero > \"$2\"\n";
    fs::permissions(bin + "/rcp", fs::perms::owner_all);
    const std::string old_path = getenv("PATH");
    setenv("PATH", (bin + ":" + old_path).c_str(), 1);
    setenv("ORVA_DSK_RECORD", "dsk:it's $(x)", 1);
    const int before = CountWindows();
    InDispatch([] { DbSelectAbekas(nullptr, nullptr, nullptr); });
    Widget dialog = DialogTitled("Import Abekas");
    ASSERT_NE(dialog, nullptr);
    XmTextSetString(XtNameToWidget(dialog, "*abename"), const_cast<char *>("take"));
    XmTextSetString(XtNameToWidget(dialog, "*end"), const_cast<char *>("2"));
    Press(ByLabel(dialog, "OK"));
    EXPECT_EQ(DialogTitled("Import Abekas"), nullptr);
    WaitJobs();
    setenv("PATH", old_path.c_str(), 1);
    unsetenv("ORVA_DSK_RECORD");
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(CountWindows(), before + 1);
    std::ifstream in(args);
    Strings lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    EXPECT_EQ(lines, (Strings{"dsk:it's $(x)1", db_ + "IMAGES/take.1.yuv", "dsk:it's $(x)2",
                              db_ + "IMAGES/take.2.yuv"}));
}

TEST_F(ImportDialog, ExistingReelIsReplacedOnlyWhenUnusedAndConfirmed) {
    Pictures("walk", 2, 720, 576);
    const std::string reel = db_ + "SVJ/walk.svj";
    std::ofstream(reel) << "old";
    // An open clip uses the reel: refused.
    auto *clip = new FisicData;
    clip->path = strdup(reel.c_str());
    clip->complete = 1;
    clip->next = first_fisic.load();
    first_fisic = clip;
    ImportAsReel("walk");
    EXPECT_EQ(Messages(), Strings{"One or more files are in\nuse, cannot remove them."});
    EXPECT_EQ(fs::file_size(reel), 3u);
    first_fisic = clip->next.load();
    FreeFisicData(clip);

    // Unused: asked first, replaced on Yes.
    ImportAsReel("walk");
    ASSERT_TRUE(Answer("File exists. Overwrite?", true));
    WaitJobs();
    EXPECT_GT(fs::file_size(reel), 1000u);
}

TEST_F(ImportDialog, StoppedImportLeavesNothingAndAClosedWindowIsLeftAlone) {
    Pictures("walk", 3, 720, 576);
    const int before = CountWindows();
    // A reel import held at the pause gate, then stopped: no reel, no window.
    SemSet(0, 1);
    ImportAsReel("held");
    int entry = -1;
    for (int i = 0; i < GENERAL_SPROC; i++)
        if (pidData[i].pid.load() > 0 && pidData[i].type == JOB_IMPORT) entry = i;
    ASSERT_GE(entry, 0);
    EXPECT_EQ(CountWindows(), before + 1);
    InDispatch([entry] { StopProcess(entry); });
    WaitJobs();
    SemSet(0, 0);
    EXPECT_FALSE(fs::exists(db_ + "SVJ/held.svj"));
    EXPECT_FALSE(fs::exists(db_ + "CLIP/held_Clip_1"));
    EXPECT_EQ(CountWindows(), before);

    // An image-clip import whose window is closed while it runs: the log is
    // still written, and no window comes back.
    SemSet(0, 1);
    Widget dialog = OpenAndChoose();
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "OK"));
    ASSERT_EQ(CountWindows(), before + 1);
    WindowData *placeholder = last_window;
    InDispatch([placeholder] { CloseOK(0, 0, placeholder, 0, 0); });
    FreeClosedWindows();
    SemSet(0, 0);
    WaitJobs();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(CountWindows(), before);
    EXPECT_TRUE(fs::exists(db_ + "CLIP/walk_Img00_Log"));
}

TEST_F(ImportDialog, MoviesAreListedWithTheirFrameCountAndNeedAReel) {
    const std::string movie = db_ + "IMAGES/clip.mp4";
    ASSERT_EQ(system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                      "testsrc=size=320x240:rate=30:duration=2 -c:v libx264 -pix_fmt yuv420p '" +
                      movie + "'")
                         .c_str()),
              0);
    Widget dialog = OpenAndChoose();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(dialog, "*list")), Strings{"clip.mp4"});
    EXPECT_EQ(Text(dialog, "*start"), "1");
    EXPECT_EQ(Text(dialog, "*end"), "50");
    Press(ByLabel(dialog, "OK"));
    EXPECT_EQ(Messages(), Strings{"You must write the svj to\nimport movies\n"});
}

} // namespace
