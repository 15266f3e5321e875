// Opening clips into desktop windows.
#pragma once

// Opens the SVJ reel at `path` into a new desktop window, reusing the reel's
// physical clip when it is already open. Failures are shown to the user.
void OpenFile(const char *path);
