// Clip windows: builds the widgets of a window in its area (desktop, master
// area, summa window, import placeholder), keeps its slider and labels in
// step with `current`, and handles its slider, arrows, mark buttons and busy
// colours. Fetching and drawing the picture is frame_display.cpp's job.
#include "desktop/clip_window.h"
#include "desktop/clip_operations.h"

#include <Xm/Frame.h>
#include <Xm/PushB.h>
#include <Xm/Scale.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "desktop/clip_model.h"
#include "desktop/desktop_area.h"
#include "desktop/display_window.h"
#include "desktop/frame_display.h"
#include "desktop/frame_stepping.h"
#include "desktop/glw.h"
#include "desktop/globals.h"
#include "desktop/playback.h"
#include "ui/messages.h"
#include "desktop/processes.h"
#include "desktop/set_timecode.h"
#include "ui/draw_records.h"
#include "ui/icons.h"
#include "ui/widgets.h"
#include "vtr/timecode.h"
#include "vtr/timeline.h"
#include "vtr/vtr_panel.h"

int XBAND = 0, XSHIFT = 0, YSHIFTH = 2, YSHIFTW = 23, YSHIFTS = 23;
Pixel clip_normal_shadow = 0, clip_normal_fg = 0;
int clip_normal_known = 0;

namespace {

constexpr const char *kInProgress = "Import process still in progress";

enum { KIND_DESKTOP = 0, KIND_MASTER = 1, KIND_SUMMA = 2 };

// ---- labels ----

void set_mark_label(Widget label, const char *fmt, int value) {
    if (!label) return;
    char text[32];
    std::snprintf(text, sizeof text, fmt, value);
    LabelSetString(label, text);
}

// ---- callbacks: cast the client data and call the named work ----

void in_label_press(Widget, XtPointer client, XEvent *ev, Boolean *) {
    if (ev->type == ButtonPress) ShowMark(static_cast<WindowData *>(client), 0);
}
void out_label_press(Widget, XtPointer client, XEvent *ev, Boolean *) {
    if (ev->type == ButtonPress) ShowMark(static_cast<WindowData *>(client), 1);
}
void summa_tc_press(Widget, XtPointer, XEvent *ev, Boolean *) {
    if (ev->type == ButtonPress && summa_window) SetTimecodeDialog();
}
void summa_in_press(Widget, XtPointer, XEvent *ev, Boolean *) {
    // With the board open, a click copies the master position into the VTR
    // panel's In field.
    if (ev->type == ButtonPress && sv) CopyIn(master_tc);
}

// The guard of the window buttons: nothing while a clip plays, and a
// placeholder (no segments yet) says so.
bool ready_for_button(WindowData *win) {
    if (isPlayActive) return false;
    if (!win->seg_first) {
        PutCharMessage(mainform, kInProgress);
        return false;
    }
    return true;
}

void memo_cb(Widget, XtPointer client, XtPointer) {
    if (isPlayActive) return;
    MemoOn(static_cast<WindowData *>(client));
}
void copy_cb(Widget, XtPointer client, XtPointer) {
    auto *win = static_cast<WindowData *>(client);
    if (!ready_for_button(win)) return;
    NewWindowSingle(win->copy_btn, win);
}
void mark_cb(Widget w, XtPointer client, XtPointer) {
    auto *win = static_cast<WindowData *>(client);
    if (!ready_for_button(win)) return;
    SetMark(win, w == win->right_btn);
}
void play_cb(Widget w, XtPointer client, XtPointer) {
    auto *win = static_cast<WindowData *>(client);
    if (!ready_for_button(win)) return;
    ePlayStart(win, w == win->reve_btn ? -1 : 1);
}
void stop_cb(Widget, XtPointer, XtPointer) {
    // "stop" acts only inside a running playback, which watches it itself.
}

// A master-area window's own strip, in the colour of its timeline block.
void tm_line_expose(Widget, XtPointer client, XtPointer) {
    TmDrawLine(static_cast<WindowData *>(client));
}

// Import progress of a placeholder, shown by the progress timer.
void show_import_progress(int entry) {
    if (entry < 0 || entry >= MAX_SPROC) return;
    PidData &p = pidData[entry];
    WindowData *w = p.window;
    if (!w || !w->progress_label) return;
    SetImportProgress(p.output.c_str(), w->progress_label, p.progress, w->total);
}

} // namespace

void StartArrowPlayback(WindowData *win, int dir) {
    ePlayStart(win, dir);
}

