// Arrangement of the two areas: every window placed in its cell again, a
// window that changed area rebuilt in the other one, and the "Rearrange"
// command that closes the desktop's gaps once.
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <string>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "ui/command.h"
#include "ui/messages.h"
#include "vtr/timeline.h"

namespace {

// The import job whose placeholder this is, or -1.
int import_entry_of(const WindowData *win) {
    for (int i = 0; i < MAX_SPROC; i++)
        if (pidData[i].pid.load() > 0 && pidData[i].type == JOB_IMPORT &&
            pidData[i].window.load() == win)
            return i;
    return -1;
}

// Builds the window's widgets again in the area its `master` flag names,
// keeping what the user sees of it: memo text and mode, selection, busy
// colours, import progress.
void rebuild_window(WindowData *win) {
    std::string memo_text;
    const bool memo_was_on = MemoShown(win);
    if (win->memo) {
        char *t = XmTextGetString(win->memo);
        if (t) {
            memo_text = t;
            XtFree(t);
        }
    }
    // The old widgets go; the display and zoom view draw from the record.
    XtDestroyWidget(win->frame);
    win->frame = nullptr;
    const int placeholder = win->seg_first ? 0 : 1;
    const int entry = placeholder ? import_entry_of(win) : -1;
    CreaWidget(win, -1, 0, placeholder, entry, nullptr);
    if (win->memo) XmTextSetString(win->memo, const_cast<char *>(memo_text.c_str()));
    if (win->master) {
        win->selected = 0;
    } else {
        if (memo_was_on) SetMemoMode(win, 1);
        if (win->selected) SetSelection(win, 1);
    }
    if (entry >= 0) {
        pidData[entry].shown = -1; // the new label shows the progress at the next tick
        if (ImportProgressShow) ImportProgressShow(entry);
    }
    RestoreFrameColor(win);
}

// Sends the widget's window an expose of all of it, handled with the events.
void expose_again(Widget w) {
    if (!w || !XtIsRealized(w)) return;
    Dimension width = 0, height = 0;
    XtVaGetValues(w, XmNwidth, &width, XmNheight, &height, NULL);
    XEvent ev{};
    ev.xexpose.type = Expose;
    ev.xexpose.display = XtDisplay(w);
    ev.xexpose.window = XtWindow(w);
    ev.xexpose.width = width;
    ev.xexpose.height = height;
    XSendEvent(XtDisplay(w), XtWindow(w), False, ExposureMask, &ev);
}

void rearrange_yes(Widget w, XtPointer client, XtPointer call) {
    RearrangeNowOK(w, client, call);
}

} // namespace

void RepositionWindows() {
    // Frames to move, per area. An area lays out all its children again for
    // each change of one, so many moves are made on frames taken out of the
    // layout and put back together: one layout instead of one per window.
    struct Move {
        Widget frame;
        int x, y;
    };
    std::vector<Move> moves[2];
    int counter = 0;
    for (WindowData *win = first_window; win; win = win->next) {
        if (win == first_work) counter = 0;
        int slot = win->slot;
        if (win->master || defaults[DEF_REARRANGE]) slot = counter++;
        int x = 0, y = 0;
        win->slot = WindowPosition(slot, &x, &y, win->master);
        if (!win->frame) continue;
        Widget area = win->master ? happyform : workform;
        const bool rebuilt = XtParent(win->frame) != area;
        if (rebuilt) rebuild_window(win);
        // A master-area window's strip takes the colour of its (maybe new)
        // place in the timeline; a strip not made anew is also exposed again.
        if (win->master) {
            TmDrawLine(win);
            if (!rebuilt) expose_again(win->tmglw);
        }
        Position fx = 0, fy = 0;
        XtVaGetValues(win->frame, XmNx, &fx, XmNy, &fy, NULL);
        if (fx != x || fy != y) moves[win->master ? 1 : 0].push_back({win->frame, x, y});
    }
    for (std::vector<Move> &list : moves) {
        if (list.empty()) continue;
        std::vector<Widget> frames;
        for (const Move &m : list)
            frames.push_back(m.frame);
        const bool batch = frames.size() > 1;
        if (batch) XtUnmanageChildren(frames.data(), Cardinal(frames.size()));
        // The area is a form: its children keep the place their attachments
        // give, so the cell goes into the offsets from the form's corner.
        for (const Move &m : list)
            XtVaSetValues(m.frame, XmNleftAttachment, XmATTACH_FORM, XmNleftOffset, m.x,
                          XmNtopAttachment, XmATTACH_FORM, XmNtopOffset, m.y, NULL);
        if (batch) XtManageChildren(frames.data(), Cardinal(frames.size()));
    }
}

void RearrangeNowOK(Widget, XtPointer, XtPointer) {
    const int kept = defaults[DEF_REARRANGE];
    defaults[DEF_REARRANGE] = 1;
    RepositionWindows();
    defaults[DEF_REARRANGE] = kept;
}

ORVA_COMMAND(RearrangeNow) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (isPlayActive || defaults[DEF_REARRANGE] || !first_work) return;
    Warning(mainform, "Are you sure?", rearrange_yes, nullptr, nullptr, nullptr);
}

void RebuildWindow(WindowData *win) {
    if (win && win->frame) rebuild_window(win);
}
