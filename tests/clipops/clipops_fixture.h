// Fixture of the clip-operation tests: the desktop-area fixture, with the
// windows that the operations make (and the summa window) freed at the end,
// and helpers that drive the factor dialog as a user would.
#pragma once

#include "../desktop_areas/desktop_areas_fixture.h"

#include <Xm/Text.h>
#include <Xm/ToggleB.h>

#include <algorithm>

#include "desktop/clip_operations.h"
#include "desktop/commands.h"

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
