// Records of the file-format manager: the registered driver
// (fm_format) and the per-file record (fm_fileformat).
//
// Only the records live here; the manager's operations (fm_main) build on them.
// The field-split writer (field.h) and the svj driver fill fm_fileformat.
#pragma once

struct fm_format;
struct fm_fileformat;

// Driver callbacks, indices 0 .. 5 of fm_callback: create, open, close, read,
// write, check.
using fm_create_cb = void *(*)(const char *name, fm_fileformat *file, int width, int height,
                               int frames, int quality);
using fm_open_cb = void *(*)(const char *name, fm_fileformat *file);
using fm_close_cb = int (*)(void *state);
using fm_read_cb = int (*)(void *state, int frame, unsigned char *buffer, int size);
using fm_write_cb = int (*)(void *state, int frame, unsigned char *buffer, int size);
using fm_check_cb = const char *(*)(fm_format *format, const char *name, const char *extension,
                                    const unsigned char *bytes, int count);

// One registered driver; chained newest first from the manager's list head.
struct fm_format {
    fm_format *next;
    char name[80];      // at most 79 characters
    char extension[80]; // without the dot
    int single;         // non-zero: a file holds one image
    fm_create_cb create;
    fm_open_cb open;
    fm_close_cb close;
    fm_write_cb write;
    fm_read_cb read;
    fm_check_cb check;
};

// One file opened through a driver; allocated zero-filled.
struct fm_fileformat {
    fm_format *format;
    void *state; // driver state while open, null otherwise
    int width;
    int height;
    int frames;
    unsigned char *buffer; // frame buffer, owned while open
    int size;              // frame buffer size in bytes
    int pixel_type;        // 0, 1 or 2; svj uses 1 (packed R, G, B)
    int option[3];         // 0 for every driver of this system
    int depth[2];          // 0 is taken as 8
    int offset[3];         // byte offset of R, G, B within a pixel
    int step[3];           // bytes from one pixel to the next, per component
    int field_walk[2];     // added after an odd / an even picture line
};
