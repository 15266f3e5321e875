// The "Running processes" dialog of TOOLS > "Processes ..." and of QUIT while
// jobs run: lists the running jobs and stops the chosen ones.
#include <Xm/List.h>
#include <Xm/Xm.h>

#include <vector>

#include "desktop/commands.h"
#include "desktop/exit.h"
#include "desktop/globals.h"
#include "ui/messages.h"
#include "desktop/processes.h"
#include "ui/widgets.h"

namespace {

struct ProcDialog {
    Widget dialog;
    Widget list;
};

void close_dialog(ProcDialog *d) {
    XtDestroyWidget(XtParent(d->dialog));
}

// Marks the jobs of the selected rows after clearing the marks of entries
// 0..5. Returns false, leaving the marks alone, when no row is selected.
bool mark_selected(ProcDialog *d) {
    int *pos = nullptr, count = 0;
    if (!XmListGetSelectedPos(d->list, &pos, &count) || count == 0) {
        PutCharMessage(d->dialog, "No item selected");
        return false;
    }
    ClearKillMarks();
    for (int i = 0; i < count; i++)
        MarkProcessRow(pos[i]);
    XtFree(reinterpret_cast<char *>(pos));
    return true;
}

void kill_all(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<ProcDialog *>(client);
    StopMarkedProcesses();
    close_dialog(d);
}

void kill_sel(Widget w, XtPointer client, XtPointer call) {
    if (mark_selected(static_cast<ProcDialog *>(client))) kill_all(w, client, call);
}

void exit_all(Widget, XtPointer client, XtPointer) {
    close_dialog(static_cast<ProcDialog *>(client));
    ExitProgram();
}

void exit_sel(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<ProcDialog *>(client);
    if (!mark_selected(d)) return;
    close_dialog(d);
    ExitProgram();
}

void exit_none(Widget, XtPointer client, XtPointer) {
    ClearKillMarks();
    close_dialog(static_cast<ProcDialog *>(client));
    ExitProgram();
}

void cancel(Widget, XtPointer client, XtPointer) {
    close_dialog(static_cast<ProcDialog *>(client));
}

void free_dialog(Widget, XtPointer client, XtPointer) {
    delete static_cast<ProcDialog *>(client);
}

struct Button {
    const char *label;
    XtCallbackProc cb;
};

void show_dialog(const char *text, const std::vector<Button> &buttons) {
    auto *d = new ProcDialog{};
    d->dialog = CreaDialog(mainform, "Running processes", nullptr, 400, 300, 1, 1);
    XtAddCallback(d->dialog, XmNdestroyCallback, free_dialog, d);
    CreaLabelName(d->dialog, 10, 10, 380, 40, text, "label");
    XtVaSetValues(XtNameToWidget(d->dialog, "label"), XmNalignment, XmALIGNMENT_BEGINNING, NULL);
    Arg a[2];
    XtSetArg(a[0], XmNvisibleItemCount, 6);
    XtSetArg(a[1], XmNselectionPolicy, XmMULTIPLE_SELECT);
    d->list = XmCreateScrolledList(d->dialog, const_cast<char *>("list"), a, 2);
    XtVaSetValues(XtParent(d->list), XmNx, 10, XmNy, 55, XmNwidth, 380, XmNheight, 180, NULL);
    for (const std::string &row : RunningProcessList()) {
        XmStr s(row.c_str());
        XmListAddItemUnselected(d->list, s, 0);
    }
    XtManageChild(d->list);
    int n = int(buttons.size()), w = 85, gap = (400 - n * w) / (n + 1);
    for (int i = 0; i < n; i++) {
        Widget b =
            CreaBottoneXY(d->dialog, buttons[size_t(i)].label, gap + i * (w + gap), 250, w, 35);
        XtAddCallback(b, XmNactivateCallback, buttons[size_t(i)].cb, d);
    }
    XtManageChild(d->dialog);
}

void confirm_exit(Widget, XtPointer, XtPointer) {
    ExitProgram();
}

} // namespace

void editProc(Widget, XtPointer, XtPointer) {
    if (isPlayActive) return;
    if (!ProcessesRunning()) {
        PutCharMessage(mainform, "No process running");
        return;
    }
    show_dialog("   Select the processes you want to stop:",
                {{"Kill all", kill_all}, {"Kill sel.", kill_sel}, {"Cancel", cancel}});
}

void editExit(Widget, XtPointer, XtPointer) {
    if (!ProcessesRunning()) {
        Warning(mainform, "Are you sure?", confirm_exit, nullptr, nullptr, nullptr);
        return;
    }
    show_dialog("   The following processes are still running.\n"
                "   Select the ones you want to stop:",
                {{"Kill all", exit_all},
                 {"Kill sel.", exit_sel},
                 {"Kill none", exit_none},
                 {"Cancel", cancel}});
}
