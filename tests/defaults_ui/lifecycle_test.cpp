// The defaults through a run: the file written at exit and read at start,
// the exit work, the autosave, and the switch between databases.
#include "../desktop_areas/desktop_areas_fixture.h"

#include <fstream>

#include "database/db_list.h"
#include "defaults_util.h"

using namespace defaults_test;

namespace {

class DefaultsLifecycle : public AreasFixture {
  protected:
    ScopedEnv user{"USER", "tester"}, rsrc{"ORVA_RSRC", nullptr};

    void TearDown() override {
        for (WindowData *w = first_window; w; w = w->next) // the list's, freed with the rest
            if (std::find(windows.begin(), windows.end(), w) == windows.end()) windows.push_back(w);
        AreasFixture::TearDown();
        DbFreeList();
    }
    // Databases `names` under the test directory, listed in its "OrvaDB"
    // (ORVA_RSRC), the first current.
    void MakeDatabases(std::initializer_list<const char *> names) {
        std::ofstream list(dir + "/OrvaDB");
        for (const char *n : names) {
            for (const char *d : {"", "SVJ", "CLIP", "WORK", "IMAGES"})
                mkdir((Db(n) + d).c_str(), 0777);
            list << "DATABASE " << n << "\nPATH " << Db(n) << "\n";
        }
        list.close();
        setenv("ORVA_RSRC", dir.c_str(), 1);
        DbInitialize();
    }
    std::string Db(const char *name) const { return dir + "/" + name + "/"; }
};

TEST_F(DefaultsLifecycle, ExitWritesWhatStartReads) {
    MakeDatabases({"one", "two"});
    DbNameSetDatabase("two");
    SetDefaultsTo({3, 0, 1, 0, 0}, "in", "out");
    Exit_defaults(1);
    EXPECT_EQ(AutosaveDue(), 0);
    EXPECT_EQ(ReadFile(dir + "/.orva_def.tester"), FileText(3, 0, 1, 0, 0, "in", "out", "two"));
    EXPECT_FALSE(FileExists(Db("two") + "WORK/out.wrk")); // the exit work is off

    // The next start reads it all back, the database too, and arms the timer.
    SetDefaultsTo({10, 1, 0, 1, 1}, "x", "y");
    DbNameSetDatabase("one");
    Init_defaults(1);
    EXPECT_EQ(std::vector<int>(defaults, defaults + 5), (std::vector<int>{3, 0, 1, 0, 0}));
    EXPECT_EQ(std::string(init_work_name) + exit_work_name, "inout");
    EXPECT_STREQ(DbGetName(), "two");
    EXPECT_TRUE(DueIn(3));

    // Without ORVA_RSRC the database's own file, without the database line;
    // an empty name is written as the fallback.
    unsetenv("ORVA_RSRC");
    SetDefaultsTo({0, 1, 0, 1, 0}, "", "keep");
    Exit_defaults(1);
    EXPECT_EQ(ReadFile(Db("two") + ".orva_def.tester"),
              FileText(0, 1, 0, 1, 0, ".orva.tester", "keep"));
}

TEST_F(DefaultsLifecycle, ExitSavesTheExitWork) {
    MakeDatabases({"one"});
    SetDefaultsTo({0, 1, 0, 0, 1}, "in", "last");
    testing::internal::CaptureStderr();
    Exit_defaults(1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(FileExists(Db("one") + "WORK/last.wrk"));

    // A save that fails says so on standard error, at exit only.
    std::system(("rm -r " + Db("one") + "WORK; touch " + Db("one") + "WORK").c_str());
    for (int global : {0, 1}) {
        testing::internal::CaptureStderr();
        Exit_defaults(global);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), global ? "Error in saving work\n" : "");
        CloseMessages();
    }
    EXPECT_EQ(ReadFile(dir + "/.orva_def.tester"), FileText(0, 1, 0, 0, 1, "in", "last", "one"));
}

TEST_F(DefaultsLifecycle, AutosaveWhenNamedAndCurrent) {
    const struct {
        int minutes;
        const char *name;
        bool database, saves;
    } cases[] = {{5, "auto", true, true},
                 {0, "auto", true, false},
                 {5, "", true, false},
                 {5, "auto", false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.minutes) + c.name + (c.database ? "" : " no database"));
        MakeDatabases({"one"});
        unlink((Db("one") + "WORK/auto.wrk").c_str());
        if (!c.database) DbFreeList();
        SetDefaultsTo({c.minutes, 1, 0, 1, 1}, "in", c.name);
        AutosaveTimer(nullptr, nullptr);
        EXPECT_EQ(FileExists(Db("one") + "WORK/auto.wrk"), c.saves);
        EXPECT_TRUE(c.saves ? DueIn(c.minutes) : AutosaveDue() == 0);
    }
}

TEST_F(DefaultsLifecycle, DatabaseSwitchWritesAndReads) {
    MakeDatabases({"one", "two"});
    std::ofstream(Db("two") + ".orva_def.tester") << FileText(7, 0, 0, 1, 1, "none", "there");
    Init_defaults(0);
    SetDefaultsTo({4, 1, 0, 0, 1}, "in", "leaving");
    FisicData *c = NewClip(5);
    WriteReel(c, Db("one") + "SVJ/reel");
    NewWindow(c);

    DbSetCurrent(DbFindEntry("two"), 0, 1);
    EXPECT_STREQ(DbGetName(), "two");
    EXPECT_EQ(ReadFile(Db("one") + ".orva_def.tester"), FileText(4, 1, 0, 0, 1, "in", "leaving"));
    EXPECT_TRUE(FileExists(Db("one") + "WORK/leaving.wrk"));
    EXPECT_EQ(first_window, nullptr); // every window closed
    EXPECT_EQ(std::vector<int>(defaults, defaults + 5), (std::vector<int>{7, 0, 0, 1, 1}));
    EXPECT_STREQ(exit_work_name, "there");
    EXPECT_TRUE(DueIn(7));
}

} // namespace
