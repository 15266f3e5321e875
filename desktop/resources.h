// Fallback X resources of class "orva" and their start-up adjustments.
#pragma once

#include <string>
#include <vector>

// The 61 fallback resource strings, in order.
extern const char *const orva_fallbacks[61];

// Applies the start-up adjustments to a copy of the fallback list: with
// `border` the last "orva*mwmDecorations:" entry becomes "orva*mwmDecorations: 6";
// on a screen narrower than 1280 pixels the last "orva*vtrform*tc_goto*fontList:"
// entry gets the narrow 33-pixel font. A search that finds nothing changes nothing.
void AdjustFallbacks(std::vector<std::string> &list, int screen_width, bool border);

// Reads the default screen's width (opening and closing the display) and
// returns the adjusted list; 1280 is assumed when no display opens.
std::vector<std::string> AdjustedFallbacks(bool border);
