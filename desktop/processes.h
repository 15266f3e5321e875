// The process table: the background jobs of the program (log converter,
// import, export, custom effects, effect rendering, play-sequence preparation,
// reel copies, VTR transfers), their start, stop and collection.
//
// Jobs run on threads (platform/jobs.h); each entry's `pid` is the job's id.
// A job writes its progress and status into its entry; the main thread reads
// them. Ended jobs are collected in the main thread, where the end routine of
// the job's type runs. The parts of those end routines that belong to other
// subsystems (import, export, custom effects, effects, play sequences, VTR)
// are reached through the per-type hooks in `job_type_hooks`, which those
// subsystems fill in; messages go through `ProcessMessage` and the end of the
// program through `ProcessFinalExit`, both set by the desktop. No toolkit
// calls here: the timers that drive this live in process_timers.cpp.
#pragma once

#include <atomic>
#include <string>
#include <vector>

struct WindowData;

// Job types.
enum {
    JOB_CONVERT = 0, // log converter eConvert, for the program's lifetime
    JOB_IMPORT = 1,
    JOB_EXPORT = 2,
    JOB_CUSTOM = 3,
    JOB_EFFECT = 4,
    JOB_INVERT = 5, // play-sequence preparation for output to the device
    JOB_SVJCOPY = 6,
    JOB_VTR = 7,
    JOB_TYPES = 8
};

constexpr int MAX_SPROC = 7;     // entries of pidData
constexpr int GENERAL_SPROC = 6; // entries 0..5 take general jobs; 6 takes types 5 and 7
constexpr int STATUS_STOPPED = 5;

// One entry of the process table. Words a job writes while the main thread
// reads them are atomic.
struct PidData {
    std::atomic<int> pid{-1};                  // job id; 0 or less: entry free
    int type = 0;                              // job type
    std::atomic<WindowData *> window{nullptr}; // window the job works for, or null
    std::string output;                        // output file (shown; removed on stop)
    std::atomic<int> word1{0};                 // filled by the job's own set-up
    std::atomic<int> slot{-1};                 // entry index while an import shows progress
    std::atomic<int> progress{0};              // written by the job
    int shown = 0;                             // progress value last shown
    std::atomic<int> status{0};                // 0 success, 5 stopped, others per type
    int kill_mark = 1;                         // 1: stop on "Kill all" and on exit
    int row = 0;                               // 1-based row in the processes dialog, 0 none
    std::atomic<int> word2{0};                 // filled by the job's own set-up
    std::atomic<int> word3{0};                 // filled by the job's own set-up
    void *import_data = nullptr;               // import description of an import
    void *job_data = nullptr;                  // the job's data record, for its end routine
};

extern PidData pidData[MAX_SPROC];
extern int num_sproc; // running jobs, the converter included

// What other subsystems do when their jobs start and end. Any hook may be
// null; a null hook does nothing.
struct JobTypeHooks {
    // Fills the entry at start (SetImportPidData for imports, SetExportPidData
    // for exports and custom effects) with the entry index and the data.
    void (*set_entry)(int entry, void *data);
    // Frees the job's records first thing in its end routine (FreeImportData,
    // FreeExportData, Free_Fake with StlnFreeExportData, the reel copy's data).
    void (*free_data)(int entry);
    // The type's closing step (ImportFinish or CloseOK, RestoreFrameColor,
    // ImportFinish of a custom effect, EndEffectProcess, EndInvertProcess,
    // EndVtrProcess); `pid` is the id the job had.
    void (*finish)(int entry, int pid);
    // The success path of a custom effect (StlnImportFileOK).
    void (*succeed)(int entry, int pid);
    // Removes an import's partial reel or picture log (the first part file
    // named by ClipName or PicClipName) when the import is stopped.
    void (*remove_partial)(int entry);
};
extern JobTypeHooks job_type_hooks[JOB_TYPES];

// Shows a message of an end routine (the desktop sets it to PutCharMessage on
// mainform). Null: messages go to standard error.
extern void (*ProcessMessage)(const char *text);
// Ends the program once exit is pending and the last job has ended (FinalExit).
extern void (*ProcessFinalExit)();
// Starts the import progress timer for an entry (set by process_timers.cpp).
extern void (*ProcessStartProgress)(int entry);
// Shows an import's progress on its window (SetImportProgress on the entry's
// `output`, window and `progress`); set by the clip window code.
extern void (*ImportProgressShow)(int entry);

// Marks all seven entries free (pid -1, window and data cleared, kill mark 1)
// and sets num_sproc to 0. Start-up, before any job.
void InitProcessTable();

// Starts fn(data) as a job of `type`: types 5 and 7 take entry 6 when it is
// free, others the first free entry of 0..5. Returns the entry index, or -1
// when no entry is free or the job could not be started (after printing the
// system error for "Error sproc"); the caller reports a full table.
int Sproc(void (*fn)(void *), void *data, int type);

// Entry of the calling job (found by its id), or -1 outside jobs.
int SprocSelf();

// Runs the end of the job with id `pid` in the main thread: frees its entry,
// decreases num_sproc, runs the end routine of its type, then ends the program
// when exit is pending and no job is left. Unknown ids are ignored.
void ProcessEnded(int pid);

// Collects every job that has ended since the last call and runs ProcessEnded
// for each; a job that was asked to stop ends with status 5 whatever it wrote.
// Returns the number collected. ReapChildren calls it every second.
int ReapEndedJobs();

// Stops the job of an entry: status 5, progress display off, the job's stop
// (its SIGTERM), and removal of its partial output: `output` of imports,
// exports and reel copies, and an import's first log part through its hook.
// Nothing for a free entry.
void StopProcess(int entry);

// Opens `name` for writing from its start: an existing file is emptied, a
// missing one created with permissions 0666 (less the umask). Returns the
// descriptor or -1 with errno set; a FIFO, device, directory or link in its
// place is refused (EINVAL, EISDIR).
int OOpen(const char *name);

// Dialog text of a job type ("IMPORT PROCESS:    " ...), or null for types
// that are not listed.
const char *ProcessTypeText(int type);

// True when a job other than the converter runs in any entry.
bool ProcessesRunning();

// The rows of the processes dialog: the running jobs of entries 0..5 other
// than the converter, in entry order, each the type text and the base name of
// `output`, at most 500 characters. Sets each listed entry's `row` (1-based)
// and clears the others'.
std::vector<std::string> RunningProcessList();

// Clears the kill marks of entries 0..5.
void ClearKillMarks();

// Marks the job listed at 1-based dialog row `row`. Returns 1, or 0 when no
// running job has that row.
int MarkProcessRow(int row);

// "Kill all" of the processes dialog: stops every marked job of entries 0..5
// but the converter, then sets every kill mark to 1. Returns the number stopped.
int StopMarkedProcesses();

// The stop step of the exit: stops every running job that is kill-marked or is
// the converter, and kill-marks the others. Returns the number stopped.
int StopProcessesForExit();

// One tick of the import progress display of `entry` for the job `pid`:
// returns the delay until the next tick (1000 ms, 2000 ms while the pause gate
// is closed), or 0 when the display ends (exit pending, slot below 0, or the
// entry no longer holds that job).
int ImportProgressTick(int entry, int pid);
