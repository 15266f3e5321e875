// A grab from tape that goes tape by tape, as Recollect and the edit-list
// collect do: before each tape "Change reel" asks for it (the name given
// must do as a file name), one VTR job grabs that tape's ranges, and its end
// routine makes the clips and goes on with the next tape. "Break", a name
// that will not do, or a job stopped by the user ends the sequence; at the
// end the errors or the lost data of all its tapes are told once.
#pragma once

#include <cstddef>
#include <string>

struct D1RangeFiles;
struct D1Result;
struct FisicData;
struct GrabResult;

// What the ranges of a sequence left: board results with lost data
// (warnings) and ranges that gave no clip (errors).
struct TapeTally {
    int warnings = 0, errors = 0;
};

// One sequence over a user's own records. The record is made with new and
// handed to RunTapeSequence, which deletes it when the sequence ends.
class TapeSequence {
  public:
    // job_title: the wait dialog's title; error_text: the message at the
    // end when a range failed.
    TapeSequence(const char *job_title, const char *error_text)
        : job_title_(job_title), error_text_(error_text) {}
    virtual ~TapeSequence();
    TapeSequence(const TapeSequence &) = delete;
    TapeSequence &operator=(const TapeSequence &) = delete;

    // How many tapes, and the name "Change reel" offers for tape n.
    virtual size_t Tapes() const = 0;
    virtual std::string TapeName(size_t n) const = 0;
    // The VTR job's body for tape `at` under the name `new_tape`: grabs its
    // ranges and keeps their results. Runs in the job: no X, no clip list.
    virtual void Grab() = 0;
    // In the main thread when tape `at`'s job has ended, stopped or not:
    // makes the clips of its results, counting into `tally`.
    virtual void Grabbed() = 0;
    // The name given in "Change reel" will not do; the sequence ends next.
    virtual void NameRefused() = 0;

    // True while "Change reel" waits for an answer.
    bool Asking() const { return asking_; }

    size_t at = 0;        // the tape being asked for or grabbed
    std::string new_tape; // the name given for it in "Change reel"
    TapeTally tally;

  private:
    friend struct TapeSequenceSteps; // the steps of tape_sequence.cpp
    const char *job_title_;
    const char *error_text_;
    bool asking_ = false; // "Change reel" is up
};

// Asks for the first tape of s and goes on from there; s is deleted when
// the sequence ends (after its last tape, "Break", a name that will not do
// or a stopped job), after the errors (error_text) or lost data ("Warning:
// data lost while grabbing") are told, the VTR stopped and the log
// converter woken for the new clips. A sequence without tapes ends at once.
// When the VTR job is declined (the question about a database on another
// machine), s stays, neither asking nor running: its owner deletes it.
void RunTapeSequence(TapeSequence *s);

// The clip of a compressed range after its tape's job, made and added to
// the clip list with the database as its home; null when the range gave
// none. A range cut by a stop loses its partial reel and counts nothing;
// otherwise lost data (board codes 31, 22) counts a warning, and any other
// error or a missing clip an error.
FisicData *TapeReelClip(const GrabResult &r, TapeTally *tally);
// The same for an uncompressed range: one cut by a stop loses its partial
// frame and its log; a range whose log was not completed counts an error.
FisicData *TapeFramesClip(const D1Result &r, const D1RangeFiles &files, TapeTally *tally);
