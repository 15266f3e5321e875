// Work files on the desktop: saving the clip windows of a selection and
// loading a work back into windows. The file format, its one reader and one
// writer live in editing/work_file.h; this side takes titles and places from
// the widgets, opens the clips, builds the windows and says what went wrong.
#pragma once

// What a save takes (the `selection` of SaveOK).
enum { WORK_SAVE_ALL = 0, WORK_SAVE_MASTER = 1, WORK_SAVE_SELECTED = 2 };

// Writes the windows of `selection` to `path`, crash-safely (the old file
// stays whole until the new one is complete). On failure shows "Error in
// saving work" and returns 0; else 1.
int SaveOK(const char *path, int selection);

// Loads a work file into windows: add 0 when it replaces the desktop (the
// caller closed every window before), 1 when added. Shows the loader's
// messages. Returns 1 when a master-area window was loaded (the caller then
// runs UpdateSummaWindow), else 0.
int LoadWork(const char *path, int add);

// 1 when the last LoadWork showed a message (a read error, changed or
// missing files), else 0.
int LoadWorkWarned();

// Asks that the first save over `path` (null: none) keep the file it
// replaces beside it as path + "~": a work that loaded with messages must
// not be lost to the next autosave.
void KeepBeforeFirstSave(const char *path);
