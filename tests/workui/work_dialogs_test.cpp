// The work-file dialogs under the test X server, on a current test database
// with real reels and logs: windows saved through SAVE > Work and the name
// field, loaded back through "Open Work", the closing questions that save
// first, KeepBeforeFirstSave and "Delete Work".
#include "workui_fixture.h"

namespace {

using WorkDialogs = WorkUiFixture;

bool exists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
}

} // namespace

// SAVE > Work > All, then "Open Work" > "Replace" brings the desktop back as
// it was (areas, slots, titles, marks, frame maps, the summa window); "Add"
// puts a second copy in the next free cells, sharing the clips.
TEST_F(WorkDialogs, RoundTripThroughSaveAndOpen) {
    WindowData *a = OpenReel("a.svj", 30);
    a->in = 4;
    a->out = 11;
    WindowData *slowed = AddNewWindow(a, 1, 0, DERIVE_SLOWER, 3);
    ASSERT_NE(slowed->seg_first->map, nullptr);
    slowed->in = 2;
    XmTextSetString(slowed->memo, const_cast<char *>("slowed"));
    ToMaster(OpenReel("b.svj", 20));
    a->slot = 5;
    RepositionWindows();
    const std::vector<Seen> before = Desk();
    Run(DbSaveWorkAll);
    SaveAs("x");
    EXPECT_EQ(Dialog("Save work"), nullptr);
    CloseAndFree();
    Choose(DbSelectWork, "Open Work", "x.wrk", "Replace");
    EXPECT_EQ(Boxes(), Strings{});
    EXPECT_EQ(Desk(), before);
    ASSERT_NE(summa_window, nullptr);
    EXPECT_EQ(summa_window->total, 20);

    Choose(DbSelectWork, "Open Work", "x.wrk", "Add");
    const std::vector<Seen> after = Desk();
    ASSERT_EQ(after.size(), 6u);
    EXPECT_EQ(std::get<0>(after[1]), 1); // master-area windows stay ahead
    EXPECT_EQ(std::get<1>(after[1]), 1);
    EXPECT_EQ(std::get<1>(after[4]), std::get<1>(after[3]) + 1); // next free cells
    EXPECT_EQ(std::get<2>(after[5]), "slowed");
    EXPECT_EQ(std::get<6>(after[5]), std::get<6>(before[2]));
    EXPECT_EQ(summa_window->total, 40);
    int clips = 0; // two reels, each counting the segments that use it
    for (FisicData *c = first_fisic; c; c = c->next, clips++) {
        int uses = 0;
        for (WindowData *w : {first_window, summa_window})
            for (; w; w = w == summa_window ? nullptr : w->next)
                for (Segment *s = w->seg_first; s; s = s == w->seg_last ? nullptr : s->next)
                    uses += s->fisic == c;
        EXPECT_EQ(c->refs, uses);
    }
    EXPECT_EQ(clips, 2);
}

// "Replace" with a window still being produced asks whether its job stops;
// either answer closes the desktop and loads the work.
TEST_F(WorkDialogs, ReplaceAsksAboutRunningJobs) {
    OpenReel("a.svj");
    ASSERT_EQ(SaveOK(Work("one.wrk").c_str(), WORK_SAVE_ALL), 1);
    AddWindowData(nullptr, -1, strdup("importing"), 10);
    Choose(DbSelectWork, "Open Work", "one.wrk", "Replace");
    EXPECT_EQ(Boxes("warning", false), Strings{"One or more clips have\nimport in or export "
                                               "progress.\nDo you want to stop them?"});
    Answer(false);
    ASSERT_EQ(Windows(), 1u);
    EXPECT_NE(first_window->seg_first, nullptr);
}

