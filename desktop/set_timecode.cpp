// The "Set timecode" dialog, opened by a click on the summa window's
// timecode label: the user types the timecode at which the master area
// starts; it becomes `master_tc` and the summa window's `start`.
#include "desktop/set_timecode.h"

#include <Xm/PushB.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "desktop/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"
#include "vtr/timecode.h"

namespace {

struct SetTcDialog {
    Widget dialog = nullptr;
    Widget text = nullptr;
};
SetTcDialog *open_dialog = nullptr; // the one dialog shown, or null

// OK and the text field's activation.
void Parse_Timecode(Widget, XtPointer client, XtPointer) {
    auto *s = static_cast<SetTcDialog *>(client);
    char *text = XmTextGetString(s->text);
    const int ok = ApplyStartTimecode(text);
    XtFree(text);
    if (!ok) {
        PutCharMessage(s->dialog, "Start timecode not valid");
        return;
    }
    XtDestroyWidget(XtParent(s->dialog));
}

void cancel(Widget, XtPointer client, XtPointer) {
    auto *s = static_cast<SetTcDialog *>(client);
    XtDestroyWidget(XtParent(s->dialog));
}

void destroyed(Widget, XtPointer client, XtPointer) {
    auto *s = static_cast<SetTcDialog *>(client);
    if (open_dialog == s) open_dialog = nullptr;
    delete s;
}

} // namespace

int ParseStartTimecode(const char *text) {
    // The word is built from the digits without checks, so the text is
    // validated first: a malformed text must not become a start frame.
    if (!is_valid_tc(text)) return -1;
    Timecode word = 0;
    vtr_asc2tc(text, &word);
    return tc2frames(word);
}

int ApplyStartTimecode(const char *text) {
    const int frames = ParseStartTimecode(text);
    if (frames < 0) return 0;
    master_tc = frames;
    if (summa_window) {
        summa_window->start = frames;
        if (summa_window->tc_label) {
            char tc[32];
            PrintTimecode(tc, summa_window);
            LabelSetString(summa_window->tc_label, tc);
        }
    }
    return 1;
}

Widget SetTimecodeDialog() {
    if (!summa_window) return nullptr;
    if (open_dialog) {
        XtManageChild(open_dialog->dialog);
        return open_dialog->dialog;
    }
    auto *s = new SetTcDialog;
    s->dialog = CreaDialog(mainform, "Set timecode", "settc", 200, 160, 1, 0);
    XtAddCallback(s->dialog, XmNdestroyCallback, destroyed, s);
    CreaLabelName(s->dialog, 25, 15, 150, 30, "New start timecode:", "expLabel");
    char tc[12];
    vtr_tc2asc(frames2tc(master_tc), tc);
    s->text = CreaText(s->dialog, 50, 50, 100, 35, tc, 256, "expText");
    XtAddCallback(s->text, XmNactivateCallback, Parse_Timecode, s);
    Widget ok = CreaBottoneXYName(s->dialog, "OK", 20, 105, 70, 35, "OK");
    Widget cn = CreaBottoneXYName(s->dialog, "Cancel", 110, 105, 70, 35, "Cancel");
    XtAddCallback(ok, XmNactivateCallback, Parse_Timecode, s);
    XtAddCallback(cn, XmNactivateCallback, cancel, s);
    open_dialog = s;
    XtManageChild(s->dialog);
    return s->dialog;
}
