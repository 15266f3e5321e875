// "Open Database" and "New": the list, the switch questions, the "New
// database" browser and "New name" dialog, and what creation leaves on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "database/db_commands.h"
#include "database/db_new.h"
#include "tests/dbadmin/dbadmin_fixture.h"

using namespace dbadmin_test;

namespace {

// What the switch hooks saw: "leave <stop_jobs>" and "enter" in order.
Strings &Calls() {
    static Strings calls;
    return calls;
}
int impexp = 0;

class DbOpen : public DbAdmin {
  protected:
    void SetUp() override {
        DbAdmin::SetUp();
        Calls().clear();
        impexp = 0;
        saved_leave_ = DbLeaveHook;
        saved_enter_ = DbEnterHook;
        saved_impexp_ = DbJobsOnWindowsHook;
        DbLeaveHook = [](int stop) { Calls().push_back("leave " + std::to_string(stop)); };
        DbEnterHook = [] { Calls().push_back("enter"); };
        DbJobsOnWindowsHook = [] { return impexp; };
        if (const char *v = getenv("ORVA_DBDIR")) saved_dbdir_ = v;
    }
    void TearDown() override {
        DbLeaveHook = saved_leave_;
        DbEnterHook = saved_enter_;
        DbJobsOnWindowsHook = saved_impexp_;
        saved_dbdir_.empty() ? unsetenv("ORVA_DBDIR")
                             : setenv("ORVA_DBDIR", saved_dbdir_.c_str(), 1);
        DbAdmin::TearDown();
    }
    static Widget OpenDialog() {
        InDispatch([] { DbSelectDatabase(nullptr, nullptr, nullptr); });
        return Dialog(std::string("DB ") + db_current->name + " - Open Database");
    }
    // "New" in the open dialog titled prefix + "Open Database", the browser
    // moved to typed when given, then OK: the "New name" dialog.
    static Widget NewName(const std::string &prefix, const char *typed = nullptr) {
        Widget d = Dialog(prefix + "Open Database");
        if (!d) return nullptr;
        Press(ByLabel(d, "New"));
        Widget b = Dialog(prefix + "New database");
        if (!b) return nullptr;
        if (typed) Enter(XtNameToWidget(b, "wtext"), typed);
        Press(ByLabel(b, "OK"));
        return Dialog(prefix + "New name");
    }
    void (*saved_leave_)(int) = nullptr;
    void (*saved_enter_)() = nullptr;
    int (*saved_impexp_)() = nullptr;
    std::string saved_dbdir_;
};

} // namespace

TEST_F(DbOpen, ListsInFileOrderAndSwitchesAfterTheQuestions) {
    MakeDatabases({{"zeta", "z"}, {"alpha", "a"}, {"gone", "g"}});
    fs::remove_all(root_ + "/g");
    Widget d = OpenDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(d, "*list")), (Strings{"zeta", "alpha", "gone"}));
    Press(ByLabel(d, "OK"));
    EXPECT_EQ(Messages(d), Strings{"No database selected"});
    Select(d, "gone");
    Press(ByLabel(d, "OK"));
    EXPECT_EQ(Messages(d), Strings{"Cannot open selected database."});
    Select(d, "alpha");
    Press(ByLabel(d, "OK"));
    EXPECT_EQ(Dialog("DB zeta - Open Database"), nullptr);
    EXPECT_TRUE(Answer("Are you sure?", false));
    EXPECT_STREQ(db_current->name, "zeta");
    EXPECT_EQ(Calls(), Strings{});

    d = OpenDialog();
    Select(d, "alpha");
    Press(ByLabel(d, "OK"));
    EXPECT_TRUE(Answer("Are you sure?", true));
    EXPECT_STREQ(db_current->name, "alpha");
    EXPECT_EQ(std::string(db_image_dir), root_ + "/a/IMAGES/");
    EXPECT_EQ(Calls(), (Strings{"leave 0", "enter"}));

    // With an import or export running the question is whether to stop it.
    impexp = 1;
    for (bool stop : {true, false}) {
        Calls().clear();
        d = OpenDialog();
        ASSERT_NE(d, nullptr);
        Select(d, "alpha"); // the current one again: reloaded
        Press(ByLabel(d, "OK"));
        EXPECT_TRUE(Answer("One or more clips have\nimport or export in progress.\nDo you want "
                           "to stop them?",
                           stop));
        EXPECT_EQ(Calls(), (Strings{stop ? "leave 1" : "leave 0", "enter"}));
    }
}

