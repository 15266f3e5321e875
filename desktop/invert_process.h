// The desktop's side of output to the board: the VTR job and play-sequence
// job types, and the preparation of play reels before the master area is
// recorded or displayed.
#pragma once

struct WindowData;

// Registers the VTR panel's job start and the end routines of job types 5
// and 7. Start-up.
void InstallVtrHooks();

// The collecting step of Rec and Disp: every segment of the summa window
// inside the timeline's In..Out that plays a reel backwards or through a map
// with a period gets a play-reel job; the first opens the wait message
// "Working" / "Preparing sequences.\nClick stop to abort". The jobs then run
// as one background job (type 5), after which the segments play the new
// reels and continuation() runs. Without such segments continuation() runs
// at once. "Error creating inverted sequence" when the job cannot start.
void PreparePlaySequences(void (*continuation)());

// Starts the background job over play_jobs: 1, or 0 when it cannot start.
// Closes the pause gate (semaphore 0) while it runs.
int SprocInvertSvj();
// The wait message's "Stop": the message goes, no continuation runs, the job
// is stopped and the pause gate opens.
void StopInvertProcess();
// The end of the job with id pid: finished reels become clips and take over
// their segments, failed ones are removed; then the continuation runs.
void EndInvertProcess(int pid);
