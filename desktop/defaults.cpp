// The user defaults on the desktop: Init_defaults and Exit_defaults around
// the defaults file (database/defaults_file.h), the autosave timer that
// saves the desktop to the exit work every few minutes, the init and exit
// works, the database-switch steps, and the "Defaults" dialog of the TOOLS
// menu.
#include "desktop/defaults.h"

#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>
#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "database/db_list.h"
#include "database/defaults_file.h"
#include "desktop/clip_operations.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "desktop/work_files.h"
#include "editing/clip_names.h"
#include "media/video_globals.h"
#include "ui/widgets.h"

namespace {

XtIntervalId autosave_timer = 0;
int64_t autosave_due = 0;
bool defaults_read = false; // Init_defaults ran: the globals hold the user's values

void stop_autosave() {
    if (autosave_timer) XtRemoveTimeOut(autosave_timer);
    autosave_timer = 0;
    autosave_due = 0;
}

// Arms the autosave timer for `minutes` (none for 0), replacing any armed one.
void arm_autosave(int minutes) {
    stop_autosave();
    const unsigned long ms = AutosaveInterval(minutes);
    if (ms == 0 || !app) return;
    autosave_timer = XtAppAddTimeOut(app, ms, AutosaveTimer, nullptr);
    autosave_due = AutosaveClock() + int64_t(ms);
}

// Saves the whole desktop to the work named `name` in the current database.
// Returns 1 when saved, 0 when it failed, -1 when there was nothing to do
// (no name or no database).
int save_work(const char *name) {
    const std::string path = DefaultsWorkPath(name);
    if (path.empty()) return -1;
    return SaveOK(path.c_str(), WORK_SAVE_ALL);
}

// The autosave minutes of the dialog's field: leading blanks, a sign and
// digits as atoi reads them, but a number beyond the int range stops at
// its largest value instead of overflowing.
int parse_minutes(const char *text) {
    if (!text) return 0;
    while (*text == ' ' || *text == '\t')
        text++;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > INT_MAX) value = INT64_C(1) + INT_MAX;
    }
    if (negative) return value > INT_MAX ? INT_MIN : int(-value);
    return value > INT_MAX ? INT_MAX : int(value);
}

// GetName of a text field's contents into a work name.
void take_name(Widget text, char name[DEFAULTS_NAME_SIZE]) {
    char *s = XmTextGetString(text);
    std::string copy = s ? s : "";
    XtFree(s);
    snprintf(name, DEFAULTS_NAME_SIZE, "%s", GetName(copy.data()));
}

// ---- the "Defaults" dialog ----

struct DefaultsDialog {
    Widget dialog = nullptr;
    Widget rearrange = nullptr, invert = nullptr, autosave = nullptr, init = nullptr,
           exit = nullptr;
    Widget minutes = nullptr, init_name = nullptr, exit_name = nullptr;
    bool done = false; // answered: the dialog is on its way out
};

DefaultsDialog *open_dialog = nullptr;

bool on(Widget toggle) {
    return XmToggleButtonGetState(toggle) != False;
}

void ok_cb(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DefaultsDialog *>(client);
    if (d->done) return;
    defaults[DEF_REARRANGE] = on(d->rearrange);
    defaults[DEF_INVERT] = on(d->invert);
    defaults[DEF_LOAD_INIT] = on(d->init);
    defaults[DEF_SAVE_EXIT] = on(d->exit);
    int minutes = 0;
    if (on(d->autosave)) {
        char *text = XmTextGetString(d->minutes);
        minutes = parse_minutes(text);
        XtFree(text);
        if (minutes < 1) minutes = 1;
    }
    if (minutes != defaults[DEF_AUTOSAVE]) {
        defaults[DEF_AUTOSAVE] = minutes;
        arm_autosave(minutes);
    }
    take_name(d->init_name, init_work_name);
    take_name(d->exit_name, exit_work_name);
    d->done = true;
    XtDestroyWidget(XtParent(d->dialog));
    if (defaults[DEF_REARRANGE]) RearrangeNowOK(nullptr, nullptr, nullptr);
}

void cancel_cb(Widget, XtPointer client, XtPointer) {
    XtDestroyWidget(XtParent(static_cast<DefaultsDialog *>(client)->dialog));
}

void destroyed(Widget, XtPointer client, XtPointer) {
    auto *d = static_cast<DefaultsDialog *>(client);
    if (open_dialog == d) open_dialog = nullptr;
    delete d;
}