TEST(DbNewDir, DirectoryFromTheTypedText) {
    struct Case {
        const char *browsed, *typed, *want;
    } cases[] = {
        {"/a/", "db", "/a/db/"},       {"/a/", ".", "/a/"},    {"/a/", "x/y", "/a/y/"},
        {"/a/", "  db two", "/a/db/"}, {"/a", "db", "/a/db/"}, {"/a/", "db/", "/a/"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DbNewDatabaseDir(c.browsed, c.typed), c.want) << c.typed;
}

TEST_F(DbOpen, NewDatabaseInAnExistingFolderKeepsItsMode) {
    MakeDatabases({{"first", "first"}});
    const std::string before = ListFile();
    const std::string place = root_ + "/place/";
    fs::create_directories(place + "keep/SVJ");
    chmod((place + "keep").c_str(), 0750);
    chmod((place + "keep/SVJ").c_str(), 0700);
    setenv("ORVA_DBDIR", place.c_str(), 1);

    Widget d = OpenDialog();
    ASSERT_NE(d, nullptr);
    Press(ByLabel(d, "New"));
    EXPECT_EQ(Dialog("DB first - Open Database"), nullptr);
    Widget b = Dialog("DB first - New database");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(b, "*list")), (Strings{"..", "keep"}));
    Press(ByLabel(b, "OK"));
    Widget n = Dialog("DB first - New name");
    ASSERT_NE(n, nullptr);
    Widget name = XtNameToWidget(n, "name"), dir = XtNameToWidget(n, "directory");
    ASSERT_NE(name, nullptr);
    ASSERT_NE(dir, nullptr);
    Widget focus = nullptr;
    XtVaGetValues(n, XmNinitialFocus, &focus, NULL);
    EXPECT_EQ(focus, name);
    XmTextSetString(name, const_cast<char *>(""));
    Enter(dir, "keep");
    EXPECT_EQ(Messages(n), Strings{"Type the database name"});
    XmTextSetString(name, const_cast<char *>("first"));
    Enter(dir, "");
    EXPECT_EQ(Messages(n), Strings{"Type the database directory"});
    Enter(dir, "keep");
    EXPECT_EQ(Messages(n), Strings{"Database already exists"});
    EXPECT_EQ(ListFile(), before);
    XmTextSetString(name, const_cast<char *>("my db"));
    Enter(dir, "keep"); // Return in a field acts as OK

    EXPECT_EQ(Dialog("DB first - New name"), nullptr);
    EXPECT_EQ(Dialog("DB first - New database"), nullptr);
    EXPECT_EQ(Messages(), Strings{});
    EXPECT_EQ(ListFile(), before + "\nDATABASE my db\nPATH " + place + "keep/\n");
    ASSERT_NE(db_current, nullptr);
    EXPECT_STREQ(db_current->name, "my db"); // no "Are you sure?"
    EXPECT_EQ(Calls(), (Strings{"leave 0", "enter"}));
    struct stat st {};
    ASSERT_EQ(stat((place + "keep").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    ASSERT_EQ(stat((place + "keep/SVJ").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    const mode_t mask = umask(022);
    umask(mask);
    for (const char *s : {"CLIP", "WORK", "IMAGES"}) {
        ASSERT_EQ(stat((place + "keep/" + s).c_str(), &st), 0) << s;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0777u & ~mask) << s;
    }
    d = OpenDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(TitleOf(d), "DB my db - Open Database");
    EXPECT_EQ(Items(XtNameToWidget(d, "*list")), (Strings{"first", "my db"}));
    Press(ByLabel(d, "Cancel"));
}

// With no database at all, "New" starts at PWD and the new one becomes current.
TEST_F(DbOpen, FirstDatabaseFromNothing) {
    MakeDatabases({});
    unsetenv("ORVA_DBDIR");
    const std::string pwd = getenv("PWD") ? getenv("PWD") : "";
    setenv("PWD", root_.c_str(), 1);
    InDispatch([] { DbSelectDatabase(nullptr, nullptr, nullptr); });
    Widget d = Dialog("Open Database");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(d, "*list")), Strings{});
    Widget n = NewName("");
    ASSERT_NE(n, nullptr);
    XmTextSetString(XtNameToWidget(n, "name"), const_cast<char *>("one"));
    Enter(XtNameToWidget(n, "directory"), "fresh");
    setenv("PWD", pwd.c_str(), 1);
    ASSERT_NE(db_current, nullptr);
    EXPECT_STREQ(db_current->name, "one");
    EXPECT_EQ(ListFile(), "\nDATABASE one\nPATH " + root_ + "/fresh/\n");
    for (const char *s : {"SVJ", "CLIP", "WORK", "IMAGES"})
        EXPECT_TRUE(fs::is_directory(root_ + "/fresh/" + s)) << s;
}

TEST_F(DbOpen, NewDatabaseFailuresLeaveTheListFile) {
    MakeDatabases({{"first", "first"}});
    const std::string before = ListFile();
    const std::string place = root_ + "/place/";
    fs::create_directories(place + "bad");
    std::ofstream(place + "bad/WORK") << "a file";
    std::ofstream(place + "plain") << "a file";
    unsetenv("ORVA_DBDIR");
    for (const char *typed : {"bad", "plain"}) {
        // Starts in the current database's parent directory; typed paths move.
        ASSERT_NE(OpenDialog(), nullptr);
        Widget n = NewName("DB first - ", "place");
        ASSERT_NE(n, nullptr);
        XmTextSetString(XtNameToWidget(n, "name"), const_cast<char *>("second"));
        Enter(XtNameToWidget(n, "directory"), typed);
        EXPECT_EQ(Dialog("DB first - New database"), nullptr);
        EXPECT_EQ(Messages(), Strings{"Error: cannot add database"}) << typed;
        EXPECT_EQ(ListFile(), before);
        EXPECT_STREQ(db_current->name, "first");
    }
    EXPECT_TRUE(fs::is_directory(place + "bad/SVJ")); // made before the failure, kept
}
