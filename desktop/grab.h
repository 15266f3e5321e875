// The VTR panel's output commands on the desktop: "Grab" (compressed reels
// from tape), and "Disp" / "Rec" (the master area out through the board).
#pragma once

#include <functional>

// Registers the panel's "Grab", "Disp" and "Rec". Start-up.
void InstallGrabHooks();

// "Grab": grabs every range of the grab list into its reel in the current
// database's SVJ directory, as a VTR job titled "Grab"; with the quality at
// "D1" opens the "Grab D1" dialog instead.
void VtrGrab();
// "Disp" and "Rec": play the master area out to the board, or record it
// onto tape between the In and Out marks.
void VtrDisp();
void VtrRec();

// Runs before Disp and Rec with what they go on with: the step that prepares
// the play sequences of the master area. Runs the continuation at once when
// nothing is registered.
extern void (*VtrPrepareHook)(std::function<void()> then);
