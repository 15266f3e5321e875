// Fixture of the work-file dialog tests: a current test database with real
// reels and their logs, the main window built as the program builds it, and
// helpers that drive the list dialogs, the name field and the questions as a
// user would.
#pragma once

#include "../clipmodel/clip_log_fixture.h"
#include "../desktop/desktop_fixture.h"

#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

#include "database/db_commands.h"
#include "desktop/clip_open.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/work_files.h"
#include "editing/derived_window.h"
#include "editing/frame_map.h"
#include "editing/segments.h"
#include "editing/work_file.h"

// What a user can see of one window: area, slot, title, marks, length and
// the frame of its clip shown at each of a few window frames.
using Seen = std::tuple<int, int, std::string, int, int, int, std::vector<int>>;

class WorkUiFixture : public DesktopFixture {
  public:
    TestDatabase db;
    int kept_rearrange = 0;

    void SetUp() override {
        SetVideoMode(0);
        if (!fm_formats()) fm_initialize(nullptr);
        DesktopFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        kept_rearrange = defaults[DEF_REARRANGE];
        defaults[DEF_REARRANGE] = 0;
        isPlayActive = 0;
    }
    void TearDown() override {
        if (!IsSkipped()) {
            for (Widget d : Named(app_shell, "dialog"))
                XtDestroyWidget(XtParent(d));
            for (const char *name : {"error", "warning"})
                for (Widget box : Named(app_shell, name))
                    XtDestroyWidget(XtParent(box));
            CloseOK(1, 1, nullptr, 1, 0);
            Pump();
            FreeClosedWindows();
            if (summa_window) FreeWindowData(summa_window, 1);
            summa_window = nullptr;
            FreeAll();
            defaults[DEF_REARRANGE] = kept_rearrange;
        }
        DesktopFixture::TearDown();
    }

    std::string Work(const std::string &name) const { return db.tmp.path("WORK/" + name); }

    // Writes a reel (once), opens it into a desktop window and builds its log.
    WindowData *OpenReel(const std::string &name, int frames) {
        if (!Exists(db.reel(name))) MakeReel(db.reel(name), frames);
        OpenFile(db.reel(name).c_str());
        Convert();
        Pump();
        return last_window;
    }

    // Moves a desktop window into the master area, at its end.
    static void ToMaster(WindowData *win) {
        WindowData **link = &first_window;
        while (*link != win)
            link = &(*link)->next;
        *link = win->next;
        if (first_work == win) first_work = win->next;
        link = &first_window;
        while (*link && *link != first_work)
            link = &(*link)->next;
        win->next = *link;
        *link = win;
        win->master = 1;
        last_window = nullptr;
        for (WindowData *w = first_window; w; w = w->next)
            last_window = w;
        RepositionWindows();
        UpdateSummaWindow();
        Pump();
    }

    static void SetTitle(WindowData *win, const char *title) {
        XmTextSetString(win->memo, const_cast<char *>(title));
    }

    static std::vector<Seen> Desk() {
        std::vector<Seen> out;
        for (WindowData *w = first_window; w; w = w->next) {
            std::vector<int> frames;
            for (int f : {0, 1, w->total / 2, w->total - 1})
                frames.push_back(FrameCtrl(w, f, &w->seg_current));
            out.emplace_back(w->master, w->slot, WindowTitle(w), w->in, w->out, w->total, frames);
        }
        return out;
    }
    static int Windows() {
        int n = 0;
        for (WindowData *w = first_window; w; w = w->next)
            n++;
        return n;
    }

    // The managed list dialog titled `title`, or null.
    static Widget Dialog(const char *title) {
        for (Widget d : Named(app_shell, "dialog"))
            if (TitleOf(d) == std::string("DB test - ") + title) return d;
        return nullptr;
    }
    static void Run(XtCallbackProc command) {
        InDispatch([command] { command(nullptr, nullptr, nullptr); });
    }
    // Selects the item `name` of the dialog's list (added to the selection).
    static void Pick(Widget dialog, const char *name) {
        Widget list = XtNameToWidget(dialog, "*list");
        XmString s = XmStringCreateLocalized(const_cast<char *>(name));
        const int pos = XmListItemPos(list, s);
        XmStringFree(s);
        ASSERT_GT(pos, 0) << name;
        XmListSelectPos(list, pos, False);
    }
    // Types `name` into the "Save work" dialog and presses OK.
    static void SaveAs(const char *name) {
        Widget d = Dialog("Save work");
        ASSERT_NE(d, nullptr);
        XmTextSetString(XtNameToWidget(d, "wtext"), const_cast<char *>(name));
        ::Press(ByLabel(d, "OK"));
    }

    // The texts of the open questions, and of the message boxes.
    static std::vector<std::string> Questions() {
        std::vector<std::string> out;
        for (Widget box : Named(app_shell, "warning"))
            out.push_back(MessageOf(box));
        return out;
    }
    static std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (Widget box : Named(app_shell, "error"))
            out.push_back(MessageOf(box));
        return out;
    }
    static void CloseMessages() {
        for (Widget box : Named(app_shell, "error"))
            XtDestroyWidget(XtParent(box));
        Pump();
    }
    // Answers the one open question: yes ("  Yes  ") or no ("  No  ").
    static void Answer(bool yes) {
        std::vector<Widget> boxes = Named(app_shell, "warning");
        ASSERT_EQ(boxes.size(), 1u);
        ::Press(XmMessageBoxGetChild(boxes[0], yes ? XmDIALOG_OK_BUTTON : XmDIALOG_CANCEL_BUTTON));
    }

    static bool Exists(const std::string &path) {
        struct stat st {};
        return stat(path.c_str(), &st) == 0;
    }
};
