// IMPORT > "System ...": the import dialog over the image directory (the
// sequences and files of db_image_dir with Start, End, Step, "Write SVJ",
// "Quality:" and "JPEG fields"), the reel-name dialog of its reel branch,
// the start of the import job with its window on the desktop, and the end
// routine that turns the finished job into a clip.
#include <Xm/List.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "database/db_browser.h"
#include "database/db_dialog.h"
#include "database/db_files.h"
#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/clip_open.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "desktop/import_dialog.h"
#include "desktop/preview_window.h"
#include "desktop/processes.h"
#include "editing/clip_names.h"
#include "editing/image_seq.h"
#include "editing/import.h"
#include "editing/import_movie.h"
#include "platform/sem.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"

// A job and the window it works for.
struct ImportJob {
    ImportData data;
    WindowData *window = nullptr;
};

namespace {

// The fields of the open import dialog (one at a time: it is modal).
struct ImportFields {
    DbDialog *dialog = nullptr;
    Widget start = nullptr, end = nullptr, step = nullptr, quality = nullptr;
    Widget svj = nullptr, fields = nullptr;
};
ImportFields fields_of_dialog;
int kept_step = 1;
// First and last number of each line of the open dialog's list.
std::vector<std::pair<int, int>> list_ranges;

// What the reel-name dialog imports once a name is given.
struct PendingImport {
    std::string source;
    int start = 1, end = 1, step = 1, quality = 85, fields = 0;
    int mode = 0; // 0 files on disk; remote: 1 (image clip) or 2 (reel)
};
PendingImport pending;

int text_number(Widget w, int fallback) {
    if (!w) return fallback;
    char *s = XmTextGetString(w);
    char *end = nullptr;
    const long v = strtol(s, &end, 10);
    const bool ok = end != s;
    XtFree(s);
    if (!ok) return fallback;
    return v < -1000000000L ? -1000000000 : v > 1000000000L ? 1000000000 : int(v);
}

void set_number(Widget w, int v) {
    char buf[32];
    snprintf(buf, sizeof buf, "%i", v);
    XmTextSetString(w, buf);
}

int list_sequences(DbDialog *d) {
    std::vector<ImportSeq> seqs;
    if (ImportFileSearch(db_browse_dir, seqs) < 0) return -1;
    ImportMovieSearch(db_browse_dir, seqs); // movies follow as plain files
    DbClearItems(d);
    list_ranges.clear();
    for (const ImportSeq &s : seqs) {
        DbAddItem(d, s.shown, s.shown.c_str());
        list_ranges.emplace_back(s.first, s.last);
    }
    if (d->list) XtVaSetValues(d->list, XmNitems, d->items.data(), XmNitemCount, d->count, NULL);
    if (d->label) LabelSetString(d->label, DbDirLabelText(db_browse_dir, d->label_chars).c_str());
    return 0;
}

// The chosen line of the import dialog, or "", with its first and last number.
std::string chosen_line(DbDialog *d, int *first = nullptr, int *last = nullptr) {
    int *pos = nullptr, n = 0;
    if (!d->list || !XmListGetSelectedPos(d->list, &pos, &n) || n < 1) return "";
    const int i = pos[0] - 1;
    XtFree(reinterpret_cast<char *>(pos));
    if (i < 0 || i >= int(d->names.size())) return "";
    if (first && last) {
        *first = *last = 1;
        if (i < int(list_ranges.size())) {
            *first = list_ranges[size_t(i)].first;
            *last = list_ranges[size_t(i)].second;
        }
    }
    return d->names[size_t(i)];
}

void select_cb(Widget, XtPointer, XtPointer) {
    ImportFields &f = fields_of_dialog;
    if (!f.dialog) return;
    int first, last;
    if (!chosen_line(f.dialog, &first, &last).empty()) ImportSetStartEnd(first, last);
}

void fit_yes(Widget, XtPointer client, XtPointer) {
    auto *job = static_cast<ImportJob *>(client);
    ImportSetFit(job->data);
    StartImport(mainform, job);
}
void fit_no(Widget, XtPointer client, XtPointer) {
    auto *job = static_cast<ImportJob *>(client);
    ImportAbandon(job->data);
    delete job;
}

void start_import(const std::string &reel) {
    auto *job = new ImportJob;
    ImportData &d = job->data;
    d.start = pending.start;
    d.end = pending.end;
    d.step = pending.step;
    d.quality = pending.quality;
    std::unique_ptr<char, decltype(&free)> dir(DbGetDir(1), free);
    const int mode = pending.mode == 0 ? 0 : reel.empty() ? 1 : 2;
    ImportFile(job, pending.source, reel, dir ? dir.get() : "", mode, pending.fields);
}

// OK of the reel-name dialog: the reel in SVJ/ named by the text field.
void reel_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    char *typed = d->text ? XmTextGetString(d->text) : XtNewString("");
    std::string name = typed;
    XtFree(typed);
    name = GetName(name.data());
    if (name.empty()) {
        PutCharMessage(d->dialog, "Type or select a name");
        return;
    }
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".svj") != 0) name += ".svj";
    const std::string reel = DbDialogDir(DB_SVJ) + name;
    DbListFree(d);
    struct stat st;
    if (lstat(reel.c_str(), &st) != 0) {
        start_import(reel);
        return;
    }
    if (S_ISDIR(st.st_mode)) return;
    if (ReelInUse(reel.c_str())) {
        PutCharMessage(mainform, "One or more files are in\nuse, cannot remove them.");
        return;
    }
    static std::string overwrite;
    overwrite = reel;
    Warning(
        mainform, "File exists. Overwrite?",
        [](Widget, XtPointer, XtPointer) {
            // Still unused: the answer may come after a clip was opened.
            if (ReelInUse(overwrite.c_str())) {
                PutCharMessage(mainform, "One or more files are in\nuse, cannot remove them.");
                return;
            }
            unlink(overwrite.c_str());
            std::unique_ptr<char, decltype(&free)> log(LogName(nullptr, overwrite.c_str(), 0, 0),
                                                       free);
            if (log) unlink(log.get());
            start_import(overwrite);
        },
        nullptr, nullptr, nullptr);
}

