// Playback of a clip window in real time (the "play" and "reve" buttons, held
// or button-2-clicked arrows, the Right and Left keys).
#pragma once

struct WindowData;

// Plays `win` from its current frame, forward (dir 1) or backward (dir -1),
// and returns when the playback ends. Nothing while a playback runs.
void ePlayStart(WindowData *win, int dir);
