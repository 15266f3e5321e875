// Fixture of the clip-operation tests: the desktop-area fixture, with the
// windows that the operations make (and the summa window) freed at the end,
// and helpers that drive the factor dialog as a user would.
#pragma once

#include "../desktop_areas/desktop_areas_fixture.h"

#include <Xm/Text.h>
#include <Xm/ToggleB.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "database/db_list.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/processes.h"
#include "platform/jobs.h"

class ClipOpsFixture : public AreasFixture {
  protected:
    void TearDown() override {
        if (!IsSkipped()) {
            for (Widget d : Named(app_shell, "effect"))
                XtDestroyWidget(XtParent(d));
            // Windows made by the operations belong to the list, not to the
            // fixture: hand them over so that they are freed with the rest.
            for (WindowData *w = first_window; w; w = w->next)
                if (std::find(windows.begin(), windows.end(), w) == windows.end())
                    windows.push_back(w);
            if (summa_window &&
                std::find(windows.begin(), windows.end(), summa_window) == windows.end())
                windows.push_back(summa_window);
        }
        AreasFixture::TearDown();
    }

    // A clip of `frames` solid-colour log frames and a desktop window on it.
    WindowData *LogWindow(int frames, const char *title, int master = 0) {
        FisicData *c = NewClip(frames);
        WriteLog(c, 2);
        WindowData *w = NewWindow(c, master, 0, title);
        LoadFirstFrame(w);
        return w;
    }
    static void Marks(WindowData *w, int in, int out) {
        w->in = in;
        w->out = out;
    }
    static WindowData *Last() { return last_window; }
    static std::array<int, 2> Where(Widget w) {
        std::array<int, 4> g = Geometry(w);
        return {g[0], g[1]};
    }
    static int Count() {
        int n = 0;
        for (WindowData *w = first_window; w; w = w->next)
            n++;
        return n;
    }

    // The open factor dialog, null when none.
    static Widget Dialog() {
        std::vector<Widget> d = Named(app_shell, "effect");
        return d.empty() ? nullptr : d[0];
    }
    // The text of field `name` of a dialog.
    static std::string Text(Widget d, const char *name) {
        Widget t = XtNameToWidget(d, name);
        if (!t) return "(none)";
        char *s = XmTextGetString(t);
        std::string v = s;
        XtFree(s);
        return v;
    }
    // Presses a button of the open factor dialog.
    static void Answer(const char *button) {
        ::Press(XtNameToWidget(Dialog(), button));
        Pump();
    }
    // Opens a factor dialog with `command`, types `value`, picks flip flop
    // when asked, and presses "OK".
    void RunDialog(XtCallbackProc command, const char *value, bool flip = false) {
        command(nullptr, nullptr, nullptr);
        Pump();
        Widget d = Dialog();
        ASSERT_NE(d, nullptr);
        XmTextSetString(XtNameToWidget(d, "wtext"), const_cast<char *>(value));
        // A Loop dialog: the mode asked for.
        if (Widget t = ByLabel(d, flip ? "Flip flop" : "Saw tooth"))
            XmToggleButtonSetState(t, True, True);
        ::Press(XtNameToWidget(d, "OK"));
        Pump();
    }
    // The frame of clip-frame `f` shows in the window's current picture.
    static bool Shows(WindowData *w, int f) { return w->image && PixelIsFrame(w->image, f); }
};

// The same with a current database "test" in the test directory (its four
// directories made, its picture directory current), and windows on reels
// written into it.
class DbOpsFixture : public ClipOpsFixture {
  protected:
    DbEntry entry{};
    std::string kept_image_dir;

    void SetUp() override {
        ClipOpsFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!DbSubdir[0]) DbInitialize();
        std::snprintf(entry.dir, sizeof entry.dir, "%s/", dir.c_str());
        std::snprintf(entry.name, sizeof entry.name, "test");
        for (const char *s : {"SVJ", "CLIP", "WORK", "IMAGES"})
            mkdir((dir + "/" + s).c_str(), 0777);
        db_current = &entry;
        kept_image_dir = db_image_dir;
        std::snprintf(db_image_dir, sizeof db_image_dir, "%s/IMAGES/", dir.c_str());
        std::snprintf(db_browse_dir, sizeof db_browse_dir, "%s", db_image_dir);
    }
    void TearDown() override {
        if (!IsSkipped()) {
            JobJoinAll();
            ReapEndedJobs();
            for (Widget d : Named(app_shell, "dialog"))
                if (TitleOf(d).find("DB test") == 0) XtDestroyWidget(XtParent(d));
            db_current = nullptr;
            std::snprintf(db_image_dir, sizeof db_image_dir, "%s", kept_image_dir.c_str());
        }
        ClipOpsFixture::TearDown();
    }
    // A window on SVJ/`name`.svj, a reel of `frames` solid-colour frames with
    // its log.
    WindowData *ReelWindow(int frames, const char *name, bool selected = false) {
        FisicData *c = NewClip(frames);
        WriteLog(c, 1);
        WriteReel(c, dir + "/SVJ/" + name + ".svj");
        WindowData *w = NewWindow(c, 0, 0, name);
        w->selected = selected;
        return w;
    }
    bool Exists(const std::string &rel) const {
        return access((dir + "/" + rel).c_str(), F_OK) == 0;
    }
};
