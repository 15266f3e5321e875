// Play reels: before the master area goes out to the board, which plays a
// reel's frames only in stored order, every stretch that plays a reel
// backwards or through a map with a period becomes a new reel holding its
// frames in play order, copied as compressed fields without decoding.
//
// A job describes one such reel; the jobs of one preparation form a list.
// The background body (BuildPlayReel per job) writes only the new file and
// the job's `done`; windows and clips change only in the main thread after
// it (RelinkToPlayReel).
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

struct FisicData;
struct Segment;
struct WindowData;

struct PlayJob {
    int pid = -1;           // the background job, held in the first job
    void *dialog = nullptr; // the wait message, destroyed at the end
    FisicData *clip = nullptr;
    int start = 0, end = 0; // source frames in play order; end < start runs backwards
    std::atomic<int> done{0};
    std::vector<int> map; // the segment's map (empty: none)
    int period = 1, map_len = 0;
    std::string output;               // path of the new reel, empty when none
    void (*continuation)() = nullptr; // runs when every job is finished; cleared by Stop
};

// The jobs of the running (or next) preparation, in the order added.
extern std::vector<std::unique_ptr<PlayJob>> play_jobs;

// Adds a job for a segment: a segment without a map on the clip of a job
// without a map whose range overlaps it widens that job (start the larger of
// both starts, end the smaller of both ends); otherwise a new job is
// appended. Returns the job.
PlayJob *AddInvertProcess(const Segment *segment, void *dialog, void (*continuation)());

// The first free name for a play reel of `clip`: its path without ".svj",
// then "_Play%02i.svj" from 1 on; the file is created empty (mode 0666).
// Empty when no name could be made.
std::string PlayReelName(const FisicData *clip);

// Writes the job's reel at job->output: the source's header area as is,
// then both fields of each frame in play order (field 1 first when the job
// runs backwards and invert_fields is set), the frame table and the tail.
// Refuses an existing output unless overwrite is set. Every used field must
// lie before the source's frame table. 1 on success, 0 on failure (the
// output is then left for the caller to remove). May be stopped between
// frames (JobCheckStop).
int BuildPlayReel(PlayJob *job, int overwrite, int invert_fields);

// Points the segments of `window` that the job covers at newClip: a mapped
// segment (or any segment of a mapped job) only when its first, last, map,
// map_len and period are the job's, becoming plain 0..|last-first|; a plain
// backward segment inside the job's range becomes the forward stretch of the
// new reel that holds its frames. Each relinked segment moves one use from
// the old clip to the new one. Returns the number relinked.
int RelinkToPlayReel(WindowData *window, const PlayJob *job, FisicData *newClip);

// The number of frames of a job's reel: |end - start| + 1.
int PlayJobFrames(const PlayJob *job);
// Source frame of the job's k-th frame by the frame rule.
int PlayJobFrame(const PlayJob *job, int k);
