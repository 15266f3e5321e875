// The defaults through a run: the file written at exit and read at start,
// the exit work, the autosave, and the switch between databases.
#include "defaults_fixture.h"

namespace {

using DefaultsLifecycle = DefaultsFixture;

void SetDefaultsTo(std::array<int, 5> v, const char *in, const char *out) {
    std::copy(v.begin(), v.end(), defaults);
    snprintf(init_work_name, sizeof init_work_name, "%s", in);
    snprintf(exit_work_name, sizeof exit_work_name, "%s", out);
}

// The timer is due `minutes` from about now.
void ExpectDueIn(int minutes) {
    const int64_t due = AutosaveDue() - AutosaveClock();
    EXPECT_LE(due, int64_t(minutes) * 60000);
    EXPECT_GT(due, int64_t(minutes) * 60000 - 5000);
}

TEST_F(DefaultsLifecycle, ExitWritesWhatStartReads) {
    MakeDatabases({"one", "two"});
    DbNameSetDatabase("two");
    SetDefaultsTo({3, 0, 1, 0, 0}, "in", "out");
    Exit_defaults(1);
    EXPECT_EQ(AutosaveDue(), 0);
    EXPECT_EQ(ReadFile(DefaultsIn(dir)), FileText(3, 0, 1, 0, 0, "in", "out", "two"));
    EXPECT_FALSE(Exists(DbDir("two") + "WORK/out.wrk")); // the exit work is off

    // The next start reads it all back, the database too, and arms the timer.
    SetDefaultsTo({10, 1, 0, 1, 1}, "x", "y");
    DbNameSetDatabase("one");
    Init_defaults(1);
    EXPECT_EQ(std::vector<int>(defaults, defaults + 5), (std::vector<int>{3, 0, 1, 0, 0}));
    EXPECT_STREQ(init_work_name, "in");
    EXPECT_STREQ(exit_work_name, "out");
    EXPECT_STREQ(DbGetName(), "two");
    ExpectDueIn(3);

    // Without ORVA_RSRC the database's own file, without the database line;
    // empty names are written as the fallback.
    unsetenv("ORVA_RSRC");
    SetDefaultsTo({0, 1, 0, 1, 0}, "", "keep");
    Exit_defaults(1);
    EXPECT_EQ(ReadFile(DefaultsIn(DbDir("two"))), FileText(0, 1, 0, 1, 0, ".orva.tester", "keep"));
    Init_defaults(1);
    EXPECT_EQ(AutosaveDue(), 0);
    EXPECT_STREQ(init_work_name, ".orva.tester");
}

TEST_F(DefaultsLifecycle, ExitSavesTheExitWork) {
    MakeDatabases({"one"});
    SetDefaultsTo({0, 1, 0, 0, 1}, "in", "last");
    testing::internal::CaptureStderr();
    Exit_defaults(1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(Exists(DbDir("one") + "WORK/last.wrk"));

    // A save that fails says so on standard error at exit only.
    std::system(("rm -rf " + DbDir("one") + "WORK; touch " + DbDir("one") + "WORK").c_str());
    for (int global : {0, 1}) {
        testing::internal::CaptureStderr();
        Exit_defaults(global);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), global ? "Error in saving work\n" : "");
        CloseMessages();
    }
    EXPECT_EQ(ReadFile(DefaultsIn(dir)), FileText(0, 1, 0, 0, 1, "in", "last", "one"));
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
        SCOPED_TRACE(std::to_string(c.minutes) + " '" + c.name + "'" +
                     (c.database ? "" : " no database"));
        MakeDatabases({"one"});
        const std::string work = DbDir("one") + "WORK/auto.wrk";
        unlink(work.c_str());
        if (!c.database) DbFreeList();
        SetDefaultsTo({c.minutes, 1, 0, 1, 1}, "in", c.name);
        AutosaveTimer(nullptr, nullptr);
        EXPECT_EQ(Exists(work), c.saves);
        if (c.saves)
            ExpectDueIn(c.minutes);
        else
            EXPECT_EQ(AutosaveDue(), 0);
    }
}

TEST_F(DefaultsLifecycle, DatabaseSwitchWritesAndReads) {
    MakeDatabases({"one", "two"});
    std::ofstream(DefaultsIn(DbDir("two"))) << FileText(7, 0, 0, 1, 1, "none", "there");
    SetDefaultsTo({4, 1, 0, 0, 1}, "in", "leaving");
    Init_defaults(0); // the first database's missing file: fallbacks
    SetDefaultsTo({4, 1, 0, 0, 1}, "in", "leaving");
    FisicData *c = NewClip(5);
    WriteReel(c, DbDir("one") + "SVJ/reel");
    NewWindow(c);

    DbSetCurrent(DbFindEntry("two"), 0, 1);
    EXPECT_STREQ(DbGetName(), "two");
    EXPECT_EQ(ReadFile(DefaultsIn(DbDir("one"))), FileText(4, 1, 0, 0, 1, "in", "leaving"));
    EXPECT_TRUE(Exists(DbDir("one") + "WORK/leaving.wrk"));
    EXPECT_EQ(first_window, nullptr); // every window closed
    EXPECT_EQ(std::vector<int>(defaults, defaults + 5), (std::vector<int>{7, 0, 0, 1, 1}));
    EXPECT_STREQ(exit_work_name, "there");
    ExpectDueIn(7);
}

} // namespace