// With a reel: the reel-name dialog, whose OK starts the import; else the
// import of an image clip starts now.
void ask_reel_or_start(bool reel) {
    if (!reel) {
        start_import("");
        return;
    }
    static const DbButton buttons[] = {{"OK", reel_ok}, {"Cancel", nullptr}};
    DbCreaFileDialog("Import", DB_SVJ, ".svj", buttons, 2, XmSINGLE_SELECT, 1, 290, 335);
}

// The remote dialog: its name field and padding toggles.
struct AbekasFields {
    Widget dialog = nullptr, name = nullptr;
    Widget pad[3] = {nullptr, nullptr, nullptr};
};
AbekasFields abekas;

void abekas_destroyed(Widget, XtPointer, XtPointer) {
    abekas = AbekasFields{};
    fields_of_dialog = ImportFields{};
}

void abekas_cancel(Widget, XtPointer, XtPointer) {
    if (abekas.dialog) XtDestroyWidget(XtParent(abekas.dialog));
}

void abekas_ok(Widget, XtPointer, XtPointer) {
    char *typed = XmTextGetString(abekas.name);
    std::string name = typed;
    XtFree(typed);
    name = GetName(name.data());
    if (name.empty()) {
        PutCharMessage(abekas.dialog, "Type or select a name");
        return;
    }
    int padding = 0;
    for (int i = 0; i < 3; i++)
        if (abekas.pad[i] && XmToggleButtonGetState(abekas.pad[i])) padding = i;
    int start, end, step, quality;
    ImportGetParameters(start, end, step, quality);
    ImportFields &f = fields_of_dialog;
    const bool reel = f.svj && XmToggleButtonGetState(f.svj);
    pending = PendingImport{};
    pending.source = CreaAbeName(std::string(db_image_dir) + name, padding);
    pending.start = start;
    pending.end = end;
    pending.step = step;
    pending.quality = quality;
    pending.mode = 1;
    kept_step = step;
    abekas_cancel(nullptr, nullptr, nullptr);
    ask_reel_or_start(reel);
}

void import_ok(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    const std::string line = chosen_line(d);
    if (line.empty()) {
        PutCharMessage(d->dialog, "No image selected");
        return;
    }
    int start, end, step, quality;
    ImportGetParameters(start, end, step, quality);
    pending.source = std::string(db_browse_dir) + line;
    pending.start = start;
    pending.end = end;
    pending.step = step;
    pending.quality = quality;
    ImportFields &f = fields_of_dialog;
    pending.fields = f.fields && XmToggleButtonGetState(f.fields) ? 1 : 0;
    ImportJpegFields = pending.fields;
    pending.mode = 0;
    const bool reel = f.svj && XmToggleButtonGetState(f.svj);
    kept_step = step;
    DbListFree(d);
    ask_reel_or_start(reel);
}

