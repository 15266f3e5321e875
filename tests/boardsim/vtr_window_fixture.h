// The main window built with its VTR panel, as the program builds it with
// the VTR option, against boardsim, for the tests that drive the panel.
#pragma once

#include "tests/boardsim/sim_fixture.h"
#include "tests/desktop/desktop_fixture.h"

#include <Xm/Text.h>

#include <chrono>
#include <memory>
#include <thread>

#include "database/db_list.h"
#include "device/sv.h"
#include "ui/globals.h"
#include "vtr/grab_list.h"
#include "vtr/vtr_panel.h"

class VtrWindowFixture : public DesktopFixture {
  protected:
    // boardsim with `sim_args` in a private directory and the board library
    // on it, waiting `timeout` seconds for a reply.
    void StartBoard(const std::vector<std::string> &sim_args, int timeout) {
        if (!getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        sim = std::make_unique<board_test::Sim>(dir, sim_args);
        ASSERT_TRUE(sim->ready());
        const std::string cmd =
            "SCSI,dev=" + dir.path("sock") + ",timeout=" + std::to_string(timeout);
        setenv("SCSIVIDEO_CMD", cmd.c_str(), 1);
        for (const char *v : {"SCSIVIDEO_MASTER", "SCSI_D1", "SCSI_VIDEO_MODE", "SCSI_SYNC"})
            unsetenv(v);
        ASSERT_EQ(SemInit(), 0);
        InitProcessTable();
        sv = sv_open("");
        ASSERT_NE(sv, nullptr);
        sv_semaphore(sv, 1, 0, 4);
    }
    void CloseBoard() {
        DbFreeList();
        if (sv) sv_close(sv);
        sv = nullptr;
        vtr_board = nullptr;
        unsetenv("SCSIVIDEO_CMD");
    }
    // Builds the main window with an empty grab list; form is its panel.
    void OpenVtrWindow() {
        static char arg0[] = "orva";
        static char *argv[] = {arg0, nullptr};
        int argc = 1;
        StartupOptions opt;
        opt.vtr = true;
        ASSERT_NE(InitToolkit(&argc, argv, opt), nullptr);
        GrabListClear();
        BuildMainWindow(opt);
        Pump();
        form = XtNameToWidget(mainform, "vtrform");
        ASSERT_NE(form, nullptr);
    }
    // A database "grabdb" in dir/db/ with its subdirectories, made current;
    // its path with a slash.
    std::string UseDatabase() {
        const std::string db = dir.path("db") + "/";
        for (const char *sub : {"", "SVJ", "IMAGES", "CLIP", "WORK"})
            mkdir((db + sub).c_str(), 0755);
        DbInitialize();
        DbAppendEntry(DbMakeEntry("grabdb", db.c_str()));
        DbNameSetDatabase("grabdb");
        return db;
    }
    // The nth widget of the panel with this name (none: nullptr).
    Widget W(const char *name, int nth = 0) {
        auto v = Named(form, name);
        return int(v.size()) > nth ? v[size_t(nth)] : nullptr;
    }
    // Types text into the nth timecode field and presses Return there.
    void Type(int nth, const char *text) {
        Widget f = W("tc_text", nth);
        XmTextSetString(f, const_cast<char *>(text));
        InDispatch([f] { XtCallCallbacks(f, XmNactivateCallback, nullptr); });
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
    // Runs the event loop until pred holds (true) or the time is up (false).
    template <class P> static bool PumpUntil(P pred, int ms = 30000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) return false;
            while (XtAppPending(app))
                XtAppProcessEvent(app, XtIMAll);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // Runs the event loop for ms milliseconds (timers fire).
    static void PumpFor(int ms) {
        PumpUntil([] { return false; }, ms);
    }
    Widget form = nullptr;
    reel_test::temp_dir dir;
    std::unique_ptr<board_test::Sim> sim;
};
