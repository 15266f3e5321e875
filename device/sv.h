// The board library: the sv_ operations the program calls, the isp_ command
// layer and the dtm_ transport beneath them.
//
// One open handle drives one board. Every sv_ operation queues commands into
// a 2048-byte batch and sends it with isp_flush; the board answers each batch
// with one reply batch. Bulk data (frames, reels) moves on the data channel in
// chunks of 64512 bytes. Operations return 0 or one of the SV_ERROR codes
// below; -1 means the command exchange itself failed.
#pragma once

#include <cstdint>
#include <cstdio>

#define SV_ERROR_LIST(SVMESSAGE)                                                                   \
    SVMESSAGE(SV_OK, "OK")                                                                         \
    SVMESSAGE(SV_ERROR_PARAMETER, "Program: Parameter error")                                      \
    SVMESSAGE(SV_ERROR_MALLOC, "Program: Memory allocation failed")                                \
    SVMESSAGE(SV_ERROR_NOTIMPLEMENTED, "Program: Not implemented function called")                 \
    SVMESSAGE(SV_ERROR_BUFFERSIZE, "Program: Buffer to small")                                     \
    SVMESSAGE(SV_ERROR_NOTEXTSYNC, "SCSI/Video: Not in external sync")                             \
    SVMESSAGE(SV_ERROR_VIDEOMODE, "SCSI/Video: Wrong video mode")                                  \
    SVMESSAGE(SV_ERROR_FILEOPEN, "Host: Couldn't open file")                                       \
    SVMESSAGE(SV_ERROR_FILECREATE, "Host: Couldn't create file")                                   \
    SVMESSAGE(SV_ERROR_DATALOST, "SCSI/Video: Data lost during transfer")                          \
    SVMESSAGE(SV_ERROR_SVNULL, "Program: SV handle null")                                          \
    SVMESSAGE(SV_ERROR_SVMAGIC, "Program: SV magic number wrong")                                  \
    SVMESSAGE(SV_ERROR_FILEREAD, "Host: Couldn't read from file")                                  \
    SVMESSAGE(SV_ERROR_FILEWRITE, "Host: Couldn't write to file")                                  \
    SVMESSAGE(SV_ERROR_FILECLOSE, "Host: Couldn't close file")                                     \
    SVMESSAGE(SV_ERROR_FILEDIRECT, "Host: Couldn't set direct access (only on SGI)")               \
    SVMESSAGE(SV_ERROR_FILESEEK, "Host: Couldn't seek")                                            \
    SVMESSAGE(SV_ERROR_FILETRUNCATE, "Host: Couldn't truncate file")                               \
    SVMESSAGE(SV_ERROR_SVJ_FRAMENR, "Program: Svj: Framenumber not in file")                       \
    SVMESSAGE(SV_ERROR_SVJ_NULL, "Program: Svj: Null svj handle")                                  \
    SVMESSAGE(SV_ERROR_SCSI, "Host: SCSI transfer error")                                          \
    SVMESSAGE(SV_ERROR_TIMECODE, "Host: Illegal timecode, format is 01:00:00:00")                  \
    SVMESSAGE(SV_ERROR_MASTER, "SCSI/Video: Master control error")                                 \
    SVMESSAGE(SV_ERROR_MEM_NULL, "Program: Mem: Null mem handle")                                  \
    SVMESSAGE(SV_ERROR_MEM_BUFFERSIZE, "Program: Mem: Memory buffer too small")                    \
    SVMESSAGE(SV_ERROR_NOTEXISTINGPAGE, "SCSI/Video: Non excisting video page")                    \
    SVMESSAGE(SV_ERROR_TRANSFER, "Program: Transfer failed")                                       \
    SVMESSAGE(SV_ERROR_INPUT_SIGNAL, "SCSI/Video: No input signal connected")                      \
    SVMESSAGE(SV_ERROR_NOGENLOCK, "SCSI/Video: Genlock option not available")                      \
    SVMESSAGE(SV_ERROR_NODRAM, "SCSI/Video: DRAM option not available")                            \
    SVMESSAGE(SV_ERROR_WRONG_VERSION, "SCSI/Video: The firmware does not support request")         \
    SVMESSAGE(SV_ERROR_QUANTLOSS, "SCSI/Video: AC quant values lost during compression")           \
    SVMESSAGE(SV_ERROR_RECORD, "SCSI/Video: Error during record operation")

