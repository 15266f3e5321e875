// IMPORT > "System ..." under the test X server: "Ch. dir." moves the import
// dialog to another directory, whose sequences and movies then fill its list,
// with the numbers of each line for Start and End and the directory shown.
#include <gtest/gtest.h>

#include <Xm/List.h>
#include <Xm/Text.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "database/db_list.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "tests/desktop/desktop_fixture.h"
#include "tests/import/import_util.h"

namespace {

using Strings = std::vector<std::string>;

class ImportDialogDir : public DesktopFixture {
  protected:
    void SetUp() override {
        ASSERT_FALSE(rsrc_.path.empty());
        db_ = rsrc_.path + "/idb/";
        for (const char *s : {"SVJ", "CLIP", "WORK", "IMAGES/more"})
            std::filesystem::create_directories(db_ + s);
        std::ofstream(rsrc_.path + "/OrvaDB") << "DATABASE idb\nPATH " << db_ << "\n";
        DbInitialize();
        isPlayActive = 0;
        DesktopFixture::SetUp();
    }
    void TearDown() override {
        CloseOK(1, 1, nullptr, 0, 0);
        DesktopFixture::TearDown();
        DbFreeList();
    }
    static std::string Text(Widget dialog, const char *name) {
        char *s = XmTextGetString(XtNameToWidget(dialog, name));
        std::string out = s;
        XtFree(s);
        return out;
    }
    RsrcRoot rsrc_{"orva-importdir"};
    std::string db_;
};

TEST_F(ImportDialogDir, ChangedDirectoryFillsTheListWithItsSequencesAndMovies) {
    import_test::sequence(db_ + "IMAGES", "walk", 3, 32, 32);
    for (int i = 5; i <= 7; i++)
        import_test::write_jpeg(db_ + "IMAGES/more/a.000" + std::to_string(i) + ".jpg", 32, 32, i);
    ASSERT_EQ(
        system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=red:s=64x48:r=25:d=0.2 "
                "-c:v mjpeg '" +
                db_ + "IMAGES/more/m.avi'")
                   .c_str()),
        0);
    InDispatch([] { DbSelectImport(nullptr, nullptr, nullptr); });
    Widget dialog = DialogTitled("DB idb - Import");
    ASSERT_NE(dialog, nullptr);
    Widget list = XtNameToWidget(dialog, "*list");
    EXPECT_EQ(ListItems(list), Strings{"walk.[0001...0003].jpg"});

    Press(ByLabel(dialog, "Ch. dir."));
    Widget browser = DialogTitled("DB idb - Change directory");
    ASSERT_NE(browser, nullptr);
    InDispatch([browser, this] {
        Widget text = XtNameToWidget(browser, "wtext");
        XmTextSetString(text, const_cast<char *>((db_ + "IMAGES/more").c_str()));
        XmAnyCallbackStruct cbs{};
        cbs.reason = XmCR_ACTIVATE;
        XtCallCallbacks(text, XmNactivateCallback, &cbs);
    });
    Press(ByLabel(browser, "OK"));
    EXPECT_EQ(ListItems(list), (Strings{"a.[0005...0007].jpg", "m.avi"}));
    EXPECT_NE(StringResource(XtNameToWidget(dialog, "*dirLabel"), XmNlabelString).find("/more/"),
              std::string::npos);
    // Each line gives its own first and last number.
    const struct {
        int line;
        const char *start, *end;
    } lines[] = {{1, "5", "7"}, {2, "1", "5"}};
    for (const auto &l : lines) {
        InDispatch([list, l] { XmListSelectPos(list, l.line, True); });
        EXPECT_EQ(Text(dialog, "*start") + "-" + Text(dialog, "*end"),
                  std::string(l.start) + "-" + l.end);
    }
    Press(ByLabel(dialog, "Cancel"));
}

} // namespace
