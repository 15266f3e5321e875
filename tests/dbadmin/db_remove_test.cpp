// Removing a database: trees with links, aliases of the current database,
// directories shared with other entries, and the dialog with its messages.
#include <gtest/gtest.h>

#include "database/db_commands.h"
#include "database/db_remove.h"
#include "tests/dbadmin/dbadmin_fixture.h"

using namespace dbadmin_test;

namespace {

class DbRemove : public DbAdmin {
  protected:
    void Fill(const std::string &db) {
        for (const char *f : {"SVJ/a.svj", "CLIP/c", "WORK/w.wrk", "IMAGES/i.yuv", ".orva_def.u"})
            std::ofstream(root_ + "/" + db + "/" + f) << f;
    }
    static Widget RemoveDialog() {
        InDispatch([] { DbRemoveDatabase(nullptr, nullptr, nullptr); });
        return Dialog(std::string("DB ") + db_current->name + " - Remove database");
    }
    // Removes database name through the dialog, answering yes.
    static void RemoveByDialog(const std::string &name) {
        Widget d = RemoveDialog();
        ASSERT_NE(d, nullptr);
        Select(d, name);
        Press(ByLabel(d, "OK"));
        ASSERT_TRUE(Answer("Are you sure?", true));
    }
    static std::string Entry(const std::string &name, const std::string &dir) {
        return "\nDATABASE " + name + "\nPATH " + dir + "\n";
    }
};

} // namespace

// Links in the tree lose the link only; what they point to stays.
TEST_F(DbRemove, LinksAreRemovedNotFollowed) {
    MakeDatabases({{"cur", "cur"}, {"old", "old"}});
    Fill("old");
    const std::string out = root_ + "/outside/";
    fs::create_directories(out + "dir");
    std::ofstream(out + "precious") << "keep";
    std::ofstream(out + "dir/inner") << "keep";
    const std::string old = root_ + "/old/";
    fs::create_symlink(out + "precious", old + "SVJ/link.svj");
    fs::create_directory_symlink(out + "dir", old + "WORK/dirlink");
    fs::remove_all(old + "IMAGES");
    fs::create_directory_symlink(out + "dir", old + "IMAGES"); // a linked subdirectory
    fs::create_symlink(out + "precious", old + ".orva_def.link");
    EXPECT_EQ(DbRemoveDatabaseFiles(DbFindEntry("old")), DB_REMOVED);
    EXPECT_FALSE(fs::exists(fs::symlink_status(old)));
    EXPECT_EQ(ReadFile(out + "precious"), "keep");
    EXPECT_EQ(ReadFile(out + "dir/inner"), "keep");
}

TEST_F(DbRemove, AliasesAndSharedDirectoriesKeepTheirFiles) {
    MakeDatabases({{"cur", "cur"}, {"twin a", "shared"}, {"other", "other"}});
    Fill("cur");
    Fill("shared");
    fs::create_directory_symlink(root_ + "/cur", root_ + "/alias");
    fs::create_directory_symlink(root_ + "/shared", root_ + "/shared2");
    DbAppendEntry(DbMakeEntry("alias of cur", (root_ + "/alias").c_str()));
    DbAppendEntry(DbMakeEntry("twin b", (root_ + "/shared2").c_str()));
    // An entry whose directory is another database's SVJ/.
    DbAppendEntry(DbMakeEntry("inner", (root_ + "/other/SVJ").c_str()));
    std::ofstream(root_ + "/other/SVJ/r.svj") << "r";

    EXPECT_EQ(DbRemoveDatabaseFiles(DbFindEntry("alias of cur")), DB_IS_CURRENT);
    EXPECT_EQ(DbRemoveDatabaseFiles(DbFindEntry("twin b")), DB_SHARED);
    EXPECT_EQ(DbRemoveDatabaseFiles(DbFindEntry("inner")), DB_SHARED);
    EXPECT_EQ(DbRemoveDatabaseFiles(DbFindEntry("other")), DB_REMOVED); // SVJ/ kept, no fault
    for (const char *f : {"SVJ/a.svj", "CLIP/c", "WORK/w.wrk", "IMAGES/i.yuv", ".orva_def.u"}) {
        EXPECT_TRUE(fs::exists(root_ + "/cur/" + f)) << f;
        EXPECT_TRUE(fs::exists(root_ + "/shared/" + f)) << f;
    }
    EXPECT_TRUE(fs::exists(root_ + "/other/SVJ/r.svj"));
    EXPECT_FALSE(fs::exists(root_ + "/other/WORK"));

    // Through the dialog: the alias is refused and stays listed.
    RemoveByDialog("alias of cur");
    EXPECT_EQ(Messages(), Strings{"Cannot remove current database"});
    EXPECT_NE(DbFindEntry("alias of cur"), nullptr);
}

TEST_F(DbRemove, DialogMessagesAndTheRewrittenListFile) {
    MakeDatabases({{"cur", "cur"}, {"old", "old"}, {"last", "last"}});
    Fill("old");
    Fill("last");
    fs::create_directories(root_ + "/last/SVJ/subdir"); // never entered
    Widget d = RemoveDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(d, "*list")), (Strings{"cur", "old", "last"}));
    Press(ByLabel(d, "OK"));
    ASSERT_TRUE(Answer("Are you sure?", true));
    EXPECT_EQ(Messages(d), Strings{"No database selected"});
    Press(ByLabel(d, "Cancel"));

    RemoveByDialog("cur");
    EXPECT_EQ(Messages(), Strings{"Cannot remove current database"});
    EXPECT_TRUE(fs::exists(root_ + "/cur/SVJ"));

    RemoveByDialog("old");
    EXPECT_EQ(Messages(), Strings{});
    EXPECT_FALSE(fs::exists(root_ + "/old"));
    EXPECT_EQ(ListFile(), Entry("cur", root_ + "/cur/") + Entry("last", root_ + "/last/"));

    RemoveByDialog("last");
    EXPECT_EQ(Messages(), Strings{"Error: couldn't remove all files"});
    EXPECT_TRUE(fs::exists(root_ + "/last/SVJ/subdir"));
    EXPECT_FALSE(fs::exists(root_ + "/last/WORK"));
    EXPECT_EQ(DbFindEntry("last"), nullptr);
    EXPECT_EQ(ListFile(), Entry("cur", root_ + "/cur/"));

    // A list file that cannot be replaced: the entry goes all the same.
    DbAppendEntry(DbMakeEntry("x", (root_ + "/x").c_str()));
    fs::remove(root_ + "/OrvaDB");
    fs::create_directory(root_ + "/OrvaDB");
    RemoveByDialog("x");
    EXPECT_EQ(Messages(), Strings{"Error removing database"});
    EXPECT_EQ(DbFindEntry("x"), nullptr);

    DbFreeList();
    InDispatch([] { DbRemoveDatabase(nullptr, nullptr, nullptr); });
    EXPECT_EQ(Messages(), Strings{"No database existent"});
}
