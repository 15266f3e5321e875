// The simulated board: the options it runs with, its log, the edits laid
// onto tape and the Board class that answers the host. Its members are
// spread by concern: vtr.cpp (command batches, parameters, actions and the
// VTR transport), tape.cpp (the tape directory, its edits and pictures),
// recorder.cpp (grabs and board memory recordings read by the host) and
// player.cpp (what the host plays out and lays onto tape).
#pragma once

#include "boardsim/picture.h"
#include "device/sv_protocol.h"
#include "media/fm_format_svj.h"
#include "media/svj.h"
#include "media/video_globals.h"
#include "platform/byteorder.h"
#include "platform/fileio.h"
#include "platform/tool_args.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace boardsim {

using Clock = std::chrono::steady_clock;

struct Fault {
    std::string kind;
    long arg = 0;
    long at = 1;
    bool fired = false;
};

struct Options {
    std::string socket, tapedir, log;
    bool ntsc = false;
    double speed = 1;
    int preroll = 5;
    long buffer_mb = 64;
    int version = 11;
    bool memory = true, genlock = true;
    std::vector<Fault> faults;
};

class Log {
  public:
    void open(const std::string &name) {
        if (!name.empty()) f_ = fopen(name.c_str(), "a");
    }
    template <typename... A> void line(const char *fmt, A... a) {
        if (!f_) return;
        fprintf(f_, fmt, a...);
        fputc('\n', f_);
        fflush(f_);
    }
    ~Log() {
        if (f_) fclose(f_);
    }

  private:
    FILE *f_ = nullptr;
};

inline std::string tc_text(uint32_t tc) {
    char b[16];
    snprintf(b, sizeof b, "%02x:%02x:%02x:%02x", tc & 0xff, (tc >> 8) & 0xff, (tc >> 16) & 0xff,
             tc >> 24);
    return b;
}

inline bool parse_tc(const std::string &s, uint32_t *tc) {
    unsigned h, m, sec, f;
    if (sscanf(s.c_str(), "%2u:%2u:%2u:%2u", &h, &m, &sec, &f) != 4) return false;
    auto bcd = [](unsigned v) { return ((v / 10) << 4) | (v % 10); };
    *tc = bcd(h) | bcd(m) << 8 | bcd(sec) << 16 | bcd(f) << 24;
    return true;
}

struct Edit {
    int64_t in;
    int64_t count;
    std::string file;
};

class Board {
  public:
    explicit Board(const Options &o) : opt_(o) {
        rate_ = o.ntsc ? 30 : 25;
        width_ = 720;
        height_ = o.ntsc ? NTSC_PRESENTED : 576;
        // Reels hold the stored frame: an NTSC field has padding lines on
        // top, and its stored field 1 is the upper one.
        stored_height_ = StoredHeight(height_);
        pad_ = o.ntsc ? NTSC_PAD_LINES : 0;
        tape_ = o.tapedir;
        while (tape_.size() > 1 && tape_.back() == '/')
            tape_.pop_back();
        tape_name_ = tape_.substr(tape_.find_last_of('/') + 1);
        params_[key(7, SV_P7_QUALITY)] = 75;
        log_.open(o.log);
    }
    ~Board() { rec_abort(); }
    Log &log() { return log_; }

    // One command batch in, its reply out (empty: no reply).
    std::vector<uint8_t> batch(const uint8_t *in, bool *close_after);

    // A data-channel read request: the record to send (close_after: drop
    // the connection instead).
    std::vector<uint8_t> read_request(uint32_t want, bool *close_after);

    // A data record from the host: the reel byte stream being played out,
    // ended by a comment block and FF FF FF E2 (the last record padded).
    void data(const uint8_t *p, size_t n);

  private:
    // Splits the played stream into fields and shows them; during an edit
    // to tape they become a reel in the tape directory and a line of edits.
    void finish_play();

    // An edit to tape: `count` frames (field pairs from frame(i)) become a
    // reel in the tape directory and a line of the edits list.
    template <typename FrameOf> void lay_edit(int64_t count, FrameOf frame) {
        save_state_ = 0;
        char name[64];
        std::string path;
        do {
            snprintf(name, sizeof name, "edit-%d.svj", ++edits_made_);
            path = tape_ + "/" + name;
        } while (access(path.c_str(), F_OK) == 0);
        fm_svj_file *file = fm_svj_file_create(path.c_str(), width_, stored_height_);
        bool ok = file != nullptr;
        for (int64_t i = 0; ok && i < count; ++i) {
            const std::vector<uint8_t> *f = frame(i);
            ok = fm_svj_field_write_mem(file, f[0].data(), f[0].size(), int(i), 0) == 0 &&
                 fm_svj_field_write_mem(file, f[1].data(), f[1].size(), int(i), 1) == 0;
        }
        if (file && fm_svj_file_close(file) != 0) ok = false;
        if (!ok) {
            fprintf(stderr, "boardsim: cannot store the edit %s (%d)\n", path.c_str(), fm_errno);
            unlink(path.c_str());
            vtr_error_ = 12;
            return;
        }
        FILE *e = fopen((tape_ + "/edits").c_str(), "a");
        if (e) {
            fprintf(e, "%s %lld %s\n", tc_text(tc_of(edit_start_)).c_str(), (long long)count, name);
            fclose(e);
        }
        log_.line("EDIT %s %lld %s", tc_text(tc_of(edit_start_)).c_str(), (long long)count, name);
    }

