// The svj driver's field store (source fm_svj_store.cpp): an
// fm_svj_file record over a reel, storing JPEG field files into it, taking
// fields out as standalone JPEGs, building the header, writing table block
// and tail, and the table accessors that the effect writers and the
// reel-to-reel copy use when they assemble a reel by raw writes.
//
// Results are 0 for success and 1 (or null) for failure, with fm_errno set
// to the cause only while it is still 0 (fm_error.h).
//
// The pixel-level driver (create/open/close/read/write callbacks,
// fm_svj_register, fm_svj_frame_substitute) builds on this header; its state
// record fm_svj_state is declared here because the accessors take it. JPEG
// data passes through memory (the *_mem forms), never through temporary files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "media/fm_error.h"
#include "media/fm_types.h"
#include "media/svj.h"

// One reel opened by the field store; zero-filled at creation.
struct fm_svj_file {
    int fd;
    uint32_t file_size;     // length of the file when opened
    uint32_t capacity;      // table entries allocated
    uint32_t modified;      // set by a field write; the tail is rewritten on close when set
    svj_frame_entry *table; // capacity entries, owned
    svj_tail tail;          // W, Hf, N, P, H, lost AC; magic and reserved bytes as read
    unsigned char table_prefix[SVJ_TABLE_PREFIX_SIZE]; // table block prefix, filled on close
};

struct fm_svj_buffers;

// The svj driver's private record, kept in the fm_fileformat.
struct fm_svj_state {
    fm_fileformat *record;
    fm_svj_file *file;
    int quality;
    jpeg_compress_struct compressor;
    int compressor_created;
    jpeg_decompress_struct decompressor;
    int decompressor_created;
    jpeg_error_mgr error;
    fm_svj_buffers *buffers; // the driver's working buffers, owned (null in a bare state)
};

// --- Reel files -----------------------------------------------------------

// Opens (creating with mode 0644) read-write; table of 1024; W, Hf, N = 0.
// Null on failure (2, 11).
fm_svj_file *fm_svj_file_create(const char *name, int width, int height);
// Opens read-only, or read-write when update is set; reads tail and table.
// Null on failure (2, 12 open, not a regular file, or a tail whose table does
// not fit in the file, 13, 14 read or file of 68 bytes or less, 17 magic not
// "DVS10" or a picture larger than the board's frame).
fm_svj_file *fm_svj_file_open(const char *name, int update);
// Writes table block and tail when modified, then always closes and frees.
// 0 or 1 (10, 13, 15, 21).
int fm_svj_file_close(fm_svj_file *file);

// --- Fields ---------------------------------------------------------------

// Stores a JPEG file as field (0 or 1) of frame (0 .. N); frame becomes the
// last frame. 0 or 1 (18, 2, 12, 13, 15, 3).
int fm_svj_field_write(fm_svj_file *file, const char *jpegname, int frame, int field);
// The same for JPEG data in memory (not changed).
int fm_svj_field_write_mem(fm_svj_file *file, const unsigned char *jpeg, size_t len, int frame,
                           int field);
// Writes header, field and 1024 padding bytes to a new file (mode 0644).
// 0 or 1 (18, 3, 2, 13, 14, 11, 15).
int fm_svj_field_extract(fm_svj_file *file, const char *outname, int frame, int field);
// Header followed by the field, a complete JPEG, into out (replaced). 0 or 1
// (18, 3, 2, 13, 14).
int fm_svj_field_extract_mem(fm_svj_file *file, int frame, int field,
                             std::vector<unsigned char> *out);

// --- Headers --------------------------------------------------------------

// Builds the reel header of a JPEG file into out: its length H, or 0.
int fm_svj_header_build(const char *jpegname, unsigned char *out, int outsize);
// The same for JPEG data in memory.
int fm_svj_header_build_mem(const unsigned char *jpeg, size_t len, unsigned char *out, int outsize);
// The header a one-line image of the reel's W x Hf/2 at the state's quality
// gets (4:2:2, no JFIF marker, baseline); its length or 0.
int fm_svj_header(fm_svj_state *state, unsigned char *out, int outsize);

