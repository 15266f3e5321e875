// The export dialog of the clip database: the file list of the target
// directory with the export's controls (range, step, quality, output start,
// number style and format), and the check and start of the export on "OK".
#pragma once

#include <Xm/Xm.h>

struct DbDialog;
struct ExportData;

// Opens the export dialog for the window in export_window (editing/export.h)
// with its frame count: kind 1 "Save Reel" (reels of SVJ/, "SVJ" and the
// movie formats), 2 "Export" (pictures in db_browse_dir), 3 "Save Clip"
// (log-size movies), 4 and 5 "Custom" (the range of a custom effect).
// Buttons "OK", "Ch. dir.", "Cancel". Nothing while playing.
void DbSelectExport(int frames, int kind);

// "OK": checks the values and the names (messages shown on the dialog),
// asks before overwriting, then closes the dialog and starts the export.
void ExportFile(const char *path, Widget parent, DbDialog *d, int kind);

// Starts the export job for a checked record (which it then owns); 0, or -1
// when it could not start (the reason has been shown). Registered by the
// desktop; null: "Not available yet." and the record is freed.
extern int (*DbExportStartHook)(ExportData *data);
