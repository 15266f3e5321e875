// The VTR panel's output commands on the desktop: "Grab" (compressed reels
// from tape), and "Disp" / "Rec" (the master area out through the board).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "vtr/grab_job.h"

// Registers the panel's "Grab", "Disp" and "Rec". Start-up.
void InstallGrabHooks();

// "Grab": grabs every range of the grab list into its reel in the current
// database's SVJ directory, as a VTR job titled "Grab"; with the quality at
// "D1" opens the "Grab D1" dialog instead.
void VtrGrab();
// "Disp" and "Rec": play the master area out to the board, or record it
// onto tape between the In and Out marks.
void VtrDisp();
void VtrRec();

// Runs before Disp and Rec with what they go on with: the step that prepares
// the play sequences of the master area. Runs the continuation at once when
// nothing is registered.
extern void (*VtrPrepareHook)(std::function<void()> then);

// "Grab D1" from the panel: the dialog, and the grab with its kept step and
// format.
void VtrImport();
void VtrImportOK();
void Grab_D1();

// The image clip of one uncompressed range: its frame pattern (base + "_%x"
// of In) and its log files in the database.
struct D1RangeFiles {
    std::string pattern;
    int tag = -1;
    std::string log, part;
    bool logged = false; // the log was completed
};
// Grabs range i of job (job->results sized already) into frame files and a
// complete image-clip log in the database directory db. Runs in a job.
void GrabD1Range(D1Job *job, size_t i, std::vector<unsigned char> *frame, const std::string &db,
                 D1RangeFiles *range);
// The D1 format (0..3) of a picture-sequence extension index, or -1.
int D1FormatOfSeqExt(int ext);