// "Save empty work?" when a save has nothing to take; then the name field:
// last path component up to a blank, ".wrk" appended unless present, empty
// names refused, files overwritten only after the question, directories
// left alone.
TEST_F(WorkDialogs, SaveQuestionsAndNames) {
    const std::pair<XtCallbackProc, const char *> empty[] = {
        {DbSaveWorkAll, "No clips in desktop.\nSave empty work?"},
        {DbSaveWorkHappy, "No clips in master area.\nSave empty work?"},
        {DbSaveWorkSelected, "No clips selected.\nSave empty work?"}};
    for (const auto &[command, question] : empty) {
        Run(command);
        EXPECT_EQ(Boxes("warning", false), Strings{question});
        Answer(true);
        ASSERT_NE(Dialog("Save work"), nullptr) << question;
        ::Press(ByLabel(Dialog("Save work"), "Cancel"));
        if (command == DbSaveWorkAll) OpenReel("a.svj"); // the other two still ask
    }
    SaveOK(Work("empty.wrk").c_str(), WORK_SAVE_SELECTED);
    struct stat st {};
    EXPECT_EQ(stat(Work("empty.wrk").c_str(), &st) == 0 ? st.st_size : 0, 25); // header, N = 0
    first_work->selected = 1;
    Run(DbSaveWorkSelected);
    EXPECT_EQ(Boxes("warning"), Strings{});
    ASSERT_NE(Dialog("Save work"), nullptr);

    for (auto [typed, file] : {std::pair{"/a/b/take", "take.wrk"},
                               {"x.wrk", "x.wrk"},
                               {"  sp ace", "sp.wrk"},
                               {"v.wrk.old", "v.wrk.old.wrk"}}) {
        if (!Dialog("Save work")) Run(DbSaveWorkAll);
        SaveAs(typed);
        EXPECT_TRUE(exists(Work(file))) << typed;
    }
    EXPECT_FALSE(exists(Work("x.wrk.wrk")));
    Run(DbSaveWorkAll);
    SaveAs("/a/b/");
    EXPECT_EQ(Boxes(), Strings{"Type or select a name"});
    std::ofstream(Work("old.wrk")) << "keep";
    SaveAs("old");
    EXPECT_EQ(Boxes("warning", false), Strings{"File exists. Overwrite?"});
    Answer(false);
    EXPECT_EQ(Text(Work("old.wrk")), "keep");
    ASSERT_EQ(mkdir(Work("d.wrk").c_str(), 0777), 0);
    SaveAs("d");
    EXPECT_EQ(Boxes("warning", false), Strings{});
    SaveAs("old");
    Answer(true);
    EXPECT_EQ(Dialog("Save work"), nullptr);
    WorkFile f;
    EXPECT_EQ(ReadWorkFile(Work("old.wrk").c_str(), &f), WORK_OK);
}

// The closing questions' "  Yes  " saves first and closes only after a good
// save: a FIFO in the way or a file size limit makes it fail.
TEST_F(WorkDialogs, ClosingClearsOnlyAfterAGoodSave) {
    ASSERT_EQ(mkfifo(Work("fifo.wrk").c_str(), 0666), 0);
    for (auto [command, left] : {std::pair{&CloseSel, 2u}, {ClearHappy, 2u}, {CloseAll, 0u}}) {
        CloseAndFree();
        OpenReel("a.svj")->selected = 1;
        ToMaster(OpenReel("b.svj"));
        OpenReel("c.svj");
        Run(command);
        Answer(true);
        SaveAs("fifo");
        Answer(true); // "File exists. Overwrite?"
        EXPECT_EQ(Boxes(), Strings{"Error in saving work"});
        rlimit old{}, small{};
        getrlimit(RLIMIT_FSIZE, &old);
        small = old;
        small.rlim_cur = 30;
        Run(command);
        Answer(true);
        setrlimit(RLIMIT_FSIZE, &small);
        SaveAs("big");
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(Boxes(), Strings{"Error in saving work"});
        EXPECT_EQ(Windows(), 3u);
        Run(command);
        Answer(true);
        SaveAs("good");
        EXPECT_EQ(Windows(), left);
        WorkFile f;
        EXPECT_EQ(ReadWorkFile(Work("good.wrk").c_str(), &f), WORK_OK);
        EXPECT_EQ(f.windows.size(), left ? 1u : 3u);
        unlink(Work("good.wrk").c_str());
    }
}

