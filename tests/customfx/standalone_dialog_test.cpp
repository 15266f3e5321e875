// EFFECTS > "Custom ..." under the test X server: the "Standalone Fx"
// dialog over an OrvaFX beside OrvaDB, the export dialog it opens, the job
// with the window of the clip it makes, and the end of the job: the results
// imported into that window, or the window closed with the message, and no
// temporary picture left either way. The clip worked on is a reel or a
// sequence of pictures.
#include <gtest/gtest.h>

#include <Xm/List.h>
#include <Xm/Text.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/clip_open.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "media/fm_main.h"
#include "media/img_jpeg.h"
#include "tests/desktop/desktop_fixture.h"
#include "tests/media/reel_fixtures.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

// The messages of the end routines.
Strings said;
void record_message(const char *text) {
    said.push_back(text);
}

class StandaloneFx : public DesktopFixture {
  protected:
    void SetUp() override {
        ASSERT_FALSE(root_.empty());
        db_ = root_ + "/fxdb/";
        for (const char *s : {"SVJ", "CLIP", "WORK", "IMAGES"})
            fs::create_directories(db_ + s);
        std::ofstream(root_ + "/OrvaDB") << "DATABASE fxdb\nPATH " << db_ << "\n";
        const std::string rec = root_ + "/rec", none = root_ + "/none";
        std::ofstream(rec) << "#!/bin/sh\nfor a; do prev=$last; last=$a; printf '%s\\n' \"$a\" >> "
                           << root_ << "/record; done\ncp \"$prev\" \"$last\"\n";
        std::ofstream(none) << "#!/bin/sh\nexit 0\n";
        chmod(rec.c_str(), 0755);
        chmod(none.c_str(), 0755);
        std::ofstream(root_ + "/OrvaFX") << "noin : p OUT ;\n"
                                         << "rec : " << rec << " -v value IN OUT ;\n"
                                         << "none : " << none << " IN OUT ;\n_END\n";
        ASSERT_EQ(reel_test::store_reel(db_ + "SVJ/in.svj", reel_test::make_fields(3, 720, 288),
                                        720, 576),
                  "");
        DbInitialize();
        isPlayActive = 0;
        DesktopFixture::SetUp();
        fm_initialize(nullptr);
        said.clear();
        ProcessMessage = record_message;
        InDispatch([this] { OpenFile((db_ + "SVJ/in.svj").c_str()); });
        ASSERT_NE(first_window, nullptr);
        SetSelection(first_window, 1);
    }
    void TearDown() override {
        ProcessMessage = nullptr;
        CloseOK(1, 1, nullptr, 0, 0);
        FreeClosedWindows();
        DesktopFixture::TearDown();
        DbFreeList();
    }
    std::string Temporaries() const {
        std::string found;
        for (const auto &e : fs::directory_iterator(db_ + "IMAGES"))
            if (e.path().extension() != ".jpg") found += e.path().filename().string() + " ";
        return found;
    }
    // Opens "Standalone Fx" on the selected window; null when it did not open.
    Widget OpenDialog() {
        InDispatch([] { StlnExport(nullptr, nullptr, nullptr); });
        Widget fx = DialogTitled("Standalone Fx");
        if (fx) syntax_ = DismissMessages(fx);
        return fx;
    }
    // Custom ... on the selected window, effect at list position pos with
    // parameters, then the export dialog's name. Returns the window of the
    // clip made, or null when the job closed it (or none was made); title_
    // holds the title of the placeholder window the job started with.
    WindowData *Run(int pos, const char *parameters, const char *name) {
        title_.clear();
        Widget fx = OpenDialog();
        if (!fx) return nullptr;
        InDispatch([fx, pos] { XmListSelectPos(XtNameToWidget(fx, "*list"), pos, True); });
        command_ = LabelOf(XtNameToWidget(fx, "*command"));
        Widget params = XtNameToWidget(fx, "*parameters");
        char *t = XmTextGetString(params);
        template_ = t;
        XtFree(t);
        XmTextSetString(params, const_cast<char *>(parameters));
        Press(ByLabel(fx, "OK"));
        if (DialogTitled("Standalone Fx")) return nullptr;
        Widget ex = DialogTitled("DB fxdb - Custom");
        if (!ex) return nullptr;
        XmTextSetString(XtNameToWidget(ex, "*wtext"), const_cast<char *>(name));
        const int before = CountWindows();
        Press(ByLabel(ex, "OK"));
        if (CountWindows() != before + 1) return nullptr;
        WindowData *w = first_window;
        while (w->next)
            w = w->next;
        title_ = WindowTitle(w);
        WaitJobsReaped();
        return WindowListed(w) ? w : nullptr;
    }
    RsrcRoot rsrc_{"orva-fx"};
    const std::string &root_ = rsrc_.path;
    std::string db_, command_, template_, title_;
    Strings syntax_;
};

