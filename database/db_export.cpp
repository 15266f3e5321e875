// The export dialog: the file list of the directory written to, the export's
// value fields and toggles (MovieExportTextAdd, ImgExportTextAdd,
// SvjEffExportTextAdd), and ExportFile, which turns them into an export
// record through the checks of editing/export and starts the job.
#include "database/db_export.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <Xm/Text.h>
#include <Xm/ToggleB.h>

#include "database/db_browser.h"
#include "database/db_dialog.h"
#include "database/db_files.h"
#include "database/db_list.h"
#include "editing/clip_records.h"
#include "editing/custom_process.h"
#include "editing/export.h"
#include "editing/image_seq.h"
#include "ui/globals.h"
#include "ui/messages.h"
#include "ui/widgets.h"

int (*DbExportStartHook)(ExportData *data) = nullptr;

namespace {

const char *const movie_labels[EXPORT_MOVIES] = {"Uncompressed", "MVC2", "JPEG", "QT Uncompressed",
                                                 "QT JPEG"};
const char *const picture_labels[6] = {"Korvendal", "Targa", "SGI", "YUV", "JPEG", "JPEG fields"};
const char *const style_labels[EXPORT_STYLES] = {".1.", ".0001.", "dos"};

// Values kept from one export dialog to the next.
struct Kept {
    int step = 1;
    int reel_format = EXPORT_SVJ;         // of the reel dialog
    int movie_format = EXPORT_MOVIE_BASE; // of the movie dialog: "Uncompressed"
    int picture_format = 1;
    int style = 0;
    int out_start = 1;
    int quality = 85;
} kept;

// The controls of one export dialog, in DbDialog::extra (freed with free()).
struct ExportControls {
    int kind, frames;
    Widget start, end, step, out_start, quality;
    Widget svj;                   // kind 1: the "SVJ" toggle
    Widget movies[EXPORT_MOVIES]; // kinds 1 and 3
    Widget pictures[6];           // kind 2
    Widget styles[EXPORT_STYLES]; // kind 2
};

ExportControls *controls(DbDialog *d) {
    return static_cast<ExportControls *>(d->extra);
}

Widget labelled_text(DbDialog *d, int x, int y, const char *label, const char *name, int value) {
    CreaLabelXY(d->dialog, x, y, 80, 20, label);
    char text[32];
    std::snprintf(text, sizeof text, "%d", value);
    return CreaText(d->dialog, x, y + 22, 70, 32, text, 10, name);
}

Widget toggle_in(Widget box, const char *label, bool set) {
    Widget t = CreaToggle(box, label);
    XmToggleButtonSetState(t, set, False);
    return t;
}

void range_fields(DbDialog *d, ExportControls *c, int y) {
    c->start = labelled_text(d, 20, y, "Start:", "start", 1);
    c->end = labelled_text(d, 110, y, "End:", "end", c->frames);
    c->step = labelled_text(d, 200, y, "Step:", "step", kept.step);
}

void MovieExportTextAdd(DbDialog *d, ExportControls *c, int y) {
    range_fields(d, c, y);
    c->quality = labelled_text(d, 290, y, "Quality:", "quality", kept.quality);
    Widget box = CreaRadioBox(d->dialog, 20, y + 65, XmVERTICAL);
    XtVaSetValues(box, XmNnumColumns, 2, XmNpacking, XmPACK_COLUMN, NULL);
    const int chosen = c->kind == EXPORT_KIND_REEL ? kept.reel_format : kept.movie_format;
    if (c->kind == EXPORT_KIND_REEL) c->svj = toggle_in(box, "SVJ", chosen == EXPORT_SVJ);
    for (int m = 0; m < EXPORT_MOVIES; m++)
        c->movies[m] = toggle_in(box, movie_labels[m], chosen == EXPORT_MOVIE_BASE + m);
    XtManageChild(box);
}

void ImgExportTextAdd(DbDialog *d, ExportControls *c, int y) {
    range_fields(d, c, y);
    c->out_start = labelled_text(d, 290, y, "Out start:", "outStart", kept.out_start);
    c->quality = labelled_text(d, 380, y, "Quality:", "quality", kept.quality);
    Widget styles = CreaRadioBox(d->dialog, 20, y + 65, XmVERTICAL);
    for (int s = 0; s < EXPORT_STYLES; s++)
        c->styles[s] = toggle_in(styles, style_labels[s], kept.style == s);
    XtManageChild(styles);
    Widget formats = CreaRadioBox(d->dialog, 160, y + 65, XmVERTICAL);
    XtVaSetValues(formats, XmNnumColumns, 2, XmNpacking, XmPACK_COLUMN, NULL);
    for (int f = 0; f < 6; f++)
        c->pictures[f] = toggle_in(formats, picture_labels[f], kept.picture_format == f);
    XtManageChild(formats);
}

void SvjEffExportTextAdd(DbDialog *d, ExportControls *c, int y) {
    range_fields(d, c, y);
}

std::string text_of(Widget w) {
    if (!w) return "";
    char *s = XmTextGetString(w);
    std::string v = s ? s : "";
    XtFree(s);
    return v;
}

// The directory label: SVJ/ of the current database for the reel dialog,
// whose list shows it, else the browsed directory.
void show_dir(DbDialog *d) {
    ExportControls *c = controls(d);
    if (!d->label || !c) return;
    const std::string dir = c->kind == EXPORT_KIND_REEL || c->kind == EXPORT_KIND_FX_REEL
                                ? DbDialogDir(DB_SVJ)
                                : std::string(db_browse_dir);
    LabelSetString(d->label, DbDirLabelText(dir, d->label_chars).c_str());
}

// The files of the dialog's directory: reels of SVJ/ for the reel dialog
// with "SVJ" chosen, every picture sequence or file otherwise.
int list_export(DbDialog *d) {
    ExportControls *c = controls(d);
    std::vector<std::string> names;
    DbClearItems(d);
    if (c && (c->kind == EXPORT_KIND_REEL || c->kind == EXPORT_KIND_FX_REEL)) {
        if (DbListFiles(DbDialogDir(DB_SVJ).c_str(), ".svj", names) != 0) return -1;
        for (const std::string &n : names)
            DbAddItem(d, n);
    } else {
        std::vector<ImportSeq> seqs;
        if (ImportFileSearch(db_browse_dir, seqs) < 0) return -1;
        for (const ImportSeq &s : seqs)
            DbAddItem(d, s.Base(), s.shown.c_str());
    }
    if (d->list) XtVaSetValues(d->list, XmNitems, d->items.data(), XmNitemCount, d->count, NULL);
    show_dir(d);
    return 0;
}

// The chosen format: for kinds 1 and 3 the first set movie toggle (or SVJ),
// for kind 2 the set picture toggle.
int chosen_format(ExportControls *c) {
    if (c->kind == EXPORT_KIND_PICTURES) {
        for (int f = 0; f < 6; f++)
            if (XmToggleButtonGetState(c->pictures[f])) return f;
        return 0;
    }
    if (c->kind == EXPORT_KIND_REEL || c->kind == EXPORT_KIND_MOVIE) {
        for (int m = 0; m < EXPORT_MOVIES; m++)
            if (XmToggleButtonGetState(c->movies[m])) return EXPORT_MOVIE_BASE + m;
        return c->kind == EXPORT_KIND_REEL ? EXPORT_SVJ : EXPORT_MOVIE_BASE;
    }
    // A custom effect into pictures writes the format of its own dialog.
    if (c->kind == EXPORT_KIND_FX_PICS) return ext_fx;
    return EXPORT_SVJ;
}

ExportData *pending_data = nullptr; // the record waiting for the overwrite answer

void start(ExportData *data) {
    if (DbExportStartHook)
        DbExportStartHook(data);
    else {
        FreeExportData(data);
        PutCharMessage(mainform, "Not available yet.");
    }
}

void overwrite_yes(Widget, XtPointer, XtPointer) {
    ExportData *data = pending_data;
    pending_data = nullptr;
    if (data) start(data);
}

void overwrite_no(Widget, XtPointer, XtPointer) {
    FreeExportData(pending_data);
    pending_data = nullptr;
}

void ok_cb(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DbDialog *>(client);
    ExportControls *c = controls(d);
    const std::string name = text_of(d->text);
    const bool reel = (c->kind == EXPORT_KIND_REEL && chosen_format(c) == EXPORT_SVJ) ||
                      c->kind == EXPORT_KIND_FX_REEL;
    const std::string dir = reel ? DbDialogDir(DB_SVJ) : std::string(db_browse_dir);
    ExportFile((dir + name).c_str(), d->dialog, d, c->kind);
}

} // namespace

