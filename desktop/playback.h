// Playback of a clip window in real time (the "play" and "reve" buttons, held
// or button-2-clicked arrows, the Right and Left keys): the window's picture
// runs forward or backward at the video standard's frame rate, dropping
// frames rather than slowing down, while the rest of the interface stays
// alive through a nested event dispatch and background jobs wait at the pause
// gate.
//
// The timing rules, the start and end rules and the frame fetch are small
// functions of their own, free of the toolkit, so that they can be checked
// with a clock that a test stands in for.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstddef>
#include <vector>

struct FisicData;
struct WindowData;

// Plays `win` from its current frame, forward (dir 1) or backward (dir -1),
// and returns when the playback ends: stopped by the user, run off an end of
// the window, or failed ("Play error" is then shown). Nothing while a
// playback runs, and nothing for a window without segments.
void ePlayStart(WindowData *win, int dir);

// ---- the rules, free of the toolkit ----

// First frame of a playback from `current`: backward from frame 0 starts at
// the last frame, forward from the last frame starts at frame 0.
int PlayFirstFrame(int current, int total, int dir);
// Frame shown when a playback runs off an end: 0 backward, total-1 forward.
int PlayEndFrame(int total, int dir);
// Frame period in hundredths of a second when each shown frame stands for s
// frames (1 from the log, 3 from the reel) at `rate` frames per second.
double PlayPeriod(int s, int rate);
// Whether the next frame is drawn: the deadline has already advanced by one
// period, and a frame is skipped when the loop is half a period late or more.
bool PlayDrawNext(double now, double deadline, double period);
// Whether frame n lies outside the window's frames (the playback ends).
bool PlayOffEnd(int n, int total);

// The clock of playback: hundredths of a second on a clock that never goes
// back, and a sleep that returns at `until` at the latest, earlier when the
// X connection has input. The program's clock is std::chrono::steady_clock
// with the sleep on the display connection; tests stand in their own.
struct PlayClock {
    double (*now)();
    void (*sleep)(double until);
};
// Uses `clock` for the following playbacks; null restores the program's.
void SetPlayClock(const PlayClock *clock);
// The program's clock, for stand-ins that wrap it (the playback bench).
const PlayClock &ProgramPlayClock();

// ---- the frame fetch ----

// The part files of the clip being played, held open for the whole run of
// that clip so that each log picture costs one positioned read.
struct PlayParts {
    const FisicData *clip = nullptr;
    int fd[4] = {-1, -1, -1, -1};
    off_t size[4] = {0, 0, 0, 0}; // file sizes, read when opened
    PlayParts() = default;
    PlayParts(const PlayParts &) = delete;
    PlayParts &operator=(const PlayParts &) = delete;
    ~PlayParts() { Close(); }
    // Closes the files of the previous clip and opens every ready part file
    // of c (the others get no descriptor). Nothing when c is the clip held.
    void SwitchTo(FisicData *c);
    // Opens part k of the clip held when it is ready and has no descriptor.
    void Open(int k);
    void Close();
};

enum PlayFetchResult {
    PLAY_FETCH_ERROR = -1, // "Play error"
    PLAY_FETCH_KEPT = 0,   // the log part is not ready: the picture stays
    PLAY_FETCH_LOG = 1,    // a log picture, width x height, drawn 1:1
    PLAY_FETCH_REEL = 2,   // an eighth-size reel picture, drawn at zoom 2
};

// Fetches physical frame f of clip c into dest (dest_size bytes; the
// window's picture is width x height) through the compressed-frame buffer
// buf (buf_size bytes). From the log when c has log parts (files held in
// parts, switched to c), else from c's eighth-size reel reader. Every log
// entry is checked against the table, the buffer and the part file, and the
// picture sizes against dest, before anything is read. dest may be partly
// written when the result is PLAY_FETCH_ERROR.
PlayFetchResult PlayFetch(PlayParts &parts, FisicData *c, int f, unsigned char *buf,
                          size_t buf_size, unsigned char *dest, size_t dest_size, int width,
                          int height);

// ---- events during playback ----

enum PlayAction { PLAY_NONE = 0, PLAY_STOP, PLAY_FORWARD, PLAY_BACKWARD };

// What an event means to the playback of `win`: in the window's picture or
// in the zoom view, space or Escape stop, Left plays backward and Right
// forward, and button 1 stops; button 1 on the window's "stop" stops, on
// "play" plays forward and on "reve" backward; button 2 on the right arrow
// plays forward and on the left arrow backward. Other events mean nothing.
PlayAction PlayEventAction(const WindowData *win, XEvent *ev);

// ---- what a playback did ----

// Counts of the last playback, printed on standard error as one "play: ..."
// line when ORVA_PLAY_STATS is 1. Frames are 0-based here (-1: none shown).
struct PlayStats {
    int start = -1, last = -1; // first and last frame shown
    int dir = 0;               // the direction the playback started in
    int frames = 0;            // loop steps: drawn + dropped
    int drawn = 0, dropped = 0;
    int log = 0, reel = 0;  // pictures fetched from the log and from the reel
    double lag_max_ms = 0;  // worst time from a deadline to the end of its draw
    double seconds = 0;     // duration of the playback
    const char *ended = ""; // "end", "stop" or "error"
};
const PlayStats &LastPlayStats();
// What the following playbacks draw, when a trace is set (null stops it):
// every frame drawn (by the loop, on a stop and at an end) with the clock's
// time at the end of its draw, and, for each frame the loop draws, the time
// in ms from its deadline to the end of its draw.
struct PlayTrace {
    std::vector<int> frames;
    std::vector<double> times; // hundredths of a second, the playback clock's
    std::vector<double> lags_ms;
};
void SetPlayTrace(PlayTrace *trace);
// The stats line, without its newline, into buf (at least 200 bytes).
void FormatPlayStats(const PlayStats &st, char *buf, size_t size);
