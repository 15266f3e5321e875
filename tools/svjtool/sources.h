// Clips named on svjtool's command line: reels and picture sequences in the
// import list's form, shared by the commands that read frames of clips.
#pragma once

#include <string>

struct FisicData;

// A source "base[first...last]ext" or "base.[0001...0250].ext" as a
// picture-sequence clip; null when the text is not of that form.
FisicData *sequence_clip(const std::string &text);
// A reel as a clip; null when it cannot be read.
FisicData *reel_clip(const char *name);
// Frees a clip made by either.
void free_clip(FisicData *f);