void ExportFile(const char *path, Widget parent, DbDialog *d, int kind) {
    ExportControls *c = controls(d);
    if (!c) return;
    ExportRequest req;
    req.path = path ? path : "";
    req.kind = kind;
    req.format = chosen_format(c);
    req.start = text_of(c->start);
    req.end = text_of(c->end);
    req.step = text_of(c->step);
    req.out_start = text_of(c->out_start);
    req.quality = text_of(c->quality);
    for (int s = 0; s < EXPORT_STYLES; s++)
        if (c->styles[s] && XmToggleButtonGetState(c->styles[s])) req.style = s;
    ExportCheckResult r = ExportCheck(req, export_window, c->frames);
    if (r.message) {
        // A path without a file name is ignored, as the dialog always was.
        if (r.message != EXPORT_MSG_NO_NAME) PutCharMessage(parent, r.message);
        return;
    }
    r.data->window = export_window == summa_window ? nullptr : export_window;
    kept.step = r.data->step;
    kept.quality = r.data->quality;
    if (kind == EXPORT_KIND_PICTURES) {
        kept.out_start = r.data->out_start;
        kept.style = r.data->style;
        kept.picture_format = r.data->format;
    } else if (kind == EXPORT_KIND_REEL) {
        kept.reel_format = r.data->format;
    } else if (kind == EXPORT_KIND_MOVIE) {
        kept.movie_format = r.data->format;
    }
    DbListFree(d);
    if (r.overwrite) {
        FreeExportData(pending_data);
        pending_data = r.data;
        Warning(mainform, EXPORT_MSG_OVERWRITE, overwrite_yes, nullptr, overwrite_no, nullptr);
        return;
    }
    start(r.data);
}

