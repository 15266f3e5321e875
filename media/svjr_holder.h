// Owning the display readers of media/svjr.h: one call frees a reader whole
// (its state, its frame buffer and the record), and a holder does it at the
// end of a scope, so no caller reaches into the record to free its parts.
#pragma once

#include <memory>

struct fm_fileformat;

// Closes the reel of a reader made by svjr_open and frees its state, its
// buffer (allocbuffer) and the record. Returns 0, or -1 for a null reader.
int svjr_free(fm_fileformat *reader);

struct SvjrFree {
    void operator()(fm_fileformat *reader) const { svjr_free(reader); }
};
// A display reader freed with svjr_free when the holder goes.
using SvjrReader = std::unique_ptr<fm_fileformat, SvjrFree>;
