// Colours of the main window and the hidden forms that carry colours from
// the resources.
#pragma once

#include <X11/Intrinsic.h>

// Background and menu foreground as 8-bit RGB, read by AllocColors.
extern unsigned char background_rgb[3], foreground_rgb[3];

// Reads the RGB of the background (`background`) and of the menu bar's
// foreground, and allocates the red, yellow and busy colours; a colour the
// server cannot give becomes pixel 1.
void AllocColors(Pixel menu_foreground);
// Creates the four hidden 1x1 colour forms ("in_out_bg", "rec_bg",
// "dulsar_err", "dulsar_warn") in mainform and sets the shell's icon.
void CreaColorForms();
