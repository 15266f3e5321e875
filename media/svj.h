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
constexpr uint32_t SVJ_MIN_FIELD_SIZE = 4;          // FF FF FF DA .. FF D9 is at least this

// The largest frame the board records or plays: a reel whose tail claims
// more is refused by every layer.
constexpr uint32_t SVJ_MAX_WIDTH = 960;
constexpr uint32_t SVJ_MAX_HEIGHT = 576; // stored lines, both fields

extern const unsigned char svj_header_prefix[SVJ_HEADER_PREFIX_SIZE];

// Offsets of the words in the 68-byte svj_tail of a file. A recording's
// 64-byte tail is the same without its first 4 bytes (subtract SVJ_TAIL_MARKER).
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

// The svj_tail in host order. The bytes of the magic after its NUL and the
// reserved bytes are kept as read, so that a rewritten tail keeps them.
struct svj_tail {
    unsigned char magic[16]; // "DVS102" and a NUL in files written by this system
    uint32_t width;          // W, pixels per line
    uint32_t height;         // Hf, stored lines per frame
    uint32_t frames;         // N
    uint32_t table;          // P, offset of the frame table
    uint32_t header;         // H, header size
    uint32_t lost_ac;        // AC components lost by the board's compression
    unsigned char reserved[24];
};

// The 64 tail bytes after the FF E1 00 42 marker into a record.
void svj_tail_decode(const unsigned char *bytes, svj_tail *tail);
// The record as the 68 bytes of a file's tail, marker first.
void svj_tail_encode(const svj_tail &tail, unsigned char *bytes);

// Results of the device-file layer's transfers and dump. The values are
// part of the interface (callers compare with the numbers); a result's
// position in the list does not matter.
#define SVJ_RESULT_LIST(SVJRESULT)                                                                 \
    SVJRESULT(SVJ_OK, 0, "No error")                                                               \
    SVJRESULT(SVJ_EDEVICE, -1, "Transfer to or from the board failed")                             \
    SVJRESULT(SVJ_EDUMP, 8, "Dump file cannot be created")                                         \
    SVJRESULT(SVJ_ENOTREC, 9, "Not a recording, or data lost during compression")                  \
    SVJRESULT(SVJ_EREAD, 12, "Reel read failed")                                                   \
    SVJRESULT(SVJ_EWRITE, 13, "Reel write failed")                                                 \
    SVJRESULT(SVJ_ESEEK, 16, "Reel seek failed")                                                   \
    SVJRESULT(SVJ_ETRUNCATE, 17, "Reel truncate failed")                                           \
    SVJRESULT(SVJ_ERANGE, 18, "Frame outside the reel")                                            \
    SVJRESULT(SVJ_ETRANSPORT, 20, "Transport from the board failed")                               \
    SVJRESULT(SVJ_EACLOST, 31, "AC components lost during compression")

enum svj_result {
#define SVJ_RESULT_ENUM(name, value, text) name = value,
    SVJ_RESULT_LIST(SVJ_RESULT_ENUM)
#undef SVJ_RESULT_ENUM
};

// Text of a result of the list; "Unknown svj result" for any other value.
const char *svj_result_text(int result);

// The device-file layer's view of a reel.
struct svj_handle {
    char name[64];          // file name, bounded and always terminated
    int fd;                 // open descriptor
    uint32_t file_size;     // length of the file when opened
    uint32_t table_bytes;   // 16 x N
    svj_frame_entry *table; // N entries, owned
    svj_tail tail;          // the file's tail (magic, W, Hf, N, P, H, lost AC)
    unsigned char *buffer;  // transfer buffer, owned
    uint32_t buffer_size;   // SVJ_BUFFER_SIZE
};

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
// Opens a reel for sending: refuses (null, with the layer's message) a file
// that is not a regular file, whose magic does not begin "DVS1", whose table
// or header does not fit in it, or whose picture exceeds the board's frame.
svj_handle *svj_open(const char *name);
// 0: 0; 1: N; 2: ratio W*2*Hf*N / file_size; 6: W; 7: Hf; 8: N; 9: lost AC.
uint32_t svj_info(svj_handle *h, int code);
// Bytes svj_host2isp sends for frames first .. first+count-1 (count -1: to
// the end), or -1.
int svj_size(svj_handle *h, int first, int count);
int svj_close(svj_handle *h);
// Sends frames to the board: SVJ_OK, SVJ_ERANGE, SVJ_ESEEK, SVJ_EREAD or
// SVJ_EDEVICE.
int svj_host2isp(svj_device *device, svj_handle *h, int first, int count);
// Receives a recording into a handle made by svj_create: SVJ_OK, SVJ_ENOTREC
// (not a recording, or data lost), SVJ_EWRITE, SVJ_ETRUNCATE, SVJ_ETRANSPORT
// or SVJ_EACLOST.
int svj_isp2host(svj_device *device, svj_handle *h, int frames);
// Scans a file for field boundaries and prints them (verbose); returns 0
// (a file that cannot be opened, or is not a regular file, is reported).
int svj_indexate(const char *name, int verbose);
// Writes per-field compression ratios to a text file; SVJ_OK, or SVJ_EDUMP.
int svj_dumpsize(svj_handle *h, const char *dumpname);
