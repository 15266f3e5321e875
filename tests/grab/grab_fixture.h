// The main window with its VTR panel on the simulated board and a current
// database in a private directory, for the grab, recollect and output tests.
#pragma once

#include "tests/boardsim/vtr_window_fixture.h"

#include "desktop/clip_operations.h"
#include "desktop/desktop_area.h"
#include "editing/clip_records.h"
#include "media/fm_main.h"
#include "media/img_util.h"
#include "vtr/timecode.h"

class GrabFixture : public VtrWindowFixture {
  protected:
    void SetUp() override { Start({}); }
    void Start(std::vector<std::string> sim_args) {
        ASSERT_NO_FATAL_FAILURE(StartBoard(sim_args, 1));
        if (IsSkipped()) return;
        // Picture readers and writers wait at the pause gate, as in the program.
        img_set_row_gate([] { SemWait(0); });
        // The file formats are known from start-up on, as in the program.
        if (!fm_formats()) fm_initialize(nullptr);
        ASSERT_NO_FATAL_FAILURE(OpenVtrWindow());
        db = UseDatabase();
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
        CloseBoard();
    }
    // Adds in..out to the grab list as a user does.
    void AddRange(const char *in, const char *out) {
        Type(0, in);
        Type(1, out);
        Press(W("add"));
    }
    // Adds in..out, grabs it and waits for the one new window.
    void GrabOne(const char *in, const char *out) {
        AddRange(in, out);
        Press(W("Grab"));
        ASSERT_TRUE(WaitJobEnd());
        ASSERT_EQ(Titles().size(), 1u);
    }
    // Grabs the list at D1 quality, confirming the frame file dialog.
    void GrabD1() {
        LabelSetString(W("lab2"), "D1");
        Press(W("Grab"));
        Press(XtNameToWidget(Named(app_shell, "effect").at(0), "*OK"));
    }
    // Drops window w into the master area at position at.
    void ToMaster(WindowData *w, int at) {
        ASSERT_EQ(DropWindow(w, 1, at), 1);
        UpdateSummaWindow();
        Pump();
        ASSERT_NE(summa_window, nullptr);
    }
    // The one dialog named "effect" on screen, or null.
    static Widget Effect() {
        const auto v = Named(app_shell, "effect");
        return v.size() == 1 ? v[0] : nullptr;
    }
    // Runs the event loop until the VTR job has ended (its end routine ran).
    bool WaitJobEnd(int seconds = 60) {
        Pump();
        const bool ended = PumpUntil([] { return !VtrPanelBusy(); }, seconds * 1000);
        Pump();
        return ended;
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
    static int FramesOf(const std::string &reel) { return board_test::frames_of(reel); }
    size_t CountInLog(const std::string &what) const { return sim->count(what); }
    std::string db;
    size_t windows_before = 0;
};
