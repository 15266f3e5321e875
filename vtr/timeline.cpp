// The timeline's widgets and drawing: the "timeline" form under the master
// area, the strip "glx" painted through the drawing layer from the layout of
// vtr/timeline_strip.cpp, the position scale, the master-area windows' own
// 5-pixel strips, and the In/Out range the VTR output reads. Pointer and key
// handling is in timeline_pointer.cpp.
#include "vtr/timeline.h"

#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/RowColumn.h>
#include <Xm/Scale.h>
#include <Xm/Xm.h>

#include <algorithm>

#include "editing/clip_records.h"
#include "platform/draw.h"
#include "ui/gl_area.h"
#include "ui/globals.h"
#include "vtr/timeline_state.h"

TimelineRecord tmline;

namespace {

void (*window_visible_hook)(WindowData *) = nullptr;
XtCallbackProc scale_hook = nullptr;

bool master_area_empty() {
    return !first_window || first_window == first_work || !summa_window;
}

// Paints the strip into its image and writes the image to the widget (the
// background alone when there is nothing to show).
void draw_strip() {
    if (tmline.image.empty() || tmline.width < 1) return;
    const bool shown = TmLayoutNow(&tmline.layout);
    const unsigned char *in = tmline.image_ready ? tmline.marker[0].data() : nullptr;
    const unsigned char *out = tmline.image_ready ? tmline.marker[1].data() : nullptr;
    TmRenderStrip(tmline.layout, tmline.colours, in, out, tmline.image.data(), tmline.width);
    Widget w = tmline.strip;
    if (!w || !XtIsRealized(w)) return;
    GLXwinset(XtDisplay(w), XtWindow(w));
    RGBmode();
    if (!shown) {
        const unsigned char *bg = tmline.colours.background;
        RGBcolor(bg[0], bg[1], bg[2]);
        clear();
        return;
    }
    rectzoom(1, 1);
    lrectwrite(0, 0, tmline.width - 1, TM_HEIGHT - 1, tmline.image.data());
}

void strip_expose(Widget, XtPointer, XtPointer) {
    draw_strip();
}

// A new strip width, at most the width the image was made for.
void strip_resized(Widget w, XtPointer, XEvent *event, Boolean *) {
    if (event->type != ConfigureNotify) return;
    const int width = std::clamp(event->xconfigure.width, 1, std::max(tmline.max_width, 1));
    if (width == tmline.width) return;
    if (XtIsRealized(w)) GLXforget(XtWindow(w));
    tmline.width = width;
    draw_strip();
}

void scale_changed(Widget w, XtPointer, XtPointer call) {
    if (scale_hook) scale_hook(w, nullptr, call);
}

} // namespace

int TmLineH() {
    return 5;
}

bool TmLayoutNow(TmStripLayout *layout) {
    if (master_area_empty()) {
        layout->blocks.clear();
        layout->in_x = layout->out_x = -1;
        return false;
    }
    const std::vector<int> lengths = TmMasterLengths();
    int in = 0, out = 0;
    TmResolveRange(tmline.range, &in, &out);
    TmLayoutStrip(lengths.data(), int(lengths.size()), in, out, tmline.width, summa_window->total,
                  layout);
    return true;
}

void TmMakeVisible(WindowData *win) {
    if (win && window_visible_hook) window_visible_hook(win);
}

void TmSetWindowVisibleHook(void (*fn)(WindowData *win)) {
    window_visible_hook = fn;
}

void TmSetScaleHook(XtCallbackProc fn) {
    scale_hook = fn;
}

Widget TmCreaForm(Widget parent, Widget top, int max_width) {
    tmline = TimelineRecord{};
    tmline.max_width = std::clamp(max_width, 1, TM_MAX_WIDTH);
    tmline.width = tmline.max_width;
    tmline.image.assign(size_t(tmline.max_width) * TM_HEIGHT * 4, 0);
    for (std::vector<unsigned char> &m : tmline.marker)
        m.assign(size_t(TM_MARKER) * TM_MARKER * 4, 0);
    tmline.form = XtVaCreateManagedWidget(
        "timeline", xmFormWidgetClass, parent, XmNheight, 40, XmNresizePolicy, XmRESIZE_NONE,
        XmNtopAttachment, top ? XmATTACH_WIDGET : XmATTACH_FORM, XmNtopWidget, top,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, NULL);
    return tmline.form;
}

