// EXPORT > "Custom ...": the "Standalone Fx" dialog over the effect database,
// the start of the custom effect job (type 3) with the window of the clip it
// makes, and its end: the results imported into that window by an import
// job, or the window closed when the effect failed or was stopped.
#include <Xm/List.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "database/db_export.h"
#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/clip_window.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/export_commands.h"
#include "desktop/globals.h"
#include "desktop/import_dialog.h"
#include "desktop/processes.h"
#include "desktop/standalone_fx.h"
#include "editing/clip_names.h"
#include "editing/clip_records.h"
#include "editing/custom_fx.h"
#include "editing/custom_process.h"
#include "editing/derived_window.h"
#include "editing/export.h"
#include "editing/import.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"

namespace {

const char *const format_labels[FX_FORMATS] = {"Korvendal", "Targa", "SGI", "YUV"};

// The open dialog (one at a time).
struct StlnState {
    Widget dialog = nullptr, list = nullptr, command = nullptr, parameters = nullptr;
    Widget formats[FX_FORMATS] = {}, svj = nullptr, quality = nullptr;
    std::vector<FxEffect> effects;
    FxCommand command_of_selection;
    std::string syntax; // the selected effect's grammar error
    bool selected = false;
};
StlnState *open_state = nullptr;

// The command of the effect chosen by the last OK, for the export it opens.
FxCommand chosen_command;

void say(Widget on, const std::string &text) {
    PutCharMessage(on, text.c_str());
}

void destroyed(Widget, XtPointer client, XtPointer) {
    auto *s = static_cast<StlnState *>(client);
    if (open_state == s) open_state = nullptr;
    delete s;
}

void close_dialog(StlnState *s) {
    if (s && s->dialog) XtDestroyWidget(XtParent(s->dialog));
}

void select_cb(Widget, XtPointer client, XtPointer call) {
    auto *cb = static_cast<XmListCallbackStruct *>(call);
    char *name = nullptr;
    if (cb && cb->item)
        name = static_cast<char *>(XmStringUnparse(cb->item, nullptr, XmCHARSET_TEXT,
                                                   XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
    StlnSelectEffect(static_cast<StlnState *>(client)->dialog, name ? name : "");
    XtFree(name);
}

void ok_cb(Widget, XtPointer, XtPointer) {
    StlnOK();
}

void cancel_cb(Widget, XtPointer client, XtPointer) {
    close_dialog(static_cast<StlnState *>(client));
}

std::string text_of(Widget w) {
    char *t = w ? XmTextGetString(w) : nullptr;
    std::string s = t ? t : "";
    XtFree(t);
    return s;
}

int selected_desktop_windows() {
    int n = 0;
    for (WindowData *w = first_work; w; w = w->next)
        if (w->selected && w->seg_first) n++;
    return n;
}

// Process table hooks of job type 3.
void set_entry(int entry, void *data) {
    auto *job = static_cast<StlnJob *>(data);
    if (!job) return;
    job->status = &pidData[entry].status;
    job->progress = &pidData[entry].progress;
    pidData[entry].job_data = job;
}

void job_body(void *data) {
    StlnEffectProcess(data);
}

StlnJob *job_of(int entry) {
    return static_cast<StlnJob *>(pidData[entry].job_data);
}

bool succeeded(int status) {
    return status != FX_FAILED && status != FX_NO_RESULT && status != STATUS_STOPPED;
}

void free_data(int entry) {
    StlnJob *job = job_of(entry);
    Free_Fake(job, succeeded(pidData[entry].status.load()));
    StlnFreeExportData(job);
}

// The end of a failed or stopped effect: no clip, so its window goes (when
// the user has not closed it meanwhile) with the job's records.
void finish(int entry, int) {
    StlnJob *job = job_of(entry);
    pidData[entry].job_data = nullptr;
    WindowData *win = pidData[entry].window.exchange(nullptr);
    if (win && WindowListed(win)) CloseOK(0, 0, win, 0, 1);
    StlnFreeJob(job);
}

void succeed(int entry, int) {
    StlnImportFileOK(entry);
}

} // namespace

void StlnDialog() {
    std::string path, message;
    if (!FxDatabasePath(path, message)) return say(mainform, message);
    auto *s = new StlnState;
    std::vector<std::string> messages;
    if (!FxReadDatabase(path, s->effects, messages)) {
        delete s;
        for (const std::string &m : messages)
            say(mainform, m);
        return;
    }
    if (open_state) close_dialog(open_state);
    open_state = s;
    const int W = 400, H = 580;
    s->dialog = CreaDialog(mainform, "Standalone Fx", "standaloneFx", W, H, 1, 0);
    XtAddCallback(s->dialog, XmNdestroyCallback, destroyed, s);
    Arg a[4];
    int na = 0;
    XtSetArg(a[na], XmNvisibleItemCount, 10), na++;
    XtSetArg(a[na], XmNselectionPolicy, XmBROWSE_SELECT), na++;
    s->list = XmCreateScrolledList(s->dialog, const_cast<char *>("list"), a, Cardinal(na));
    XtVaSetValues(XtParent(s->list), XmNx, 0, XmNy, 0, XmNwidth, W, NULL);
    for (const FxEffect &e : s->effects) {
        XmString item = XmStringCreateLocalized(const_cast<char *>(e.name.c_str()));
        XmListAddItemUnselected(s->list, item, 0);
        XmStringFree(item);
    }
    XtAddCallback(s->list, XmNbrowseSelectionCallback, select_cb, s);
    XtAddCallback(s->list, XmNsingleSelectionCallback, select_cb, s);
    XtManageChild(s->list);
    for (int y : {200, 320, 505})
        CreaSeparator(s->dialog, 0, y, W);
    CreaLabel(s->dialog, 5, 220, "Command");
    Widget frame = CreaFrame(s->dialog, 130, 216, 250, 30, 0);
    s->command = CreaLabelName(frame, -1, -1, 244, 24, " ", "command");
    CreaLabel(s->dialog, 5, 270, "Parameters");
    s->parameters = CreaText(s->dialog, 123, 265, 257, 40, "", 100, "parameters");
    Widget box = CreaRadioBox(s->dialog, 30, 340, XmVERTICAL);
    for (int f = 0; f < FX_FORMATS; f++) {
        s->formats[f] = CreaToggle(box, format_labels[f]);
        XmToggleButtonSetState(s->formats[f], f == ext_fx, False);
    }
    s->svj = CreaToggleXY(s->dialog, "Write SVJ", 200, 345);
    XmToggleButtonSetState(s->svj, svj_fx != 0, False);
    char q[16];
    std::snprintf(q, sizeof q, "%d", qual_fx);
    s->quality = CreaText(s->dialog, 320, 340, 60, 35, q, 3, "quality");
    Widget ok = CreaBottoneXYName(s->dialog, "OK", 86, 525, 70, 35, "OK");
    Widget cancel = CreaBottoneXYName(s->dialog, "Cancel", 243, 525, 70, 35, "Cancel");
    XtAddCallback(ok, XmNactivateCallback, ok_cb, s);
    XtAddCallback(cancel, XmNactivateCallback, cancel_cb, s);
    XtManageChild(s->dialog);
    for (const std::string &m : messages)
        say(s->dialog, m);
}

void StlnSelectEffect(Widget, const char *name) {
    StlnState *s = open_state;
    if (!s) return;
    std::string parameters, message;
    s->selected = StlnSelectCommand(s->effects, name ? name : "", s->command_of_selection,
                                    parameters, message);
    s->syntax = s->selected ? message : "";
    LabelSetString(s->command, s->command_of_selection.command.c_str());
    XmTextSetString(s->parameters, const_cast<char *>(parameters.c_str()));
    if (!message.empty()) say(s->dialog, message);
}

void StlnOK() {
    StlnState *s = open_state;
    if (!s || !s->selected) return;
    if (s->command_of_selection.type == 0) return say(s->dialog, s->syntax);
    if (!export_window || !WindowListed(export_window)) return say(s->dialog, "No clip selected");
    for (int f = 0; f < FX_FORMATS; f++)
        if (XmToggleButtonGetState(s->formats[f])) ext_fx = f;
    qual_fx = std::atoi(text_of(s->quality).c_str());
    svj_fx = XmToggleButtonGetState(s->svj) ? 1 : 0;
    FxCommand cmd = s->command_of_selection;
    std::string message;
    if (!StlnParseParameters(text_of(s->parameters), cmd, message)) return say(s->dialog, message);
    chosen_command = cmd;
    const int frames = export_window->total;
    close_dialog(s);
    DbSelectExport(frames, svj_fx ? EXPORT_KIND_FX_REEL : EXPORT_KIND_FX_PICS);
}

int StlnExportFile(ExportData *data) {
    std::unique_ptr<char, decltype(&free)> db(DbGetDir(1), free);
    std::string message;
    StlnJob *job = StlnPrepare(data, chosen_command, ext_fx, qual_fx, db_image_dir,
                               db ? db.get() : "", message);
    if (!job) {
        say(mainform, message);
        return -1;
    }
    auto give_up = [&](const char *text) {
        Free_Fake(job, false);
        if (job->import) ImportAbandon(*job->import);
        StlnFreeJob(job);
        say(mainform, text);
        return -1;
    };
    if (selected_desktop_windows() > 1)
        return give_up("Command grammar requires only 1 clip selected");
    if (num_sproc >= GENERAL_SPROC) return give_up("Too many running processes.\nTry again later.");
    const int entry = Sproc(job_body, job, JOB_CUSTOM);
    if (entry < 0) return give_up("Error in export process.");
    PidData &p = pidData[entry];
    const ImportData &d = *job->import;
    std::string shown = job->reel;
    if (!job->svj) {
        char buf[1400];
        std::snprintf(buf, sizeof buf, warning_num_format[d.format_num], d.in_basename.c_str(), "",
                      imp_format[d.ext_num]);
        shown = buf;
    }
    p.output = shown;
    std::string file = job->svj ? job->reel : job->out_base;
    const std::string title = " EF(" + std::string(GetName(file.data())) + ")";
    const int frames =
        int((int64_t(job->import->end) - job->import->start) / job->import->step + 1);
    AddWindowData(nullptr, entry, strdup(title.c_str()), frames);
    WindowData *win = last_window;
    if (win->progress_label) LabelSetString(win->progress_label, "EFFECT IN\nPROGRESS");
    SetFrameColor(win, long(BUSY_YEL));
    p.window = win;
    return entry;
}

void StlnImportFileOK(int entry) {
    StlnJob *job = job_of(entry);
    pidData[entry].job_data = nullptr;
    WindowData *win = pidData[entry].window.exchange(nullptr);
    if (!job) return;
    ImportData &d = *job->import;
    if (!win || !WindowListed(win)) {
        // The window was closed meanwhile: nothing takes the results.
        if (d.svj) StlnRemoveResults(d);
        StlnFreeJob(job);
        return;
    }
    std::string message;
    if (!StlnImportReady(d, message)) {
        if (d.svj) StlnRemoveResults(d);
        StlnFreeJob(job);
        CloseOK(0, 0, win, 0, 1);
        say(mainform, message);
        return;
    }
    ImportJob *import = NewImportJob();
    StlnCopyImport(d, ImportJobData(import));
    const bool svj = d.svj != 0;
    StlnFreeJob(job);
    if (StartImportInWindow(import, win, svj ? StlnImportWrite : nullptr) < 0) {
        CloseOK(0, 0, win, 0, 1);
        say(mainform, "Error in effect import process.");
    }
}

void InstallCustomHooks() {
    job_type_hooks[JOB_CUSTOM].set_entry = set_entry;
    job_type_hooks[JOB_CUSTOM].free_data = free_data;
    job_type_hooks[JOB_CUSTOM].finish = finish;
    job_type_hooks[JOB_CUSTOM].succeed = succeed;
}

ORVA_COMMAND(StlnExport) {
    (void)w, (void)client_data, (void)call_data;
    if (isPlayActive) return;
    const int n = CountSelected();
    if (n > 1) return say(mainform, "More than one clip selected");
    if (n < 0) return say(mainform, "Cannot work on clips in progress");
    if (n == 0 || !SetExportWindow()) return say(mainform, "No clip selected");
    StlnDialog();
}
