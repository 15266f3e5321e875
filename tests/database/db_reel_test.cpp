// "Open Reel" under the test X server: a temporary database whose SVJ/
// directory holds a few empty reels and other files, the main window built as
// the program builds it, and the dialog driven through its buttons and list.
#include <gtest/gtest.h>

#include "database/db_commands.h"
#include "tests/dbadmin/dbadmin_fixture.h"

using namespace dbadmin_test;

namespace {

class DbOpenReel : public DbAdmin {
  protected:
    void SetUp() override {
        DbAdmin::SetUp();
        MakeDatabases({{"test db", "reels db"}});
        for (const char *n : {"c.svj", "a.svj", "b.svj", "notes.txt", "x.SVJ", ".svj"})
            std::ofstream(root_ + "/reels db/SVJ/" + n);
    }
    static Widget OpenReel() {
        InDispatch([] { DbSelectSvj(nullptr, nullptr, nullptr); });
        return Dialog("DB test db - Open Reel");
    }
    // The last line of each message, each dismissed: OpenFile names the
    // reel it cannot read (these are empty) there.
    static Strings LastLines(Widget root = nullptr) {
        Strings out = Messages(root);
        for (std::string &m : out)
            m = m.substr(m.rfind('\n') + 1);
        return out;
    }
};

} // namespace

TEST_F(DbOpenReel, ListsTheReelsSortedUnderItsTitle) {
    Widget dialog = OpenReel();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(dialog, "*list")), (Strings{"a.svj", "b.svj", "c.svj"}));
}

// The messages show which reels were opened and in what order.
TEST_F(DbOpenReel, SelectedAndAllOpenTheirReelsAndClose) {
    Widget dialog = OpenReel();
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(LastLines(dialog), Strings{"No reel selected"});
    ASSERT_EQ(Dialog("DB test db - Open Reel"), dialog);
    XmListSelectPos(XtNameToWidget(dialog, "*list"), 2, False);
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(Dialog("DB test db - Open Reel"), nullptr);
    EXPECT_EQ(LastLines(), Strings{"b.svj"});
    dialog = OpenReel();
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "All"));
    EXPECT_EQ(Dialog("DB test db - Open Reel"), nullptr);
    EXPECT_EQ(LastLines(), (Strings{"c.svj", "b.svj", "a.svj"}));
}
