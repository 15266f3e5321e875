// "Open Reel" and the list dialog machinery, in-process under the test X
// server: a temporary database whose SVJ/ directory holds a few empty reels
// and other files, the main window built as the program builds it, and the
// dialog driven through its buttons and list.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "database/db_dialog.h"
#include "database/db_list.h"
#include "desktop/commands.h"
#include "desktop/globals.h"
#include "tests/desktop/desktop_fixture.h"

namespace fs = std::filesystem;

namespace {

class DbOpenReel : public DesktopFixture {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "orva-dbreel-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        root_ = tmpl;
        db_ = root_ + "/reels db/";
        fs::create_directories(db_ + "SVJ");
        for (const char *n : {"c.svj", "a.svj", "b.svj", "notes.txt", "x.SVJ", ".svj"})
            std::ofstream(db_ + "SVJ/" + n);
        std::ofstream(root_ + "/OrvaDB") << "DATABASE test db\nPATH " << db_ << "\n";
        const char *old = getenv("ORVA_RSRC");
        had_rsrc_ = old != nullptr;
        if (old) old_rsrc_ = old;
        setenv("ORVA_RSRC", root_.c_str(), 1);
        DbInitialize();
        isPlayActive = 0;
        DesktopFixture::SetUp();
    }
    void TearDown() override {
        DesktopFixture::TearDown();
        isPlayActive = 0;
        DbFreeList();
        if (had_rsrc_)
            setenv("ORVA_RSRC", old_rsrc_.c_str(), 1);
        else
            unsetenv("ORVA_RSRC");
        fs::remove_all(root_);
    }

    // The managed list dialogs titled title.
    static std::vector<Widget> Dialogs(const std::string &title) {
        std::vector<Widget> out;
        CollectWidgets(
            mainform,
            [&](Widget w) {
                return XtName(w) == std::string("dialog") && XtIsManaged(w) && TitleOf(w) == title;
            },
            out);
        return out;
    }
    static Widget OpenReelDialog() {
        std::vector<Widget> d = Dialogs("DB test db - Open Reel");
        return d.size() == 1 ? d[0] : nullptr;
    }
    static std::vector<std::string> Items(Widget list) {
        XmStringTable items = nullptr;
        int n = 0;
        XtVaGetValues(list, XmNitems, &items, XmNitemCount, &n, NULL);
        std::vector<std::string> out;
        for (int i = 0; i < n; i++) {
            char *t = nullptr;
            if (XmStringGetLtoR(items[i], const_cast<char *>(XmFONTLIST_DEFAULT_TAG), &t) && t) {
                out.push_back(t);
                XtFree(t);
            }
        }
        return out;
    }
    // The whole text of each message box, lines joined by newlines.
    static std::vector<std::string> Messages(Widget root) {
        std::vector<std::string> out;
        for (Widget box : Named(root, "error")) {
            XmString xs = nullptr;
            XtVaGetValues(box, XmNmessageString, &xs, NULL);
            std::string text;
            XmStringContext ctx = nullptr;
            if (xs && XmStringInitContext(&ctx, xs)) {
                char *seg = nullptr;
                XmStringCharSet tag = nullptr;
                XmStringDirection dir{};
                Boolean sep = False;
                while (XmStringGetNextSegment(ctx, &seg, &tag, &dir, &sep)) {
                    text += seg ? seg : "";
                    if (sep) text += '\n';
                    XtFree(seg);
                    XtFree(tag);
                }
                XmStringFreeContext(ctx);
            }
            if (xs) XmStringFree(xs);
            out.push_back(text);
        }
        return out;
    }
    static void OpenReel() {
        InDispatch([] { DbSelectSvj(nullptr, nullptr, nullptr); });
    }

    std::string root_, db_, old_rsrc_;
    bool had_rsrc_ = false;
};

using DbListDialog = DbOpenReel;

// Records the DbDialog a button was called with.
DbDialog *called_with = nullptr;
int calls = 0;
void Record(Widget, XtPointer client, XtPointer) {
    called_with = static_cast<DbDialog *>(client);
    calls++;
}

} // namespace

