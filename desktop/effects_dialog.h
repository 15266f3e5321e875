// Transitions between two selected clip windows: the effect dialog, the new
// window with its icon-size preview, and the background render (job type 4)
// whose end routine turns the preview pieces into clips reading the new files.
#pragma once

#include "editing/effects.h"

struct Segment;
struct WindowData;

// Positions of the transition against the marks.
enum EffectPosition { EFFECT_BEFORE = 0, EFFECT_CENTER = 1, EFFECT_AFTER = 2 };

// The effect the next dialog uses, and its code ("SC", "WP", "UE").
void SetEffect(EffectFunc function, const char *code);

// Opens the effect dialog titled `title` after its checks.
void EffectDialog(const char *title);

// The dialog's work once its values are read: steps 2 .. 12 of the OK
// button with n frames, the toggles and the position. Returns the new
// window, or null when none was made (the reason has been shown).
WindowData *EffectRun(int n, int join, int invert, int position);

// A transition piece's clip and its segment at window offset `position`
// (appended to w's ring); the clip is registered as being produced.
FisicData *MakeEffectPiece(EffectData *d, const EffectPreview &preview, FisicData *a, WindowData *w,
                           int position);

// Starts the render of the pieces among first .. last of w's segments.
// Returns 1, or 0 when the job could not be started (nothing changed).
int StartEffectProcess(WindowData *w, Segment *first, Segment *last);

// The end routine of an effect job.
void EndEffectProcess(int pid, int status);

// Registers the end routine of job type 4.
void InstallEffectHooks();
