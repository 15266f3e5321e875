// The grab quality: the "u" and "d" buttons step the label by one on a
// click and repeat with growing steps while held.
#include <Xm/PushB.h>

#include <string>

#include "ui/globals.h"
#include "ui/widgets.h"
#include "vtr/vtr_panel.h"
#include "vtr/vtr_panel_internal.h"
#include "vtr/vtr_panel_rules.h"

namespace {

constexpr unsigned long kRepeatMs = 210;

struct Repeat {
    int delta = 0;
    QualityRepeat steps;
    bool repeated = false;
    XtIntervalId timer = 0;
};
Repeat repeat_up{1, {}, false, 0}, repeat_down{-1, {}, false, 0};

void stop_timer(Repeat &r) {
    if (r.timer) XtRemoveTimeOut(r.timer);
    r.timer = 0;
}

void tick(XtPointer client, XtIntervalId *) {
    Repeat &r = *static_cast<Repeat *>(client);
    r.timer = 0;
    r.repeated = true;
    StepQuality(r.steps.NextStep(r.delta));
    r.timer = XtAppAddTimeOut(app, kRepeatMs, tick, &r);
}

void armed(Widget, XtPointer client, XtPointer) {
    Repeat &r = *static_cast<Repeat *>(client);
    stop_timer(r);
    r.steps = QualityRepeat{};
    r.repeated = false;
    r.timer = XtAppAddTimeOut(app, kRepeatMs, tick, &r);
}

void disarmed(Widget, XtPointer client, XtPointer) {
    stop_timer(*static_cast<Repeat *>(client));
}

void activated(Widget, XtPointer client, XtPointer) {
    Repeat &r = *static_cast<Repeat *>(client);
    stop_timer(r);
    if (!r.repeated) StepQuality(r.delta);
}

void left(Widget, XtPointer client, XEvent *ev, Boolean *) {
    if (ev->type == LeaveNotify) stop_timer(*static_cast<Repeat *>(client));
}

void destroyed(Widget, XtPointer client, XtPointer) {
    stop_timer(*static_cast<Repeat *>(client));
}

} // namespace

const char *VtrQuality() {
    static std::string text;
    text = vtr_panel.quality ? LabelGetString(vtr_panel.quality) : "85";
    return text.c_str();
}

void StepQuality(int delta) {
    if (!vtr_panel.quality) return;
    char out[8];
    if (StepQualityText(LabelGetString(vtr_panel.quality).c_str(), delta, out, sizeof out))
        LabelSetString(vtr_panel.quality, out);
}

void VtrAttachQuality(Widget button, int delta) {
    Repeat *r = delta > 0 ? &repeat_up : &repeat_down;
    XtAddCallback(button, XmNarmCallback, armed, r);
    XtAddCallback(button, XmNdisarmCallback, disarmed, r);
    XtAddCallback(button, XmNactivateCallback, activated, r);
    XtAddCallback(button, XmNdestroyCallback, destroyed, r);
    XtAddEventHandler(button, LeaveWindowMask, False, left, r);
}
