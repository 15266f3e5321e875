// Movie files for export: QuickTime files with one video track and no
// audio, written through libavformat's mov muxer. The five movie formats of
// the export dialogs ("Uncompressed", "MVC2", "JPEG", "QT Uncompressed",
// "QT JPEG") become: 24-bit R, G, B 'raw ' samples for the uncompressed
// ones, 'jpeg' samples coded by the compression layer (clCompressImage) at
// the export's quality for the JPEG ones, and MPEG-4 part 2 for "MVC2",
// which nothing encodes today. Every movie shows its frames upright and in
// the clip's colours.
#pragma once

#include <vector>

struct Movie;

// Creates the movie file `path` (replaced; mode 0666) of width x height
// pixels at `rate` frames per second in movie format `index` (0 .. 4, the
// movie table's order), JPEG at `quality` (1 .. 100). 0 and *movie set, or
// -1 with nothing left behind.
int MvCreate(const char *path, int width, int height, int rate, Movie **movie, int index,
             int quality = 85);

// Adds a bottom-up 0, B, G, R picture of the movie's size as movie frame
// `frame` (0, 1, ... in order); buffer is working space kept by the caller
// between calls. 0, or -1.
int MvFrameAdd(const unsigned char *pixels, std::vector<unsigned char> &buffer, Movie *movie,
               int index, int width, int height, int frame);

// Writes the movie's index and closes it (every created movie must be
// closed, so that it plays). 0, or -1 when the file could not be finished.
int MvClose(Movie *movie);
