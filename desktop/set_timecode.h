// The "Set timecode" dialog of the summa window: sets the start timecode of
// the master area.
#pragma once

#include <X11/Intrinsic.h>

// Opens the dialog (only while a summa window exists). Returns it or null.
Widget SetTimecodeDialog();

// Frame count of a start timecode text, or -1 when the text is not a valid
// timecode.
int ParseStartTimecode(const char *text);

// Applies a start timecode text: on success master_tc and the summa window's
// `start` become it and its timecode label is updated; returns 1. Returns 0
// (changing nothing) when the text is not valid.
int ApplyStartTimecode(const char *text);
