// The factor dialog "effect" of the speed, loop and still operations: one
// number (and for Loop the saw tooth / flip flop choice), kept between uses.
#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>

#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/globals.h"
#include "editing/derived_window.h"
#include "ui/messages.h"
#include "ui/widgets.h"

namespace {

enum FactorKind { FK_SLOWER, FK_FASTER, FK_STROBE, FK_LOOP, FK_STILL };

// Values kept between uses; the still's 0 becomes the frame rate at first use.
int kept_value[] = {5, 5, 5, 10, 0};
int kept_loop_mode = 0; // 0 saw tooth, 1 flip flop

struct FactorDialog {
    FactorKind kind;
    Widget dialog = nullptr, text = nullptr, flip = nullptr;
    bool done = false; // answered: the dialog is on its way out
};

// One factor dialog at a time: opening another replaces it.
FactorDialog *open_dialog = nullptr;

const char *const titles[] = {"Slower", "Faster", "Strobe", "Loop", "Still"};
const char *const labels[] = {
    "Times slower:", "Times faster:", "Times strobe:", "Number of loops:", "Number of frames:"};

void ok_cb(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<FactorDialog *>(client);
    if (d->done) return;
    char *text = XmTextGetString(d->text);
    int value = text ? atoi(text) : 0;
    XtFree(text);
    const FactorKind kind = d->kind;
    int flip = 0;
    switch (kind) {
    case FK_SLOWER:
    case FK_FASTER:
    case FK_STROBE:
        if (value < 1) value = 1;
        break;
    case FK_LOOP:
        if (value < 1) value = 1;
        if (value > 1000) value = 1000;
        flip = d->flip && XmToggleButtonGetState(d->flip) ? 1 : 0;
        kept_loop_mode = flip;
        break;
    case FK_STILL:
        if (value < 2) {
            PutCharMessage(d->dialog, "Number of frames must be > 1");
            return;
        }
        break;
    }
    kept_value[kind] = value;
    // The dialog goes before the window is made.
    d->done = true;
    XtDestroyWidget(XtParent(d->dialog));
    switch (kind) {
    case FK_SLOWER:
    case FK_FASTER:
    case FK_STROBE: {
        const int type = kind == FK_SLOWER   ? DERIVE_SLOWER
                         : kind == FK_FASTER ? DERIVE_FASTER
                                             : DERIVE_STROBE;
        if (value >= 2)
            AddNewWindow(nullptr, 1, 0, type, value);
        else
            AddNewWindow(nullptr, 1, 0, DERIVE_COPY, 1);
        break;
    }
    case FK_LOOP:
        AddNewWindow(nullptr, flip ? -value : value, 0, DERIVE_COPY, 1);
        break;
    case FK_STILL:
        StillWindow(value);
        break;
    }
}

void cancel_cb(Widget, XtPointer client, XtPointer) {
    XtDestroyWidget(XtParent(static_cast<FactorDialog *>(client)->dialog));
}

void destroyed(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<FactorDialog *>(client);
    if (open_dialog == d) open_dialog = nullptr;
    delete d;
}

void open_factor_dialog(FactorKind kind) {
    if (isPlayActive) return;
    if (!first_window) {
        PutCharMessage(mainform, "No clip selected");
        return;
    }
    if (kind == FK_STILL && kept_value[FK_STILL] == 0) kept_value[FK_STILL] = fps;
    if (open_dialog) XtDestroyWidget(XtParent(open_dialog->dialog));
    auto *d = new FactorDialog{kind};
    const int height = kind == FK_LOOP ? 280 : 180;
    d->dialog = CreaDialog(mainform, titles[kind], "effect", 300, height, 1, 0);
    XtAddCallback(d->dialog, XmNdestroyCallback, destroyed, d);
    CreaLabel(d->dialog, 20, 45, labels[kind]);
    char value[16];
    snprintf(value, sizeof value, "%i", kept_value[kind]);
    d->text = CreaText(d->dialog, 165, 40, 100, 35, value, 10, nullptr);
    if (kind == FK_LOOP) {
        Widget box = CreaRadioBox(d->dialog, 85, 105, XmVERTICAL);
        Widget saw = CreaToggle(box, "Saw tooth");
        d->flip = CreaToggle(box, "Flip flop");
        XmToggleButtonSetState(kept_loop_mode ? d->flip : saw, True, False);
    }
    Widget ok = CreaBottoneXYName(d->dialog, "OK", 53, height - 60, 70, 35, "OK");
    Widget cancel = CreaBottoneXYName(d->dialog, "Cancel", 176, height - 60, 70, 35, "Cancel");
    XtAddCallback(ok, XmNactivateCallback, ok_cb, d);
    XtAddCallback(cancel, XmNactivateCallback, cancel_cb, d);
    // The number can be typed at once; Return in the field acts as "OK".
    XtAddCallback(d->text, XmNactivateCallback, ok_cb, d);
    XtVaSetValues(d->dialog, XmNinitialFocus, d->text, NULL);
    XtManageChild(d->dialog);
    open_dialog = d;
}

} // namespace

#define FACTOR_COMMAND(name, kind)                                                                 \
    ORVA_COMMAND(name) {                                                                           \
        (void)w, (void)client_data, (void)call_data;                                               \
        open_factor_dialog(kind);                                                                  \
    }

FACTOR_COMMAND(SlowNewWin, FK_SLOWER)
FACTOR_COMMAND(FastNewWin, FK_FASTER)
FACTOR_COMMAND(StrobeNewWin, FK_STROBE)
FACTOR_COMMAND(LoopNewWin, FK_LOOP)
FACTOR_COMMAND(StillNewWin, FK_STILL)
