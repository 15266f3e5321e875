// The custom effect job (job type 3) without the toolkit: its preparation
// from an export record (the temporary picture sequences reserved in the
// database's image directory, the import of the results, the program found),
// the background body that writes each frame as a picture, runs the program
// through the shell and checks its result, and the removal of the temporary
// files. The desktop's dialog and the command-line tool share it.
//
// Frames go to the program as the sequence "ex_NN" of the image directory.
// Results written into a reel come back as the sequence "im_NN" there and
// are imported into the reel (the pictures are removed once it is written);
// results kept as pictures go to the chosen path and become an image clip.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "editing/custom_fx.h"

struct ExportData;
struct ImportData;

// Picture formats of custom effects: 0 "Korvendal" (PIC), 1 "Targa", 2 "SGI",
// 3 "YUV" (extension index 4 of the import list).
constexpr int FX_FORMATS = 4;
// The import extension index of format f.
int FxImportExt(int format);

// Status words of the job.
enum {
    FX_OK = 0,
    FX_FAILED = 1,    // a clip in production, an unreadable reel, a picture not written
    FX_NO_RESULT = 3, // the program left no output file
};

// Values the dialog keeps from one custom effect to the next: the picture
// format (`ext_fx`), the quality (`qual_fx`) and "Write SVJ".
extern int ext_fx;
extern int qual_fx;
extern int svj_fx;

// One custom effect.
struct StlnJob {
    ExportData *exp = nullptr; // range, style, chosen path, frame-map copy
    FxCommand command;
    int format = 1; // picture format 0 .. 3
    int quality = 85;
    bool svj = true;                   // results into a reel
    std::string in_base;               // the frames given to the program ("ex_NN")
    std::string out_base;              // the program's results ("im_NN", or the chosen path)
    std::string reel;                  // the result reel when svj
    std::vector<std::string> reserved; // names made with O_EXCL to hold the sequences
    ImportData *import = nullptr;      // the import of the results
    std::atomic<int> own_status{0}, own_progress{0};
    std::atomic<int> *status = &own_status;     // the process table entry's words
    std::atomic<int> *progress = &own_progress; // in the desktop
};

// Prepares the custom effect of export record exp (kinds 4 and 5; the job
// takes it over) with the selected command, picture format and quality,
// picking and reserving the temporary sequences in image_dir and filling the
// import of the results for database db_dir. Returns the job, or null with
// the message to show: "Error in creating effect\n", or the program search's
// message. Nothing is left behind on failure; exp is freed then.
StlnJob *StlnPrepare(ExportData *exp, const FxCommand &command, int format, int quality,
                     const std::string &image_dir, const std::string &db_dir, std::string &message);

// The file of output number `number` of a sequence of the job.
std::string StlnFrameName(const StlnJob &job, const std::string &base, int number);

// The background body (data is a StlnJob): for each frame of the range,
// passes the pause gate, reads the frame, writes it as the input picture,
// removes any stale output, runs the command line through the shell,
// removes the input picture and checks the output. Sets status and progress.
void StlnEffectProcess(void *data);

// Removes the temporary files of a job: every input picture and reserved
// name, and, unless results_kept, the result pictures of a reel effect.
void Free_Fake(StlnJob *job, bool results_kept);

// Frees the export record (its frame-map copy) of a job; the import and
// the job itself stay for the end of the effect.
void StlnFreeExportData(StlnJob *job);

// Frees the job and whatever of it is left.
void StlnFreeJob(StlnJob *job);

// Checks the first result picture before the import of the results: a
// reel's pictures of another size than the video's are fitted; pictures that
// stay as an image clip must have the video size ("You must write the svj
// to\nimport non video size images\n"); an unreadable first result gives
// "Error in creating effect\n".
bool StlnImportReady(ImportData &d, std::string &message);

// The body of the import of a reel effect's results (data is the
// ImportData): ImportWrite, then the result pictures are removed, also when
// the import fails or is stopped.
void StlnImportWrite(void *data);

// Copies the words of an import record (not its progress and status).
void StlnCopyImport(const ImportData &from, ImportData &to);

// Removes the result pictures of the import d (of a reel effect).
void StlnRemoveResults(const ImportData &d);