TEST_F(DbOpenReel, ListsTheReelsSortedUnderItsTitle) {
    OpenReel();
    Widget dialog = OpenReelDialog();
    ASSERT_NE(dialog, nullptr);
    Widget list = XtNameToWidget(dialog, "*list");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Items(list), (std::vector<std::string>{"a.svj", "b.svj", "c.svj"}));
    unsigned char policy = 0;
    XtVaGetValues(list, XmNselectionPolicy, &policy, NULL);
    EXPECT_EQ(policy, XmEXTENDED_SELECT);

    Dimension w = 0, h = 0;
    XtVaGetValues(dialog, XmNwidth, &w, XmNheight, &h, NULL);
    EXPECT_EQ(w, 290);
    EXPECT_EQ(h, 290);
    // Three 70x35 buttons evenly spaced on the line 50 pixels above the bottom.
    const char *labels[] = {"Selected", "All", "Cancel"};
    const int xs[] = {20, 110, 200};
    for (int i = 0; i < 3; i++) {
        Widget b = ByLabel(dialog, labels[i]);
        ASSERT_NE(b, nullptr) << labels[i];
        Position x = 0, y = 0;
        Dimension bw = 0, bh = 0;
        XtVaGetValues(b, XmNx, &x, XmNy, &y, XmNwidth, &bw, XmNheight, &bh, NULL);
        EXPECT_EQ(x, xs[i]) << labels[i];
        EXPECT_EQ(y, 240) << labels[i];
        EXPECT_EQ(bw, 70);
        EXPECT_EQ(bh, 35);
    }
    EXPECT_EQ(XtNameToWidget(dialog, "*wtext"), nullptr);
}

TEST_F(DbOpenReel, SelectedWithNoneSelectedSaysSoAndStays) {
    OpenReel();
    Widget dialog = OpenReelDialog();
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(Messages(dialog), std::vector<std::string>{"No reel selected"});
    EXPECT_EQ(OpenReelDialog(), dialog);
    std::vector<Widget> boxes = Named(dialog, "error");
    ASSERT_EQ(boxes.size(), 1u);
    Press(XmMessageBoxGetChild(boxes[0], XmDIALOG_OK_BUTTON));
    Press(ByLabel(dialog, "Cancel"));
    EXPECT_EQ(OpenReelDialog(), nullptr);
}

// OpenFile tells about each reel it cannot read (these are empty) by name,
// so its messages show which reels were opened and in what order.
TEST_F(DbOpenReel, SelectedAndAllOpenTheirReelsAndClose) {
    auto names_told = [] {
        std::vector<std::string> out;
        for (const std::string &m : Messages(mainform))
            out.push_back(m.substr(m.find_last_of('\n') + 1));
        return out;
    };
    OpenReel();
    Widget dialog = OpenReelDialog();
    ASSERT_NE(dialog, nullptr);
    XmListSelectPos(XtNameToWidget(dialog, "*list"), 2, False);
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(OpenReelDialog(), nullptr);
    EXPECT_EQ(names_told(), std::vector<std::string>{"b.svj"});
    for (Widget box : Named(mainform, "error"))
        Press(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON));

    OpenReel();
    dialog = OpenReelDialog();
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "All"));
    EXPECT_EQ(OpenReelDialog(), nullptr);
    EXPECT_EQ(names_told(), (std::vector<std::string>{"c.svj", "b.svj", "a.svj"}));
}

TEST_F(DbOpenReel, WindowManagerCloseFreesTheDialog) {
    OpenReel();
    Widget dialog = OpenReelDialog();
    ASSERT_NE(dialog, nullptr);
    Widget shell = XtParent(dialog);
    Display *dpy = XtDisplay(shell);
    XClientMessageEvent cm{};
    cm.type = ClientMessage;
    cm.display = dpy;
    cm.window = XtWindow(shell);
    cm.format = 32;
    cm.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    cm.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    cm.data.l[1] = CurrentTime;
    XSendEvent(dpy, cm.window, False, NoEventMask, reinterpret_cast<XEvent *>(&cm));
    Pump();
    EXPECT_EQ(OpenReelDialog(), nullptr);
}

TEST_F(DbOpenReel, NothingWhilePlaying) {
    isPlayActive = 1;
    OpenReel();
    EXPECT_EQ(OpenReelDialog(), nullptr);
    EXPECT_TRUE(Messages(mainform).empty());
}

TEST_F(DbOpenReel, NoDatabaseSelected) {
    DbFreeList();
    OpenReel();
    EXPECT_TRUE(Dialogs("Open Reel").empty());
    EXPECT_EQ(Messages(mainform), std::vector<std::string>{"No database selected"});
}

