// The file-format manager: frame-based access to clip files through drivers
// registered by format name, the error code of the first failure (fm_errno,
// fm_error.h), format identification and the frame and sequence converters.
//
// A caller allocates a record for a format (fm_fileformat_allocate), creates,
// opens or only reads the header of a file (fm_create, fm_open, fm_rheader),
// reads and writes whole frames through the record's buffer (fm_read,
// fm_write), closes it (fm_close) and frees the record (fm_fileformat_free).
// The manager knows no format by name: drivers register themselves from
// fm_config (the "svj" driver through fm_svj_register).
//
// Every operation returns 0 for success and 1 (or null) for failure, and
// stores its failure code in fm_errno only while fm_errno is still 0, so the
// first cause survives until the caller reads and clears it.
#pragma once

#include "media/fm_error.h"
#include "media/fm_types.h"

// Callback indices of fm_callback.
enum fm_callback_index {
    FM_CB_CREATE = 0,
    FM_CB_OPEN = 1,
    FM_CB_CLOSE = 2,
    FM_CB_READ = 3,
    FM_CB_WRITE = 4,
    FM_CB_CHECK = 5,
};

// --- Registry --------------------------------------------------------------

// Registers the system's drivers (fm_config). The argument is not used (the
// drivers need no configuration); pass null. Returns 0.
int fm_initialize(void *unused);
// Forgets (and frees) every registered format. Returns 0.
int fm_deinitialize(void);
// Registers the system's drivers: "svj". Returns 0.
int fm_config(void);

// Allocates a format named name (at most 79 characters kept) and links it at
// the head of the list. Out of memory prints "fm_register: Out of memory\n"
// and ends the program with exit code -1.
fm_format *fm_register(const char *name);
// Registers a driver record filled by the driver (name, extension, single
// and callbacks; next is ignored): a copy is linked at the head of the list.
// Ends the program as fm_register does when memory runs out.
fm_format *fm_register_format(const fm_format *driver);

// Stores a callback by index (fm_callback_index). A null format prints
// "Error: NULL Fileformat\n", an index outside 0..5 or one that does not
// take this kind of callback prints "Error: Illegal callback added %d\n";
// both end the program with exit code -1.
void fm_callback(fm_format *format, int index, fm_create_cb function);
void fm_callback(fm_format *format, int index, fm_open_cb function);
void fm_callback(fm_format *format, int index, fm_close_cb function);
void fm_callback(fm_format *format, int index, fm_read_cb function); // read (3) or write (4)
void fm_callback(fm_format *format, int index, fm_check_cb function);

// The newest registered format (the list head), null when none.
fm_format *fm_formats(void);

// Finds a registered format by name: case is ignored and a single underscore
// at the current place of either name is skipped ("svj", "SVJ", "s_vj").
// 0 and *format set when found, 1 (no code) when not.
int fm_fileformat_find(fm_format **format, const char *name);

// --- File records ----------------------------------------------------------

// A zero-filled record for the named format; null with 19 (unknown format)
// or 2 (memory).
fm_fileformat *fm_fileformat_allocate(const char *name);
// Frees a record (not its buffer or state: close it first). 4 for null.
int fm_fileformat_free(fm_fileformat *file);
// Allocates size bytes as the record's buffer: 4 null record, 3 size 0 or a
// buffer already present, 2 memory.
int fm_malloc_buffer(fm_fileformat *file);
// Frees the record's buffer: 4 null record, 8 no buffer.
int fm_free_buffer(fm_fileformat *file);

// --- Files -----------------------------------------------------------------

// Creates (or continues) a file through the driver with shape's width, height
// and frames (1 for a single-image format) at quality (0: the driver's
// default), then allocates the buffer. 4 null record or shape, 19 no format,
// 7 no create callback, the driver's codes; when the buffer cannot be
// allocated the driver state is closed again.
int fm_create(fm_fileformat *file, const char *name, const fm_fileformat *shape, int quality);
// Allocates a record of `format` and creates (or continues) `name` as
// width x height with room for `frames`: the record ready for fm_write, or
// null with the record freed and the cause in fm_errno.
fm_fileformat *fm_create_file(const char *format, const char *name, int width, int height,
                              int frames, int quality);
// Opens a file through the driver (filling width, height, frames and the
// layout words), then allocates the buffer. Codes as fm_create (7: open).
int fm_open(fm_fileformat *file, const char *name);
// Opens a file for its header only: width, height and frames without a
// buffer. Follow with fm_close. Codes as fm_open.
int fm_rheader(fm_fileformat *file, const char *name);
// Reads frame into the buffer. 4 null record, 19 no format, 10 not open,
// 8 no buffer, 7 no read callback, the driver's codes.
int fm_read(fm_fileformat *file, int frame);
// Writes the buffer as frame. Codes as fm_read.
int fm_write(fm_fileformat *file, int frame);
// Closes the driver state and frees the buffer: the close callback's result,
// or 1 with 4, 19, 10 (not open) or 7.
int fm_close(fm_fileformat *file);

// Identifies a file's format from its extension and first 16 bytes, asking
// each registered format's check callback in list order: the first answer
// (a format name), null when none answers, or "[open_error]" (also for a
// FIFO or device), "(dir)", "[read_error]", "[close_error]". Prints
// "Checking file <%s>\n" on stderr.
const char *fm_check(const char *name);

// --- Conversion (fm_convert.cpp) -------------------------------------------

// Converts the buffer of one open file into the buffer of another, walking
// both in picture-line order with their field-walk words. Only packed pixels
// to packed pixels (type 1 to type 1) converts; 3 for option words other
// than 0 or a depth other than 8, 5 for any other pair of pixel types,
// 4 null record, 8 missing buffer.
int fm_convert(fm_fileformat *from, fm_fileformat *to);

// The source of fm_converter. In pattern mode the marker character of
// pattern is replaced by each file number (a digit after the marker gives
// the zero-padded width): numbers first, first + step, ... (step 0 counts
// as 1) below end. Each file contributes frames from frame, frames of them
// (0: to the file's end); a single-image format contributes frame 0.
struct fm_convert_from {
    fm_fileformat *file; // allocated record of the source format
    const char *pattern; // name pattern, or unused in list mode
    char marker;         // the pattern's marker character, '#' for example
    int first;           // first file number
    int end;             // file numbers stop below this
    int step;            // increment of the file number (0: 1)
    int frame;           // first frame of each file
    int frames;          // frames per file (0: through to the file's end)
};

// The destination of fm_converter. A single-image format gets one file per
// frame, named by pattern with the running number plus first; any other
// format gets one file (pattern without a marker) written from frame first.
// A rest of the pattern that is exactly "." becomes "." and the format's
// extension.
struct fm_convert_to {
    fm_fileformat *file; // allocated record of the destination format
    const char *pattern;
    char marker;
    int first;  // number of the first frame written
    int width;  // 0: the first source file's width
    int height; // 0: the first source file's height
};

constexpr int FM_CONVERT_LIST = 1;  // flags: list holds the source files
constexpr int FM_CONVERT_PRINT = 2; // flags: print each frame copied

// Converts a numbered sequence of files, or with FM_CONVERT_LIST the files of
// list (text, one "%s %d %d" line per file: name, first frame, frame count;
// a name alone means frame 0, one frame), into the destination. 0, or 1 at
// the first failure (a list line that does not scan prints
// "Error in filelist: %s\n"; 17 a source smaller than the target).
int fm_converter(const fm_convert_from *from, const fm_convert_to *to, int flags, const char *list);