void preview_cb(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    const std::string line = chosen_line(d);
    if (line.empty()) {
        PutCharMessage(d->dialog, "No image selected");
        return;
    }
    std::string base;
    int ext = 0;
    const int style = GetBasename(std::string(db_browse_dir) + line, base, ext);
    if (style < 0) return;
    int first = 1, last = 1;
    chosen_line(d, &first, &last);
    PreviewCreaWin(d->dialog, ext, base.c_str(), style, first);
}

void dialog_destroyed(Widget, XtPointer, XtPointer) {
    fields_of_dialog = ImportFields{};
}

// Frees the job record of an entry's import (its end routine keeps it).
void free_import(int) {}

void set_entry(int entry, void *data) {
    auto *job = static_cast<ImportJob *>(data);
    if (!job) return; // a job of this type without an import record
    PidData &p = pidData[entry];
    job->data.pid_index = entry;
    job->data.progress = &p.progress;
    job->data.status = &p.status;
    p.import_data = &job->data;
    p.job_data = job;
}

void remove_partial(int entry) {
    auto *job = static_cast<ImportJob *>(pidData[entry].job_data);
    if (job && !job->data.preview.empty()) unlink(job->data.preview.c_str());
}

void finish(int entry, int) {
    PidData &p = pidData[entry];
    auto *job = static_cast<ImportJob *>(p.job_data);
    p.job_data = nullptr;
    p.import_data = nullptr;
    if (!job) return;
    // Closing the window took it from the entry: then there is none to replace.
    job->window = p.window.load();
    ImportFinish(job, p.status.load());
}

} // namespace

void ImportSetStartEnd(int first, int last) {
    ImportFields &f = fields_of_dialog;
    if (f.start) set_number(f.start, first);
    if (f.end) set_number(f.end, last);
}

void ImportGetParameters(int &start, int &end, int &step, int &quality) {
    ImportFields &f = fields_of_dialog;
    start = text_number(f.start, 1);
    end = text_number(f.end, start);
    step = text_number(f.step, 1);
    quality = text_number(f.quality, 85);
    if (start < 1) start = 1;
    if (end < start) end = start;
    if (step < 1) step = 1;
    if (quality < 1) quality = 1;
    if (quality > 100) quality = 100;
}

int ReelInUse(const char *path) {
    for (FisicData *c = first_fisic; c; c = c->next)
        if (!c->pic && c->path && strcmp(c->path, path) == 0) return 1;
    for (int i = 0; i < MAX_SPROC; i++)
        if (pidData[i].pid.load() > 0 && pidData[i].output == path) return 1;
    return 0;
}

void ImportFile(ImportJob *job, const std::string &path, const std::string &reel,
                const std::string &db_dir, int mode, int fields) {
    std::string message;
    const int rc = ImportPrepare(path, reel, db_dir, mode, fields, job->data, message);
    if (rc == PREPARE_ERROR) {
        delete job;
        PutCharMessage(mainform, message.c_str());
        if (message == "Error reading first picture\n") XBell(XtDisplay(mainform), 100);
        return;
    }
    if (rc == PREPARE_FIT) {
        Warning(mainform, "Images are not video size.\nDo you want to fit them?\n", fit_yes, job,
                fit_no, job);
        return;
    }
    StartImport(mainform, job);
}

void StartImport(Widget parent, ImportJob *job) {
    ImportData &d = job->data;
    if (num_sproc >= GENERAL_SPROC) {
        ImportAbandon(d);
        delete job;
        PutCharMessage(parent, "Too many running processes.\nTry again later.");
        return;
    }
    std::string file = d.svj ? d.out_name : d.in_basename;
    const std::string title =
        std::string(" ") + (d.svj ? "IS(" : "IP(") + GetName(file.data()) + ")";
    std::string shown = d.out_name;
    if (!d.svj) {
        char buf[1400];
        snprintf(buf, sizeof buf, warning_num_format[d.format_num], d.in_basename.c_str(), "",
                 imp_format[d.ext_num]);
        shown = buf;
    }
    const int64_t frames = ImportFrameCount(d.start, d.end, d.step);
    const int entry = Sproc(ImportWrite, job, JOB_IMPORT);
    if (entry < 0) {
        ImportAbandon(d);
        delete job;
        PutCharMessage(parent, "Error in import process.");
        return;
    }
    PidData &p = pidData[entry];
    p.output = d.svj ? d.out_name : shown;
    AddWindowData(nullptr, entry, strdup(title.c_str()), int(frames));
    job->window = last_window;
    p.window = last_window;
    p.slot = entry;
}

