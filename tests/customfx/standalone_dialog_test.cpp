// EFFECTS > "Custom ..." under the test X server: the "Standalone Fx"
// dialog over an OrvaFX beside OrvaDB, the export dialog it opens, the job
// with the window of the clip it makes, and the end of the job: the results
// imported into that window, or the window closed with the message, and no
// temporary picture left either way.
#include <gtest/gtest.h>

#include <Xm/Form.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>

#include <sys/stat.h>

#include <cstdlib>
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
        std::string tmpl = (fs::temp_directory_path() / "orva-fx-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        root_ = tmpl;
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
        if (const char *old = getenv("ORVA_RSRC")) old_rsrc_ = old;
        setenv("ORVA_RSRC", root_.c_str(), 1);
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
        old_rsrc_.empty() ? unsetenv("ORVA_RSRC") : setenv("ORVA_RSRC", old_rsrc_.c_str(), 1);
        fs::remove_all(root_);
    }
    static void WaitJobs() { WaitJobsReaped(); }
    std::string Temporaries() const {
        std::string found;
        for (const auto &e : fs::directory_iterator(db_ + "IMAGES"))
            found += e.path().filename().string() + " ";
        return found;
    }
    // Custom ... on the selected window, effect at list position pos with
    // parameters, then the export dialog's name; returns the placeholder.
    WindowData *Run(int pos, const char *parameters, const char *name) {
        InDispatch([] { StlnExport(nullptr, nullptr, nullptr); });
        Widget fx = DialogTitled("Standalone Fx");
        if (!fx) return nullptr;
        syntax_ = DismissMessages(fx);
        Widget list = XtNameToWidget(fx, "*list");
        InDispatch([list, pos] { XmListSelectPos(list, pos, True); });
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
        return w;
    }
    std::string root_, db_, old_rsrc_, command_, template_;
    Strings syntax_;
};

TEST_F(StandaloneFx, ResultsBecomeTheClipOfTheEffectsWindow) {
    WindowData *win = Run(1, "-v a'b $(touch x)", "fx'out;");
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(syntax_, Strings{"Syntax error: 'IN' not found in 'noin' description"});
    EXPECT_EQ(command_, root_ + "/rec");
    EXPECT_EQ(template_, "-v value ");
    EXPECT_EQ(WindowTitle(win), " EF(fx'out;.svj)");
    EXPECT_EQ(win->total, 3);
    WaitJobs();
    EXPECT_TRUE(DismissMessages(mainform).empty());
    EXPECT_TRUE(said.empty());
    ASSERT_EQ(CountWindows(), 2);
    ASSERT_NE(win->seg_first, nullptr);
    ASSERT_NE(win->seg_first->fisic, nullptr);
    EXPECT_EQ(std::string(win->seg_first->fisic->path), db_ + "SVJ/fx'out;.svj");
    EXPECT_EQ(win->seg_first->fisic->frames, 3);
    EXPECT_EQ(Temporaries(), "");
    std::ifstream record(root_ + "/record");
    std::string first, second, third;
    std::getline(record, first);
    std::getline(record, second);
    std::getline(record, third);
    EXPECT_EQ(first + "|" + second + "|" + third, "-v|a'b|$(touch");
    EXPECT_FALSE(fs::exists("x"));
}

TEST_F(StandaloneFx, AProgramWithoutResultClosesTheWindow) {
    WindowData *win = Run(2, "", "nothing");
    ASSERT_NE(win, nullptr);
    WaitJobs();
    EXPECT_EQ(said, Strings{"Couldn't complete custom effect"});
    EXPECT_EQ(CountWindows(), 1);
    EXPECT_FALSE(fs::exists(db_ + "SVJ/nothing.svj"));
    EXPECT_EQ(Temporaries(), "");
}

TEST_F(StandaloneFx, RefusalsSayWhy) {
    SetSelection(first_window, 0);
    InDispatch([] { StlnExport(nullptr, nullptr, nullptr); });
    EXPECT_EQ(DismissMessages(mainform), Strings{"No clip selected"});
    SetSelection(first_window, 1);
    InDispatch([] { StlnExport(nullptr, nullptr, nullptr); });
    Widget fx = DialogTitled("Standalone Fx");
    ASSERT_NE(fx, nullptr);
    DismissMessages(fx);
    InDispatch([fx] { XmListSelectPos(XtNameToWidget(fx, "*list"), 1, True); });
    XmTextSetString(XtNameToWidget(fx, "*parameters"), const_cast<char *>("-w 1"));
    Press(ByLabel(fx, "OK"));
    EXPECT_EQ(DismissMessages(fx), Strings{"Syntax error: parameter '-w' not declared"});
    XmTextSetString(XtNameToWidget(fx, "*parameters"), const_cast<char *>("1"));
    Press(ByLabel(fx, "OK"));
    EXPECT_EQ(DismissMessages(fx), Strings{"Syntax error: parameter required"});
    Press(ByLabel(fx, "Cancel"));
    EXPECT_EQ(DialogTitled("Standalone Fx"), nullptr);
}

} // namespace
