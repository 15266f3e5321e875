// The work-file dialogs under the test X server: windows saved through SAVE >
// Work and the "Save work" name field, loaded back through "Open Work",
// the closing questions that save first, and "Delete Work".
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <fstream>

#include "workui_fixture.h"

namespace {

using Strings = std::vector<std::string>;
using WorkDialogs = WorkUiFixture;

// A desktop of three windows: a reel's window, a slowed copy of its marked
// range (a frame map), and a second reel's window moved to the master area.
void BuildDesk(WorkUiFixture &t, WindowData **reel_a, WindowData **derived, WindowData **master) {
    *reel_a = t.OpenReel("a.svj", 30);
    (*reel_a)->in = 4;
    (*reel_a)->out = 11;
    *derived = AddNewWindow(*reel_a, 1, 0, DERIVE_SLOWER, 3);
    ASSERT_NE(*derived, nullptr);
    ASSERT_NE((*derived)->seg_first->map, nullptr);
    (*derived)->in = 2;
    WorkUiFixture::SetTitle(*derived, "slowed");
    *master = t.OpenReel("b.svj", 20);
    WorkUiFixture::SetTitle(*master, "master b");
    WorkUiFixture::ToMaster(*master);
}

} // namespace

// Saved with SAVE > Work > All and loaded with "Replace", the desktop comes
// back as it was: areas, slots, titles, marks, frame maps and the summa
// window; "Add" puts a second copy in the next free cells, sharing the clips.
TEST_F(WorkDialogs, RoundTripThroughSaveAndOpen) {
    WindowData *a, *derived, *master;
    BuildDesk(*this, &a, &derived, &master);
    a->slot = 5; // a gap before the first desktop window
    RepositionWindows();
    const std::vector<Seen> before = Desk();
    Run(DbSaveWorkAll);
    SaveAs("x");
    EXPECT_EQ(Dialog("Save work"), nullptr);
    ASSERT_TRUE(Exists(Work("x.wrk")));
    EXPECT_TRUE(Messages().empty());

    CloseOK(1, 1, nullptr, 0, 0);
    Pump();
    ASSERT_EQ(first_window, nullptr);
    Run(DbSelectWork);
    Widget open = Dialog("Open Work");
    ASSERT_NE(open, nullptr);
    Pick(open, "x.wrk");
    ::Press(ByLabel(open, "Replace"));
    EXPECT_EQ(Dialog("Open Work"), nullptr);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Desk(), before);
    ASSERT_NE(summa_window, nullptr);
    EXPECT_EQ(summa_window->total, 20);
    int clips = 0;
    for (FisicData *c = first_fisic; c; c = c->next)
        clips++;

    Run(DbSelectWork);
    open = Dialog("Open Work");
    ASSERT_NE(open, nullptr);
    Pick(open, "x.wrk");
    ::Press(ByLabel(open, "Add"));
    const std::vector<Seen> after = Desk();
    ASSERT_EQ(after.size(), 6u);
    // Master-area windows stay ahead of the desktop; added ones take the
    // next free cells.
    EXPECT_EQ(std::get<0>(after[1]), 1);
    EXPECT_EQ(std::get<2>(after[1]), "master b");
    EXPECT_EQ(std::get<1>(after[1]), 1);
    EXPECT_EQ(std::get<1>(after[4]), std::get<1>(after[3]) + 1);
    EXPECT_EQ(std::get<2>(after[5]), "slowed");
    EXPECT_EQ(std::get<6>(after[5]), std::get<6>(before[2]));
    EXPECT_EQ(summa_window->total, 40);
    // The clips are shared: each counts the segments that use it.
    int clips_after = 0;
    for (FisicData *c = first_fisic; c; c = c->next) {
        clips_after++;
        int uses = 0;
        for (WindowData *w = first_window;; w = w->next) {
            WindowData *win = w ? w : summa_window;
            for (Segment *s = win->seg_first; s; s = s == win->seg_last ? nullptr : s->next)
                uses += s->fisic == c;
            if (!w) break;
        }
        EXPECT_EQ(c->refs, uses);
    }
    EXPECT_EQ(clips_after, clips);
}

