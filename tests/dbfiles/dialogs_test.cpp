// The reel and image dialogs under the test X server: "Delete Reel" with the
// log converter running, "Info", "Open Image Clip" and "Delete Image", driven
// through their buttons and lists in a temporary database.
#include <gtest/gtest.h>

#include <Xm/ToggleB.h>

#include "database/db_commands.h"
#include "desktop/converter.h"
#include "desktop/log_writer.h"
#include "tests/dbadmin/dbadmin_fixture.h"
#include "tests/dbfiles/dbfiles_util.h"

namespace {

using namespace dbadmin_test;
using namespace dbfiles_test;

class DbFiles : public DbAdmin {
  protected:
    void SetUp() override {
        DbAdmin::SetUp();
        MakeDatabases({{"fdb", "files db"}});
        db_ = root_ + "/files db/";
        first_fisic = nullptr;
    }
    void TearDown() override {
        DbAdmin::TearDown();
        FreeClips();
    }
    static void Yes() { ASSERT_TRUE(Answer("Are you sure?", true)); }
    std::string db_;
};

TEST_F(DbFiles, DeleteReelRemovesWhatNothingUsesAndSaysWhatItKept) {
    InstallLogWriter();
    ASSERT_EQ(Sproc(eConvert, nullptr, JOB_CONVERT), 0);
    const std::string a = db_ + "SVJ/a.svj", b = db_ + "SVJ/b.svj", c = db_ + "SVJ/c.svj";
    for (const std::string &p : {a, b, c})
        Touch(p);
    const std::string a_log = Owned(LogName(nullptr, a.c_str(), nullptr, nullptr)),
                      a_part = Owned(ClipName(nullptr, a.c_str(), 1)),
                      b_log = Owned(LogName(nullptr, b.c_str(), nullptr, nullptr));
    for (const std::string &p : {a_log, a_part, b_log})
        Touch(p);
    Reel(b, 0); // no window uses it: left to the converter
    Reel(c, 1); // a window shows it

    InDispatch([] { DbRemoveSvj(nullptr, nullptr, nullptr); });
    Widget dialog = Dialog("DB fdb - Delete Reel");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(dialog, "*list")), (Strings{"a.svj", "b.svj", "c.svj"}));
    Widget toggle = ByLabel(dialog, "Remove clips");
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(XmToggleButtonGetState(toggle));
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(Messages(dialog), Strings{"No reel selected"});
    Press(ByLabel(dialog, "All"));
    Yes();
    EXPECT_EQ(Dialog("DB fdb - Delete Reel"), nullptr);
    EXPECT_EQ(Messages(), Strings{"One or more files are in\nuse, cannot remove them."});
    for (const std::string &p : {a, a_log, a_part, b, b_log})
        EXPECT_FALSE(Exists(p)) << p;
    EXPECT_TRUE(Exists(c));
    // The converter took b's clip out of the list.
    int clips = 0;
    for (FisicData *f = first_fisic; f; f = f->next)
        clips++;
    EXPECT_EQ(clips, 1);

    // "Remove clips" off is remembered; the log then stays.
    const std::string d = db_ + "SVJ/d.svj",
                      d_log = Owned(LogName(nullptr, d.c_str(), nullptr, nullptr));
    Touch(d);
    Touch(d_log);
    InDispatch([] { DbRemoveSvj(nullptr, nullptr, nullptr); });
    dialog = Dialog("DB fdb - Delete Reel");
    ASSERT_NE(dialog, nullptr);
    XmToggleButtonSetState(ByLabel(dialog, "Remove clips"), False, False);
    XmListSelectPos(XtNameToWidget(dialog, "*list"), 2, False); // d.svj
    Press(ByLabel(dialog, "Selected"));
    Yes();
    EXPECT_FALSE(Exists(d));
    EXPECT_TRUE(Exists(d_log));
    EXPECT_TRUE(Messages().empty());
    InDispatch([] { DbRemoveSvj(nullptr, nullptr, nullptr); });
    dialog = Dialog("DB fdb - Delete Reel");
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(XmToggleButtonGetState(ByLabel(dialog, "Remove clips")));
    XmToggleButtonSetState(ByLabel(dialog, "Remove clips"), True, False);
    Press(ByLabel(dialog, "Selected")); // nothing selected: remembers nothing
    Messages(dialog);
    Press(ByLabel(dialog, "Cancel"));
}

TEST_F(DbFiles, InfoShowsOneRowPerReelAndCloses) {
    for (int i = 0; i < 30; i++)
        Touch(db_ + "SVJ/r" + std::to_string(100 + i) + ".svj");
    InDispatch([] { DbInfoSvj(nullptr, nullptr, nullptr); });
    Widget dialog = Dialog("DB fdb - Info");
    ASSERT_NE(dialog, nullptr);
    Press(ByLabel(dialog, "All"));
    Widget info = DialogTitled("Info");
    ASSERT_NE(info, nullptr);
    std::vector<Widget> lists = Named(info, "infoList");
    ASSERT_EQ(lists.size(), 5u);
    Strings names = Items(lists[0]);
    ASSERT_EQ(names.size(), 30u);
    EXPECT_EQ(names.front(), "r100.svj");
    EXPECT_EQ(names.back(), "r129.svj");
    EXPECT_EQ(Items(lists[1]).front(), "error");
    EXPECT_EQ(Items(lists[2]).front(), "-");
    EXPECT_EQ(Named(info, "infoScroll").size(), 1u);
    Dimension h = 0;
    XtVaGetValues(info, XmNheight, &h, NULL);
    EXPECT_LT(h, 1000);
    Press(ByLabel(info, "Close"));
    EXPECT_EQ(DialogTitled("Info"), nullptr);
}

