// SVJ reel files: layout constants shared by the reel layers, and
// the device-file layer (svj_create, svj_open, svj_info, svj_size, svj_close,
// the file side of svj_host2isp / svj_isp2host, svj_indexate, svj_dumpsize).
//
// Reel layout, all numbers big-endian:
//   header (H bytes, FF D8 FF E0 00 06 "SVJ" 00, the JPEG tables, FF fill to 4)
//   field (0,0) | comment | field (0,1) | comment | field (1,0) | ... | field (N-1,1)
//   comment block (256) | table block prefix (20) | frame table (16 x N) at P | tail (68)
// Fields are FF FF FF DA ... FF D9, 4-aligned in offset and size.
//
// Failures are printed on standard error (the layer's own messages); calls are
// traced when bit 0x10 of sv_debug is set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byteorder.h"

// Debug bits of the board library and the reel layers; 0x10 traces svj_ calls.
extern int sv_debug;
constexpr int SVJ_DEBUG = 0x10;

constexpr uint32_t SVJ_BLOCK = 64512;               // one device block, 63 x 1024
constexpr uint32_t SVJ_BUFFER_SIZE = 2 * SVJ_BLOCK; // transfer buffer of a handle
constexpr uint32_t SVJ_COMMENT_SIZE = 256;          // FF FE 00 FE + 252 zeros
constexpr uint32_t SVJ_TABLE_PREFIX_SIZE = 20;      // FF FF FF E2, len, "DVSTABLE100", 00 00
constexpr uint32_t SVJ_TERMINATOR_SIZE = 260;       // comment block + FF FF FF E2
constexpr uint32_t SVJ_ENTRY_SIZE = 16;             // one svj_frame_entry in the file
constexpr uint32_t SVJ_TAIL_SIZE = 68;              // svj_tail
constexpr uint32_t SVJ_HANDLE_TAIL_SIZE = 64;       // svj_tail without FF E1 00 42
constexpr uint32_t SVJ_HEADER_PREFIX_SIZE = 10;     // FF D8 FF E0 00 06 "SVJ" 00

extern const unsigned char svj_header_prefix[SVJ_HEADER_PREFIX_SIZE];

// Offsets of the words in the 68-byte svj_tail. The 64-byte tail of an
// svj_handle is the same without its first 4 bytes (subtract SVJ_TAIL_MARKER).
enum svj_tail_offset : uint32_t {
    SVJ_TAIL_MARKER = 4, // FF E1 00 42 precede the magic
    SVJ_TAIL_MAGIC = 4,  // 16 bytes, "DVS102" and a NUL in new files
    SVJ_TAIL_WIDTH = 20,
    SVJ_TAIL_HEIGHT = 24,
    SVJ_TAIL_FRAMES = 28,
    SVJ_TAIL_TABLE = 32,  // P
    SVJ_TAIL_HEADER = 36, // H
    SVJ_TAIL_LOST = 40,   // lost AC components
    SVJ_TAIL_RESERVED = 44,
};

// One frame-table entry, in host order in memory (16 big-endian bytes in the file).
struct svj_frame_entry {
    uint32_t offset0; // offset of field 0 (its FF FF FF DA)
    uint32_t size0;   // size of field 0 through its EOI
    uint32_t offset1;
    uint32_t size1;
};

inline uint32_t svj_entry_offset(const svj_frame_entry &e, int field) {
    return field == 0 ? e.offset0 : e.offset1;
}
inline uint32_t svj_entry_size(const svj_frame_entry &e, int field) {
    return field == 0 ? e.size0 : e.size1;
}
// Decodes n entries of file bytes into table / encodes them into bytes.
void svj_table_decode(const unsigned char *bytes, svj_frame_entry *table, size_t n);
void svj_table_encode(const svj_frame_entry *table, unsigned char *bytes, size_t n);
// Fills a 256-byte comment block: FF FE 00 FE and 252 zero bytes.
void svj_comment_block(unsigned char *block);

// The device-file layer's view of a reel.
struct svj_handle {
    char name[64];                            // file name, bounded and always terminated
    int fd;                                   // open descriptor
    uint32_t file_size;                       // length of the file when opened
    uint32_t table_bytes;                     // 16 x N
    svj_frame_entry *table;                   // N entries, owned
    unsigned char tail[SVJ_HANDLE_TAIL_SIZE]; // last 64 bytes of the file
    unsigned char *buffer;                    // transfer buffer, owned
    uint32_t buffer_size;                     // SVJ_BUFFER_SIZE
};

// The handle's tail words.
inline uint32_t svj_tail_word(const svj_handle *h, uint32_t tail_offset) {
    return be32(h->tail + tail_offset - SVJ_TAIL_MARKER);
}
inline uint32_t svj_width(const svj_handle *h) {
    return svj_tail_word(h, SVJ_TAIL_WIDTH);
}
inline uint32_t svj_height(const svj_handle *h) {
    return svj_tail_word(h, SVJ_TAIL_HEIGHT);
}
inline uint32_t svj_frames(const svj_handle *h) {
    return svj_tail_word(h, SVJ_TAIL_FRAMES);
}
inline uint32_t svj_table_offset(const svj_handle *h) {
    return svj_tail_word(h, SVJ_TAIL_TABLE);
}
inline uint32_t svj_header_size(const svj_handle *h) {
    return svj_tail_word(h, SVJ_TAIL_HEADER);
}
inline uint32_t svj_lost_ac(const svj_handle *h) {
    return svj_tail_word(h, SVJ_TAIL_LOST);
}

// The device side of the transfers: the board library implements
// it over isp_host2isp / isp_isp2host; tests use an in-memory peer.
class svj_device {
  public:
    virtual ~svj_device() = default;
    // Sends len bytes to the board; the transport stages a final partial
    // 64512-byte block itself. 0, or -1 when the transfer failed.
    virtual int host2isp(const unsigned char *data, uint32_t len) = 0;
    // Receives one whole block of len (64512) bytes. 0, or -1 when the
    // transfer failed.
    virtual int isp2host(unsigned char *block, uint32_t len) = 0;
};

svj_handle *svj_create(const char *name);
svj_handle *svj_open(const char *name);
// 0: 0; 1: N; 2: ratio W*2*Hf*N / file_size; 6: W; 7: Hf; 8: N; 9: lost AC.
uint32_t svj_info(svj_handle *h, int code);
// Bytes svj_host2isp sends for frames first .. first+count-1 (count -1: to
// the end), or -1.
int svj_size(svj_handle *h, int first, int count);
int svj_close(svj_handle *h);
// Sends frames to the board: 0, 18 bad range, 16 seek, 12 read, -1 transfer.
int svj_host2isp(svj_device *device, svj_handle *h, int first, int count);
// Receives a recording into a handle made by svj_create: 0, 9 not a
// recording / data lost, 13 write, 17 truncate, 20 transfer, 31 AC lost.
int svj_isp2host(svj_device *device, svj_handle *h, int frames);
// Scans a file for field boundaries and prints them (verbose); returns 0.
int svj_indexate(const char *name, int verbose);
// Writes per-field compression ratios to a text file; 0, or 8.
int svj_dumpsize(svj_handle *h, const char *dumpname);