Widget toggle(Widget parent, const char *label, int y, int value) {
    Widget t = CreaToggleXY(parent, label, 30, y);
    XmToggleButtonSetState(t, value > 0 ? True : False, False);
    return t;
}

void open_defaults_dialog() {
    if (isPlayActive) return;
    if (open_dialog) XtDestroyWidget(XtParent(open_dialog->dialog));
    auto *d = new DefaultsDialog;
    d->dialog = CreaDialog(mainform, "Defaults", "defaults", 370, 420, 1, 0);
    XtAddCallback(d->dialog, XmNdestroyCallback, destroyed, d);
    char text[64];
    snprintf(text, sizeof text, "Video mode:  %s  (%i, %i)", VideoIsNtsc() ? "NTSC" : "PAL",
             VIDEO_SIZEX, VIDEO_SIZEY);
    CreaLabelName(d->dialog, 30, 30, 310, 35, text, "videomode");
    d->rearrange = toggle(d->dialog, "Rearrange", 85, defaults[DEF_REARRANGE]);
    d->invert = toggle(d->dialog, "Invert fields", 135, defaults[DEF_INVERT]);
    d->autosave = toggle(d->dialog, "Autosave (min.)", 185, defaults[DEF_AUTOSAVE]);
    d->init = toggle(d->dialog, "Init work", 235, defaults[DEF_LOAD_INIT]);
    d->exit = toggle(d->dialog, "Exit work", 285, defaults[DEF_SAVE_EXIT]);
    snprintf(text, sizeof text, "%i", defaults[DEF_AUTOSAVE]);
    d->minutes = CreaText(d->dialog, 185, 180, 140, 35, text, 10, "autosave");
    d->init_name = CreaText(d->dialog, 185, 230, 140, 35, init_work_name, 100, "initwork");
    d->exit_name = CreaText(d->dialog, 185, 280, 140, 35, exit_work_name, 100, "exitwork");
    Widget ok = CreaBottoneXYName(d->dialog, "OK", 76, 355, 70, 35, "OK");
    Widget cancel = CreaBottoneXYName(d->dialog, "Cancel", 223, 355, 70, 35, "Cancel");
    XtAddCallback(ok, XmNactivateCallback, ok_cb, d);
    XtAddCallback(cancel, XmNactivateCallback, cancel_cb, d);
    XtManageChild(d->dialog);
    open_dialog = d;
}

// ---- database switches ----

void leave_database(int stop_jobs) {
    Exit_defaults(0);
    CloseOK(1, 1, nullptr, stop_jobs, 0);
}

void enter_database() {
    Init_defaults(0);
}

} // namespace

void Init_defaults(int global) {
    LoadDefaults(global, defaults, init_work_name, exit_work_name);
    defaults_read = true;
    arm_autosave(defaults[DEF_AUTOSAVE]);
    if (!defaults[DEF_LOAD_INIT]) return;
    const std::string path = DefaultsWorkPath(init_work_name);
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return;
    if (LoadWork(path.c_str(), 0)) UpdateSummaWindow();
    // A work that loaded only in part stays on disk as it was until the user
    // has seen the desktop: the first save over it keeps the old file.
    if (LoadWorkWarned()) KeepBeforeFirstSave(path.c_str());
}

void Exit_defaults(int global) {
    if (!defaults_read) return;
    stop_autosave();
    if (defaults[DEF_SAVE_EXIT] && save_work(exit_work_name) == 0 && global)
        fprintf(stderr, "Error in saving work\n");
    SaveDefaults(global, defaults, init_work_name, exit_work_name);
}

void AutosaveTimer(XtPointer, XtIntervalId *id) {
    // The timer that fired is gone; one armed beside a direct call is replaced.
    if (id && *id == autosave_timer) {
        autosave_timer = 0;
        autosave_due = 0;
    }
    stop_autosave();
    if (defaults[DEF_AUTOSAVE] < 1 || save_work(exit_work_name) < 0) return;
    arm_autosave(defaults[DEF_AUTOSAVE]);
}

int64_t AutosaveDue() {
    return autosave_due;
}

int64_t AutosaveClock() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void InstallDefaultsHooks() {
    DbLeaveHook = leave_database;
    DbEnterHook = enter_database;
}

ORVA_COMMAND(SetDefaults) {
    (void)w, (void)client_data, (void)call_data;
    open_defaults_dialog();
}
