// "Open Reel" under the test X server: a temporary database whose SVJ/
// directory holds a few empty reels and other files, the main window built as
// the program builds it, and the dialog driven through its buttons and list.
#include <gtest/gtest.h>

#include <Xm/List.h>
#include <Xm/MessageB.h>

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

using Strings = std::vector<std::string>;

class DbOpenReel : public DesktopFixture {
  protected:
    void SetUp() override {
        ASSERT_FALSE(root_.empty());
        const std::string db = root_ + "/reels db/";
        fs::create_directories(db + "SVJ");
        for (const char *n : {"c.svj", "a.svj", "b.svj", "notes.txt", "x.SVJ", ".svj"})
            std::ofstream(db + "SVJ/" + n);
        std::ofstream(root_ + "/OrvaDB") << "DATABASE test db\nPATH " << db << "\n";
        DbInitialize();
        isPlayActive = 0;
        DesktopFixture::SetUp();
    }
    void TearDown() override {
        DesktopFixture::TearDown();
        DbFreeList();
    }

    // Opens the dialog and returns it when exactly one is shown.
    static Widget OpenReel() {
        InDispatch([] { DbSelectSvj(nullptr, nullptr, nullptr); });
        return Shown();
    }
    static Widget Shown() {
        std::vector<Widget> out;
        CollectWidgets(
            mainform,
            [](Widget w) {
                return XtName(w) == std::string("dialog") && XtIsManaged(w) &&
                       TitleOf(w) == "DB test db - Open Reel";
            },
            out);
        return out.size() == 1 ? out[0] : nullptr;
    }
    // The last segment of a compound string: the whole text of a list item,
    // the last line of a message.
    static std::string Last(XmString xs) {
        std::string last;
        XmStringContext ctx = nullptr;
        if (!xs || !XmStringInitContext(&ctx, xs)) return last;
        char *seg = nullptr;
        XmStringCharSet tag = nullptr;
        XmStringDirection dir{};
        Boolean sep = False;
        while (XmStringGetNextSegment(ctx, &seg, &tag, &dir, &sep)) {
            last = seg ? seg : "";
            XtFree(seg);
            XtFree(tag);
        }
        XmStringFreeContext(ctx);
        return last;
    }
    static Strings Items(Widget list) {
        XmStringTable items = nullptr;
        int n = 0;
        XtVaGetValues(list, XmNitems, &items, XmNitemCount, &n, NULL);
        Strings out;
        for (int i = 0; i < n; i++)
            out.push_back(Last(items[i]));
        return out;
    }
    // The last line of each message box; pressing OK on each when
    // `dismiss` is set.
    static Strings LastLines(Widget root, bool dismiss = false) {
        Strings out;
        for (Widget box : Named(root, "error")) {
            XmString xs = nullptr;
            XtVaGetValues(box, XmNmessageString, &xs, NULL);
            out.push_back(Last(xs));
            if (xs) XmStringFree(xs);
            if (dismiss) Press(XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON));
        }
        return out;
    }

    RsrcRoot rsrc_{"orva-dbreel"};
    const std::string &root_ = rsrc_.path;
};

} // namespace

TEST_F(DbOpenReel, ListsTheReelsSortedUnderItsTitle) {
    Widget dialog = OpenReel();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(dialog, "*list")), (Strings{"a.svj", "b.svj", "c.svj"}));
}

// OpenFile tells about each reel it cannot read (these are empty) by name,
// so its messages show which reels were opened and in what order.
TEST_F(DbOpenReel, SelectedAndAllOpenTheirReelsAndClose) {
    Widget dialog = OpenReel();
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(LastLines(dialog, true), Strings{"No reel selected"});
    ASSERT_EQ(Shown(), dialog);
    XmListSelectPos(XtNameToWidget(dialog, "*list"), 2, False);
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_EQ(LastLines(mainform, true), Strings{"b.svj"});
    dialog = OpenReel();
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "All"));
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_EQ(LastLines(mainform), (Strings{"c.svj", "b.svj", "a.svj"}));
}
