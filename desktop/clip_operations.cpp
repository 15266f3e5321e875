// Derived windows on the desktop: copy, join, splice and still. The frame
// map of each new window comes from editing/derived_window.h; here it gets
// its first picture, its widgets in the next free desktop cell, its place at
// the end of the window list, and the messages of what went wrong.
#include "desktop/clip_operations.h"

#include <Xm/Text.h>

#include <cstdlib>
#include <cstring>

#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "desktop/commands.h"
#include "desktop/globals.h"
#include "editing/derived_window.h"
#include "editing/segments.h"
#include "ui/messages.h"

namespace {

// Shows a freshly built derived window: first picture, widgets in the next
// free desktop cell, appended to the list (and the first desktop window
// when the desktop was empty, so it never counts as master area).
void show_new_window(WindowData *win, const std::string &name, int load_picture, int busy) {
    if (load_picture) LoadFirstFrame(win);
    CreaWidget(win, -1, 0, 0, -1, strdup(name.c_str()));
    if (!first_window) first_window = win;
    if (!first_work) first_work = win;
    if (last_window) last_window->next = win;
    last_window = win;
    if (busy) SetFrameColor(win, long(BUSY_YEL));
}

void say(const char *text) {
    PutCharMessage(mainform, text);
}

} // namespace

std::string WindowTitle(WindowData *win) {
    if (!win || !win->memo) return "";
    char *text = XmTextGetString(win->memo);
    std::string title = text ? text : "";
    XtFree(text);
    return title;
}

WindowData *AddNewWindow(WindowData *source, int repetitions, int recollect, int type, int factor) {
    if (isPlayActive) return nullptr;
    if (!source) {
        const int n = CountSelected();
        if (n < 0) {
            say("Cannot work on clips in progress");
            return nullptr;
        }
        if (n == 0) {
            say("No clip selected");
            return nullptr;
        }
    }
    auto *win = new WindowData;
    std::string name;
    const int r = BuildDerivedWindow(win, source, 0, repetitions, recollect, &name, type, factor,
                                     WindowTitle);
    if (r == DERIVE_NOTHING || r == DERIVE_TOO_LONG) {
        FreeSegments(win);
        delete win;
        say(r == DERIVE_TOO_LONG ? "Clip too long" : "No clip selected");
        return nullptr;
    }
    if (r == DERIVE_SKIPPED) say("Skipped clips with different size");
    // The new window's timecode continues the source's at its In mark.
    win->start = 0;
    if (source && recollect)
        win->start = source->start;
    else if (source && source->out >= source->in)
        win->start = source->start + source->in;
    show_new_window(win, name, !recollect, r == DERIVE_PRODUCING);
    return win;
}

void NewWindowSingle(Widget, WindowData *win) {
    if (!win || !win->seg_first) return;
    AddNewWindow(win, 1, 0, DERIVE_COPY, 1);
}

void SpliceWindow(int fromMenu, WindowData *win) {
    if (isPlayActive) return;
    if (fromMenu) {
        const int n = CountSelected();
        if (n > 1) return (void)say("More than one clip selected");
        if (n == 0) return (void)say("No clip selected");
        if (n < 0) return (void)say("Cannot work on clips in progress");
        win = nullptr;
        for (WindowData *w = first_work; w && !win; w = w->next)
            if (w->selected) win = w;
    }
    if (!win || !win->seg_first) return;
    if (win->current <= 0) return (void)say("Current frame is first\nframe, cannot splice");
    const int in = win->in, out = win->out;
    win->in = 0;
    win->out = win->current - 1;
    WindowData *first = AddNewWindow(win, 1, 0, DERIVE_COPY, 1);
    if (first) {
        win->in = win->current;
        win->out = win->total - 1;
        AddNewWindow(win, 1, 0, DERIVE_COPY, 1);
    }
    win->in = in;
    win->out = out;
}

void StillWindow(int frames) {
    if (isPlayActive) return;
    const int n = CountSelected();
    if (n >= 2) return (void)say("Only single selection allowed");
    if (n < 0) return (void)say("Cannot work on clips in progress");
    if (n == 0) return (void)say("No clip selected");
    auto *win = new WindowData;
    std::string name;
    const int r = BuildStillWindow(win, frames, &name, WindowTitle);
    if (r != DERIVE_OK && r != DERIVE_PRODUCING) {
        FreeSegments(win);
        delete win;
        return (void)say("Error creating still");
    }
    show_new_window(win, name, 1, r == DERIVE_PRODUCING);
}

ORVA_COMMAND(NewWindowMulti) {
    (void)w, (void)client_data, (void)call_data;
    AddNewWindow(nullptr, 1, 0, DERIVE_COPY, 1);
}

// From the menu the selected window is split; a window's own key passes the
// window as client data.
ORVA_COMMAND(SpliceNewWin) {
    (void)w, (void)call_data;
    auto *win = static_cast<WindowData *>(client_data);
    SpliceWindow(win ? 0 : 1, win);
}
