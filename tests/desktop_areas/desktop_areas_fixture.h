// Fixture of the desktop-area tests: the clip-window fixture with windows
// that the tests may close (closed records are freed by the desktop, not by
// the fixture) and helpers that read the window list and synthesise the
// pointer events of clicks and drags.
#pragma once

#include "../clipwin/clipwin_fixture.h"

#include <X11/keysym.h>

#include <algorithm>
#include <string>
#include <vector>

#include "desktop/desktop_area.h"
#include "desktop/globals.h"

class AreasFixture : public ClipWinFixture {
  protected:
    int kept_rearrange = 0;

    void SetUp() override {
        ClipWinFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        kept_rearrange = defaults[DEF_REARRANGE];
        defaults[DEF_REARRANGE] = 0;
    }
    void TearDown() override {
        if (!IsSkipped()) {
            CancelDrag();
            // Windows the tests closed belong to the desktop now.
            std::vector<WindowData *> open;
            for (WindowData *w : windows)
                if (WindowListed(w)) open.push_back(w);
            windows = open;
            FreeClosedWindows();
            CloseMessages();
            for (Widget box : Named(app_shell, "warning"))
                XtDestroyWidget(XtParent(box));
            defaults[DEF_REARRANGE] = kept_rearrange;
        }
        ClipWinFixture::TearDown();
    }

    // The window list from first_window, and the desktop part from first_work.
    static std::vector<WindowData *> List() {
        std::vector<WindowData *> v;
        for (WindowData *w = first_window; w; w = w->next)
            v.push_back(w);
        return v;
    }
    static std::vector<int> Slots() {
        std::vector<int> v;
        for (WindowData *w = first_work; w; w = w->next)
            v.push_back(w->slot);
        return v;
    }
    // The window list as text: each window's letter (a, b, ... in the order
    // the test made them) and slot, with "|" where first_work begins (at the
    // end when there is none). A window whose flag, parent or place does not
    // fit its area and slot is followed by "?"; " !" ends a wrong last_window.
    std::string Order() const {
        std::string s;
        const WindowData *last = nullptr;
        bool desktop = false;
        for (WindowData *w = first_window; w; last = w, w = w->next) {
            if (w == first_work) s += "| ", desktop = true;
            const size_t i = size_t(std::find(windows.begin(), windows.end(), w) - windows.begin());
            s += char('a' + i) + std::to_string(w->slot);
            if (w->master == desktop || XtParent(w->frame) != (desktop ? workform : happyform) ||
                Where(w) != Cell(w->slot, w->master))
                s += "?";
            s += " ";
        }
        if (!desktop) s += "| ";
        s.pop_back();
        return last == last_window ? s : s + " !";
    }
    // Position of a window's frame in its area.
    static std::array<int, 2> Where(WindowData *w) {
        std::array<int, 4> g = Geometry(w->frame);
        return {g[0], g[1]};
    }
    static std::array<int, 2> Cell(int slot, int master) {
        int x = 0, y = 0;
        WindowPosition(slot, &x, &y, master);
        return {x, y};
    }

    // A pointer, crossing or key event on `target` at (x, y) inside it, with
    // `detail` the button or, for a key, its keysym. The screen position is
    // the same offset from a fixed origin, which is all the drag code
    // compares. Key, button and crossing events share their layout up to the
    // detail field.
    static XEvent MakeEvent(Widget target, int type, int x = 20, int y = 20, unsigned state = 0,
                            unsigned detail = Button1) {
        XEvent ev{};
        ev.type = type;
        ev.xany.display = XtDisplay(target);
        ev.xany.window = XtWindow(target);
        if (type == MotionNotify) {
            ev.xmotion.x = x;
            ev.xmotion.y = y;
            ev.xmotion.x_root = 500 + x;
            ev.xmotion.y_root = 500 + y;
            ev.xmotion.state = state | Button1Mask;
            return ev;
        }
        ev.xbutton.x = x;
        ev.xbutton.y = y;
        ev.xbutton.x_root = 500 + x;
        ev.xbutton.y_root = 500 + y;
        ev.xbutton.state = state;
        ev.xbutton.time = CurrentTime;
        if (type == KeyPress)
            ev.xkey.keycode = XKeysymToKeycode(ev.xany.display, KeySym(detail));
        else if (type != LeaveNotify)
            ev.xbutton.button = detail;
        return ev;
    }
    static void Press(WindowData *w, int x, int y, unsigned state = 0) {
        XEvent ev = MakeEvent(w->glw, ButtonPress, x, y, state);
        Boolean cont = True;
        BtnPress(w->glw, w, &ev, &cont);
    }
    static void Motion(WindowData *w, int x, int y) {
        XEvent ev = MakeEvent(w->glw, MotionNotify, x, y);
        Boolean cont = True;
        DragEvent(w->glw, nullptr, &ev, &cont);
    }
    static void Release(WindowData *w, int x, int y, unsigned state = 0) {
        XEvent ev = MakeEvent(w->glw, ButtonRelease, x, y, state);
        Boolean cont = True;
        DragEvent(w->glw, nullptr, &ev, &cont);
    }
    // A key event on the window's picture through its DeleteWindow action.
    static void Key(WindowData *w, KeySym sym, unsigned state = 0) {
        XEvent ev = MakeEvent(w->glw, KeyPress, 0, 0, state, unsigned(sym));
        DeleteWindow(w->glw, &ev, nullptr, nullptr);
    }
};