TEST_F(DbOpenReel, MissingReelDirectory) {
    fs::remove_all(db_ + "SVJ");
    OpenReel();
    EXPECT_EQ(OpenReelDialog(), nullptr);
    EXPECT_EQ(Messages(mainform), std::vector<std::string>{"Error opening directory"});
}

TEST_F(DbListDialog, ChosenPathsRunFromLastToFirst) {
    static const DbButton buttons[] = {{"Go", Record}, {"Cancel", nullptr}};
    DbDialog *d =
        DbCreaFileDialog("Pick", DB_SVJ, ".svj", buttons, 2, XmEXTENDED_SELECT, 0, 290, 290);
    ASSERT_NE(d, nullptr);
    Pump();
    EXPECT_EQ(TitleOf(d->dialog), "DB test db - Pick");
    EXPECT_EQ(std::string(d->path), db_ + "SVJ/");
    EXPECT_EQ(d->count, 3);
    EXPECT_TRUE(DbChosenPaths(d, d->path, 0).empty());
    // In extended mode each XmListSelectPos replaces the selection, as a
    // plain click does; multiple mode adds to it, as a ctrl-click would.
    XtVaSetValues(d->list, XmNselectionPolicy, XmMULTIPLE_SELECT, NULL);
    XmListSelectPos(d->list, 1, False);
    XmListSelectPos(d->list, 3, False);
    XtVaSetValues(d->list, XmNselectionPolicy, XmEXTENDED_SELECT, NULL);
    EXPECT_EQ(DbChosenPaths(d, d->path, 0),
              (std::vector<std::string>{db_ + "SVJ/c.svj", db_ + "SVJ/a.svj"}));
    EXPECT_EQ(DbChosenPaths(d, "/x/", 1),
              (std::vector<std::string>{"/x/c.svj", "/x/b.svj", "/x/a.svj"}));

    // A double click runs the first button with the record.
    calls = 0;
    called_with = nullptr;
    InDispatch([d] {
        XmListCallbackStruct cbs{};
        cbs.reason = XmCR_DEFAULT_ACTION;
        XtCallCallbacks(d->list, XmNdefaultActionCallback, &cbs);
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(called_with, d);
    Press(ByLabel(d->dialog, "Go"));
    EXPECT_EQ(calls, 2);
    Widget dialog = d->dialog;
    Press(ByLabel(dialog, "Cancel"));
    EXPECT_TRUE(Dialogs("DB test db - Pick").empty());
}

TEST_F(DbListDialog, TextFieldTakesTheChosenItem) {
    static const DbButton buttons[] = {{"OK", Record}, {"Cancel", nullptr}};
    DbDialog *d =
        DbCreaFileDialog("Save", DB_SVJ, ".svj", buttons, 2, XmSINGLE_SELECT, 1, 290, 335);
    ASSERT_NE(d, nullptr);
    Pump();
    ASSERT_NE(d->text, nullptr);
    Position x = 0, y = 0;
    Dimension w = 0;
    XtVaGetValues(d->text, XmNx, &x, XmNy, &y, XmNwidth, &w, NULL);
    EXPECT_EQ(x, 14);
    EXPECT_EQ(y, 230);
    EXPECT_EQ(w, 261);
    XmListSelectPos(d->list, 2, True);
    Pump();
    char *t = XmTextGetString(d->text);
    EXPECT_STREQ(t, "b.svj");
    XtFree(t);
    // Two buttons: x = (i+1)*(290-140)/3 + 70i.
    Position bx = 0;
    XtVaGetValues(ByLabel(d->dialog, "Cancel"), XmNx, &bx, NULL);
    EXPECT_EQ(bx, 170);
    DbListFree(d);
    Pump();
    EXPECT_TRUE(Dialogs("DB test db - Save").empty());
}

TEST_F(DbListDialog, TitleWithoutACurrentDatabase) {
    static const DbButton buttons[] = {{"Cancel", nullptr}};
    db_current = nullptr;
    DbDialog *d = DbNewDialog();
    DbAddItem(d, "one");
    DbAddItem(d, "two", "shown two");
    DbCreaListDialog(mainform, d, "Open Database", 290, 290, XmSINGLE_SELECT, buttons, 1, 0, 0, 0);
    Pump();
    EXPECT_EQ(TitleOf(d->dialog), "Open Database");
    EXPECT_EQ(Items(d->list), (std::vector<std::string>{"one", "shown two"}));
    EXPECT_EQ(d->names[1], "two");
    Press(ByLabel(d->dialog, "Cancel"));
    EXPECT_TRUE(Dialogs("Open Database").empty());
}
