// The export commands and the export job's place in the process table.
#pragma once

struct WindowData;

// The first selected desktop window (from first_work), stored in
// export_window; null when none is selected.
WindowData *SetExportWindow();

// Registers the export job's hooks (process-table entry, end routine, start
// from the dialog, the in-use question). Start-up.
void InstallExportHooks();
