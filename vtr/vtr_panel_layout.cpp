// The VTR panel's widgets at their places inside "vtrform", and the panel's
// busy state.
#include <Xm/ArrowB.h>
#include <Xm/List.h>
#include <Xm/PushB.h>
#include <Xm/Scale.h>
#include <Xm/Text.h>

#include "device/sv.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"
#include "vtr/vtr_env.h"
#include "vtr/vtr_panel.h"
#include "vtr/vtr_panel_internal.h"

VtrPanel vtr_panel;
sv_handle *vtr_board = nullptr;
void (*VtrGrabHook)() = nullptr;
void (*VtrRecHook)() = nullptr;
void (*VtrDispHook)() = nullptr;

namespace {

int busy_count = 0;

Widget button(Widget parent, const char *label, int x, int y, int w, int h, const char *name) {
    return CreaBottoneXYName(parent, label, x, y, w, h, name);
}

void run_hook(Widget, XtPointer client, XtPointer) {
    auto hook = *static_cast<void (**)()>(client);
    if (!vtr_board) return;
    if (hook)
        hook();
    else
        VtrNotAvailable();
}

// The panel goes with the main window: forget its widgets.
void panel_destroyed(Widget, XtPointer, XtPointer) {
    vtr_panel = VtrPanel{};
}

} // namespace

void VtrNotAvailable() {
    PutCharMessage(mainform, "Not available yet.");
}

