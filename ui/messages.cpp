// Message boxes: information (`PutCharMessage`, `PutMessage`), questions
// (`Warning`) and long-operation boxes with a stop button (`WaitMessage`).
//
// Information and question boxes move the pointer onto their default answer
// the first time they are exposed, so the user can answer with one click.
#include "ui/messages.h"

#include <Xm/MessageB.h>
#include <Xm/PushB.h>

#include "ui/globals.h"
#include "ui/icons.h"
#include "ui/widgets.h"

namespace {

// Data of one question box, freed with the box.
struct WarningData {
    Widget box;
    XtCallbackProc yes, no;
    XtPointer yes_data, no_data;
    bool destroy_on_answer; // parent is mainform
};

void destroy_box(Widget box) {
    Widget shell = XtParent(box);
    XtDestroyWidget(XtIsShell(shell) ? shell : box);
}

// Expose handler that moves the pointer to the middle of the button given as
// client data, once.
void warp_once(Widget box, XtPointer client, XEvent *ev, Boolean *) {
    if (ev->type != Expose) return;
    Widget btn = static_cast<Widget>(client);
    XtRemoveEventHandler(box, ExposureMask, False, warp_once, client);
    if (!btn || !XtIsManaged(btn)) return;
    Position x = 0, y = 0;
    Dimension w = 0, h = 0;
    XtVaGetValues(btn, XmNx, &x, XmNy, &y, XmNwidth, &w, XmNheight, &h, NULL);
    Position rx = 0, ry = 0;
    XtTranslateCoords(XtParent(btn), Position(x + w / 2), Position(y + h / 2), &rx, &ry);
    Display *dpy = XtDisplay(box);
    XWarpPointer(dpy, None, RootWindowOfScreen(XtScreen(box)), 0, 0, 0, 0, rx, ry);
}

void warp_on_expose(Widget box, Widget btn) {
    XtAddEventHandler(box, ExposureMask, False, warp_once, btn);
}

void warning_yes(Widget w, XtPointer client, XtPointer call) {
    auto *d = static_cast<WarningData *>(client);
    Widget box = d->box;
    bool destroy = d->destroy_on_answer;
    if (d->yes) d->yes(w, d->yes_data, call);
    if (destroy) destroy_box(box);
}

void warning_no(Widget w, XtPointer client, XtPointer call) {
    auto *d = static_cast<WarningData *>(client);
    Widget box = d->box;
    if (d->no) {
        bool destroy = d->destroy_on_answer;
        d->no(w, d->no_data, call);
        if (destroy) destroy_box(box);
    } else {
        destroy_box(box);
    }
}

void warning_cancel(Widget, XtPointer client, XtPointer) {
    destroy_box(static_cast<WarningData *>(client)->box);
}

void warning_free(Widget, XtPointer client, XtPointer) {
    delete static_cast<WarningData *>(client);
}

} // namespace

Widget PutMessage(Widget parent, XmString text) {
    if (!parent) parent = mainform;
    XmStr title("Warning"), ok("OK");
    Arg a[6];
    int n = 0;
    XtSetArg(a[n], XmNdialogStyle, XmDIALOG_FULL_APPLICATION_MODAL), n++;
    XtSetArg(a[n], XmNmessageString, text), n++;
    XtSetArg(a[n], XmNdialogTitle, XmString(title)), n++;
    XtSetArg(a[n], XmNokLabelString, XmString(ok)), n++;
    XtSetArg(a[n], XmNsymbolPixmap, GetErrorPixmap()), n++;
    Widget box = XmCreateMessageDialog(parent, const_cast<char *>("error"), a, n);
    XtUnmanageChild(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON));
    XtUnmanageChild(XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON));
    XtAddCallback(
        box, XmNokCallback, [](Widget w, XtPointer, XtPointer) { destroy_box(w); }, nullptr);
    warp_on_expose(box, XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON));
    XtManageChild(box);
    return box;
}

Widget PutCharMessage(Widget parent, const char *text) {
    XmStr s(text ? text : "");
    return PutMessage(parent, s);
}

Widget Warning(Widget parent, const char *text, XtCallbackProc yes, XtPointer yes_data,
               XtCallbackProc no, XtPointer no_data) {
    if (!parent) parent = mainform;
    // Without a no callback a non-zero no-data word makes it an error box.
    bool error = !no && no_data;
    XmStr msg(text ? text : ""), title(error ? "Error" : "Warning"), yes_l("  Yes  "),
        no_l("  No  "), cancel_l("Cancel");
    Arg a[9];
    int n = 0;
    XtSetArg(a[n], XmNdialogStyle, XmDIALOG_FULL_APPLICATION_MODAL), n++;
    XtSetArg(a[n], XmNmessageString, XmString(msg)), n++;
    XtSetArg(a[n], XmNdialogTitle, XmString(title)), n++;
    XtSetArg(a[n], XmNokLabelString, XmString(yes_l)), n++;
    XtSetArg(a[n], XmNcancelLabelString, XmString(no_l)), n++;
    XtSetArg(a[n], XmNhelpLabelString, XmString(cancel_l)), n++;
    XtSetArg(a[n], XmNsymbolPixmap, error ? GetErrorPixmap() : GetWarningPixmap()), n++;
    XtSetArg(a[n], XmNautoUnmanage, False), n++;
    Widget box =
        XmCreateMessageDialog(parent, const_cast<char *>(error ? "error" : "warning"), a, n);
    auto *d = new WarningData{box, yes, no, yes_data, no_data, parent == mainform};
    XtAddCallback(box, XmNdestroyCallback, warning_free, d);
    XtAddCallback(box, XmNokCallback, warning_yes, d);
    XtAddCallback(box, XmNcancelCallback, warning_no, d);
    Widget help = XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON);
    if (no) {
        XtAddCallback(box, XmNhelpCallback, warning_cancel, d);
        warp_on_expose(box, help);
    } else {
        XtUnmanageChild(help);
        warp_on_expose(box, XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON));
    }
    XBell(XtDisplay(box), -70); // 30% of the base volume
    XtManageChild(box);
    return box;
}

Widget WaitMessage(Widget parent, const char *title, const char *text, const char *label,
                   XtCallbackProc cb, XtPointer data, int spare, int bell) {
    (void)spare;
    if (!parent) parent = mainform;
    XmStr msg(text ? text : ""), t(title ? title : ""), l(label ? label : "Stop");
    Arg a[6];
    int n = 0;
    XtSetArg(a[n], XmNdialogStyle, XmDIALOG_MODELESS), n++;
    XtSetArg(a[n], XmNmessageString, XmString(msg)), n++;
    XtSetArg(a[n], XmNdialogTitle, XmString(t)), n++;
    XtSetArg(a[n], XmNokLabelString, XmString(l)), n++;
    XtSetArg(a[n], XmNsymbolPixmap, GetWarningPixmap()), n++;
    XtSetArg(a[n], XmNautoUnmanage, False), n++;
    Widget box = XmCreateMessageDialog(parent, const_cast<char *>("warning"), a, n);
    XtUnmanageChild(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON));
    XtUnmanageChild(XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON));
    if (cb) XtAddCallback(box, XmNokCallback, cb, data);
    if (bell) XBell(XtDisplay(box), 0);
    XtManageChild(box);
    return box;
}

void cancel_p(Widget, XtPointer client_data, XtPointer) {
    if (client_data) XtDestroyWidget(static_cast<Widget>(client_data));
}
