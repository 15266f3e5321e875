// The export commands of the menus (EXPORT and SAVE > "Reel"): the window
// they work on, the export dialog, and the export job of type 2 with its
// process-table entry and end routine.
#include "desktop/export_commands.h"

#include <cstdio>

#include "database/db_export.h"
#include "desktop/clip_window.h"
#include "desktop/commands.h"
#include "desktop/globals.h"
#include "desktop/processes.h"
#include "desktop/standalone_fx.h"
#include "editing/clip_records.h"
#include "editing/derived_window.h"
#include "editing/export.h"
#include "ui/messages.h"

namespace {

void say(const char *text) {
    PutCharMessage(mainform, text);
}

// The job: the export's body, its status handed to the process table.
void export_job(void *data) {
    auto *d = static_cast<ExportData *>(data);
    ExportProcess(d);
    const int entry = SprocSelf();
    if (entry >= 0) pidData[entry].status = d->status.load();
}

void free_data(int entry) {
    FreeExportData(static_cast<ExportData *>(pidData[entry].job_data));
    pidData[entry].job_data = nullptr;
}

bool window_open(const WindowData *win) {
    if (win && win == summa_window) return true;
    for (WindowData *w = first_window; w; w = w->next)
        if (w == win) return true;
    return false;
}

// RestoreFrameColor on the window the export worked on, when it is still
// open (it may have been closed while the job ran), and on the summa window.
void finish(int entry, int) {
    WindowData *win = pidData[entry].window.exchange(nullptr);
    if (win && window_open(win)) RestoreFrameColor(win);
    if (!win && summa_window) RestoreFrameColor(summa_window);
}

bool written_by_job(const char *path) {
    for (int i = 0; i < GENERAL_SPROC; i++)
        if (pidData[i].pid.load() > 0 && pidData[i].type != JOB_CONVERT &&
            pidData[i].output == path)
            return true;
    return false;
}

int start_export(ExportData *data) {
    // Kinds 4 and 5 are custom effects: their job is of its own type.
    if (data->kind == EXPORT_KIND_FX_REEL || data->kind == EXPORT_KIND_FX_PICS)
        return StlnExportFile(data);
    if (num_sproc >= GENERAL_SPROC) {
        FreeExportData(data);
        say("Too many running processes.\nTry again later.");
        return -1;
    }
    const int entry = Sproc(export_job, data, JOB_EXPORT);
    if (entry < 0) {
        FreeExportData(data);
        say("Error in export process.");
        return -1;
    }
    // The entry is read by the end routine, which runs in this thread later.
    pidData[entry].job_data = data;
    pidData[entry].output = data->path;
    pidData[entry].window = data->window;
    WindowData *win = data->window ? data->window : summa_window;
    if (win && window_open(win)) RestoreFrameColor(win);
    return 0;
}

// The selected-window variants.
void export_selected(int kind) {
    if (isPlayActive) return;
    const int n = CountSelected();
    if (n > 1) return say("More than one clip selected");
    if (n < 0) return say("Cannot work on clips in progress");
    if (n == 0 || !SetExportWindow()) return say("No clip selected");
    DbSelectExport(export_window->total, kind);
}

void export_master(int kind) {
    if (isPlayActive) return;
    if (!summa_window) return say("No clips in master area");
    export_window = summa_window;
    DbSelectExport(summa_window->total, kind);
}

} // namespace

WindowData *SetExportWindow() {
    export_window = nullptr;
    for (WindowData *w = first_work; w; w = w->next)
        if (w->selected) {
            export_window = w;
            break;
        }
    return export_window;
}

void InstallExportHooks() {
    job_type_hooks[JOB_EXPORT].free_data = free_data;
    job_type_hooks[JOB_EXPORT].finish = finish;
    DbExportStartHook = start_export;
    ExportPathWrittenHook = written_by_job;
}

ORVA_COMMAND(ExportSvj) {
    (void)w, (void)client_data, (void)call_data;
    export_selected(EXPORT_KIND_REEL);
}

ORVA_COMMAND(ExportImg) {
    (void)w, (void)client_data, (void)call_data;
    export_selected(EXPORT_KIND_PICTURES);
}

ORVA_COMMAND(MasterExportSvj) {
    (void)w, (void)client_data, (void)call_data;
    export_master(EXPORT_KIND_REEL);
}

ORVA_COMMAND(MasterExportImg) {
    (void)w, (void)client_data, (void)call_data;
    export_master(EXPORT_KIND_PICTURES);
}

ORVA_COMMAND(ExportMovie) {
    (void)w, (void)client_data, (void)call_data;
    export_selected(EXPORT_KIND_MOVIE);
}

ORVA_COMMAND(MasterExportMovie) {
    (void)w, (void)client_data, (void)call_data;
    export_master(EXPORT_KIND_MOVIE);
}
