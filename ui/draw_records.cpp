// Release of the text draw records Motif keeps per window (see the header).
//
// Motif's table has no public interface. libXm.so.4, built with Xft, exports
// the two functions that manage it without declaring them in its installed
// headers:
//   _XmXftDrawCreate(display, window)  returns the window's record, creating
//                                      and entering it when there is none;
//   _XmXftDrawDestroy(display, window, record)
//                                      removes the entry (its slot is reused)
//                                      and destroys the record.
// They are declared here as weak symbols: a libXm built without Xft has
// neither and keeps no such table, and then there is nothing to release.
// Looking a record up through _XmXftDrawCreate creates one for a window that
// never drew text; destroying it right away costs a small allocation and no
// request to the server.
#include "ui/draw_records.h"

#include <X11/IntrinsicP.h>

#include <vector>

extern "C" {
void *_XmXftDrawCreate(Display *display, Window window) __attribute__((weak));
void _XmXftDrawDestroy(Display *display, Window window, void *draw) __attribute__((weak));
}

namespace {

long released = 0;

void collect(Widget w, std::vector<Window> &windows) {
    if (!w || !XtIsWidget(w)) return; // gadgets draw in their parent's window
    if (XtIsRealized(w) && XtWindow(w) != None) windows.push_back(XtWindow(w));
    if (XtIsComposite(w)) {
        WidgetList children = nullptr;
        Cardinal count = 0;
        XtVaGetValues(w, XtNchildren, &children, XtNnumChildren, &count, NULL);
        for (Cardinal i = 0; i < count; i++)
            collect(children[i], windows);
    }
    for (Cardinal i = 0; i < w->core.num_popups; i++)
        collect(w->core.popup_list[i], windows);
}

void release_cb(Widget w, XtPointer, XtPointer) {
    ReleaseDrawRecords(w);
}

} // namespace

void ReleaseDrawRecords(Widget root) {
    if (!root || !_XmXftDrawCreate || !_XmXftDrawDestroy) return;
    std::vector<Window> windows;
    collect(root, windows);
    Display *display = XtDisplayOfObject(root);
    for (Window win : windows) {
        if (void *draw = _XmXftDrawCreate(display, win)) {
            _XmXftDrawDestroy(display, win, draw);
            released++;
        }
    }
}

void ReleaseDrawRecordsOnDestroy(Widget root) {
    if (root) XtAddCallback(root, XmNdestroyCallback, release_cb, nullptr);
}

long DrawRecordsReleased() {
    return released;
}
