// The main window with its VTR panel on the simulated board and a current
// database in a private directory, for the grab, recollect and output tests.
#pragma once

#include "tests/boardsim/sim_fixture.h"
#include "tests/boardsim/vtr_window_fixture.h"

#include <Xm/Text.h>

#include <chrono>
#include <memory>
#include <thread>

#include "database/db_list.h"
#include "desktop/clip_operations.h"
#include "desktop/desktop_area.h"
#include "device/sv.h"
#include "editing/clip_records.h"
#include "media/fm_main.h"
#include "media/img_util.h"
#include "media/svj.h"
#include "ui/globals.h"
#include "vtr/grab_list.h"
#include "vtr/timecode.h"
#include "vtr/vtr_panel.h"

class GrabFixture : public VtrWindowFixture {
  protected:
    void SetUp() override { Start({}); }
    void Start(std::vector<std::string> sim_args) {
        if (!getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        sim = std::make_unique<board_test::Sim>(dir, sim_args);
        ASSERT_TRUE(sim->ready());
        const std::string cmd = "SCSI,dev=" + dir.path("sock") + ",timeout=1";
        setenv("SCSIVIDEO_CMD", cmd.c_str(), 1);
        unsetenv("SCSIVIDEO_MASTER");
        unsetenv("SCSI_D1");
        unsetenv("SCSI_VIDEO_MODE");
        unsetenv("SCSI_SYNC");
        ASSERT_EQ(SemInit(), 0);
        InitProcessTable();
        // Picture readers and writers wait at the pause gate, as in the program.
        img_set_row_gate([] { SemWait(0); });
        // The file formats are known from start-up on, as in the program.
        if (!fm_formats()) fm_initialize(nullptr);
        sv = sv_open("");
        ASSERT_NE(sv, nullptr);
        sv_semaphore(sv, 1, 0, 4);
        ASSERT_NO_FATAL_FAILURE(OpenVtrWindow());
        db = dir.path("db") + "/";
        for (const char *sub : {"", "SVJ", "IMAGES", "CLIP", "WORK"})
            mkdir((db + sub).c_str(), 0755);
        DbInitialize();
        DbAppendEntry(DbMakeEntry("grabdb", db.c_str()));
        DbNameSetDatabase("grabdb");
        windows_before = Titles().size();
    }
    void TearDown() override {
        if (app_shell && first_window) {
            // The windows of this test go with its files.
            CloseOK(1, 1, nullptr, 0, 0);
            FreeClosedWindows();
            UpdateSummaWindow();
        }
        DesktopFixture::TearDown();
        img_set_row_gate(nullptr);
        DbFreeList();
        if (sv) sv_close(sv);
        sv = nullptr;
        vtr_board = nullptr;
        unsetenv("SCSIVIDEO_CMD");
    }
    void Type(int nth, const char *text) {
        Widget f = W("tc_text", nth);
        XmTextSetString(f, const_cast<char *>(text));
        InDispatch([f] { XtCallCallbacks(f, XmNactivateCallback, nullptr); });
    }
    // Adds in..out to the grab list as a user does.
    void AddRange(const char *in, const char *out) {
        Type(0, in);
        Type(1, out);
        Press(W("add"));
    }
    // Runs the event loop until the VTR job has ended (its end routine ran).
    bool WaitJobEnd(int seconds = 60) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        Pump();
        while (VtrPanelBusy()) {
            if (std::chrono::steady_clock::now() > end) return false;
            while (XtAppPending(app))
                XtAppProcessEvent(app, XtIMAll);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        Pump();
        return true;
    }
    // Presses the job's "Stop" and runs the event loop until the job has
    // ended, within `seconds`; *ms: the milliseconds from the press on.
    void StopJob(int seconds = 60, double *ms = nullptr) {
        Widget stop = ByLabel(app_shell, "Stop");
        ASSERT_NE(stop, nullptr);
        const auto asked = std::chrono::steady_clock::now();
        Press(stop);
        ASSERT_TRUE(WaitJobEnd(seconds));
        if (ms)
            *ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked)
                    .count();
    }
    // Runs the event loop until pred holds or the time is up.
    template <class P> bool PumpUntil(P pred, int seconds = 30) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) return false;
            while (XtAppPending(app))
                XtAppProcessEvent(app, XtIMAll);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // Titles of the clip windows, in order, without those of earlier tests.
    std::vector<std::string> Titles() const {
        std::vector<std::string> out;
        size_t n = 0;
        for (WindowData *w = first_window; w; w = w->next)
            if (n++ >= windows_before) out.push_back(WindowTitle(w));
        return out;
    }
    // The n-th window of this test.
    WindowData *Window(size_t n) const {
        WindowData *w = first_window;
        for (size_t i = 0; w && i < windows_before + n; ++i)
            w = w->next;
        return w;
    }
    // Texts of the message boxes on screen ("error" and question boxes);
    // each is closed.
    std::vector<std::string> TakeMessages(const char *name = "error") {
        std::vector<std::string> out;
        for (Widget b : Named(app_shell, name)) {
            out.push_back(MessageOf(b));
            XtDestroyWidget(XtParent(b));
        }
        Pump();
        return out;
    }
    static int FramesOf(const std::string &reel) {
        svj_handle *h = svj_open(reel.c_str());
        if (!h) return -1;
        const int n = int(svj_info(h, 8));
        svj_close(h);
        return n;
    }
    size_t CountInLog(const std::string &what) const {
        const std::string text = sim->log();
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
    reel_test::temp_dir dir;
    std::unique_ptr<board_test::Sim> sim;
    std::string db;
    size_t windows_before = 0;
};