void SetMark(WindowData *win, int out) {
    if (!win || !win->seg_first) return;
    if (out) {
        win->out = win->current;
        set_mark_label(win->out_label, "> %i", win->out + 1);
    } else {
        win->in = win->current;
        set_mark_label(win->in_label, "< %i", win->in + 1);
    }
}

// ---- the window's widgets ----

void CreaWidget(WindowData *win, int area, int summa, int placeholder, int import_entry,
                char *name) {
    (void)area;
    std::string memo_text;
    if (name) {
        memo_text.assign(name, strnlen(name, 64));
        std::free(name);
    }
    const bool is_new = name != nullptr;
    const int kind = summa ? KIND_SUMMA : (win->master ? KIND_MASTER : KIND_DESKTOP);
    Widget parent = kind == KIND_SUMMA ? summaform : kind == KIND_MASTER ? happyform : workform;
    Pixel bg = 0, fg = 0;
    XtVaGetValues(parent, XmNbackground, &bg, XmNforeground, &fg, NULL);

    XBAND = XSHIFT = (XLARG - win->width) / 2 - 2;
    YSHIFTH = 2;
    YSHIFTW = 23;
    YSHIFTS = 23;
    const int W = XLARG;

    int fx = 0, fy = 0, fh = 0;
    if (kind == KIND_DESKTOP) {
        win->slot = WindowPosition(is_new ? -1 : win->slot, &fx, &fy, 0);
        fh = YLARG;
    } else if (kind == KIND_MASTER) {
        win->slot = WindowPosition(is_new ? -1 : win->slot, &fx, &fy, 1);
        fh = TmLineH() + YLARG - 41;
    } else {
        fx = 0;
        fy = TmLineH() + YBORD;
        fh = YLARG - 20;
    }
    // The frame's 2-pixel shadow around the (W-4) x (fh-4) form makes W x fh.
    win->frame = CreaFrame(parent, fx, fy, W, fh, 0);
    XtVaSetValues(win->frame, XmNshadowThickness, 2, NULL);
    ReleaseDrawRecordsOnDestroy(win->frame);
    win->form = CreaFormName(win->frame, -1, -1, W - 4, fh - 4, "clip");
    XtVaSetValues(win->form, XmNresizePolicy, XmRESIZE_NONE, NULL);
    Widget form = win->form;

    // Label row: in mark, timecode, out mark (summa: "< In", timecode, frame).
    win->in_label = win->out_label = win->tc_label = win->frame_label = nullptr;
    if (kind != KIND_MASTER) {
        win->label_frame = CreaFrame(form, XBAND, 2, -1, -1, 0);
        win->label_form = CreaForm(win->label_frame, -1, -1, win->width, 20);
        const int L = win->width * 100 / 25;
        const int a = L * 7 / 100 - 2, b = L * 11 / 100;
        if (kind == KIND_DESKTOP) {
            win->in_label = CreaLabelName(win->label_form, 0, 0, a, 15, "", "lab2");
            win->tc_label = CreaLabelName(win->label_form, a, 0, b, 15, "00:00:00:00", "lab2");
            win->out_label = CreaLabelName(win->label_form, a + b, 0, a, 15, "", "lab2");
            set_mark_label(win->in_label, "< %i", win->in + 1);
            set_mark_label(win->out_label, "> %i", win->out + 1);
            XtAddEventHandler(win->in_label, ButtonPressMask, False, in_label_press, win);
            XtAddEventHandler(win->out_label, ButtonPressMask, False, out_label_press, win);
        } else {
            Widget in = CreaLabelName(win->label_form, 0, 0, a, 13, "< In", "lab2");
            win->tc_label = CreaLabelName(win->label_form, a, 0, b, 15, "00:00:00:00", "lab2");
            win->frame_label = CreaLabelName(win->label_form, a + b, 0, a, 13, "1", "lab2");
            XtAddEventHandler(in, ButtonPressMask, False, summa_in_press, win);
            XtAddEventHandler(win->tc_label, ButtonPressMask, False, summa_tc_press, win);
        }
    } else {
        win->label_frame = win->label_form = nullptr;
    }

    // Picture.
    const int py = kind == KIND_MASTER ? YSHIFTH : YSHIFTW;
    win->progress_label = nullptr;
    if (!placeholder) {
        win->glw = CreaGlw(app_shell, form, XBAND, py, win->width, win->height, glwExpose, win);
        XtVaSetValues(win->glw, XmNuserData, win, NULL);
        if (kind == KIND_SUMMA) {
            XtAddEventHandler(win->glw, ButtonPressMask, False, DispCreaWin, win);
            XtOverrideTranslations(win->glw, SummaTranslations());
        } else {
            XtAddEventHandler(win->glw, ButtonPressMask, False, BtnPress, win);
            XtOverrideTranslations(win->glw, WindowTranslations());
        }
    } else {
        win->glw = CreaDraw(form, XBAND, py, win->width, win->height);
        XtVaSetValues(win->glw, XmNuserData, win, NULL);
        win->progress_label =
            CreaLabelGadgetName(win->glw, 0, 0, win->width, win->height, " ", "progress");
        const char *what = nullptr;
        if (import_entry >= 0 && import_entry < MAX_SPROC)
            what = pidData[import_entry].output.c_str();
        SetImportProgress(what, win->progress_label, 1, win->total);
        ImportProgressShow = show_import_progress;
        XtAddEventHandler(win->glw, ButtonPressMask, False, BtnPress, win);
        XtOverrideTranslations(win->glw, WindowTranslations());
    }

    // Memo field, hidden until memo mode shows it in place of the buttons.
    // Escape in it leaves memo mode (desktop/memo.cpp).
    win->memo =
        CreaText(form, XBAND, py + win->height + 2, win->width, 41, memo_text.c_str(), 64, "memo");
    XtUnmanageChild(win->memo);

    int slider_y = py + win->height + 1;
    win->memo_btn = win->copy_btn = win->left_btn = win->right_btn = nullptr;
    win->play_btn = win->stop_btn = win->reve_btn = nullptr;
    if (kind == KIND_DESKTOP) {
        const int by = py + win->height + 1;
        win->memo_btn = CreaBottoneXYName(form, "M", XBAND, by, 20, 20, "M");
        win->copy_btn = CreaBottoneXYName(form, "C", XBAND + 20, by, 20, 20, "C");
        win->left_btn = CreaBottoneXYName(form, "[", XBAND + 40, by, 20, 20, "[");
        win->right_btn = CreaBottoneXYName(form, "]", XBAND + 60, by, 20, 20, "]");
        win->reve_btn = CreaBottoneXYName(form, "reve", XBAND + 80, by, 20, 20, "reve");
        win->stop_btn = CreaBottoneXYName(form, "stop", XBAND + 100, by, 20, 20, "stop");
        win->play_btn = CreaBottoneXYName(form, "play", XBAND + 120, by, 20, 20, "play");
        SetLabelPixmap(win->reve_btn, ClipButtonPixmap(kind, parent, fg, bg, CLIP_PIC_REVE));
        SetLabelPixmap(win->stop_btn, ClipButtonPixmap(kind, parent, fg, bg, CLIP_PIC_STOP));
        SetLabelPixmap(win->play_btn, ClipButtonPixmap(kind, parent, fg, bg, CLIP_PIC_PLAY));
        XtAddCallback(win->memo_btn, XmNactivateCallback, memo_cb, win);
        XtAddCallback(win->copy_btn, XmNactivateCallback, copy_cb, win);
        XtAddCallback(win->left_btn, XmNactivateCallback, mark_cb, win);
        XtAddCallback(win->right_btn, XmNactivateCallback, mark_cb, win);
        XtAddCallback(win->reve_btn, XmNactivateCallback, play_cb, win);
        XtAddCallback(win->play_btn, XmNactivateCallback, play_cb, win);
        XtAddCallback(win->stop_btn, XmNactivateCallback, stop_cb, win);
        Widget lf = CreaFrame(form, XBAND + 142, by + 2, -1, -1, 0);
        win->frame_label = CreaLabelName(lf, -1, -1, win->width - 147, 13, "1", "lab2");
        slider_y = by + 21;
    }

    // Slider and arrows.
    win->scale =
        CreaHScale(form, 0, 1, win->total, 1, 0, XBAND + 20, slider_y, win->width - 40, 20);
    XtPointer scale_client = kind == KIND_SUMMA ? nullptr : win;
    XtAddCallback(win->scale, XmNvalueChangedCallback, ScaleValue, scale_client);
    XtAddCallback(win->scale, XmNdragCallback, ScaleValue, scale_client);
    win->prev_btn = CreaBottoneXYName(form, "", XBAND, slider_y, 20, 20, "prev");
    win->next_btn = CreaBottoneXYName(form, "", XBAND + win->width - 20, slider_y, 20, 20, "next");
    SetLabelPixmap(win->prev_btn, ClipButtonPixmap(kind, parent, fg, bg, CLIP_PIC_REVE));
    SetLabelPixmap(win->next_btn, ClipButtonPixmap(kind, parent, fg, bg, CLIP_PIC_PLAY));
    XtVaSetValues(win->prev_btn, XmNuserData, win, NULL);
    XtVaSetValues(win->next_btn, XmNuserData, win, NULL);
    XtOverrideTranslations(win->prev_btn, ArrowTranslations(-1));
    XtOverrideTranslations(win->next_btn, ArrowTranslations(1));
    for (Widget b : {win->prev_btn, win->next_btn}) {
        XtAddCallback(b, XmNactivateCallback, ArrowActivateCB, win);
        XtAddCallback(b, XmNarmCallback, ArrowArmCB, win);
        XtAddCallback(b, XmNdisarmCallback, ArrowDisarmCB, win);
    }

    // Master area: the timeline strip below the slider.
    win->tmglw = nullptr;
    if (kind == KIND_MASTER)
        win->tmglw = CreaGlw(app_shell, form, XBAND, slider_y + 21, win->width, TmLineH(),
                             tm_line_expose, win);

    if (kind == KIND_DESKTOP && win->label_frame && win->tc_label) {
        XtVaGetValues(win->label_frame, XmNtopShadowColor, &clip_normal_shadow, NULL);
        XtVaGetValues(win->tc_label, XmNforeground, &clip_normal_fg, NULL);
        clip_normal_known = 1;
    }

    UpdateValue(win);
    if (is_new) SetWindowVisible(win);
}

