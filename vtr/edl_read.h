// Reading edit decision lists into the EDL table: the cut events of a list
// this program wrote, or of a CMX 3600-style list from another editing
// system, as reel, source In and Out and frame count, ready to be collected
// from tape.
//
// A line ends at LF, CR LF or CR and may hold any bytes at any length; no
// line is ever cut into pieces. A line that begins with a digit is an event
// line: event number, reel, track, transition, then (after a dissolve, wipe
// or key, up to two words that are not timecodes: duration, wipe or key
// code) source In, source Out, record In and record Out; words are split at
// blanks and tabs and words past these are ignored. An event line either
// adds an entry or is skipped for one reason. "M2 reel speed tc" lines give
// the entry of the event line just before them the source range that a
// motion effect plays; "FCM: DROP FRAME" and "FCM: NON-DROP FRAME" set the
// frame count mode of the events after them. Every other line (title,
// "*" comments, "EFFECTS NAME IS", ...) is ignored.
//
// Counting: In..Out inclusive, so In equal to Out is one frame. A ";" or ","
// before the frames of a source label, or "FCM: DROP FRAME", makes the event
// drop-frame: skipped at 25 fps; at 30 its labels are kept and the count
// leaves out labels 00 and 01 of every minute not divisible by ten (such a
// label is invalid). An M2 line after an entry of its reel makes the range
// tc .. tc + n, or tc - n .. tc for a negative speed, where n = ceil(record
// length * |speed| / fps) and the record length is record Out - record In.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Why an event line or an M2 line gave no entry, or why an entry was taken
// with a reservation. Each is one list, expanded into the enum and the
// words printed for it, so the two cannot drift apart.
#define EDL_REASON_LIST(REASON)                                                                    \
    REASON(EDL_SHORT, "short")                 /* too few words after the transition */            \
    REASON(EDL_AUDIO, "audio")                 /* an audio-only track */                           \
    REASON(EDL_TRACK, "track")                 /* another track without video */                   \
    REASON(EDL_TRANSITION, "transition")       /* unknown code; note: transition not rebuilt */    \
    REASON(EDL_BLACK, "black")                 /* reel BL, BLK or BLACK */                         \
    REASON(EDL_AUX, "aux")                     /* reel AX */                                       \
    REASON(EDL_REEL_NAME, "reel-name")         /* reel unusable as part of a file name */          \
    REASON(EDL_TIMECODE, "timecode")           /* source In or Out not a valid label */            \
    REASON(EDL_DROP_FRAME, "drop-frame")       /* drop frame at 25 fps; note: counted as such */   \
    REASON(EDL_OUT_BEFORE_IN, "out-before-in") /* source Out earlier than In */                    \
    REASON(EDL_REPEAT, "repeat")               /* event number of the last entry again */          \
    REASON(EDL_SPEED, "speed")                 /* M2 line not applied; note: range from M2 */

enum EdlReason {
#define EDL_REASON_ENUM(code, word) code,
    EDL_REASON_LIST(EDL_REASON_ENUM)
#undef EDL_REASON_ENUM
        EDL_REASON_COUNT
};

// The word printed for a reason ("short", "out-before-in", ...); "?" for a
// value outside the list.
const char *EdlReasonWord(int reason);

constexpr size_t EDL_REEL_MAX = 32; // longest reel name taken, in bytes

// One entry of the EDL table.
struct EdlEntry {
    std::string reel;  // tape name, 1..32 bytes, no "/", no control byte, no leading "."
    std::string in;    // source In, "hh:mm:ss:ff"
    std::string out;   // source Out, "hh:mm:ss:ff"
    int frames = 0;    // In..Out inclusive; drop-frame count for a drop-frame entry
    int done = 0;      // set when the event has been collected
    bool drop = false; // In and Out are drop-frame labels (30 fps only)
    long line = 0;     // line of the event that made it, from 1
};

// A line that gave no entry (skip) or an entry taken with a reservation
// (note), with its reason.
struct EdlRemark {
    long line = 0;
    EdlReason reason = EDL_SHORT;
    int entry = -1; // for a note: index of the entry in the table
};

// What reading a list gave: the EDL table and, in line order, the lines
// skipped and the notes.
struct EdlTable {
    std::vector<EdlEntry> entries;
    std::vector<EdlRemark> skips;
    std::vector<EdlRemark> notes;
};

// What a table says, one line each, in line order (an entry before its
// notes): "EVENT n reel in out frames" (n from 1), "SKIP line reason",
// "NOTE line reason"; last "TOTAL entries skips".
std::vector<std::string> EdlReportLines(const EdlTable &table);

// Reads a list given in pieces of any size, as they come from a file or a
// pipe: Feed each piece in order, then Finish once. The table is emptied
// when the reader is made and holds the result after Finish.
class EdlReader {
  public:
    explicit EdlReader(EdlTable *table);
    void Feed(const char *bytes, size_t n);
    void Finish();

  private:
    void Line(std::string_view line);
    void Event(const std::string_view *w, size_t n);
    void Speed(const std::string_view *w, size_t n);
    void Skip(EdlReason r);
    void Note(EdlReason r, int entry);

    EdlTable *table_;
    std::string pending_;   // the line read so far when a piece ended inside it
    bool after_cr_ = false; // the last piece ended with a CR
    long line_ = 0;
    bool drop_mode_ = false; // set by "FCM: DROP FRAME"
    // The entry made by the last event line (-1: it made none), its record
    // length (-1: unknown) and whether an M2 line has been applied to it.
    int last_event_ = -1;
    int64_t record_length_ = -1;
    bool speed_done_ = false;
    // The event number of the last entry.
    std::string number_;
    bool have_number_ = false;
};

// Reads a list from memory at the current `fps` into table (emptied
// first). Never fails: whatever cannot be read is skipped.
void EdlReadBytes(const char *data, size_t size, EdlTable *table);

// Reads the list at path (through fopen_regular) into table. 0 when the
// whole file was read; -1 with errno set when it could not be opened or a
// read failed (table then holds what was read before the failure).
int EdlReadFile(const char *path, EdlTable *table);

// As EdlReadFile, from an open descriptor read to its end.
int EdlReadFd(int fd, EdlTable *table);