ImportJob *NewImportJob() {
    return new ImportJob;
}

ImportData &ImportJobData(ImportJob *job) {
    return job->data;
}

int StartImportInWindow(ImportJob *job, WindowData *win, void (*body)(void *)) {
    ImportData &d = job->data;
    const int entry = Sproc(body ? body : ImportWrite, job, JOB_IMPORT);
    if (entry < 0) {
        ImportAbandon(d);
        delete job;
        return -1;
    }
    PidData &p = pidData[entry];
    p.output = d.svj ? d.out_name : d.in_basename;
    job->window = win;
    p.window = win;
    p.slot = entry;
    return entry;
}

void ImportFinish(ImportJob *job, int status) {
    ImportData &d = job->data;
    WindowData *win = job->window && WindowListed(job->window) ? job->window : nullptr;
    const bool made = status != IMPORT_ERROR && status != IMPORT_STOPPED &&
                      status != IMPORT_NOENV && d.frames_made > 0;
    if (status == IMPORT_ERROR || status == IMPORT_STOPPED) {
        // Nothing usable: the partial reel and preview go, as a stop removes them.
        if (d.svj) unlink(d.out_name.c_str());
        if (!d.preview.empty()) unlink(d.preview.c_str());
    }
    if (status == IMPORT_NOENV) {
        std::string text =
            std::string("Environment variable\n") + IMPORT_RECORD_ENV + "\nnot found\n";
        PutCharMessage(mainform, text.c_str());
    }
    if (made && !d.svj) ImportWriteImageLog(d);
    FisicData *clip = nullptr;
    if (made && win) {
        if (d.svj) {
            int st = 0;
            clip = CreaFisicData(d.out_name.c_str(), 0, &st);
            if (clip && (st == 0 || st == 3)) {
                FreeFisicData(clip);
                clip = nullptr;
            }
            if (clip) {
                clip->dir = DbGetDir(1);
                AddFirstFisic(clip);
            }
        } else {
            std::unique_ptr<char, decltype(&free)> log(
                PicLogName(d.db_path.empty() ? nullptr : d.db_path.c_str(), d.in_basename.c_str(),
                           d.clip_num),
                free);
            if (log) clip = ImageLogClip(log.get());
        }
        if (!clip) PutCharMessage(mainform, "Error importing pictures\n");
    }
    if (win && !clip) CloseOK(0, 0, win, 0, 1);
    if (win && clip) {
        // The placeholder becomes the clip's window where it stands, with
        // its title, selection and memo.
        free(win->image);
        free(win->back);
        win->image = win->back = nullptr;
        win->width = clip->width;
        win->height = clip->height;
        win->start = GetStartFrame(clip);
        win->in = win->current = 0;
        win->out = clip->frames - 1;
        win->total = clip->frames;
        win->production = nullptr;
        auto *seg = new Segment;
        seg->last = clip->frames - 1;
        seg->fisic = clip;
        seg->next = seg->prev = seg;
        win->seg_first = win->seg_last = win->seg_current = seg;
        clip->refs++;
        LoadFirstFrame(win);
        RebuildWindow(win);
        if (d.svj) UpdateLog(clip);
        // Wake the log converter for the new clip.
        SemSet(1, 0);
        SemSet(2, 0);
    }
    delete job;
}

void InstallImportHooks() {
    job_type_hooks[JOB_IMPORT].set_entry = set_entry;
    job_type_hooks[JOB_IMPORT].free_data = free_import;
    job_type_hooks[JOB_IMPORT].finish = finish;
    job_type_hooks[JOB_IMPORT].remove_partial = remove_partial;
}

void ImportAbe(Widget parent, int width, int height) {
    (void)width;
    (void)height;
    ImportFields &f = fields_of_dialog;
    CreaLabel(parent, 20, 66, "Start:");
    f.start = CreaText(parent, 70, 60, 70, 30, "1", 10, "start");
    CreaLabel(parent, 160, 66, "End:");
    f.end = CreaText(parent, 200, 60, 70, 30, "1", 10, "end");
    CreaLabel(parent, 290, 66, "Step:");
    f.step = CreaText(parent, 335, 60, 50, 30, "1", 10, "step");
    set_number(f.step, kept_step);
    f.svj = CreaToggleXY(parent, "Write SVJ", 20, 100);
    XmToggleButtonSetState(f.svj, False, False);
    CreaLabel(parent, 160, 106, "Quality:");
    f.quality = CreaText(parent, 225, 100, 60, 30, "85", 3, "quality");
}