// ---- frame position ----

void UpdateValue(WindowData *win) {
    if (!win) return;
    if (win->scale) {
        int lo = 1, hi = 1;
        XtVaGetValues(win->scale, XmNminimum, &lo, XmNmaximum, &hi, NULL);
        int v = win->current + 1;
        if (v < lo) v = lo;
        if (v > hi) v = hi;
        XmScaleSetValue(win->scale, v);
    }
    // The summa window's position is also the timeline's.
    if (win == summa_window || (win->frame && XtParent(win->frame) == summaform))
        TmSetScale(win->current + 1);
    if (win->frame_label) set_mark_label(win->frame_label, "%i", win->current + 1);
    if (win->tc_label) {
        char tc[32];
        PrintTimecode(tc, win);
        LabelSetString(win->tc_label, tc);
    }
}

void PrintTimecode(char *buf, const WindowData *win) {
    // The window's frame counted from its start timecode; the timecode word
    // holds at most 99 hours.
    long long frame = (long long)win->current + win->start;
    if (frame < 0) frame = 0;
    if (frame > INT_MAX) frame = INT_MAX;
    vtr_tc2asc(frames2tc(int(frame)), buf);
}

// ---- busy colours and import progress ----

void SetFrameColor(WindowData *win, long pixel) {
    if (!win || !win->frame_label) return;
    if (pixel < 0 && !clip_normal_known) return;
    const Pixel shadow = pixel < 0 ? clip_normal_shadow : Pixel(pixel);
    const Pixel text = pixel < 0 ? clip_normal_fg : Pixel(pixel);
    if (win != summa_window)
        XtVaSetValues(XtParent(win->frame_label), XmNtopShadowColor, shadow, NULL);
    XtVaSetValues(win->frame_label, XmNforeground, text, NULL);
}

