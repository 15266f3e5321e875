// The import dialog and the import job on the desktop: its fields, the
// start of a job with the window of the clip being produced, and the end
// routine that makes the clip when the job ends.
#pragma once

#include <Xm/Xm.h>

#include <string>

struct ImportData;
struct ImportJob;
struct WindowData;

// Writes first and last ("%i") into the dialog's Start and End fields.
void ImportSetStartEnd(int first, int last);
// Reads Start (below 1: 1), End (below Start: Start), Step (below 1: 1) and
// Quality (kept within 1..100) from the open dialog.
void ImportGetParameters(int &start, int &end, int &step, int &quality);
// 1 when an open clip or a running job uses the reel at path.
int ReelInUse(const char *path);
// Prepares job (its start, end, step and quality set) for path into reel
// (empty: an image clip) and starts it, asking first when the pictures must
// be fitted; failures are shown and free the job.
void ImportFile(ImportJob *job, const std::string &path, const std::string &reel,
                const std::string &db_dir, int mode, int fields);
// Starts the job with its window on the desktop, or refuses when too many
// jobs run. The job is freed by its end routine.
void StartImport(Widget parent, ImportJob *job);
// A new import job, and the import record it carries.
ImportJob *NewImportJob();
ImportData &ImportJobData(ImportJob *job);
// Starts an import whose window already stands (the window of a custom
// effect, which goes on to show the import of its results): body runs as the
// job (ImportWrite when null; it gets the job, whose record comes first).
// Returns the entry, or -1 after freeing the job.
int StartImportInWindow(ImportJob *job, WindowData *win, void (*body)(void *));
// The end of an import job: the clip is made (reel or image clip) and
// replaces the window of the clip being produced; a stopped or failed
// import leaves no clip. A window closed meanwhile is not touched; an image
// clip's log is still written. Frees the job.
void ImportFinish(ImportJob *job, int status);
// The "Start:", "End:", "Step:" fields, the "Write SVJ" toggle and the
// "Quality:" field of the remote import dialog in parent.
void ImportAbe(Widget parent, int width, int height);
// The "Padding " radio box (".1.", ".0001.", "dos"; ".1." on) in parent.
void AbeTextAdd(Widget parent);
// Registers the import's per-type process hooks (start-up).
void InstallImportHooks();