void CreaVtrWidget(Widget parent, int width, int height) {
    (void)width;
    (void)height;
    VtrPanel &p = vtr_panel;
    p = VtrPanel{};
    p.form = parent;
    vtr_state = 0;
    in_set = out_set = 0;
    jogging = 0;
    XtAddCallback(parent, XmNdestroyCallback, panel_destroyed, nullptr);
    InitVtrEnv();

    static const struct {
        const char *label, *name;
    } transport[VB_COUNT] = {
        {"[]", "stop"}, {">", "play"}, {"<<", "rewind"}, {">>", "forward"}, {"||", "pause"}};
    for (int i = 0; i < VB_COUNT; ++i) {
        p.transport[i] =
            button(parent, transport[i].label, 8 + 44 * i, 8, 40, 40, transport[i].name);
        XtVaGetValues(p.transport[i], XmNbackground, &p.plain[i], NULL);
        XtAddCallback(p.transport[i], XmNactivateCallback, VtrTransportCallback,
                      reinterpret_cast<XtPointer>(intptr_t(i)));
    }
    p.jog = CreaHScale(parent, 0, -31, 31, 0, 0, 8, 56, 216, 36);
    XtAddCallback(p.jog, XmNdragCallback, VtrJogDragCallback, nullptr);
    XtAddCallback(p.jog, XmNvalueChangedCallback, VtrJogReleaseCallback, nullptr);

    p.tc_goto = CreaLabelName(parent, 232, 8, 250, 44, "00:00:00:00", "tc_goto");
    for (int i = 0; i < 8; ++i) {
        const bool up = i < 4;
        p.steps[i] = XtVaCreateManagedWidget(
            "goto", xmArrowButtonWidgetClass, parent, XmNx, 232 + 62 * (i % 4), XmNy, up ? 56 : 76,
            XmNwidth, 60, XmNheight, 18, XmNarrowDirection, up ? XmARROW_UP : XmARROW_DOWN, NULL);
        XtAddCallback(p.steps[i], XmNactivateCallback, VtrStepCallback,
                      reinterpret_cast<XtPointer>(intptr_t(i)));
    }

    static XtTranslations goto_in = nullptr, goto_out = nullptr;
    if (!goto_in) goto_in = XtParseTranslationTable("<Btn2Down>: Goto_In() \n");
    if (!goto_out) goto_out = XtParseTranslationTable("<Btn2Down>: Goto_Out() \n");
    p.in_button = button(parent, "In", 490, 8, 50, 40, "In");
    p.out_button = button(parent, "Out", 490, 52, 50, 40, "Out");
    XtOverrideTranslations(p.in_button, goto_in);
    XtOverrideTranslations(p.out_button, goto_out);
    XtVaGetValues(p.in_button, XmNbackground, &p.in_plain, NULL);
    XtVaGetValues(p.out_button, XmNbackground, &p.out_plain, NULL);
    XtAddCallback(p.in_button, XmNactivateCallback, VtrMarkButtonCallback, XtPointer(0));
    XtAddCallback(p.out_button, XmNactivateCallback, VtrMarkButtonCallback,
                  reinterpret_cast<XtPointer>(intptr_t(1)));
    p.in_text = CreaText(parent, 544, 8, 140, 40, "00:00:00:00", 0, "tc_text");
    p.out_text = CreaText(parent, 544, 52, 140, 40, "00:00:00:00", 0, "tc_text");
    XtAddCallback(p.in_text, XmNactivateCallback, VtrTextEnterCallback, XtPointer(0));
    XtAddCallback(p.out_text, XmNactivateCallback, VtrTextEnterCallback,
                  reinterpret_cast<XtPointer>(intptr_t(1)));

    p.add = button(parent, "+", 692, 8, 30, 26, "add");
    p.del = button(parent, "-", 692, 38, 30, 26, "delete");
    p.clear = button(parent, "C", 692, 68, 30, 26, "clear");
    XtAddCallback(p.add, XmNactivateCallback, VtrListButtonCallback, XtPointer(0));
    XtAddCallback(p.del, XmNactivateCallback, VtrListButtonCallback,
                  reinterpret_cast<XtPointer>(intptr_t(1)));
    XtAddCallback(p.clear, XmNactivateCallback, VtrListButtonCallback,
                  reinterpret_cast<XtPointer>(intptr_t(2)));

    Arg a[6];
    XtSetArg(a[0], XmNselectionPolicy, XmEXTENDED_SELECT);
    XtSetArg(a[1], XmNscrollBarDisplayPolicy, XmSTATIC);
    XtSetArg(a[2], XmNx, 726);
    XtSetArg(a[3], XmNy, 8);
    XtSetArg(a[4], XmNwidth, 230);
    XtSetArg(a[5], XmNheight, 84);
    p.list = XmCreateScrolledList(parent, const_cast<char *>("list"), a, 6);
    XtManageChild(p.list);
    XtVaSetValues(XtParent(p.list), XmNx, 726, XmNy, 8, XmNwidth, 230, XmNheight, 84, NULL);

    p.reelname = CreaText(parent, 964, 8, 136, 36, "reel1", 0, "reelname");
    p.grab = button(parent, "Grab", 964, 52, 70, 40, "Grab");
    p.qual_up = button(parent, "u", 1038, 52, 24, 19, "qual");
    p.qual_down = button(parent, "d", 1038, 73, 24, 19, "qual");
    p.quality = CreaLabelName(parent, 1064, 52, 36, 40, "85", "lab2");
    VtrAttachQuality(p.qual_up, 1);
    VtrAttachQuality(p.qual_down, -1);
    p.rec = button(parent, "Rec", 1108, 8, 64, 40, "Rec");
    p.disp = button(parent, "Disp", 1108, 52, 64, 40, "Disp");
    XtAddCallback(p.grab, XmNactivateCallback, run_hook, XtPointer(&VtrGrabHook));
    XtAddCallback(p.rec, XmNactivateCallback, run_hook, XtPointer(&VtrRecHook));
    XtAddCallback(p.disp, XmNactivateCallback, run_hook, XtPointer(&VtrDispHook));

    VtrListRefresh();
    Read_TC(0);
}

void VtrPanelSetBusy(int busy) {
    busy_count += busy ? 1 : -1;
    if (busy_count < 0) busy_count = 0;
    const VtrPanel &p = vtr_panel;
    if (!p.form) return;
    const Boolean on = busy_count == 0 ? True : False;
    for (Widget w : p.transport)
        XtSetSensitive(w, on);
    for (Widget w : p.steps)
        XtSetSensitive(w, on);
    for (Widget w :
         {p.jog, p.in_button, p.out_button, p.add, p.del, p.clear, p.grab, p.rec, p.disp})
        XtSetSensitive(w, on);
}

int VtrPanelBusy() {
    return busy_count > 0;
}
