// The desktop's side of output to the board: the VTR job and play-sequence
// job types, and the preparation of play reels before the master area is
// recorded or displayed.
#pragma once

// Registers the VTR panel's job start and the end routines of job types 5
// and 7. Start-up.
void InstallVtrHooks();
