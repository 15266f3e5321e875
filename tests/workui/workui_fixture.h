// Fixture of the work-file tests: the main window under the test X server
// on a current test database with real reels and logs, and the steps a user
// takes in the work dialogs.
#pragma once

#include "../clipmodel/clip_log_fixture.h"
#include "../desktop/desktop_fixture.h"
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <fstream>
#include <tuple>
#include "desktop/clip_open.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/work_files.h"
#include "editing/derived_window.h"
#include "editing/frame_map.h"
#include "editing/work_file.h"

using Strings = std::vector<std::string>;
// What a user sees of a window: area, slot, title, marks, length, and the
// clip frames shown at a few window frames.
using Seen = std::tuple<int, int, std::string, int, int, int, std::vector<int>>;

class WorkUiFixture : public DesktopFixture {
  protected:
    TestDatabase db;

    void SetUp() override {
        SetVideoMode(0);
        if (!fm_formats()) fm_initialize(nullptr);
        DesktopFixture::SetUp();
        defaults[DEF_REARRANGE] = 0;
        isPlayActive = 0;
    }
    void TearDown() override {
        if (!IsSkipped()) {
            for (const char *name : {"dialog", "error", "warning"})
                for (Widget w : Named(app_shell, name))
                    XtDestroyWidget(XtParent(w));
            CloseAndFree();
            if (summa_window) FreeWindowData(summa_window, 1);
            summa_window = nullptr;
            FreeAll();
        }
        DesktopFixture::TearDown();
    }
    static void CloseAndFree() {
        CloseOK(1, 1, nullptr, 0, 0);
        Pump();
        FreeClosedWindows();
        FreeUnusedClips();
    }
    std::string Work(const std::string &name) const { return db.tmp.path("WORK/" + name); }

    // Writes a reel (once), opens it into a desktop window, builds its log.
    WindowData *OpenReel(const std::string &name, int frames = 8) {
        if (access(db.reel(name).c_str(), F_OK) != 0) MakeReel(db.reel(name), frames);
        OpenFile(db.reel(name).c_str());
        Convert();
        Pump();
        return last_window;
    }
    // Moves a desktop window to the end of the master area.
    static void ToMaster(WindowData *win) {
        WindowData **link = &first_window;
        while (*link != win)
            link = &(*link)->next;
        *link = win->next;
        if (first_work == win) first_work = win->next;
        for (link = &first_window; *link && *link != first_work;)
            link = &(*link)->next;
        win->next = *link;
        *link = win;
        win->master = 1;
        for (last_window = first_window; last_window->next;)
            last_window = last_window->next;
        RepositionWindows();
        UpdateSummaWindow();
        Pump();
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
    static Widget Dialog(const char *title) {
        for (Widget d : Named(app_shell, "dialog"))
            if (TitleOf(d) == std::string("DB test - ") + title) return d;
        return nullptr;
    }
    static void Run(XtCallbackProc command) {
        InDispatch([command] { command(nullptr, nullptr, nullptr); });
    }
    // Opens `command`'s dialog titled `title`, selects `item` and presses `button`.
    static void Choose(XtCallbackProc command, const char *title, const char *item,
                       const char *button) {
        Run(command);
        Widget d = Dialog(title);
        ASSERT_NE(d, nullptr) << title;
        if (item) {
            XmString s = XmStringCreateLocalized(const_cast<char *>(item));
            XmListSelectItem(XtNameToWidget(d, "*list"), s, False);
            XmStringFree(s);
        }
        ::Press(ByLabel(d, button));
    }
    // Types `name` into the open "Save work" dialog and presses OK.
    static void SaveAs(const char *name) {
        Widget d = Dialog("Save work");
        ASSERT_NE(d, nullptr);
        XmTextSetString(XtNameToWidget(d, "wtext"), const_cast<char *>(name));
        ::Press(ByLabel(d, "OK"));
    }
    // The texts of the boxes named `kind` ("error": messages, "warning":
    // questions); `close` closes them.
    static Strings Boxes(const char *kind = "error", bool close = true) {
        Strings out;
        for (Widget box : Named(app_shell, kind)) {
            out.push_back(MessageOf(box));
            if (close) XtDestroyWidget(XtParent(box));
        }
        Pump();
        return out;
    }
    static void Answer(bool yes) {
        std::vector<Widget> boxes = Named(app_shell, "warning");
        ASSERT_EQ(boxes.size(), 1u);
        ::Press(XmMessageBoxGetChild(boxes[0], yes ? XmDIALOG_OK_BUTTON : XmDIALOG_CANCEL_BUTTON));
    }
    static size_t Windows() { return Desk().size(); }
    static std::string Text(const std::string &path) {
        std::string text;
        std::getline(std::ifstream(path), text);
        return text;
    }
};