void TmCreaGlw(const unsigned char background[3], const unsigned char foreground[3]) {
    if (!tmline.form) return;
    tmline.colours = TmMakeColours(background, foreground);
    TmBuildMarker(0, tmline.colours, tmline.marker[0].data());
    TmBuildMarker(1, tmline.colours, tmline.marker[1].data());
    tmline.image_ready = 1;

    Dimension form_w = 0;
    XtVaGetValues(tmline.form, XmNwidth, &form_w, NULL);
    tmline.width = std::clamp(int(form_w), 1, tmline.max_width);
    tmline.strip =
        CreaGlw(app_shell, tmline.form, 0, 0, tmline.width, TM_HEIGHT, strip_expose, nullptr);
    XtVaSetValues(tmline.strip, XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
                  XmNrightAttachment, XmATTACH_FORM, NULL);

    // The position scale stays hidden until the master area has clips.
    tmline.scale =
        XtVaCreateWidget("scale", xmScaleWidgetClass, tmline.form, XmNorientation, XmHORIZONTAL,
                         XmNminimum, 1, XmNmaximum, 2, XmNvalue, 1, XmNshowValue, False, XmNheight,
                         TM_HEIGHT, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, tmline.strip,
                         XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, NULL);
    XtAddCallback(tmline.scale, XmNvalueChangedCallback, scale_changed, nullptr);
    XtAddCallback(tmline.scale, XmNdragCallback, scale_changed, nullptr);

    // The information popup is posted by the strip's own button-2 handler.
    Arg a[1];
    XtSetArg(a[0], XmNpopupEnabled, XmPOPUP_DISABLED);
    tmline.popup = XmCreatePopupMenu(tmline.strip, const_cast<char *>("popup"), a, 1);
    tmline.popup_label = XtVaCreateManagedWidget("label", xmLabelWidgetClass, tmline.popup, NULL);

    XtAddEventHandler(tmline.strip, ButtonPressMask | ButtonReleaseMask, False, TmPointerEvent,
                      nullptr);
    XtAddEventHandler(tmline.strip, StructureNotifyMask, False, strip_resized, nullptr);
    XtAddEventHandler(tmline.strip, KeyPressMask, False, TmKeyEvent, nullptr);
    XtAddEventHandler(tmline.form, KeyPressMask, False, TmKeyEvent, nullptr);
}

void TmUpdate(int rescale) {
    if (!tmline.form) return;
    if (master_area_empty()) {
        if (tmline.scale && XtIsManaged(tmline.scale)) XtUnmanageChild(tmline.scale);
        draw_strip();
        return;
    }
    const int total = summa_window->total;
    if (rescale && tmline.scale) {
        const int maximum = std::max(total, 2);
        const int step = total < 12 ? 1 : (total - 1) / 10;
        int value = 1;
        XtVaGetValues(tmline.scale, XmNvalue, &value, NULL);
        XtVaSetValues(tmline.scale, XmNvalue, std::clamp(value, 1, maximum), XmNmaximum, maximum,
                      XmNscaleMultiple, step, NULL);
    }
    if (tmline.scale && !XtIsManaged(tmline.scale)) XtManageChild(tmline.scale);
    draw_strip();
}

void TmSetWindows(WindowData *win, int which) {
    TmSetRangeWindow(&tmline.range, win, which);
}

void TmGetInOut(int *in, int *out) {
    TmRangeFrames(tmline.range, in, out);
}

void TmSetScale(int value) {
    if (!tmline.scale) return;
    int lo = 1, hi = 2;
    XtVaGetValues(tmline.scale, XmNminimum, &lo, XmNmaximum, &hi, NULL);
    XmScaleSetValue(tmline.scale, std::clamp(value, lo, std::max(lo, hi)));
}

void TmDrawLine(WindowData *win) {
    if (!win || !win->tmglw || !XtIsRealized(win->tmglw)) return;
    const int index = TmMasterIndex(win);
    if (index < 0) return;
    const unsigned char *c = tmline.colours.block[index % 2];
    GLXwinset(XtDisplay(win->tmglw), XtWindow(win->tmglw));
    RGBmode();
    RGBcolor(c[0], c[1], c[2]);
    clear();
}

Widget TmStripWidget() {
    return tmline.strip;
}
Widget TmScaleWidget() {
    return tmline.scale;
}
Widget TmPopupWidget() {
    return tmline.popup;
}
int TmWidth() {
    return tmline.width;
}
const unsigned char *TmImage() {
    return tmline.image.data();
}
int TmDragState() {
    return tmline.drag;
}
WindowData *TmInWindow() {
    return tmline.range.in;
}
WindowData *TmOutWindow() {
    return tmline.range.out;
}
