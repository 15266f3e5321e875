// The directory browser: its path rules without a display, and the
// "Change directory" dialog driven over a parent list under the test server.
#include <gtest/gtest.h>

#include "database/db_browser.h"
#include "database/db_files.h"
#include "tests/dbadmin/dbadmin_fixture.h"

using namespace dbadmin_test;

TEST(DbBrowserPaths, TypedPathsAndLabels) {
    struct Case {
        const char *cur, *typed, *want;
    } cases[] = {
        {"/a/b/", "..", "/a/"},    {"/a/b/", "../", "/a/"},    {"/", "..", "/"},
        {"/a/b/", "c", "/a/b/c/"}, {"/a/b/", "c/", "/a/b/c/"}, {"/a/b/", "/x", "/x/"},
        {"/a/b/", "/", "/"},       {"/a/b/", "", ""},          {"/a/b/", "c d", "/a/b/c d/"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DbBrowseTarget(c.cur, c.typed), c.want) << c.cur << " + " << c.typed;
    EXPECT_EQ(DbDirLabelText("/short/", 45), "Current directory:\n/short/");
    const std::string longp = "/" + std::string(60, 'x') + "/end/";
    EXPECT_EQ(DbDirLabelText(longp, 45),
              "Current directory:\n[...]" + longp.substr(longp.size() - 45));
    EXPECT_EQ(DbDirLabelText(std::string(45, 'y'), 45),
              "Current directory:\n" + std::string(45, 'y'));
}

namespace {

// A parent list of the ".yuv" files of db_browse_dir, as an image dialog has.
int list_yuv(DbDialog *d) {
    Strings names;
    DbClearItems(d);
    if (DbListFiles(db_browse_dir, ".yuv", names) != 0) return -1;
    for (const std::string &n : names)
        DbAddItem(d, n);
    return 0;
}

class DbBrowser : public DbAdmin {};

} // namespace

TEST_F(DbBrowser, ChangesDirectoryAndRefillsItsParent) {
    MakeDatabases({{"d", "db"}});
    const std::string top = root_ + "/pics/";
    for (const char *s : {"x/deep", "y"})
        fs::create_directories(top + s);
    for (const char *f : {"top.yuv", "x/x1.yuv", "x/x2.yuv", "y/y1.yuv"})
        std::ofstream(top + f);
    fs::create_directory_symlink(top + "y", top + "ylink");
    snprintf(db_browse_dir, sizeof db_browse_dir, "%s", top.c_str());
    static const DbButton buttons[] = {{"Ch. dir.", DbChangeDirectoryCB}, {"Cancel", nullptr}};
    DbDialog *parent =
        DbCreaFileDialog("Pics", -1, ".yuv", buttons, 2, XmEXTENDED_SELECT, 0, 500, 410);
    ASSERT_NE(parent, nullptr);
    parent->lister = list_yuv;
    Widget plist = parent->list;
    EXPECT_EQ(Items(plist), Strings{"top.yuv"});

    Press(ByLabel(parent->dialog, "Ch. dir."));
    Widget b = Dialog("DB d - Change directory");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(b, "*list")), (Strings{"..", "x", "y", "ylink"}));
    Widget label = XtNameToWidget(b, "label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(LabelText(label), DbDirLabelText(top, 45));
    Position bx = 0, px = 0;
    XtVaGetValues(XtParent(b), XmNx, &bx, NULL);
    XtVaGetValues(XtParent(parent->dialog), XmNx, &px, NULL);
    EXPECT_LT(px, bx);

    DoubleClick(b, "x");
    EXPECT_EQ(std::string(db_browse_dir), top + "x/");
    EXPECT_EQ(Items(plist), (Strings{"x1.yuv", "x2.yuv"}));
    EXPECT_EQ(Items(XtNameToWidget(b, "*list")), (Strings{"..", "deep"}));
    Widget text = XtNameToWidget(b, "wtext");
    Enter(text, "..");
    EXPECT_EQ(std::string(db_browse_dir), top);
    Enter(text, "none");
    EXPECT_EQ(Messages(b), Strings{"Cannot open directory"});
    EXPECT_EQ(std::string(db_browse_dir), top);
    Enter(text, "");
    EXPECT_EQ(Messages(b), Strings{"Type or select a name"});
    Enter(text, top + "ylink");
    EXPECT_EQ(std::string(db_browse_dir), top + "ylink/");
    EXPECT_EQ(Items(plist), Strings{"y1.yuv"});
    DoubleClick(b, "..");
    DoubleClick(b, "..");
    EXPECT_EQ(std::string(db_browse_dir), root_ + "/");

    // Cancel puts the directory back and refills the parent from it.
    Press(ByLabel(b, "Cancel"));
    EXPECT_EQ(Dialog("DB d - Change directory"), nullptr);
    EXPECT_EQ(std::string(db_browse_dir), top);
    EXPECT_EQ(Items(plist), Strings{"top.yuv"});

    // The window manager's close is a Cancel.
    Press(ByLabel(parent->dialog, "Ch. dir."));
    b = Dialog("DB d - Change directory");
    ASSERT_NE(b, nullptr);
    DoubleClick(b, "x");
    InDispatch([b] {
        Widget shell = XtParent(b);
        XClientMessageEvent cm{};
        cm.type = ClientMessage;
        cm.display = XtDisplay(shell);
        cm.window = XtWindow(shell);
        cm.message_type = XInternAtom(cm.display, "WM_PROTOCOLS", False);
        cm.format = 32;
        cm.data.l[0] = long(XInternAtom(cm.display, "WM_DELETE_WINDOW", False));
        cm.data.l[1] = CurrentTime;
        XtDispatchEvent(reinterpret_cast<XEvent *>(&cm));
    });
    EXPECT_EQ(Dialog("DB d - Change directory"), nullptr);
    EXPECT_EQ(std::string(db_browse_dir), top);

    // OK keeps the new one; Fix makes it the image directory.
    Press(ByLabel(parent->dialog, "Ch. dir."));
    b = Dialog("DB d - Change directory");
    ASSERT_NE(b, nullptr);
    DoubleClick(b, "y");
    Press(ByLabel(b, "OK"));
    EXPECT_EQ(Dialog("DB d - Change directory"), nullptr);
    EXPECT_EQ(std::string(db_browse_dir), top + "y/");
    EXPECT_EQ(Items(plist), Strings{"y1.yuv"});
    DbFixImageDir();
    EXPECT_EQ(std::string(db_image_dir), top + "y/");
    DbSetCurrent(db_current, 0, 0);
    EXPECT_EQ(std::string(db_image_dir), root_ + "/db/IMAGES/");
    DbListFree(parent);
}
