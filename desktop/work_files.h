// Work files on the desktop: saving the clip windows of a selection and
// loading a work back into windows. The file format, its one reader and one
// writer live in editing/work_file.h; this side takes titles and places from
// the widgets, opens the clips, builds the windows and says what went wrong.
#pragma once

// What a save takes (the `selection` of SaveOK).
enum { WORK_SAVE_ALL = 0, WORK_SAVE_MASTER = 1, WORK_SAVE_SELECTED = 2 };

// Writes the windows of `selection` to `path` with their titles, crash-safely
// (the old file stays whole until the new one is complete and synced; a size
// limit fails the write, not the program). A window whose clip is still being
// produced is left out: the import record that would describe it does not
// exist yet. On failure shows "Error in saving work" and returns 0; else 1.
int SaveOK(const char *path, int selection);

// Loads a work file into windows: add 0 when it replaces the desktop (the
// caller closed every window before; windows take their stored slots unless
// the desktop is kept arranged), 1 when added (windows take the next free
// cells). Clips already open are shared; a window with a missing reel whose
// log serves goes to the desktop, selected. Shows one message at the end:
// "Unable to open file", "Unknown work file version", "Error reading file",
// or the changed or missing warning. Returns 1 when a master-area window
// was loaded (the caller then runs UpdateSummaWindow), else 0.
int LoadWork(const char *path, int add);

// 1 when the last LoadWork showed a message (the file unreadable or of an
// unknown version, a read error, changed or missing files), else 0.
int LoadWorkWarned();

// Asks that the first save over `path` (null: none) keep the file it
// replaces beside it as path + "~" (a hard link, or a copy where links are
// refused; an older "~" file is replaced): a work that loaded with messages
// must not be lost to the next autosave. Paths are compared as given. The
// request is forgotten once kept; when keeping fails, the save fails too
// ("Error in saving work", the file untouched) and the request stays. A new
// call replaces the request.
void KeepBeforeFirstSave(const char *path);

// Registers SaveOK, LoadWork and the closing steps as the hooks of the
// database's work dialogs (database/db_commands.h). Called at start-up.
void InstallWorkFileHooks();