enum sv_error_code {
#define SV_ERROR_ENUM(code, text) code,
    SV_ERROR_LIST(SV_ERROR_ENUM)
#undef SV_ERROR_ENUM
        SV_ERROR_COUNT
};

#define SV_VTR_ERROR_LIST(VTRMESSAGE)                                                              \
    VTRMESSAGE("OK")                                                                               \
    VTRMESSAGE("Fatal: Program error")                                                             \
    VTRMESSAGE("Fatal: Serial error")                                                              \
    VTRMESSAGE("Check: Fieldchange during field2")                                                 \
    VTRMESSAGE("Check: Frameorder wrong")                                                          \
    VTRMESSAGE("Goto: Couldn't complete move operation")                                           \
    VTRMESSAGE("Error: Error reading status")                                                      \
    VTRMESSAGE("Check: Same timecode in 2 frames during edit")                                     \
    VTRMESSAGE("Error: Timeout")                                                                   \
    VTRMESSAGE("Error: Checksum error")                                                            \
    VTRMESSAGE("Error: No ACK recieved")                                                           \
    VTRMESSAGE("Error: No timecode recieved")                                                      \
    VTRMESSAGE("Edit: Edit preroll failed")                                                        \
    VTRMESSAGE("Edit: Timecode on inframe wrong")                                                  \
    VTRMESSAGE("Edit: Inpoint late")                                                               \
    VTRMESSAGE("Edit: Inpoint timecode missing")                                                   \
    VTRMESSAGE("Edit: Timecode on outframe wrong")                                                 \
    VTRMESSAGE("Edit: Outpoint late")                                                              \
    VTRMESSAGE("Edit: Outpoint timecode missing")                                                  \
    VTRMESSAGE("Edit: Endpoint timecode missing")                                                  \
    VTRMESSAGE("ACK: Recieved NAK timeout error")                                                  \
    VTRMESSAGE("ACK: Recieved NAK framing error")                                                  \
    VTRMESSAGE("ACK: Recieved NAK overrun error")                                                  \
    VTRMESSAGE("ACK: Recieved NAK parity error")                                                   \
    VTRMESSAGE("ACK: Recieved NAK checksum error")                                                 \
    VTRMESSAGE("ACK: Recieved NAK undefined command")                                              \
    VTRMESSAGE("ACK: NAK unspec error")

// VTR transport operations of sv_vtrmaster.
enum {
    SV_MASTER_STOP = 1,
    SV_MASTER_PLAY = 4,
    SV_MASTER_FORWARD = 5,
    SV_MASTER_REWIND = 6,
    SV_MASTER_PAUSE = 9,
    SV_MASTER_GOTO = 10,
    SV_MASTER_JOG = 14,
};

constexpr uint32_t SV_MAGIC = 0x47615743u;

// Debug mask from SCSIVIDEO_DEBUG: 0x08 rewinds, 0x20 VTR steps, 0x40 memory.
extern int sv_debug;

struct dtm_handle;
struct isp_handle;
struct sv_state; // lock, stop and connection state private to the library

struct sv_handle {
    uint32_t magic;
    int version;
    uint32_t *command_batch; // SV_BATCH_WORDS words, host order
    uint32_t *reply_batch;
    void **query_dest; // the host side of the batch: destination of pair i
    dtm_handle *command_channel;
    dtm_handle *data_channel;
    int batch_size;
    int batch_limit;
    void *memory_transfer;
    int sem_set, sem_id, sem_number;
    sv_state *state;
};

// Status record of sv_status (see the table of its words in sv.cpp).
struct sv_info {
    int32_t word[16];
};

// --- transport ---------------------------------------------------------------
struct dtm_handle {
    int type;           // 0: SCSI
    int kind;           // 0 command channel, 1 data channel
    char device[81];    // device path
    int last_direction; // 0 none, 1 write, 2 read
    int fd;             // shared; the command channel owns it
    int level;          // transfers of at most level bytes are commands
    int dirchange;      // rewind when the direction changes
    long transfers;     // transfer counter
    int last_count;     // bytes of the last record read
    int retries;        // attempts per transfer
    int timeout;        // seconds any wait for a record may take
    bool socket;        // fd is a SOCK_SEQPACKET connection
    bool *lost;         // shared: the connection broke; every later call fails
};