void AbeTextAdd(Widget parent) {
    CreaLabel(parent, 20, 146, "Padding ");
    Widget box = CreaRadioBox(parent, 90, 138, XmHORIZONTAL);
    const char *labels[3] = {".1.", ".0001.", "dos"};
    for (int i = 0; i < 3; i++) {
        abekas.pad[i] = CreaToggle(box, labels[i]);
        XmToggleButtonSetState(abekas.pad[i], i == 0 ? True : False, False);
    }
}

ORVA_COMMAND(DbSelectAbekas) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (!DbCommandReady()) return;
    if (!getenv(IMPORT_RECORD_ENV)) {
        const std::string text =
            std::string("Environment variable\n") + IMPORT_RECORD_ENV + "\nnot found\n";
        PutCharMessage(mainform, text.c_str());
        return;
    }
    const int W = 400, H = 240;
    Widget d = CreaDialog(mainform, "Import Abekas", "abekas", W, H, 1, 1);
    abekas.dialog = d;
    CreaLabel(d, 20, 26, "Name:");
    abekas.name = CreaText(d, 80, 20, 300, 30, "", 200, "abename");
    ImportAbe(d, W, H);
    AbeTextAdd(d);
    Widget ok = CreaBottoneXY(d, "OK", 20, H - 50, 70, 35);
    XtAddCallback(ok, XmNactivateCallback, abekas_ok, nullptr);
    Widget cancel = CreaBottoneXY(d, "Cancel", W - 90, H - 50, 70, 35);
    XtAddCallback(cancel, XmNactivateCallback, abekas_cancel, nullptr);
    XtAddCallback(d, XmNdestroyCallback, abekas_destroyed, nullptr);
    XtManageChild(d);
}

ORVA_COMMAND(DbSelectImport) {
    (void)w;
    (void)client_data;
    (void)call_data;
    if (!DbCommandReady()) return;
    snprintf(db_browse_dir, sizeof db_browse_dir, "%s", db_image_dir);
    DbDialog *d = DbNewBrowseDialog(list_sequences, 31);
    if (!d) return;
    static const DbButton buttons[] = {
        {"OK", import_ok}, {"Ch. dir.", DbChangeDirectoryCB}, {"Cancel", nullptr}};
    const int W = 500, H = 443;
    DbCreaListDialog(mainform, d, "Import", W, H, XmSINGLE_SELECT, buttons, 3, 2, 0, 0);
    XtVaSetValues(XtParent(d->list), XmNbottomOffset, H - 215, NULL);
    XtAddCallback(d->list, XmNsingleSelectionCallback, select_cb, d);
    ImportFields &f = fields_of_dialog;
    f.dialog = d;
    CreaLabel(d->dialog, 20, 228, "Start:");
    f.start = CreaText(d->dialog, 70, 222, 70, 30, "1", 10, "start");
    CreaLabel(d->dialog, 160, 228, "End:");
    f.end = CreaText(d->dialog, 200, 222, 70, 30, "1", 10, "end");
    CreaLabel(d->dialog, 290, 228, "Step:");
    f.step = CreaText(d->dialog, 335, 222, 60, 30, "1", 10, "step");
    set_number(f.step, kept_step);
    f.svj = CreaToggleXY(d->dialog, "Write SVJ", 20, 262);
    XmToggleButtonSetState(f.svj, False, False);
    CreaLabel(d->dialog, 160, 268, "Quality:");
    f.quality = CreaText(d->dialog, 225, 262, 60, 30, "85", 3, "quality");
    f.fields = CreaToggleXY(d->dialog, "JPEG fields", 300, 262);
    XmToggleButtonSetState(f.fields, ImportJpegFields.load() ? True : False, False);
    d->label = CreaLabelName(d->dialog, 20, 300, 330, 40, "", "dirLabel");
    XtVaSetValues(d->label, XmNalignment, XmALIGNMENT_BEGINNING, NULL);
    LabelSetString(d->label, DbDirLabelText(db_browse_dir, d->label_chars).c_str());
    Widget preview = CreaBottoneXY(d->dialog, "Preview", W - 180, 300, 70, 35);
    XtAddCallback(preview, XmNactivateCallback, preview_cb, d);
    Widget fix = CreaBottoneXY(d->dialog, "Fix", W - 90, 300, 70, 35);
    XtAddCallback(fix, XmNactivateCallback, DbFixCB, d);
    XtAddCallback(d->dialog, XmNdestroyCallback, dialog_destroyed, nullptr);
}
