// Storage of the video standard globals, PAL until start-up says otherwise.
#include "media/video_globals.h"

int VIDEO_MODE = 0;
int VIDEO_SIZEX = 720;
int VIDEO_SIZEY = 576;
int fps = 25;
int SYNC_MODE = 0;

void SetVideoMode(int mode) {
    static const int sizes[4][2] = {{720, 576}, {720, 486}, {960, 576}, {960, 486}};
    if (mode < 0 || mode > 3) mode = 0;
    VIDEO_MODE = mode;
    VIDEO_SIZEX = sizes[mode][0];
    VIDEO_SIZEY = sizes[mode][1];
    fps = (mode == 1 || mode == 3) ? 30 : 25;
}
