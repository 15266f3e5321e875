// The words the host and the board agree on beyond the command batch itself.
//
// The batch layout, the parameter groups and the actions the library names are
// the board's documented interface; the words below (blanking, record and
// display set-up, hold mode, the signal test, the position and edit-start
// units and the read request of the data channel) are this board's own
// choices. This header is the only code the simulator shares with the library,
// so both sides read the same numbers.
#pragma once

#include <cstdint>

// Command batch: 2048 bytes of big-endian words.
constexpr int SV_BATCH_BYTES = 2048;
constexpr int SV_BATCH_WORDS = SV_BATCH_BYTES / 4;
constexpr uint32_t SV_REQUEST_VERSION = 11; // word 0 of every request
constexpr int SV_W_VERSION = 0;
constexpr int SV_W_COUNT = 1;    // commands in this batch
constexpr int SV_W_RUNNING = 2;  // commands queued since open
constexpr int SV_W_SEQUENCE = 3; // batch number; the reply repeats it
constexpr int SV_W_FIRST_PAIR = 16;
constexpr int SV_W_HOST_TABLE = 264; // first word the board never sees used
constexpr int SV_MAX_COMMANDS = 124; // pairs between SV_W_FIRST_PAIR and the host table

// Command words: bits 16-23 group, bits 0-15 parameter or action, bit 31 query.
constexpr uint32_t SV_QUERY = 0x80000000u;
constexpr uint32_t sv_group_word(uint32_t group) {
    return group << 16;
}
constexpr uint32_t sv_param_word(uint32_t group, uint32_t param) {
    return (group << 16) | param;
}

// Bulk data moves in records of exactly this size.
constexpr uint32_t SV_CHUNK_BYTES = 64512;

// A data-channel read is asked for by a small record: this magic and the byte
// count, two big-endian words. The board answers with one data record; it
// never sends data unasked.
constexpr uint32_t SV_READ_REQUEST = 0x52454144u; // "READ"
constexpr int SV_READ_REQUEST_BYTES = 8;

// Actions (words below 0x10000).
enum : uint32_t {
    SV_ACT_DISPLAY_STATE = 5,  // query: 1 while a display from the host runs
    SV_ACT_OUTPUT_MEMORY = 16, // argument: edit start; show board pages 2..3
    SV_ACT_OUTPUT_HELD = 17,   // start a held single frame sent from the host
    SV_ACT_RECORD_MEMORY = 18, // argument: edit start; record into pages 2..3
    SV_ACT_LIVE = 19,          // show the input
    SV_ACT_BLACK = 20,         // blank the output
    SV_ACT_RECORD_HOST = 21,   // argument: edit start; record to the data channel
    SV_ACT_DISPLAY_HOST = 22,  // argument: edit start; display from the data channel
    SV_ACT_STOP_OUTPUT = 32,
    SV_ACT_STOP_INPUT = 33,
    SV_ACT_GOTO_PAGE = 34,
    SV_ACT_SLAVE = 35,
};

// Group 1: board memory pages.
enum : uint32_t {
    SV_P1_PRONTO = 1,
    SV_P1_START_PAGE = 2,
    SV_P1_END_PAGE = 3,
    SV_P1_PAGE = 8,
    SV_P1_0B = 0x0b,
};

// Group 2: video.
enum : uint32_t {
    SV_P2_MODE = 1,          // 0 PAL, 1 NTSC, 2 PAL HR, 3 NTSC HR
    SV_P2_FIELD_COUNTER = 7, // advances every field while a signal is present
    SV_P2_WIDTH = 0x12,
    SV_P2_HEIGHT = 0x13,
    SV_P2_SYNC = 0x14,
    SV_P2_RATE = 0x15,        // frames per second
    SV_P2_PAGE_SOURCE = 0x30, // 2: board memory
    SV_P2_XFER_MODE = 0x31,   // set-up of a host transfer: SV_XFER_*
    SV_P2_XFER_COUNT = 0x32,  // frames of the host transfer
    SV_P2_XFER_HOLD = 0x33,   // 1: hold the single frame sent (display)
};
enum : uint32_t { SV_XFER_UNCOMPRESSED = 0, SV_XFER_JPEG = 1 };

// Group 5: the VTR on the master port. Positions and edit starts (0x13,
// 0x14) are frame numbers counted from 00:00:00:00 at the board's rate; the
// in-point (0x16), the goto target and the timecode (0x12) are BCD words.
enum : uint32_t {
    SV_P5_ERROR = 2,
    SV_P5_STOP = 3,
    SV_P5_PLAY = 6,
    SV_P5_FORWARD = 7,
    SV_P5_REWIND = 8,
    SV_P5_PAUSE = 0x0a,
    SV_P5_GOTO = 0x0c,
    SV_P5_PREROLL = 0x0d, // set: start the preroll; query: 1 while it runs
    SV_P5_SAVE = 0x0e,    // set: start the edit to tape; query: 1 while it runs
    SV_P5_LOAD = 0x0f,    // set: start the load from tape; query: 1 while it runs
    SV_P5_TIMECODE = 0x12,
    SV_P5_POSITION = 0x13,
    SV_P5_EDIT_START = 0x14,
    SV_P5_INPOINT = 0x16,
    SV_P5_COUNT = 0x17,
    SV_P5_PREROLL_TIME = 0x18,
    SV_P5_PREROLL_INT = 0x1a,
    SV_P5_FLAGS = 0x1b,
    SV_P5_1C = 0x1c,
    SV_P5_JOG = 0x1f,
};

// Group 7: JPEG.  Group 8: options.
enum : uint32_t { SV_P7_QUALITY = 0x81 };
enum : uint32_t { SV_P8_MEMORY = 1, SV_P8_2 = 2, SV_P8_GENLOCK = 3 };
