// The video standard the program runs in, chosen once at start-up from the
// environment and read by every layer that sizes frames, and the NTSC
// picture rule that every layer sizing an NTSC frame follows.
#pragma once

extern int VIDEO_MODE;  // 0 PAL, 1 NTSC, 2 PAL high resolution, 3 NTSC high resolution
extern int VIDEO_SIZEX; // full frame width in pixels
extern int VIDEO_SIZEY; // full frame height in pixels
extern int fps;         // 25 for PAL modes, 30 for NTSC modes
extern int SYNC_MODE;   // 0 internal, 1 external, 2 analogue genlock, 3 digital genlock

// Sets VIDEO_SIZEX, VIDEO_SIZEY and fps from a video mode (0..3; others count as PAL).
void SetVideoMode(int mode);

// NTSC pictures are 486 lines high as shown and 496 as stored: each stored
// field carries NTSC_PAD_LINES padding lines on top (value NTSC_PAD_VALUE).
// Quarter-size NTSC pictures are 120 lines high (a multiple of 8, cut from
// 121.5), eighth-size ones 60.
constexpr int NTSC_PRESENTED = 486;
constexpr int NTSC_STORED = 496;
constexpr int NTSC_PAD_LINES = 5;
constexpr unsigned char NTSC_PAD_VALUE = 16;
constexpr int NTSC_QUARTER = 120;

// True in the two NTSC modes.
inline bool VideoIsNtsc() {
    return VIDEO_MODE == 1 || VIDEO_MODE == 3;
}
// Stored frame height for a shown height (486 -> 496; others unchanged).
inline int StoredHeight(int height) {
    return height == NTSC_PRESENTED ? NTSC_STORED : height;
}
// Height of a quarter-size picture of a full frame `height` lines high.
inline int QuarterHeight(int height) {
    return height == NTSC_PRESENTED ? NTSC_QUARTER : height / 4;
}
