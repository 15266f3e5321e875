// Edit lists on the desktop: SAVE > "Edit list ..." writes the grab list,
// OPEN > "Edit list ..." reads a list and opens the "Edlcollect" dialog,
// which grabs the chosen events from tape reel by reel.
#pragma once

// Reads the edit list at path and opens "Edlcollect" over its events; says
// why instead when there is no board, the list cannot be read or it holds no
// event to collect. Lines of the list that gave no event, and events taken
// with a reservation, are told in a message beside the dialog.
void EdlcollectDialog(const char *path);
