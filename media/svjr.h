// The display reader: decodes frames of an SVJ reel straight from memory into
// the packed bottom-up pixels the drawing layer writes (0, B, G, R or B, G, R),
// at full size, a quarter or an eighth, with the two fields interleaved.
//
// A reader is an fm_fileformat record with no format driver: svjr_open fills
// its width, height, frames and size; its state is the reader's private
// record. The caller frees the record (and any buffer) after svjr_close.
#pragma once

#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

#include "media/fm_types.h"
#include "media/svj.h"

// The reader's view of a reel.
struct svjr_file {
    int fd;
    uint32_t file_size;
    uint32_t capacity; // table entries: N + 1024
    int scale;         // 1, 4 or 8
    int fourbytes;     // 0, B, G, R pixels when set, B, G, R otherwise
    svj_frame_entry *table;
    // The svj_tail read from the file; width and height hold ceil(W / scale)
    // and ceil(Hf / scale) after the checks.
    svj_tail tail;
};

// Opens a reel for display at scale 1, 4 or 8, with 4-byte pixels when
// fourbytes is set, and a frame buffer of size bytes when allocbuffer is set
// (otherwise the caller supplies buffers). Refuses, returning null with no
// message, a missing, short or not regular file, a tail magic other than
// "DVS10", a table or header that does not fit the file, a picture larger
// than the board's frame, a scale other than 1, 4, 8 and, when VIDEO_SIZEX
// and VIDEO_SIZEY are positive, a reel whose width or stored height does not
// belong to the video standard.
fm_fileformat *svjr_open(const char *name, int scale, int fourbytes, int allocbuffer);

// Decodes frame (0-based) into buffer (record->size bytes): the picture
// bottom-up, upper field on picture lines 0, 2, ... 0, or 1 for a frame out of
// range (buffer untouched), a failed file access, a field of the wrong size or
// a JPEG error (message on stderr; the buffer may be partly written; later
// reads still work).
int svjr_read(fm_fileformat *record, unsigned char *buffer, int frame);

// Closes the reel and frees the reader's state (record->state). Returns 0.
// The record itself and its buffer stay with the caller.
int svjr_close(void *state);

// Installs on cinfo a source that hands the decoder the L bytes after the
// 4-byte length word (host order) at image, all in one piece; L = 0 gives a
// premature-end warning and an EOI.
void jpeg_stdio_src_mem(j_decompress_ptr cinfo, unsigned char *image);

// The reader's JPEG error exit: prints the library's message and jumps back
// to the read that was running (never returns).
[[noreturn]] void my_error_exit(j_common_ptr cinfo);
