// Work files on the desktop: SaveOK writes the windows of a selection with
// their titles, LoadWork opens the clips a work names (sharing those already
// open), builds and shows its windows and says what went wrong. The format,
// the model and its checks are in editing/work_file.h.
#include "desktop/work_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <Xm/Text.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "database/db_list.h"
#include "desktop/clip_model.h"
#include "desktop/clip_operations.h"
#include "desktop/clip_window.h"
#include "desktop/commands.h"
#include "desktop/desktop_area.h"
#include "desktop/globals.h"
#include "editing/work_file.h"
#include "platform/fileio.h"
#include "platform/sem.h"
#include "ui/messages.h"

namespace {

constexpr size_t TITLE_MAX = 64; // characters a window's title field holds

std::string keep_request; // path whose next save keeps the old file first
int last_load_warned = 0;

void say(int code) {
    PutCharMessage(mainform, WorkMessage(code));
}

std::string title_of(WindowData *win) {
    return WindowTitle(win);
}

// The import record of a window still being produced does not exist yet, so
// no such window can say what it will hold: the writer then leaves it out,
// as it does for a production it does not know.
bool import_of(WindowData *, WorkImport *) {
    return false;
}

// Copies the file at `from` to `to` (a new file, mode 0666 less the umask).
bool copy_file(const char *from, const char *to) {
    const int in = open_regular(from, O_RDONLY);
    if (in < 0) return false;
    Fd in_fd(in);
    const int out = open_regular(to, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (out < 0) return false;
    Fd out_fd(out);
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        if (n == 0) return fsync(out) == 0;
        if (!write_all(out, buf, size_t(n))) break;
    }
    unlink(to);
    return false;
}

// Keeps the regular file at path as path + "~" (replacing an older one), by a
// hard link or, where links are refused, a copy. True when kept or when
// there is nothing to keep.
bool keep_old(const char *path) {
    struct stat st {};
    if (lstat(path, &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode)) return true; // the writer refuses it anyway
    const std::string kept = std::string(path) + "~";
    struct stat old {};
    if (lstat(kept.c_str(), &old) == 0 && S_ISDIR(old.st_mode)) return false;
    if (unlink(kept.c_str()) != 0 && errno != ENOENT) return false;
    if (link(path, kept.c_str()) == 0) return true;
    return copy_file(path, kept.c_str());
}

// Finds or makes the clip of one segment (see WorkClipFn).
FisicData *clip_for(const WorkSegment &seg, const std::string &path, bool *missing) {
    *missing = false;
    if (seg.kind == WORK_REEL) {
        for (FisicData *c = first_fisic; c; c = c->next)
            if (!c->busy && !c->pic && c->path && path == c->path) return c;
        int status = 0;
        FisicData *c = CreaFisicData(path.c_str(), 0, &status);
        if (!c || status == 0 || status == 3) {
            if (c) FreeFisicData(c);
            return nullptr;
        }
        *missing = status == 2;
        c->dir = DbGetDir(1);
        AddFirstFisic(c);
        return c;
    }
    for (FisicData *c = first_fisic; c; c = c->next)
        if (!c->busy && c->pic && c->pic->pattern && path == c->pic->pattern &&
            c->pic->tag == seg.pic.tag)
            return c;
    int status = 0;
    FisicData *c = CreaFisicData(nullptr, 0, &status);
    if (!c) return nullptr;
    FillWorkPictureClip(c, seg, path);
    c->dir = DbGetDir(1);
    const int parts = ReadImageLogHeader(c);
    if (parts > 0) ReadClips(c, parts);
    if (parts <= 0 || !c->part.load()) {
        FreeFisicData(c);
        return nullptr;
    }
    AddFirstFisic(c);
    return c;
}

int load_add = 0; // the add argument of the LoadWork under way

// Shows a loaded window before it is listed (see WorkShowFn).
void show_window(WindowData *win, const std::string &title) {
    LoadFirstFrame(win);
    const std::string text = title.substr(0, strnlen(title.c_str(), TITLE_MAX));
    if (load_add || defaults[DEF_REARRANGE] || win->slot < 0) {
        CreaWidget(win, -1, 0, 0, -1, strdup(text.c_str()));
    } else {
        CreaWidget(win, -1, 0, 0, -1, nullptr);
        if (win->memo) XmTextSetString(win->memo, const_cast<char *>(text.c_str()));
    }
    if (win->selected && !win->master) SetSelection(win, 1);
}

} // namespace

int SaveOK(const char *path, int selection) {
    if (!path || !*path) {
        say(WORK_SAVE_ERROR);
        return 0;
    }
    if (!keep_request.empty() && keep_request == path) {
        if (!keep_old(path)) {
            say(WORK_SAVE_ERROR);
            return 0;
        }
        keep_request.clear();
    }
    if (!SaveWork(path, selection, title_of, import_of, DbGetDir(0))) {
        say(WORK_SAVE_ERROR);
        return 0;
    }
    return 1;
}

int LoadWork(const char *path, int add) {
    last_load_warned = 0;
    WorkFile work;
    const int code = path ? ReadWorkFile(path, &work) : int(WORK_UNABLE_TO_OPEN);
    if (code == WORK_UNABLE_TO_OPEN || code == WORK_UNKNOWN_VERSION) {
        last_load_warned = 1;
        say(code);
        return 0;
    }
    load_add = add;
    const WorkLoadResult r = LoadWorkWindows(work, code, DbGetDir(0), clip_for, show_window);
    load_add = 0;
    // Wake the log converter for the clips just opened.
    SemSet(1, 0);
    SemSet(2, 0);
    const int report = WorkLoadReport(r.read_error, r.changed, r.missing, sv != nullptr);
    if (report != WORK_OK) {
        last_load_warned = 1;
        say(report);
    }
    // With the board open the missing clips, now selected, are grabbed again.
    if (r.missing && sv) RecollectSelected(nullptr, nullptr, nullptr);
    return r.master_windows > 0 ? 1 : 0;
}

int LoadWorkWarned() {
    return last_load_warned;
}

void KeepBeforeFirstSave(const char *path) {
    keep_request = path ? path : "";
}

void InstallWorkFileHooks() {
    DbSaveWorkHook = SaveOK;
    DbLoadWorkHook = LoadWork;
    DbUpdateSummaHook = UpdateSummaWindow;
    DbJobsOnWindowsHook = [] { return ClosingImpExpWindows(1, 1, nullptr); };
    DbCloseWindowsHook = [](int stop) { CloseOK(1, 1, nullptr, stop, 0); };
    DbClearAfterSaveHook = [](int selection) {
        if (selection == WORK_SAVE_ALL)
            CloseAllOK(nullptr, nullptr, nullptr);
        else if (selection == WORK_SAVE_MASTER)
            ClearHappyOK(nullptr, nullptr, nullptr);
        else
            CloseSelOK(nullptr, nullptr, nullptr);
    };
}