// Opens both channels from the setup text ("SCSI,dev=...,..."); 0 or -1
// with the reason on standard error.
int dtm_open(dtm_handle **command, dtm_handle **data, const char *setup);
int dtm_close(dtm_handle *h);
// Code 1: the batch size (2048). Other codes -1.
int dtm_info(dtm_handle *h, int code);
// Write: the byte count, or -1. Read: 1 when a data-sized record arrived,
// 0 for a command-sized one, -1 on failure.
int dtm_host2isp(dtm_handle *h, const void *data, int len);
int dtm_isp2host(dtm_handle *h, void *data, int len);
int dtm_scsi_open(dtm_handle **command, dtm_handle **data, const char *setup);
int dtm_scsi_close(dtm_handle *h);
int dtm_scsi_host2isp(dtm_handle *h, const void *data, int len);
int dtm_scsi_isp2host(dtm_handle *h, void *data, int len);

// --- command layer -------------------------------------------------------------
// Opens the transport and the two batches; 0 or -1.
int isp_open(sv_handle *sv, const char *setup);
void isp_close(sv_handle *sv);
// Queues a command. For a query (bit 31) dest receives the value when the
// batch returns. Sends the batch when it is full. Returns the running count,
// or -1 when that send failed.
int isp_command(sv_handle *sv, uint32_t word, uint32_t arg, int32_t *dest = nullptr);
// Sends the queued batch and stores the replies; 0, or -1 (nothing stored).
int isp_flush(sv_handle *sv);
// Bulk data in 64512-byte chunks; a final partial chunk is staged and moved
// whole. 0, -1 on a transfer failure, 1 when the staging buffer is missing.
int isp_host2isp(sv_handle *sv, const void *data, uint32_t len);
int isp_isp2host(sv_handle *sv, void *data, uint32_t len);
inline void isp_begin(sv_handle *) {}
inline void isp_end(sv_handle *) {}
void isp_panic(const char *text);

// --- operations --------------------------------------------------------------
sv_handle *sv_open(const char *setup);
int sv_close(sv_handle *sv);
int sv_videomode(sv_handle *sv, int mode);
int sv_sync(sv_handle *sv, int mode);
int sv_status(sv_handle *sv, sv_info *info);
int sv_quality(sv_handle *sv, int quality);
int sv_stop(sv_handle *sv);
int sv_black(sv_handle *sv);
int sv_live(sv_handle *sv);
int sv_wait(sv_handle *sv, int poll);
int sv_vtrmaster(sv_handle *sv, int operation, int argument);
int sv_vtrpreroll(sv_handle *sv, uint32_t inpoint, int record, int display);
// Sets the preroll settings sv_vtrpreroll reads, in the form of
// SCSIVIDEO_MASTER ("time,integer,flags..."), in place of the environment;
// null returns to the environment. Safe to call while jobs use the board.
void sv_set_master(const char *value);
int sv_vtrsave(sv_handle *sv, uint32_t inpoint, int count, int *edit_start);
int sv_vtrload(sv_handle *sv, uint32_t inpoint, int count, int *edit_start);
int sv_vtrwait(sv_handle *sv);
int sv_vtredit(sv_handle *sv, uint32_t inpoint, int count);
int sv_record(sv_handle *sv, unsigned char *buffer, int size, int *width, int *height,
              int start_page, int count, uint32_t timecode);
int sv_display(sv_handle *sv, const unsigned char *buffer, int size, int width, int height,
               int start_page, int count, uint32_t timecode);
int sv_jpeg_record_file(sv_handle *sv, const char *name, int zero, int count, uint32_t timecode);
int sv_jpeg_display_file(sv_handle *sv, const char *name, int first, int count, uint32_t timecode);
int sv_tc2asc(sv_handle *sv, uint32_t tc, char *text, int size);
int sv_asc2tc(sv_handle *sv, const char *text, uint32_t *tc);
// Registers the busy flag: semaphore `number` of set `id` is 1 while a batch
// is in flight (flag 0 removes it).
int sv_semaphore(sv_handle *sv, int flag, int id, int number);
void sv_errorprint(sv_handle *sv, int code);
const char *sv_vtrerror(sv_handle *sv, int code);
// Text of a code (bounded in codes 0-32, else "SCSI/Video Error code %d").
const char *sv_errortext(int code);

// The program's message for a board code: "%s\n" with its text, into buf.
char *SvErrorText(int code, char *buf, size_t size);
