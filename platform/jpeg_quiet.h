// A libjpeg error manager that never prints and returns control to the
// operation that failed: its error exit longjmps to `jump`. Each operation
// sets `jump` with setjmp in one small function that holds nothing needing a
// destructor between setjmp and the library's longjmp.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

struct JpegQuietErrors {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// Fills the standard manager, then makes it silent and jumping.
void JpegQuietInit(JpegQuietErrors &err);
