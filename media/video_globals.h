// The video standard the program runs in, chosen once at start-up from the
// environment and read by every layer that sizes frames.
#pragma once

extern int VIDEO_MODE;  // 0 PAL, 1 NTSC, 2 PAL high resolution, 3 NTSC high resolution
extern int VIDEO_SIZEX; // full frame width in pixels
extern int VIDEO_SIZEY; // full frame height in pixels
extern int fps;         // 25 for PAL modes, 30 for NTSC modes
extern int SYNC_MODE;   // 0 internal, 1 external, 2 analogue genlock, 3 digital genlock

// Sets VIDEO_SIZEX, VIDEO_SIZEY and fps from a video mode (0..3; others count as PAL).
void SetVideoMode(int mode);
