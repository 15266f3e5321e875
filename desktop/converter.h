// The log converter (job type 0), which builds the quarter-size logs of all
// open clips for as long as the program runs, and the main thread's periodic
// clean-up of clips nobody uses.
//
// The converter and the main thread share the clip list `first_fisic`. They
// keep out of each other's way through the semaphore set: the converter sets
// semaphore 1 before each cycle and sleeps until the main thread clears it
// (after opening or closing clips); when it has seen clips without users it
// sets semaphore 2 and stays parked until the main thread has freed them and
// cleared it; semaphore 3 asks it to remove the clips marked for removal; it
// waits at the pause gate (semaphore 0) before every pass and every frame.
//
// This file holds that protocol. The walks over the clip list itself (writing
// log parts, removing marked clips, freeing unused ones) belong to the clip
// model and are reached through `converter_work`, which the clip model fills
// in; until it does, a cycle finds nothing to convert.
#pragma once

// The clip-list work the protocol drives. Null members do nothing.
struct ConverterWork {
    // One pass over first_fisic, in the converter: skips clips with refs 0 or
    // less (setting *saw_unused to 1) and complete clips, writes the next log
    // part of each other clip (SemWait(0) before each frame,
    // ConvertServeRemoval after each), and returns 1 when a clip is left
    // incomplete so that another pass follows, else 0.
    int (*pass)(int *saw_unused);
    // Removes the clips marked for removal (unlink, delete files, free), in
    // the converter.
    void (*remove_marked)();
    // Frees every clip with refs below 1 that is not busy, in the main thread,
    // while the converter is parked.
    void (*free_unused)();
};
extern ConverterWork converter_work;

// The converter's job function (Sproc(eConvert, nullptr, 0) at start-up).
// Runs until its job is stopped; the stop unwinds it at its next wait.
void eConvert(void *data);

// Serves a removal request (semaphore 3 is 1): removes the marked clips and
// clears semaphore 3. The converter calls it before each pass and the pass
// after each frame.
void ConvertServeRemoval();

// One tick of the 60-second clean-up: when the converter asked for clean-up
// (semaphore 2 is 1) and the pause gate is open, frees the unused clips; then
// clears semaphore 2 so that the converter goes on. ClearWorkTimer calls it.
void ClearWorkTick();
