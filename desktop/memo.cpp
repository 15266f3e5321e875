// Memo mode of desktop windows: the memo text field shown in place of the
// buttons, slider and arrows, toggled by the "M" button and key, left with
// Escape in the field, and switched on or off for the whole desktop from
// the menu.
#include <X11/keysym.h>
#include <Xm/Xm.h>

#include "desktop/clip_model.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"

namespace {

// Escape in the memo field leaves memo mode.
void memo_key(Widget, XtPointer client, XEvent *ev, Boolean *) {
    if (ev->type != KeyPress || isPlayActive) return;
    auto *win = static_cast<WindowData *>(client);
    if (XLookupKeysym(&ev->xkey, 0) == XK_Escape && WindowListed(win)) SetMemoMode(win, 0);
}

void show(Widget w, bool on) {
    if (!w) return;
    if (on)
        XtManageChild(w);
    else
        XtUnmanageChild(w);
}

} // namespace

int MemoShown(const WindowData *win) {
    return win && win->memo && XtIsManaged(win->memo) ? 1 : 0;
}

void SetMemoMode(WindowData *win, int on) {
    if (!win || win->master || win == summa_window || !win->memo) return;
    if (MemoShown(win) == (on ? 1 : 0)) return;
    for (Widget w : {win->memo_btn, win->copy_btn, win->left_btn, win->right_btn, win->reve_btn,
                     win->stop_btn, win->play_btn, win->scale, win->prev_btn, win->next_btn})
        show(w, !on);
    show(win->memo, on);
    if (on) {
        // Registered once: Xt merges a second registration of the same pair.
        XtAddEventHandler(win->memo, KeyPressMask, False, memo_key, win);
        // Above the frame-number label it overlaps.
        if (XtIsRealized(win->memo)) XRaiseWindow(XtDisplay(win->memo), XtWindow(win->memo));
    }
}

void MemoOn(WindowData *win) {
    SetMemoMode(win, !MemoShown(win));
}

ORVA_COMMAND(AlltoMemo) {
    (void)w, (void)client_data, (void)call_data;
    for (WindowData *win = first_work; win; win = win->next)
        SetMemoMode(win, 1);
}

ORVA_COMMAND(CloseAllMemo) {
    (void)w, (void)client_data, (void)call_data;
    for (WindowData *win = first_work; win; win = win->next)
        SetMemoMode(win, 0);
}