void RestoreFrameColor(WindowData *win) {
    if (!win) return;
    bool listed = win == summa_window;
    for (WindowData *w = first_work; w && !listed; w = w->next)
        listed = w == win;
    if (!listed) return;
    long pixel = -1;
    for (int i = 0; i < MAX_SPROC; i++)
        if (pidData[i].pid > 0 && pidData[i].type == JOB_EXPORT && pidData[i].window == win)
            pixel = long(BUSY_GRN);
    if (Segment *s = win->seg_first) {
        do {
            if (s->fisic && s->fisic->busy) pixel = long(BUSY_YEL);
            if (s == win->seg_last) break;
            s = s->next;
        } while (s && s != win->seg_first);
    }
    SetFrameColor(win, pixel);
}

void SetImportProgress(const char *name, Widget label, int done, int total) {
    if (!label) return;
    char head[64];
    std::snprintf(head, sizeof head, "IN PROGRESS (%i/%i)", done, total);
    std::string text = head;
    if (name) {
        const char *slash = std::strrchr(name, '/');
        text += ":\n";
        text += slash ? slash + 1 : name;
        if (text.size() > 299) text.resize(299);
        while (!text.empty() && text.back() == '#')
            text.pop_back();
    }
    LabelSetString(label, text.c_str());
}
