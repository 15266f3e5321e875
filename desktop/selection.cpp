// Selection of desktop windows: the red label frame and texts of a selected
// window, click selection (plain, Shift range, Control toggle) and the menu
// commands that select all, none or the inverse. Master-area windows are
// never selected.
#include <Xm/Xm.h>

#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"

namespace {

void colour_label(Widget label, Pixel pixel) {
    if (label) XtVaSetValues(label, XmNforeground, pixel, NULL);
}

bool on_desktop(const WindowData *win) {
    return win && !win->master && win != summa_window;
}

} // namespace

void SetSelection(WindowData *win, int on) {
    if (!on_desktop(win)) return;
    win->selected = on ? 1 : 0;
    if (!on && !clip_normal_known) return;
    const Pixel shadow = on ? RED_COL : clip_normal_shadow;
    const Pixel text = on ? RED_COL : clip_normal_fg;
    if (win->label_frame) XtVaSetValues(win->label_frame, XmNtopShadowColor, shadow, NULL);
    colour_label(win->tc_label, text);
    colour_label(win->in_label, text);
    colour_label(win->out_label, text);
}

void SelectNormal(WindowData *win) {
    if (!on_desktop(win)) return;
    for (WindowData *w = first_work; w; w = w->next)
        if (w != win && w->selected) SetSelection(w, 0);
    SetSelection(win, 1);
}

void SelectShift(WindowData *win) {
    if (!on_desktop(win)) return;
    // The last selected window before win, in list order from first_work.
    WindowData *from = nullptr;
    bool listed = false;
    for (WindowData *w = first_work; w; w = w->next) {
        if (w == win) {
            listed = true;
            break;
        }
        if (w->selected) from = w;
    }
    if (!listed) return;
    if (!from) from = win;
    for (WindowData *w = from; w; w = w->next) {
        SetSelection(w, 1);
        if (w == win) break;
    }
}

void SelectToggle(WindowData *win) {
    if (on_desktop(win)) SetSelection(win, !win->selected);
}

// The three menu commands act on every desktop window.
ORVA_COMMAND(SelectAll) {
    (void)w, (void)client_data, (void)call_data;
    for (WindowData *win = first_work; win; win = win->next)
        SetSelection(win, 1);
}

ORVA_COMMAND(DeselectAll) {
    (void)w, (void)client_data, (void)call_data;
    for (WindowData *win = first_work; win; win = win->next)
        SetSelection(win, 0);
}

ORVA_COMMAND(SelectInvAll) {
    (void)w, (void)client_data, (void)call_data;
    for (WindowData *win = first_work; win; win = win->next)
        SetSelection(win, !win->selected);
}