// A reel moved away: its window comes back selected on the desktop (its log
// shows it) with the missing warning, the other window keeps its slot. A
// reel rewritten since the save gives the changed warning.
TEST_F(WorkDialogs, MissingAndChangedReels) {
    ToMaster(OpenReel("a.svj"));
    OpenReel("b.svj")->slot = 3;
    ASSERT_EQ(SaveOK(Work("w.wrk").c_str(), WORK_SAVE_ALL), 1);
    CloseAndFree();
    ASSERT_EQ(rename(db.reel("a.svj").c_str(), db.tmp.path("a.moved").c_str()), 0);
    EXPECT_EQ(LoadWork(Work("w.wrk").c_str(), 0), 0);
    EXPECT_EQ(Boxes(), Strings{"Warning: one or more files\nare missing or corrupted.\n"});
    EXPECT_EQ(LoadWorkWarned(), 1);
    std::vector<std::tuple<int, int, int>> placed; // master, slot, selected
    for (WindowData *w = first_window; w; w = w->next)
        placed.emplace_back(w->master, w->slot, w->selected);
    EXPECT_EQ(placed, (std::vector<std::tuple<int, int, int>>{{0, 0, 1}, {0, 3, 0}}));
    Pixel shown = 0; // the selection is shown: its label frame is red
    XtVaGetValues(first_window->label_frame, XmNtopShadowColor, &shown, NULL);
    EXPECT_EQ(shown, RED_COL);

    CloseAndFree();
    ASSERT_EQ(rename(db.tmp.path("a.moved").c_str(), db.reel("a.svj").c_str()), 0);
    EXPECT_EQ(LoadWork(Work("w.wrk").c_str(), 0), 1);
    EXPECT_EQ(Boxes(), Strings{});
    EXPECT_EQ(LoadWorkWarned(), 0);
    CloseAndFree();
    timeval later[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimes(db.reel("b.svj").c_str(), later), 0);
    EXPECT_EQ(LoadWork(Work("w.wrk").c_str(), 1), 1);
    EXPECT_EQ(Boxes(), Strings{"Warning: one or more files\nmay have been changed.\n"});
    EXPECT_EQ(Windows(), 2u);
    std::ofstream(Work("bad.wrk")) << "Vek Dulsar Orva 0009" << '\0' << "rest";
    EXPECT_EQ(LoadWork(Work("bad.wrk").c_str(), 1), 0);
    EXPECT_EQ(Boxes(), Strings{"Unknown work file version"});
    EXPECT_EQ(LoadWorkWarned(), 1);
}

// KeepBeforeFirstSave keeps the replaced file once, as path + "~"; a keep
// that cannot be made stops the save.
TEST_F(WorkDialogs, KeepBeforeFirstSave) {
    OpenReel("a.svj");
    const std::string path = Work("k.wrk"), other = Work("o.wrk");
    std::ofstream(path) << "first";
    KeepBeforeFirstSave(path.c_str());
    ASSERT_EQ(SaveOK(other.c_str(), WORK_SAVE_ALL), 1);
    EXPECT_FALSE(exists(other + "~"));
    ASSERT_EQ(SaveOK(path.c_str(), WORK_SAVE_ALL), 1);
    ASSERT_EQ(SaveOK(path.c_str(), WORK_SAVE_ALL), 1);
    EXPECT_EQ(Text(path + "~"), "first");
    ASSERT_EQ(mkdir((other + "~").c_str(), 0777), 0);
    KeepBeforeFirstSave(other.c_str());
    EXPECT_EQ(SaveOK(other.c_str(), WORK_SAVE_ALL), 0);
    EXPECT_EQ(Boxes(), Strings{"Error in saving work"});
}

// "Delete Work" removes the chosen regular files after "Are you sure?";
// nothing opens during playback, nor without a database.
TEST_F(WorkDialogs, DeleteWorkPlaybackAndNoDatabase) {
    for (const char *n : {"a.wrk", "b.wrk", "c.wrk", "keep.edl"})
        std::ofstream(Work(n)) << "x";
    ASSERT_EQ(mkdir(Work("dir.wrk").c_str(), 0777), 0);
    Choose(DbRemoveWork, "Delete Work", nullptr, "Selected");
    EXPECT_EQ(Boxes(), Strings{"No work selected"});
    ::Press(ByLabel(Dialog("Delete Work"), "Cancel"));
    Choose(DbRemoveWork, "Delete Work", "b.wrk", "Selected");
    EXPECT_EQ(Boxes("warning", false), Strings{"Are you sure?"});
    Answer(true);
    EXPECT_FALSE(exists(Work("b.wrk")));
    EXPECT_TRUE(exists(Work("a.wrk")));
    Choose(DbRemoveWork, "Delete Work", nullptr, "All");
    Answer(true);
    EXPECT_EQ(Boxes(), Strings{"Couldn't remove all files"});
    EXPECT_FALSE(exists(Work("a.wrk")) || exists(Work("c.wrk")));
    EXPECT_TRUE(exists(Work("dir.wrk")) && exists(Work("keep.edl")));

    OpenReel("a.svj");
    isPlayActive = 1;
    for (XtCallbackProc c : {DbSelectWork, DbRemoveWork, DbSaveWorkAll, CloseAll})
        Run(c);
    isPlayActive = 0;
    EXPECT_EQ(Named(app_shell, "dialog").size() + Named(app_shell, "warning").size(), 0u);
    DbEntry *current = db_current;
    db_current = nullptr;
    Run(DbSelectWork);
    Run(DbSaveWorkAll);
    db_current = current;
    EXPECT_EQ(Boxes(), (Strings{"No database selected", "No database selected"}));
}
