// Silent libjpeg error handling, and the decode and encode that the program's
// JPEG code (still pictures, the compression layer) shares.
//
// The error manager never prints and returns control to the operation that
// failed: its error exit longjmps to `jump`. Each operation sets `jump` with
// setjmp in one small function that holds nothing needing a destructor between
// setjmp and the library's longjmp; the decoder's and encoder's run() are those
// functions, and their callbacks run only between library calls.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

struct JpegQuietErrors {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// Fills the standard manager, then makes it silent and jumping: an error
// longjmps to `jump`; warnings ("Corrupt JPEG data", "Premature end of JPEG
// file") and trace messages are never printed, warnings are counted in
// pub.num_warnings.
void JpegQuietInit(JpegQuietErrors &err);

// One quiet decode. A subclass attaches the source, sees the output size
// before the library sizes anything for the picture, and gives the row each
// line is decoded into.
class JpegQuietDecoder {
  public:
    // Reads the header and, unless header_only, the whole picture. True when
    // the library raised no error and accept() took the header. Damaged data
    // that the library decodes around (corrupt or truncated entropy data) does
    // not fail the run: it shows in warnings().
    bool run(bool header_only = false);

    // Warnings the last run met; above 0 the picture is damaged.
    long warnings() const { return warnings_; }

  protected:
    ~JpegQuietDecoder() = default;

    // The output colour space asked of the library.
    J_COLOR_SPACE out_space = JCS_RGB;

    // Attaches the data source (jpeg_stdio_src, jpeg_mem_src).
    virtual void attach(j_decompress_ptr cinfo) = 0;
    // Sees the output width, height and components after the header; false
    // refuses the picture, which ends the run with false.
    virtual bool accept(int w, int h, int components) = 0;
    // The row line y (top-down) is decoded into; called once per line in order.
    virtual unsigned char *line(int y) = 0;
    // Line y is in the row line(y) gave.
    virtual void done(int) {}

  private:
    long warnings_ = 0;
};

// One quiet baseline encode. A subclass attaches the destination.
class JpegQuietEncoder {
  public:
    // Compresses w x h pixels of `components` bytes in colour space `space`
    // (JCS_EXT_BGR, JCS_EXT_XBGR, ...) at the quality (1..100). The rows are
    // bottom-up in memory: the first row is the picture's lowest line. False
    // on a library error.
    bool run(int w, int h, int components, J_COLOR_SPACE space, int quality,
             const unsigned char *pixels);

  protected:
    ~JpegQuietEncoder() = default;

    // Attaches the destination (jpeg_stdio_dest, jpeg_mem_dest).
    virtual void attach(j_compress_ptr cinfo) = 0;
};