// A libjpeg destination that writes the compressed image into out (resized
// to the image's length by jpeg_finish_compress).
void fm_svj_jpeg_vector_dest(j_compress_ptr cinfo, std::vector<unsigned char> *out);

// --- Table and tail -------------------------------------------------------

// Sets N = frames and writes comment block, table block, table and tail
// through fd, then truncates. 0 or 1 (3 frames outside the table, 13, 15, 21).
int fm_svj_write_tail(fm_svj_state *state, int fd, int frames);
// Entry halves: field 0 for field argument 0, field 1 for any other value.
// Frames outside the allocated table give 0.
uint32_t fm_svj_offset(fm_svj_state *state, int frame, int field);
uint32_t fm_svj_size(fm_svj_state *state, int frame, int field);
// Stores an entry half; returns 16 x frame, or -1 (code 3) for a frame
// outside the allocated table.
int fm_svj_set_table(fm_svj_state *state, int frame, int field, uint32_t offset, uint32_t size);
uint32_t fm_svj_initsize(fm_svj_state *state);
void fm_svj_set_initsize(fm_svj_state *state, uint32_t size);
// Grows the table in steps of 1024 entries until frames is below the
// capacity; 0, or 1 with code 2.
int fm_svj_malloc_table(fm_svj_state *state, int frames);
// Reads size bytes at offset into buf and restores the file position; the
// byte count read, or -1 (13 seek, 14 read).
long fm_svj_data_read(fm_svj_state *state, uint32_t offset, uint32_t size, unsigned char *buf);

// --- Shared with the field-split writer (field.cpp) -----------------------

// A zero-filled file record over fd (owned from now on) with a table of 1024
// entries, W and Hf set and N = 0; null (fd closed) when memory runs out.
fm_svj_file *fm_svj_file_new(int fd, int width, int height);
// Closes the descriptor and frees the table and the record.
void fm_svj_file_free(fm_svj_file *file);
// Fills a driver record for frames of W x H packed R, G, B in the
// field-sequential layout: size, pixel layout and field-walk words.
void fm_svj_fill_record(fm_fileformat *record, int width, int height, int frames);

// The store's steps report their failure here instead of in fm_errno, so the
// field-split writer can print it and the fm_ functions store it.
struct fm_svj_fault {
    int code;      // first failure's fm code, 0 when none
    int end_check; // set when the failure was the JPEG end check
};
// Steps 1-4 of storing a field: modified, frame check (18), N = frame + 1,
// table growth (2).
int fm_svj_store_begin(fm_svj_file *file, int frame, fm_svj_fault *fault);
// Step 5: reads a JPEG file into a malloc'd buffer of len + 256 bytes whose
// bytes after the data are FF (2, also for a file over 64 MiB; 12, also for
// a name that is not a regular file; 13, 15).
int fm_svj_store_load(const char *jpegname, unsigned char **buf, size_t *len, fm_svj_fault *fault);
// Steps 6-12 on such a buffer (changed in place). header_from_dqt: the
// header copies from the first FF DB before the scan instead of
// from byte 2 as the store does. (3, 13, 15)
int fm_svj_store_data(fm_svj_file *file, unsigned char *buf, size_t len, int frame, int field,
                      int header_from_dqt, fm_svj_fault *fault);
// Comment block, table block, table and tail for the file's N, through fd,
// and truncation (3, 13, 15, 21).
int fm_svj_store_tail(fm_svj_file *file, int fd, fm_svj_fault *fault);

// --- The driver (fm_format_svj.cpp) -----------------------------------------

// Registers the format "svj" (extension "svj") with its create, open, close,
// read, write and check callbacks. Returns 0.
int fm_svj_register(void);

// Replaces the last frame of an existing reel by a field-sequential RGB
// frame (buffer of the reel's W x H x 3 bytes), re-encoding both fields with
// the quantization tables of the frame's own stored field 0. 0, or 1 with
// 2, 12, 17, 18 (frame is not the reel's last frame: the reel is unchanged)
// or the field store's codes.
int fm_svj_frame_substitute(const char *name, int frame, unsigned char *buffer);
