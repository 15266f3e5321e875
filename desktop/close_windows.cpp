// Closing clip windows: the three "Clear desktop" commands with their
// questions, the check for jobs still working on the windows, and CloseOK,
// which unlists the windows, detaches or stops their jobs and releases them.
//
// A window can close while handlers of the event being dispatched still
// hold it (the button-1 press that closes an armed picture also reaches the
// picture's press handler; an end routine can close the window being
// dragged). Its widgets and segments go at once, but the record is freed
// only after the event, and handlers check WindowListed first.
#include <Xm/Xm.h>

#include <cstdint>
#include <vector>

#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "desktop/zoom_view.h"
#include "platform/sem.h"
#include "ui/messages.h"

namespace {

std::vector<WindowData *> closed; // released windows whose records wait to be freed
bool free_pending = false;

void free_closed_timer(XtPointer, XtIntervalId *) {
    free_pending = false;
    FreeClosedWindows();
}

bool works_on(const PidData &p, const WindowData *win) {
    return p.pid.load() > 0 && p.type >= JOB_IMPORT && p.type <= JOB_EFFECT &&
           p.window.load() == win;
}

// Whether CloseOK(master, all, single) closes win.
bool closes(const WindowData *win, int master, int all, const WindowData *single) {
    if (single) return win == single;
    if (win->master) return master != 0;
    return all || (!master && win->selected);
}

// The arguments of a close carried through a question's callbacks.
XtPointer pack(int master, int all) {
    return reinterpret_cast<XtPointer>(intptr_t(master) | intptr_t(all) << 1);
}
void unpack(XtPointer p, int *master, int *all) {
    const intptr_t v = reinterpret_cast<intptr_t>(p);
    *master = int(v & 1);
    *all = int((v >> 1) & 1);
}

void close_and_stop(Widget, XtPointer client, XtPointer) {
    int master, all;
    unpack(client, &master, &all);
    CloseOK(master, all, nullptr, 1, 0);
}
void close_and_keep(Widget, XtPointer client, XtPointer) {
    int master, all;
    unpack(client, &master, &all);
    CloseOK(master, all, nullptr, 0, 0);
}

// Closes at once, or first asks whether the jobs on the windows stop.
void confirm_close(int master, int all) {
    if (ClosingImpExpWindows(master, all, nullptr))
        Warning(mainform,
                "One or more clips have\nimport, export or effect\nprocesses in progress. Do\n"
                "you want to stop them?",
                close_and_stop, pack(master, all), close_and_keep, pack(master, all));
    else
        CloseOK(master, all, nullptr, 0, 0);
}

// "  Yes  " of the closing questions: "Save work", whose save closes the
// windows only once the work file is written.
void save_all_then_close(Widget, XtPointer, XtPointer) {
    DbSaveWorkAnyway(DbDoSaveWorkAllAndClear);
}
void save_happy_then_close(Widget, XtPointer, XtPointer) {
    DbSaveWorkAnyway(DbDoSaveWorkHappyAndClear);
}
void save_selected_then_close(Widget, XtPointer, XtPointer) {
    DbSaveWorkAnyway(DbDoSaveWorkSelectedAndClear);
}

void ask(const char *text, XtCallbackProc yes, XtCallbackProc no) {
    Warning(mainform, text, yes, nullptr, no, nullptr);
}

} // namespace

int WindowListed(const WindowData *win) {
    if (!win) return 0;
    if (win == summa_window) return 1;
    for (WindowData *w = first_window; w; w = w->next)
        if (w == win) return 1;
    return 0;
}

int ClosingImpExpWindows(int master, int all, WindowData *single) {
    for (WindowData *w = first_window; w; w = w->next) {
        if (!closes(w, master, all, single)) continue;
        if (!w->seg_first) return 1;
        for (const PidData &p : pidData)
            if (works_on(p, w)) return 1;
    }
    return 0;
}

void CloseOK(int master, int all, WindowData *single, int stop, int keep_places) {
    // The frames leave their areas' layout together first: an area lays out
    // its children again for each one that goes.
    for (Widget area : {workform, happyform}) {
        std::vector<Widget> frames;
        for (WindowData *w = first_window; w; w = w->next)
            if (w->frame && XtParent(w->frame) == area && closes(w, master, all, single))
                frames.push_back(w->frame);
        if (frames.size() > 1) XtUnmanageChildren(frames.data(), Cardinal(frames.size()));
    }
    bool closed_master = false;
    WindowData **link = &first_window;
    while (WindowData *w = *link) {
        if (!closes(w, master, all, single)) {
            link = &w->next;
            continue;
        }
        *link = w->next;
        if (first_work == w) first_work = w->next;
        if (DraggedWindow() == w) CancelDrag();
        if (ZoomWindow() == w) ZoomClose();
        for (int i = 0; i < MAX_SPROC; i++) {
            PidData &p = pidData[i];
            if (!works_on(p, w)) continue;
            if (p.type == JOB_IMPORT) p.slot = -1; // its progress display stops
            p.window = nullptr;
            if (stop) StopProcess(i);
        }
        if (w->master) closed_master = true;
        FreeWindowData(w, 0);
        w->next = nullptr;
        closed.push_back(w);
    }
    last_window = nullptr;
    for (WindowData *w = first_window; w; w = w->next)
        last_window = w;
    if (!closed.empty() && !free_pending && app) {
        free_pending = true;
        XtAppAddTimeOut(app, 0, free_closed_timer, nullptr);
    }
    if (!keep_places) {
        RepositionWindows();
        if (closed_master) UpdateSummaWindow();
    }
    SemSet(1, 0); // wake the log converter: clips may have lost their last user
}

void FreeClosedWindows() {
    std::vector<WindowData *> list;
    list.swap(closed);
    for (WindowData *w : list)
        delete w;
}

void CloseSelOK(Widget, XtPointer, XtPointer) {
    confirm_close(0, 0);
}
void ClearHappyOK(Widget, XtPointer, XtPointer) {
    confirm_close(1, 0);
}
void CloseAllOK(Widget, XtPointer, XtPointer) {
    confirm_close(1, 1);
}

ORVA_COMMAND(CloseSel) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    bool any = false;
    for (WindowData *win = first_work; win && !any; win = win->next)
        any = win->selected != 0;
    if (!any) {
        PutCharMessage(mainform, "No clip selected");
        return;
    }
    ask("Save selected clips in a work\nfile before clearing?", save_selected_then_close,
        CloseSelOK);
}

ORVA_COMMAND(ClearHappy) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    if (!first_window || first_window == first_work) {
        PutCharMessage(mainform, "No clips in master area");
        return;
    }
    ask("Save master area in a work\nfile before clearing?", save_happy_then_close, ClearHappyOK);
}

ORVA_COMMAND(CloseAll) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    if (!first_window) {
        PutCharMessage(mainform, "No clips in desktop");
        return;
    }
    ask("Save desktop in a work\nfile before clearing?", save_all_then_close, CloseAllOK);
}