TEST_F(StandaloneFx, ResultsBecomeTheClipOfTheEffectsWindow) {
    WindowData *win = Run(1, "-v a'b $(touch x)", "fx'out;");
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(syntax_, Strings{"Syntax error: 'IN' not found in 'noin' description"});
    EXPECT_EQ(command_, root_ + "/rec");
    EXPECT_EQ(template_, "-v value ");
    EXPECT_EQ(title_, " EF(fx'out;.svj)");
    EXPECT_EQ(win->total, 3);
    EXPECT_TRUE(DismissMessages(mainform).empty());
    EXPECT_TRUE(said.empty());
    ASSERT_EQ(CountWindows(), 2);
    ASSERT_NE(win->seg_first, nullptr);
    ASSERT_NE(win->seg_first->fisic, nullptr);
    EXPECT_EQ(std::string(win->seg_first->fisic->path), db_ + "SVJ/fx'out;.svj");
    EXPECT_EQ(win->seg_first->fisic->frames, 3);
    EXPECT_EQ(Temporaries(), "");
    std::ifstream record(root_ + "/record");
    std::string words[3];
    for (std::string &w : words)
        std::getline(record, w);
    EXPECT_EQ(words[0] + "|" + words[1] + "|" + words[2], "-v|a'b|$(touch");
    EXPECT_FALSE(fs::exists("x"));
}

// A clip of three pictures of grey levels 40, 120 and 200: the effect gets
// each picture in its turn, and the reel made from the results shows them.
TEST_F(StandaloneFx, APictureClipGivesItsPicturesInTurn) {
    const int levels[] = {40, 120, 200};
    std::vector<unsigned char> grey(720 * 576 * 3);
    for (int i = 0; i < 3; i++) {
        std::fill(grey.begin(), grey.end(), (unsigned char)levels[i]);
        const std::string name = db_ + "IMAGES/grey.000" + std::to_string(i + 1) + ".jpg";
        ASSERT_EQ(glotojpg(name.c_str(), 720, 576, grey.data(), 90), 1);
    }
    const auto made = reel_test::run_merged(
        reel_test::svjtool_path() + " import -d " + reel_test::shell_quote(db_) + " -s 1 -e 3 " +
        reel_test::shell_quote(db_ + "IMAGES/grey.[0001...0003].jpg"));
    ASSERT_EQ(made.status, 0) << made.out;
    SetSelection(first_window, 0);
    InDispatch([this] { OpenImageLog((db_ + "CLIP/grey_Img00_Log").c_str()); });
    ASSERT_EQ(CountWindows(), 2);
    WindowData *pictures = first_window->next;
    ASSERT_TRUE(pictures->seg_first && pictures->seg_first->fisic->pic);
    SetSelection(pictures, 1);
    WindowData *win = Run(1, "", "greys");
    ASSERT_NE(win, nullptr);
    EXPECT_TRUE(said.empty());
    EXPECT_EQ(Temporaries(), "");
    fm_fileformat *f = fm_fileformat_allocate("svj");
    ASSERT_EQ(fm_open(f, (db_ + "SVJ/greys.svj").c_str()), 0);
    EXPECT_EQ(f->frames, 3);
    for (int i = 0; i < 3 && i < f->frames; i++) {
        ASSERT_EQ(fm_read(f, i), 0);
        EXPECT_NEAR(f->buffer[size_t(f->size) / 2], levels[i], 8) << "frame " << i;
    }
    fm_close(f);
    fm_fileformat_free(f);
}

TEST_F(StandaloneFx, AProgramWithoutResultClosesTheWindow) {
    EXPECT_EQ(Run(2, "", "nothing"), nullptr);
    EXPECT_EQ(title_, " EF(nothing.svj)");
    EXPECT_EQ(said, Strings{"Couldn't complete custom effect"});
    EXPECT_EQ(CountWindows(), 1);
    EXPECT_FALSE(fs::exists(db_ + "SVJ/nothing.svj"));
    EXPECT_EQ(Temporaries(), "");
}

TEST_F(StandaloneFx, RefusalsSayWhy) {
    SetSelection(first_window, 0);
    EXPECT_EQ(OpenDialog(), nullptr);
    EXPECT_EQ(DismissMessages(mainform), Strings{"No clip selected"});
    SetSelection(first_window, 1);
    Widget fx = OpenDialog();
    ASSERT_NE(fx, nullptr);
    InDispatch([fx] { XmListSelectPos(XtNameToWidget(fx, "*list"), 1, True); });
    for (const char *parameters : {"-w 1", "1"}) {
        XmTextSetString(XtNameToWidget(fx, "*parameters"), const_cast<char *>(parameters));
        Press(ByLabel(fx, "OK"));
        EXPECT_EQ(DismissMessages(fx),
                  Strings{*parameters == '-' ? "Syntax error: parameter '-w' not declared"
                                             : "Syntax error: parameter required"});
    }
    Press(ByLabel(fx, "Cancel"));
    EXPECT_EQ(DialogTitled("Standalone Fx"), nullptr);
}

} // namespace
