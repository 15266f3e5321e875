// The rules behind the VTR panel's controls that need no display: the
// normalising of typed timecodes, the quality steps with their auto-repeat
// and the jog speed of the slider.
#pragma once

// Normalises the text of an In/Out field: its digits, at most the last 8,
// are placed right-aligned into "00:00:00:00" (the colons skipped); then
// minutes and seconds are clamped to 59 and frames to fps - 1. Writes the
// 11 characters and a NUL into out (12 bytes). Null text reads as empty.
void ParseTimecodeText(const char *text, char *out);

// One quality step from the label text: "D1" counts as 101, anything else
// as its number. A positive step at 101, or a negative one at 1 or below,
// changes nothing and returns false; otherwise the value + delta clamped to
// 1..101 is written into out ("D1" for 101) and true is returned. out holds
// at least 8 bytes.
bool StepQualityText(const char *label, int delta, char *out, int size);

// Auto-repeat of a held quality button: each step is delta * (c + 15) / 16,
// c starting at 1 and doubling after each step while below 100, which gives
// steps of 1, 1, 1, 1, 1, 2, 4, 8, 8, ...
struct QualityRepeat {
    int c = 1;
    int NextStep(int delta) {
        const int step = delta * (c + 15) / 16;
        if (c < 100) c *= 2;
        return step;
    }
};

// The jog speed of slider value v (-31..31): 0 when |v| < 11, else
// floor(2^((|v| + 12) / 2)) with the sign of v.
int JogSpeed(int v);

// True when the slider snaps back to 0 while dragged at v (-10 < v < 10).
inline bool JogSnapsBack(int v) {
    return v > -10 && v < 10;
}
