// Stepping and scrubbing through a clip window's frames: the slider (a jump,
// or one frame per four button-2 motion events), the arrows (a step on
// release, playback after a half-second hold) and the clicks on the mark
// labels.
#include "desktop/frame_stepping.h"

#include <Xm/Scale.h>

#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "desktop/frame_display.h"
#include "ui/globals.h"
#include "ui/messages.h"

namespace {

constexpr const char *kInProgress = "Import process still in progress";
// How long an arrow is held before playback in its direction starts.
constexpr unsigned long kArrowHoldMs = 510;

int scrub_events = 0; // button-2 motion events seen on any slider

// The one arrow being held: its window, direction and hold timer.
struct ArmState {
    WindowData *win = nullptr;
    int dir = 0;
    XtIntervalId timer = 0;
};
ArmState arm;

bool window_listed(const WindowData *win) {
    if (win == summa_window) return true;
    for (WindowData *w = first_window; w; w = w->next)
        if (w == win) return true;
    return false;
}

void hold_ran_out(XtPointer, XtIntervalId *) {
    WindowData *win = arm.win;
    const int dir = arm.dir;
    arm = ArmState{};
    // The window may have closed while its arrow was held.
    if (win && window_listed(win) && !win->playing && !isPlayActive) StartArrowPlayback(win, dir);
}

} // namespace

void ShowMark(WindowData *win, int out) {
    if (!win || isPlayActive || !win->seg_first) return;
    int mark = out ? win->out : win->in;
    if (mark < 0) mark = 0;
    if (mark > win->total - 1) mark = win->total - 1;
    win->current = mark;
    UpdateValue(win);
    if (!win->playing) ShowFrame(win);
}

void ScaleValue(Widget, XtPointer client_data, XtPointer call_data) {
    auto *win = client_data ? static_cast<WindowData *>(client_data) : summa_window;
    auto *cbs = static_cast<XmScaleCallbackStruct *>(call_data);
    if (!win || !cbs) return;
    if (!win->seg_first) {
        UpdateValue(win); // a placeholder's slider does not move
        if (cbs->reason == XmCR_VALUE_CHANGED) PutCharMessage(mainform, kInProgress);
        return;
    }
    ScaleChange(win, cbs->event, cbs->value);
}

void ScaleChange(WindowData *win, const XEvent *event, int value) {
    if (!win || !win->seg_first || win->total < 1) return;
    if (event && (event->type == ButtonPress || event->type == ButtonRelease) &&
        event->xbutton.button == Button2) {
        UpdateValue(win);
        return;
    }
    if (event && event->type == MotionNotify && (event->xmotion.state & Button2Mask)) {
        bool moved = false;
        if (++scrub_events % 4 == 0) {
            const int target = value - 1;
            if (target > win->current && win->current < win->total - 1) {
                win->current++;
                moved = true;
            } else if (target < win->current && win->current > 0) {
                win->current--;
                moved = true;
            }
        }
        UpdateValue(win);
        if (moved && !win->playing) ShowFrame(win);
        return;
    }
    int n = value - 1;
    if (n > win->total - 1) n = win->total - 1;
    if (n < 0) n = 0;
    win->current = n;
    UpdateValue(win);
    if (!win->playing) ShowFrame(win);
}

int ArrowStep(WindowData *win, int dir) {
    if (!win || win->playing || isPlayActive || !win->seg_first) return 0;
    int n = win->current + (dir < 0 ? -1 : 1);
    if (n < 0 || n > win->total - 1) return 0;
    win->current = n;
    UpdateValue(win);
    ShowFrame(win);
    return 1;
}

int ArrowArm(WindowData *win, int dir) {
    if (!win || win->playing || isPlayActive || !win->seg_first) return 0;
    if (arm.timer) return -1;
    arm.win = win;
    arm.dir = dir;
    arm.timer = XtAppAddTimeOut(app, kArrowHoldMs, hold_ran_out, nullptr);
    return 1;
}

void ArrowDisarm() {
    if (arm.timer) XtRemoveTimeOut(arm.timer);
    arm = ArmState{};
}

int ArrowHeld() {
    return arm.timer != 0;
}

void ArrowActivateCB(Widget w, XtPointer client, XtPointer) {
    auto *win = static_cast<WindowData *>(client);
    ArrowDisarm();
    if (!win->seg_first) {
        PutCharMessage(mainform, kInProgress);
        return;
    }
    ArrowStep(win, w == win->prev_btn ? -1 : 1);
}

void ArrowArmCB(Widget w, XtPointer client, XtPointer) {
    auto *win = static_cast<WindowData *>(client);
    ArrowArm(win, w == win->prev_btn ? -1 : 1);
}

void ArrowDisarmCB(Widget, XtPointer, XtPointer) {
    ArrowDisarm();
}