// "Replace" while a window is still being produced asks whether its job
// stops; either answer closes the desktop and loads the work.
TEST_F(WorkDialogs, ReplaceAsksAboutRunningJobs) {
    OpenReel("a.svj", 10);
    ASSERT_EQ(SaveOK(Work("one.wrk").c_str(), WORK_SAVE_ALL), 1);
    AddWindowData(nullptr, -1, strdup("importing"), 10);
    Run(DbSelectWork);
    Widget open = Dialog("Open Work");
    ASSERT_NE(open, nullptr);
    Pick(open, "one.wrk");
    ::Press(ByLabel(open, "Replace"));
    EXPECT_EQ(Questions(), Strings{"One or more clips have\nimport in or export progress.\n"
                                   "Do you want to stop them?"});
    EXPECT_EQ(Windows(), 2);
    Answer(false);
    EXPECT_EQ(Windows(), 1);
    EXPECT_NE(first_window->seg_first, nullptr);
}

// The three saves ask "Save empty work?" when they have nothing to take;
// "  Yes  " opens "Save work" anyway, "  No  " nothing.
TEST_F(WorkDialogs, SaveEmptyWorkQuestions) {
    struct Case {
        XtCallbackProc command;
        const char *question;
    };
    const Case cases[] = {{DbSaveWorkAll, "No clips in desktop.\nSave empty work?"},
                          {DbSaveWorkHappy, "No clips in master area.\nSave empty work?"},
                          {DbSaveWorkSelected, "No clips selected.\nSave empty work?"}};
    for (const Case &c : cases) {
        Run(c.command);
        EXPECT_EQ(Questions(), Strings{c.question});
        Answer(false);
        EXPECT_EQ(Dialog("Save work"), nullptr);
        Run(c.command);
        Answer(true);
        ASSERT_NE(Dialog("Save work"), nullptr) << c.question;
        XtDestroyWidget(XtParent(Dialog("Save work")));
        Pump();
        if (c.command == DbSaveWorkAll) OpenReel("a.svj", 5); // the others still ask
    }
    SaveOK(Work("empty.wrk").c_str(), WORK_SAVE_SELECTED);
    struct stat st {};
    ASSERT_EQ(stat(Work("empty.wrk").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 25); // the header and a count of 0
    first_work->selected = 1;
    Run(DbSaveWorkSelected);
    EXPECT_TRUE(Questions().empty());
    EXPECT_NE(Dialog("Save work"), nullptr);
}

// The name field: the last path component up to a blank, ".wrk" appended
// unless present, an empty name refused, an existing file overwritten only
// after the question, a directory left alone.
TEST_F(WorkDialogs, SaveNames) {
    OpenReel("a.svj", 5);
    struct Case {
        const char *typed, *file;
    };
    for (const Case &c : {Case{"/a/b/take", "take.wrk"}, Case{"x.wrk", "x.wrk"},
                          Case{"  sp ace", "sp.wrk"}, Case{"v.wrk.old", "v.wrk.old.wrk"}}) {
        Run(DbSaveWorkAll);
        SaveAs(c.typed);
        EXPECT_TRUE(Exists(Work(c.file))) << c.typed;
        EXPECT_EQ(Dialog("Save work"), nullptr) << c.typed;
    }
    EXPECT_FALSE(Exists(Work("x.wrk.wrk")));

    Run(DbSaveWorkAll);
    SaveAs("/a/b/");
    EXPECT_EQ(Messages(), Strings{"Type or select a name"});
    CloseMessages();
    EXPECT_NE(Dialog("Save work"), nullptr);

    std::ofstream(Work("old.wrk")) << "keep";
    SaveAs("old");
    EXPECT_EQ(Questions(), Strings{"File exists. Overwrite?"});
    Answer(false);
    EXPECT_NE(Dialog("Save work"), nullptr);
    std::string text;
    std::getline(std::ifstream(Work("old.wrk")), text);
    EXPECT_EQ(text, "keep");
    SaveAs("old");
    Answer(true);
    EXPECT_EQ(Dialog("Save work"), nullptr);
    WorkFile f;
    EXPECT_EQ(ReadWorkFile(Work("old.wrk").c_str(), &f), WORK_OK);
    EXPECT_EQ(f.windows.size(), 1u);

    ASSERT_EQ(mkdir(Work("d.wrk").c_str(), 0777), 0);
    Run(DbSaveWorkAll);
    SaveAs("d");
    EXPECT_TRUE(Questions().empty());
    EXPECT_TRUE(Messages().empty());
    EXPECT_NE(Dialog("Save work"), nullptr);
}

// The closing questions' "  Yes  " saves first and closes only after a
// good save: a FIFO in the way of the file or a file size limit fails it.
TEST_F(WorkDialogs, ClosingSavesFirstAndClearsOnlyAfterAGoodSave) {
    struct Case {
        XtCallbackProc command;
        int left; // windows left after the clear
    };
    ASSERT_EQ(mkfifo(Work("fifo.wrk").c_str(), 0666), 0);
    for (const Case &c : {Case{CloseSel, 2}, Case{ClearHappy, 2}, Case{CloseAll, 0}}) {
        CloseOK(1, 1, nullptr, 0, 0);
        OpenReel("a.svj", 6)->selected = 1;
        ToMaster(OpenReel("b.svj", 6));
        OpenReel("c.svj", 6);
        Run(c.command);
        Answer(true);
        SaveAs("fifo");
        Answer(true); // "File exists. Overwrite?"
        EXPECT_EQ(Messages(), Strings{"Error in saving work"});
        CloseMessages();
        EXPECT_EQ(Windows(), 3);

        struct rlimit old {};
        getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit small = old;
        small.rlim_cur = 30;
        setrlimit(RLIMIT_FSIZE, &small);
        Run(c.command);
        Answer(true);
        SaveAs("big");
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(Messages(), Strings{"Error in saving work"});
        CloseMessages();
        EXPECT_EQ(Windows(), 3);
        EXPECT_FALSE(Exists(Work("big.wrk")));

        Run(c.command);
        Answer(true);
        SaveAs("good");
        EXPECT_TRUE(Messages().empty());
        EXPECT_EQ(Windows(), c.left);
        WorkFile f;
        EXPECT_EQ(ReadWorkFile(Work("good.wrk").c_str(), &f), WORK_OK);
        EXPECT_EQ(f.windows.size(), size_t(c.left == 0 ? 3 : 1));
        unlink(Work("good.wrk").c_str());
    }
}

// A reel moved away: its window comes back selected on the desktop (its log
// still shows it) and the missing warning follows; the other windows keep
// their places. A reel rewritten since the save gives the changed warning.
TEST_F(WorkDialogs, MissingAndChangedReels) {
    WindowData *a = OpenReel("a.svj", 8);
    ToMaster(a);
    WindowData *b = OpenReel("b.svj", 8);
    b->slot = 3;
    RepositionWindows();
    ASSERT_EQ(SaveOK(Work("w.wrk").c_str(), WORK_SAVE_ALL), 1);
    CloseOK(1, 1, nullptr, 0, 0);
    Pump();
    FreeClosedWindows();
    FreeUnusedClips();
    ASSERT_EQ(rename(db.reel("a.svj").c_str(), db.tmp.path("a.moved").c_str()), 0);
    EXPECT_EQ(LoadWork(Work("w.wrk").c_str(), 0), 0);
    EXPECT_EQ(Messages(), Strings{"Warning: one or more files\nare missing or corrupted.\n"});
    EXPECT_EQ(LoadWorkWarned(), 1);
    CloseMessages();
    ASSERT_EQ(Windows(), 2);
    EXPECT_EQ(first_window->master, 0); // a, at the first free cell
    EXPECT_EQ(first_window->slot, 0);
    EXPECT_EQ(first_window->selected, 1);
    EXPECT_EQ(last_window->master, 0); // b, at its stored slot
    EXPECT_EQ(last_window->slot, 3);
    EXPECT_EQ(last_window->selected, 0);

    CloseOK(1, 1, nullptr, 0, 0);
    Pump();
    FreeClosedWindows();
    FreeUnusedClips();
    ASSERT_EQ(rename(db.tmp.path("a.moved").c_str(), db.reel("a.svj").c_str()), 0);
    EXPECT_EQ(LoadWork(Work("w.wrk").c_str(), 0), 1);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(LoadWorkWarned(), 0);
    CloseOK(1, 1, nullptr, 0, 0);
    Pump();
    FreeClosedWindows();
    FreeUnusedClips();
    struct timeval later[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimes(db.reel("b.svj").c_str(), later), 0);
    EXPECT_EQ(LoadWork(Work("w.wrk").c_str(), 1), 1);
    EXPECT_EQ(Messages(), Strings{"Warning: one or more files\nmay have been changed.\n"});
    EXPECT_EQ(Windows(), 2);
    CloseMessages();

    std::ofstream(Work("bad.wrk")) << "Vek Dulsar Orva 0009" << '\0' << "rest";
    EXPECT_EQ(LoadWork(Work("bad.wrk").c_str(), 1), 0);
    EXPECT_EQ(Messages(), Strings{"Unknown work file version"});
    EXPECT_EQ(LoadWorkWarned(), 1);
}

// KeepBeforeFirstSave keeps the replaced file once, as path + "~".
TEST_F(WorkDialogs, KeepBeforeFirstSave) {
    OpenReel("a.svj", 5);
    const std::string path = Work("k.wrk"), other = Work("o.wrk");
    std::ofstream(path) << "first";
    std::ofstream(other) << "other";
    KeepBeforeFirstSave(path.c_str());
    ASSERT_EQ(SaveOK(other.c_str(), WORK_SAVE_ALL), 1);
    EXPECT_FALSE(Exists(other + "~"));
    ASSERT_EQ(SaveOK(path.c_str(), WORK_SAVE_ALL), 1);
    std::string text;
    std::getline(std::ifstream(path + "~"), text);
    EXPECT_EQ(text, "first");
    WorkFile f;
    EXPECT_EQ(ReadWorkFile(path.c_str(), &f), WORK_OK);
    OpenReel("b.svj", 5);
    ASSERT_EQ(SaveOK(path.c_str(), WORK_SAVE_ALL), 1); // the request is spent
    std::getline(std::ifstream(path + "~"), text);
    EXPECT_EQ(text, "first");
    // A keep that cannot be made stops the save.
    ASSERT_EQ(mkdir((other + "~").c_str(), 0777), 0);
    KeepBeforeFirstSave(other.c_str());
    EXPECT_EQ(SaveOK(other.c_str(), WORK_SAVE_ALL), 0);
    EXPECT_EQ(Messages(), Strings{"Error in saving work"});
}

// "Delete Work" removes the chosen work files after "Are you sure?".
TEST_F(WorkDialogs, DeleteWork) {
    for (const char *n : {"a.wrk", "b.wrk", "c.wrk", "keep.edl"})
        std::ofstream(Work(n)) << "x";
    Run(DbRemoveWork);
    Widget d = Dialog("Delete Work");
    ASSERT_NE(d, nullptr);
    ::Press(ByLabel(d, "Selected"));
    EXPECT_EQ(Messages(), Strings{"No work selected"});
    CloseMessages();
    Pick(d, "b.wrk");
    ::Press(ByLabel(d, "Selected"));
    EXPECT_EQ(Questions(), Strings{"Are you sure?"});
    Answer(false);
    EXPECT_TRUE(Exists(Work("b.wrk")));
    ::Press(ByLabel(d, "Selected"));
    Answer(true);
    EXPECT_EQ(Dialog("Delete Work"), nullptr);
    EXPECT_FALSE(Exists(Work("b.wrk")));
    EXPECT_TRUE(Exists(Work("a.wrk")));

    ASSERT_EQ(mkdir(Work("dir.wrk").c_str(), 0777), 0);
    Run(DbRemoveWork);
    ::Press(ByLabel(Dialog("Delete Work"), "All"));
    Answer(true);
    EXPECT_EQ(Messages(), Strings{"Couldn't remove all files"});
    EXPECT_FALSE(Exists(Work("a.wrk")));
    EXPECT_FALSE(Exists(Work("c.wrk")));
    EXPECT_TRUE(Exists(Work("dir.wrk")));
    EXPECT_TRUE(Exists(Work("keep.edl")));
}

// Nothing opens during playback; without a database the dialogs say so.
TEST_F(WorkDialogs, PlaybackAndNoDatabase) {
    OpenReel("a.svj", 5);
    isPlayActive = 1;
    for (XtCallbackProc c : {DbSelectWork, DbRemoveWork, DbSaveWorkAll, CloseAll})
        Run(c);
    isPlayActive = 0;
    EXPECT_EQ(Named(app_shell, "dialog").size(), 0u);
    EXPECT_TRUE(Questions().empty());
    DbEntry *current = db_current;
    db_current = nullptr;
    Run(DbSelectWork);
    Run(DbSaveWorkAll);
    db_current = current;
    EXPECT_EQ(Messages(), (Strings{"No database selected", "No database selected"}));
    CloseMessages();
    Run(DbSelectWork);
    ::Press(ByLabel(Dialog("Open Work"), "Add"));
    EXPECT_EQ(Messages(), Strings{"No work selected"});
}