    // An edit started with nothing played for it (the host holds a frame
    // and asks for the edit alone): what the output shows is recorded,
    // the held frame `count` times, or the pages shown from board memory.
    void edit_from_output();

    Frame black_frame() const;
    std::vector<std::vector<uint8_t>> frame_fields(const Frame &fr);
    // The tape position whose frame a memory page holds.
    int64_t page_frame(uint32_t page) const;

    // Uncompressed frames move as device frames: UYVY rows of the stored
    // frame, the lines of one field after those of the other (PAL: the
    // upper field first; NTSC: the lower one first, each half starting with
    // its padding lines). The row of picture line y:
    size_t device_row(int y) const;

    // The picture of the tape at a position: an edit's frame decoded, or
    // the generated picture.
    Frame tape_frame(int64_t pos, const std::vector<Edit> &list);
    bool fields_to_frame(const std::vector<uint8_t> &f0, const std::vector<uint8_t> &f1,
                         Frame *fr) const;

    std::vector<uint8_t> device_frame(const Frame &fr) const;

    // An uncompressed frame from the host has arrived: it is shown (and laid
    // onto tape when an edit waits for it).
    void finish_uncompressed();

    void take_vtr_fault();

    static constexpr uint32_t key(uint32_t g, uint32_t p) { return g << 16 | p; }

    void arm(Fault &f);

    int64_t frames_of(uint32_t tc) const;
    uint32_t tc_of(int64_t frames) const;

    int64_t position();
    void set_mode(uint32_t mode);

    uint32_t field_counter();

    uint32_t query(uint32_t g, uint32_t p);

    void vtr(uint32_t p, uint32_t arg);

    uint32_t command(uint32_t word, uint32_t arg, uint32_t *value);

    void action(uint32_t n, uint32_t arg);

    std::vector<Edit> edits();

    // The two JPEG fields of the frame at a tape position.
    bool fields_at(int64_t pos, const std::vector<Edit> &list, std::vector<uint8_t> *f0,
                   std::vector<uint8_t> *f1);

    // Field JPEGs of frame k of a reel: its header followed by each stored field.
    static bool reel_fields(const std::string &name, int k, std::vector<uint8_t> *f0,
                            std::vector<uint8_t> *f1);

    // Recording into board memory: each page from the start page up to
    // (not including) the end page holds one frame of the tape, from the
    // edit start (after a load) or where the tape stands.
    void record_pages(uint32_t start_arg);

    void record(uint32_t start_arg);

    // The recording being made: frames are laid into a reel file in the tape
    // directory as the host reads, so a long grab starts at once; the table
    // and tail follow the last frame.
    uint64_t rec_written() const;
    bool rec_frame();
    void rec_close();
    // Paced: frames the tape has passed but the host has not taken yet stay
    // in the board's buffer; more than --buffer MB of them and data is lost,
    // which the recording's tail then shows.
    void note_backlog();

    void rec_abort();

    const Options &opt_;
    Log log_;
    fm_svj_file *rec_file_ = nullptr;
    int rec_fd_ = -1;
    std::string rec_path_;
    int64_t rec_in_ = 0, rec_count_ = 0, rec_done_ = 0;
    // Seconds spent making the recording's frames: the simulator's own
    // work, which a real board does alongside, never the host's lateness.
    double rec_making_s_ = 0;
    std::vector<Edit> rec_list_;
    bool rec_lost_ = false;
    std::vector<Fault> faults_ = opt_.faults;
    long batches_ = 0;
    std::string pending_, data_fault_, record_fault_;
    long pending_arg_ = 0;
    bool no_signal_ = false;
    int rate_, width_, height_, stored_height_, pad_;
    std::string tape_, tape_name_;
    std::map<uint32_t, uint32_t> params_;
    uint32_t vtr_fault_ = 0;
    uint32_t vtr_error_ = 0, vtr_mode_ = SV_P5_STOP, load_state_ = 0, save_state_ = 0,
             field_ticks_ = 0;
    bool playing_ = false;
    std::vector<uint8_t> play_;
    // An uncompressed frame being sent for display: bytes due and received.
    size_t uyvy_want_ = 0;
    std::vector<uint8_t> uyvy_;
    // The output: a held frame's two fields (none: black), or memory pages.
    std::vector<std::vector<uint8_t>> shown_;
    std::vector<uint32_t> shown_pages_;
    bool live_ = false; // the output shows the input
    // Board memory: page -> the tape position whose frame it holds.
    static constexpr uint32_t kPages = 4096;
    static constexpr int64_t kMaxEditFrames = 100000;
    std::map<uint32_t, int64_t> pages_;
    int edits_made_ = 0;
    int64_t position_ = 0, edit_start_ = 0;
    Clock::time_point mode_since_ = Clock::now(), born_ = Clock::now(), stream_start_;
    double stream_duration_ = 0;
    std::vector<uint8_t> stream_;
    size_t stream_at_ = 0;
};

} // namespace boardsim
