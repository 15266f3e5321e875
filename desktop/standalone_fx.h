// The custom effects of the desktop: the "Standalone Fx" dialog, the start
// of the effect job after the export dialog, and its end routines.
#pragma once

#include <Xm/Xm.h>

struct ExportData;

// Reads the effect database and shows the dialog (its syntax messages on it).
void StlnDialog();
// The list's selection: shows the effect's command and Parameters template.
void StlnSelectEffect(Widget dialog, const char *name);
// The dialog's OK: reads format, quality, "Write SVJ" and the Parameters,
// then opens the export dialog (kind 4 into a reel, 5 into pictures).
void StlnOK();
// Starts the custom effect of an export record of kind 4 or 5 (taken over):
// the job and the window of the clip it makes. Returns the process table
// entry, or -1 after showing why.
int StlnExportFile(ExportData *data);
// The end of a successful effect job at entry: its results are imported
// into its window.
void StlnImportFileOK(int entry);
// Registers the process hooks of job type 3 (start-up).
void InstallCustomHooks();