TEST_F(DbFiles, OpenImageClipListsGoodPictureLogsOnly) {
    PictureLog(db_ + "CLIP/seq_Img1201_Log", db_ + "IMAGES/seq", 1, 1);
    PictureLog(db_ + "CLIP/one_Img1201_Log", "/elsewhere/one", 3, 5);
    PictureLog(db_ + "CLIP/bad_Img1201_Log", db_ + "IMAGES/bad", 7, 1);
    PictureLog(db_ + "CLIP/ext_Img1201_Log", db_ + "IMAGES/ext", 0, 6);
    Touch(db_ + "CLIP/reel_Log");
    InDispatch([] { DbSelectImages(nullptr, nullptr, nullptr); });
    Widget dialog = Dialog("DB fdb - Open Image Clip");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(dialog, "*list")),
              (Strings{"one.jpg", "seq.[0001...0003].tga"}));
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(Messages(dialog), Strings{"No image clip selected"});
    // Their part files are missing: neither opens.
    Press(ByLabel(dialog, "All"));
    EXPECT_EQ(Dialog("DB fdb - Open Image Clip"), nullptr);
    EXPECT_EQ(Messages(), Strings{"Error opening some image clips"});
}

TEST_F(DbFiles, DeleteImageRemovesTheSequenceAndFixKeepsTheDirectory) {
    const std::string images = db_ + "IMAGES/";
    for (const char *n : {"seq.0001.tga", "seq.0002.tga", "seq.0003.tga", "still.jpg"})
        Touch(images + n);
    const std::string log = db_ + "CLIP/seq_Img1201_Log";
    PictureLog(log, images + "seq", 1, 1);
    InDispatch([] { DbRemoveImg(nullptr, nullptr, nullptr); });
    Widget dialog = Dialog("DB fdb - Delete Image");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Items(XtNameToWidget(dialog, "*list")),
              (Strings{"seq.[0001...0003].tga", "still.jpg"}));
    const std::string shown =
        images.size() > 31 ? "[...]" + images.substr(images.size() - 31) : images;
    std::vector<Widget> label = Named(dialog, "dirLabel");
    ASSERT_EQ(label.size(), 1u);
    EXPECT_EQ(LabelText(label[0]), "Current directory:\n" + shown);
    XmToggleButtonSetState(ByLabel(dialog, "Remove clips"), True, False);
    Press(ByLabel(dialog, "Selected"));
    EXPECT_EQ(Messages(dialog), Strings{"No image selected"});
    snprintf(db_image_dir, sizeof db_image_dir, "/");
    Press(ByLabel(dialog, "Fix"));
    EXPECT_EQ(std::string(db_image_dir), images);
    XmListSelectPos(XtNameToWidget(dialog, "*list"), 1, False);
    Press(ByLabel(dialog, "Selected"));
    Yes();
    EXPECT_TRUE(Messages().empty());
    for (const char *n : {"seq.0001.tga", "seq.0002.tga", "seq.0003.tga"})
        EXPECT_FALSE(Exists(images + n)) << n;
    EXPECT_TRUE(Exists(images + "still.jpg"));
    EXPECT_FALSE(Exists(log));
}

TEST_F(DbFiles, ChangeDirectoryRefillsTheImageListAndFixKeepsIt) {
    Touch(db_ + "IMAGES/here.0001.pic");
    const std::string other = root_ + "/other/";
    fs::create_directories(other);
    for (const char *n : {"there1000.sgi", "there1001.sgi"})
        Touch(other + n);
    InDispatch([] { DbRemoveImg(nullptr, nullptr, nullptr); });
    Widget dialog = Dialog("DB fdb - Delete Image");
    ASSERT_NE(dialog, nullptr);
    Widget list = XtNameToWidget(dialog, "*list");
    EXPECT_EQ(Items(list), Strings{"here.[0001...0001].pic"});
    Press(ByLabel(dialog, "Ch. dir."));
    Widget browser = Dialog("DB fdb - Change directory");
    ASSERT_NE(browser, nullptr);
    std::vector<Widget> text = Named(browser, "wtext");
    ASSERT_EQ(text.size(), 1u);
    XmTextSetString(text[0], const_cast<char *>(other.c_str()));
    InDispatch([&] {
        XmAnyCallbackStruct cbs{};
        cbs.reason = XmCR_ACTIVATE;
        XtCallCallbacks(text[0], XmNactivateCallback, &cbs);
    });
    EXPECT_EQ(Items(list), Strings{"there[1000...1001].sgi"});
    Press(ByLabel(browser, "OK"));
    EXPECT_EQ(Dialog("DB fdb - Change directory"), nullptr);
    Press(ByLabel(dialog, "Fix"));
    EXPECT_EQ(std::string(db_image_dir), other);
    XmToggleButtonSetState(ByLabel(dialog, "Remove clips"), False, False);
    Press(ByLabel(dialog, "All"));
    Yes();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(Exists(other + "there1000.sgi"));
    EXPECT_FALSE(Exists(other + "there1001.sgi"));
    EXPECT_TRUE(Exists(db_ + "IMAGES/here.0001.pic"));
}

} // namespace