void DbSelectExport(int frames, int kind) {
    if (!DbCommandReady()) return;
    const char *title = kind == EXPORT_KIND_REEL       ? "Save Reel"
                        : kind == EXPORT_KIND_PICTURES ? "Export"
                        : kind == EXPORT_KIND_MOVIE    ? "Save Clip"
                                                       : "Custom";
    if (kind != EXPORT_KIND_REEL) {
        if (db_browse_dir[0] == '\0' || kind == EXPORT_KIND_PICTURES)
            std::snprintf(db_browse_dir, sizeof db_browse_dir, "%s", db_image_dir);
    }
    DbDialog *d = DbNewDialog();
    auto *c = static_cast<ExportControls *>(std::calloc(1, sizeof(ExportControls)));
    if (!c) {
        DbListFree(d);
        return;
    }
    c->kind = kind;
    c->frames = frames;
    d->extra = c;
    d->label_chars = DB_BROWSER_LABEL_CHARS;
    d->lister = list_export;
    if (list_export(d) != 0) {
        DbListFree(d);
        PutCharMessage(mainform, "Error opening directory");
        return;
    }
    static const DbButton buttons[] = {
        {"OK", ok_cb}, {"Ch. dir.", DbChangeDirectoryCB}, {"Cancel", nullptr}};
    const int W = 500, H = 600;
    DbCreaListDialog(mainform, d, title, W, H, XmBROWSE_SELECT, buttons, 3, 2, 0, 1);
    XtVaSetValues(XtParent(d->list), XmNbottomOffset, H - 200, NULL);
    d->label = CreaLabelName(d->dialog, 20, 205, 460, 40, "", "dirLabel");
    XtVaSetValues(d->label, XmNalignment, XmALIGNMENT_BEGINNING, NULL);
    show_dir(d);
    const int y = 250;
    if (kind == EXPORT_KIND_REEL || kind == EXPORT_KIND_MOVIE)
        MovieExportTextAdd(d, c, y);
    else if (kind == EXPORT_KIND_PICTURES)
        ImgExportTextAdd(d, c, y);
    else
        SvjEffExportTextAdd(d, c, y);
}
