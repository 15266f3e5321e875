// Timecode arithmetic shared by the VTR panel, grabbing, edit lists and the
// timeline.
//
// A `Timecode` is the board's 32-bit BCD word: hours in bits 0-7, minutes in
// 8-15, seconds in 16-23 and frames in 24-31, each byte two BCD digits with
// the tens in the high nibble. Its text form is "hh:mm:ss:ff" (11
// characters); a "." in place of the last ":" is accepted on input. Frames
// run at `fps` (25 or 30) with no drop-frame counting. Hours are not wrapped
// at 24, but the word holds at most 99 of them.
#pragma once

#include <cstdint>

using Timecode = uint32_t;

// Writes the 11-character text of `word` and a NUL into text (12 bytes).
// Nibbles are written as digits without any check.
void vtr_tc2asc(Timecode word, char *text);

// Builds the word from the digits at positions 0,1 3,4 6,7 9,10 of text.
// Callers validate with is_valid_tc first; a text shorter than 11
// characters reads its missing digits as 0 (nothing past its end is read).
void vtr_asc2tc(const char *text, Timecode *word);

// True when text is a valid timecode: at least 11 characters, digits at
// 0,1 3,4 6,7 9,10, ":" at 2 and 5, ":" or "." at 8, minutes and seconds
// below 60, and the number from position 9 below `fps`. Null is false.
bool is_valid_tc(const char *text);

// Frame count of a word: ((hours * 3600 + minutes * 60 + seconds) * fps) +
// frames.
int tc2frames(Timecode word);

// Word of frame count n at `fps`. A negative count gives 00:00:00:00 and a
// count past the last frame of hour 99 gives 99:59:59 and the last frame.
Timecode frames2tc(int n);

// Length of the range in..out inclusive in frames; -1 when out is earlier
// than in.
int Count_Frames(Timecode in, Timecode out);

// The word n frames after (n < 0: before) word: frames carry into seconds
// at `fps`, seconds into minutes and minutes into hours at 60. Going back
// stops at 00:00:00:00; going forward stops at the last frame of hour 99,
// the largest time the word can hold. A word with out-of-range fields is
// counted by tc2frames and re-formed.
Timecode TcAddFrames(Timecode word, int n);
