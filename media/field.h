// Field-split SVJ writer: builds a reel from ready-made JPEG
// files, two per frame, without decoding them. Fields are stored as the
// field store stores them; the header is taken from the first
// quantization table on (a JFIF APP0 segment is not copied), and every
// failure is printed on standard error as
//   "%s: Error %d in file %s, line %d\n"
// (step name, fm code, "field", source line). fm_errno is not set.
#pragma once

#include "media/fm_types.h"

struct fm_svj_file;

// The writer, kept in the record's driver-state slot.
struct svjf_handle {
    fm_fileformat *record;
    fm_svj_file *file;
};

// Creates the reel (mode 0666, not truncated) for W x Hf (no 486/496
// mapping) and fills the record as the svj driver's create does. 0 or 1.
int svjf_create(const char *name, fm_fileformat *record, int width, int height);
// Stores field0name as stored field 0 of frame and field1name as field 1;
// stops at the first failure. 0 or 1.
int svjf_write(fm_fileformat *record, int frame, const char *field0name, const char *field1name);
// Writes table block and tail when anything was stored, closes the file and
// frees the writer. 0 or 1.
int svjf_close(fm_fileformat *record);
