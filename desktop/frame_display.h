// Fetching the frame a clip window shows: from the clip's quarter-size log
// when that part of the log is ready, else from the reel at an eighth.
#pragma once

struct FisicData;
struct WindowData;

// Reads frame f of clip c from its log into image (c->width x c->height
// pixels of 0,B,G,R, `capacity` bytes). Every table entry and the part file's
// size are checked first. Returns 1 on success, 0 when the part is not ready,
// the entry or file is out of bounds, or the picture does not decode.
int ReadLogPicture(FisicData *c, int f, unsigned char *image, long capacity);

// Fetches win->current (log first, reel reader at an eighth second) into
// win->image, sets `source` (1 log, 2 reel) and draws it. A failed fetch
// leaves the previous picture. Nothing for windows without segments.
void ShowFrame(WindowData *win);
