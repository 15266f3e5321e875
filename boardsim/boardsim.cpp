// boardsim: the video board as a separate program, for running the desktop
// and the tools without the hardware.
//
// It listens on a Unix-domain SOCK_SEQPACKET socket and answers the board
// library's records one at a time: command batches (parameter groups,
// actions, the VTR), and data-channel read requests, which the recorder
// answers with the reel byte stream of a grab. The VTR plays a tape kept in a
// directory: TAPEDIR/edits lists what was laid onto it ("hh:mm:ss:ff COUNT
// FILE" per edit, later lines covering earlier ones); every other position
// shows a generated picture whose strip carries its timecode.
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

using namespace boardsim;

namespace {

volatile sig_atomic_t g_quit = 0;
void on_term(int) {
    g_quit = 1;
}

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

std::string tc_text(uint32_t tc) {
    char b[16];
    snprintf(b, sizeof b, "%02x:%02x:%02x:%02x", tc & 0xff, (tc >> 8) & 0xff, (tc >> 16) & 0xff,
             tc >> 24);
    return b;
}

bool parse_tc(const std::string &s, uint32_t *tc) {
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
    std::vector<uint8_t> batch(const uint8_t *in, bool *close_after) {
        ++batches_;
        for (Fault &f : faults_)
            if (!f.fired && f.at == batches_) arm(f);
        std::vector<uint8_t> reply(SV_BATCH_BYTES, 0);
        const uint32_t n = std::min<uint32_t>(be32(in + 4), SV_MAX_COMMANDS);
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t word = be32(in + 4 * (SV_W_FIRST_PAIR + 2 * i));
            const uint32_t arg = be32(in + 4 * (SV_W_FIRST_PAIR + 2 * i + 1));
            uint32_t value = 0;
            const uint32_t status = command(word, arg, &value);
            put_be32(&reply[4 * (SV_W_FIRST_PAIR + 2 * i)], status);
            put_be32(&reply[4 * (SV_W_FIRST_PAIR + 2 * i + 1)], value);
        }
        put_be32(&reply[0], uint32_t(opt_.version));
        put_be32(&reply[4], n);
        put_be32(&reply[12], be32(in + 12));
        if (pending_ == "bad-reply") put_be32(&reply[12], be32(in + 12) + 1);
        if (pending_ == "short-reply") reply.resize(64);
        if (pending_ == "slow")
            std::this_thread::sleep_for(std::chrono::milliseconds(pending_arg_));
        if (pending_ == "stall") reply.clear();
        if (pending_ == "disconnect") *close_after = true;
        pending_.clear();
        return reply;
    }

    // A data-channel read request: the record to send (close_after: drop
    // the connection instead).
    std::vector<uint8_t> read_request(uint32_t want, bool *close_after) {
        std::vector<uint8_t> out;
        if (data_fault_ == "disconnect-data") {
            data_fault_.clear();
            *close_after = true;
            return out;
        }
        // A grab in progress: make frames (when due, paced) until the
        // request can be answered or the recording is complete.
        if (rec_file_ && opt_.speed > 0) note_backlog();
        while (rec_file_ && rec_written() - stream_at_ < want) {
            if (rec_done_ < rec_count_) {
                if (opt_.speed > 0) {
                    const double due = double(rec_done_ + 1) / rate_ / opt_.speed;
                    const double now =
                        std::chrono::duration<double>(Clock::now() - stream_start_).count();
                    if (due > now)
                        std::this_thread::sleep_for(std::chrono::duration<double>(due - now));
                }
                if (!rec_frame()) break;
            } else {
                rec_close();
            }
        }
        if (rec_file_) {
            const size_t take = std::min<size_t>(want, rec_written() - stream_at_);
            out.resize(take);
            if (pread(rec_fd_, out.data(), take, off_t(stream_at_)) != ssize_t(take)) out.clear();
            stream_at_ += out.size();
        } else if (stream_at_ < stream_.size()) {
            const size_t take = std::min<size_t>(want, stream_.size() - stream_at_);
            out.assign(stream_.begin() + long(stream_at_),
                       stream_.begin() + long(stream_at_ + take));
            stream_at_ += take;
            if (stream_at_ >= stream_.size()) load_state_ = 0;
        }
        if (data_fault_ == "short-data") {
            data_fault_.clear();
            out.resize(out.size() / 2);
        }
        return out;
    }

    // A data record from the host: the reel byte stream being played out,
    // ended by a comment block and FF FF FF E2 (the last record padded).
    void data(const uint8_t *p, size_t n) {
        if (uyvy_want_) {
            uyvy_.insert(uyvy_.end(), p, p + std::min<size_t>(n, uyvy_want_ - uyvy_.size()));
            if (uyvy_.size() >= uyvy_want_) finish_uncompressed();
            return;
        }
        if (!playing_) return;
        play_.insert(play_.end(), p, p + n);
        static const uint8_t comment[4] = {0xFF, 0xFE, 0x00, 0xFE};
        static const uint8_t table[4] = {0xFF, 0xFF, 0xFF, 0xE2};
        const size_t from =
            play_.size() > n + SVJ_TERMINATOR_SIZE ? play_.size() - n - SVJ_TERMINATOR_SIZE : 0;
        for (size_t i = from; i + SVJ_TERMINATOR_SIZE <= play_.size(); ++i) {
            if (memcmp(&play_[i], comment, 4) != 0 ||
                memcmp(&play_[i + SVJ_COMMENT_SIZE], table, 4) != 0)
                continue;
            play_.resize(i);
            playing_ = false;
            finish_play();
            return;
        }
    }

  private:
    // Splits the played stream into fields and shows them; during an edit
    // to tape they become a reel in the tape directory and a line of edits.
    void finish_play() {
        static const uint8_t scan[4] = {0xFF, 0xFF, 0xFF, 0xDA};
        std::vector<size_t> starts;
        for (size_t i = 0; i + 4 <= play_.size(); ++i)
            if (memcmp(&play_[i], scan, 4) == 0) starts.push_back(i);
        if (starts.size() < 2) return;
        const size_t header = starts[0];
        std::vector<std::vector<uint8_t>> fields;
        for (size_t k = 0; k < starts.size(); ++k) {
            size_t end = k + 1 < starts.size() ? starts[k + 1] : play_.size();
            // A field ends at its EOI; fill may follow before the next one.
            while (end > starts[k] + 4 && !(play_[end - 2] == 0xFF && play_[end - 1] == 0xD9))
                --end;
            std::vector<uint8_t> f(play_.begin(), play_.begin() + long(header));
            f.insert(f.end(), play_.begin() + long(starts[k]), play_.begin() + long(end));
            fields.push_back(std::move(f));
        }
        const int frames = int(fields.size() / 2);
        uint32_t first = 0, last = 0;
        strip_of_field(fields.front(), &first, width_, pad_);
        strip_of_field(fields[size_t(frames - 1) * 2], &last, width_, pad_);
        log_.line("OUT %d %s %s", frames, tc_text(first).c_str(), tc_text(last).c_str());
        // The last frame stays on the output.
        shown_ = {fields[size_t(frames - 1) * 2], fields[size_t(frames - 1) * 2 + 1]};
        shown_pages_.clear();
        live_ = false;
        if (!save_state_) return;
        const int64_t count = std::min<int64_t>(
            frames, params_[key(5, SV_P5_COUNT)] ? params_[key(5, SV_P5_COUNT)] : frames);
        lay_edit(count, [&fields](int64_t i) { return &fields[size_t(i) * 2]; });
    }

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
    void edit_from_output() {
        int64_t count = params_[key(5, SV_P5_COUNT)];
        if (count < 1 || count > kMaxEditFrames) count = 1;
        if (live_) {
            shown_.assign(2, {});
            fields_at(position(), edits(), &shown_[0], &shown_[1]);
            live_ = false;
        }
        if (shown_pages_.empty()) {
            if (shown_.size() != 2) shown_ = frame_fields(black_frame());
            lay_edit(count, [this](int64_t) { return shown_.data(); });
            return;
        }
        std::vector<std::vector<uint8_t>> pages;
        const auto list = edits();
        for (uint32_t pg : shown_pages_) {
            std::vector<uint8_t> f0, f1;
            fields_at(page_frame(pg), list, &f0, &f1);
            pages.push_back(std::move(f0));
            pages.push_back(std::move(f1));
        }
        const int64_t n = int64_t(shown_pages_.size());
        lay_edit(count, [&pages, n](int64_t i) { return &pages[size_t(std::min(i, n - 1)) * 2]; });
    }

    Frame black_frame() const {
        Frame f;
        f.width = width_;
        f.height = height_;
        f.rgb.assign(size_t(width_) * size_t(height_) * 3, 0);
        return f;
    }
    std::vector<std::vector<uint8_t>> frame_fields(const Frame &fr) {
        const int q = int(params_[key(7, SV_P7_QUALITY)]);
        return {encode_field(fr, pad_ ? 1 : 0, q, pad_), encode_field(fr, pad_ ? 0 : 1, q, pad_)};
    }
    // The tape position whose frame a memory page holds.
    int64_t page_frame(uint32_t page) const {
        auto it = pages_.find(page);
        return it == pages_.end() ? 0 : it->second;
    }

    // Uncompressed frames move as device frames: UYVY rows of the stored
    // frame, the lines of one field after those of the other (PAL: the
    // upper field first; NTSC: the lower one first, each half starting with
    // its padding lines). The row of picture line y:
    size_t device_row(int y) const {
        const int half = stored_height_ / 2;
        if (pad_) return size_t(pad_ + y / 2 + (y % 2 ? 0 : half));
        return size_t(y / 2 + (y % 2 ? half : 0));
    }

    // The picture of the tape at a position: an edit's frame decoded, or
    // the generated picture.
    Frame tape_frame(int64_t pos, const std::vector<Edit> &list) {
        for (auto e = list.rbegin(); e != list.rend(); ++e) {
            if (pos < e->in || pos >= e->in + e->count) continue;
            std::vector<uint8_t> f0, f1;
            Frame fr = black_frame();
            if (reel_fields(tape_ + "/" + e->file, int(pos - e->in), &f0, &f1) &&
                fields_to_frame(f0, f1, &fr))
                return fr;
        }
        return unrecorded_frame(width_, height_, tape_name_, tc_of(pos));
    }
    bool fields_to_frame(const std::vector<uint8_t> &f0, const std::vector<uint8_t> &f1,
                         Frame *fr) const {
        Frame a, b;
        a.width = b.width = width_;
        if (!decode_field_lines(f0, &a) || !decode_field_lines(f1, &b)) return false;
        // Stored field 0 holds the even lines (NTSC: the odd ones).
        for (int y = 0; y < height_; ++y) {
            const Frame &src = (y % 2 == 0) == (pad_ == 0) ? a : b;
            const int line = pad_ + y / 2;
            if (line >= src.height) continue;
            memcpy(&fr->rgb[size_t(y) * width_ * 3], &src.rgb[size_t(line) * width_ * 3],
                   size_t(width_) * 3);
        }
        return true;
    }

    std::vector<uint8_t> device_frame(const Frame &fr) const {
        const size_t row = size_t(width_) * 2;
        std::vector<uint8_t> out(row * size_t(stored_height_));
        for (size_t i = 0; i + 1 < out.size(); i += 2) { // padding: black
            out[i] = 128;
            out[i + 1] = 16;
        }
        auto Y = [](const uint8_t *c) {
            return uint8_t(16 + (66 * c[0] + 129 * c[1] + 25 * c[2]) / 256);
        };
        for (int y = 0; y < height_; ++y) {
            uint8_t *d = &out[device_row(y) * row];
            for (int x = 0; x + 1 < width_; x += 2) {
                const uint8_t *a = &fr.rgb[(size_t(y) * width_ + x) * 3], *b = a + 3;
                const int r = (a[0] + b[0]) / 2, g = (a[1] + b[1]) / 2, bl = (a[2] + b[2]) / 2;
                d[x * 2] = uint8_t(128 + (-38 * r - 74 * g + 112 * bl) / 256);
                d[x * 2 + 1] = Y(a);
                d[x * 2 + 2] = uint8_t(128 + (112 * r - 94 * g - 18 * bl) / 256);
                d[x * 2 + 3] = Y(b);
            }
        }
        return out;
    }

    // An uncompressed frame from the host has arrived: it is shown (and laid
    // onto tape when an edit waits for it).
    void finish_uncompressed() {
        Frame fr = black_frame();
        auto clamp = [](int c) { return uint8_t(c < 0 ? 0 : c > 255 ? 255 : c); };
        const size_t row = size_t(width_) * 2;
        for (int y = 0; y < height_; ++y) {
            const size_t at = device_row(y) * row;
            if (at + row > uyvy_.size()) continue;
            for (int x = 0; x + 1 < width_; x += 2) {
                const uint8_t *s = &uyvy_[at + size_t(x) * 2];
                const int u = s[0] - 128, v = s[2] - 128;
                for (int k = 0; k < 2; ++k) {
                    const int l = (s[1 + 2 * k] - 16) * 298;
                    uint8_t *d = &fr.rgb[(size_t(y) * width_ + x + k) * 3];
                    d[0] = clamp((l + 409 * v + 128) >> 8);
                    d[1] = clamp((l - 100 * u - 208 * v + 128) >> 8);
                    d[2] = clamp((l + 516 * u + 128) >> 8);
                }
            }
        }
        uyvy_want_ = 0;
        uyvy_.clear();
        uint32_t tc = 0;
        const bool strip = read_strip(fr, &tc);
        log_.line("DISPLAY host %dx%d %s", width_, height_,
                  strip ? tc_text(tc).c_str() : "no-strip");
        shown_ = frame_fields(fr);
        shown_pages_.clear();
        live_ = false;
        if (save_state_) edit_from_output();
    }

    void take_vtr_fault() {
        if (!vtr_fault_) return;
        vtr_error_ = vtr_fault_;
        vtr_fault_ = 0;
        load_state_ = save_state_ = 0;
    }

    static constexpr uint32_t key(uint32_t g, uint32_t p) { return g << 16 | p; }

    void arm(Fault &f) {
        f.fired = true;
        log_.line("FAULT %s", f.kind.c_str());
        if (f.kind == "short-data" || f.kind == "disconnect-data")
            data_fault_ = f.kind;
        else if (f.kind == "vtr-error")
            vtr_fault_ = uint32_t(f.arg); // reported by the next edit or load
        else if (f.kind == "no-signal")
            no_signal_ = true;
        else if (f.kind == "data-lost" || f.kind == "ac-lost")
            record_fault_ = f.kind;
        else {
            pending_ = f.kind;
            pending_arg_ = f.arg;
        }
    }

    int64_t frames_of(uint32_t tc) const {
        auto b = [](uint32_t v) { return int64_t((v >> 4) * 10 + (v & 15)); };
        return ((b(tc & 0xff) * 60 + b((tc >> 8) & 0xff)) * 60 + b((tc >> 16) & 0xff)) * rate_ +
               b(tc >> 24);
    }
    uint32_t tc_of(int64_t frames) const {
        if (frames < 0) frames = 0;
        auto bcd = [](int64_t v) { return uint32_t(((v / 10) << 4) | (v % 10)); };
        const int64_t f = frames % rate_, s = frames / rate_ % 60, m = frames / rate_ / 60 % 60,
                      h = frames / rate_ / 3600 % 24;
        return bcd(h) | bcd(m) << 8 | bcd(s) << 16 | bcd(f) << 24;
    }

    int64_t position() {
        if (vtr_mode_ == SV_P5_PLAY && opt_.speed > 0) {
            const double t = std::chrono::duration<double>(Clock::now() - mode_since_).count();
            return position_ + int64_t(t * rate_ * opt_.speed);
        }
        return position_;
    }
    void set_mode(uint32_t mode) {
        position_ = position();
        vtr_mode_ = mode;
        mode_since_ = Clock::now();
    }

    uint32_t field_counter() {
        if (no_signal_) return 7;
        if (opt_.speed > 0) {
            const double t = std::chrono::duration<double>(Clock::now() - born_).count();
            return uint32_t(t * rate_ * 2) + (++field_ticks_);
        }
        return ++field_ticks_;
    }

    uint32_t query(uint32_t g, uint32_t p) {
        switch (key(g, p)) {
        case key(2, SV_P2_WIDTH):
            return uint32_t(width_);
        case key(2, SV_P2_HEIGHT):
            return uint32_t(height_);
        case key(2, SV_P2_RATE):
            return uint32_t(rate_);
        case key(2, SV_P2_FIELD_COUNTER):
            return field_counter();
        case key(5, SV_P5_ERROR):
            return vtr_error_;
        case key(5, SV_P5_TIMECODE):
            return tc_of(position());
        case key(5, SV_P5_POSITION):
            return uint32_t(position());
        case key(5, SV_P5_EDIT_START):
            return uint32_t(edit_start_);
        case key(5, SV_P5_PREROLL):
            return 0; // the tape is cued at once
        case key(5, SV_P5_LOAD):
            return load_state_;
        case key(5, SV_P5_SAVE):
            // An edit with no data played for it records the output.
            if (save_state_ && !playing_ && !uyvy_want_) edit_from_output();
            return 0;
        case key(8, SV_P8_MEMORY):
            return opt_.memory ? 1 : 0;
        case key(8, SV_P8_GENLOCK):
            return opt_.genlock ? 1 : 0;
        default: {
            auto it = params_.find(key(g, p));
            return it == params_.end() ? 0 : it->second;
        }
        }
    }

    void vtr(uint32_t p, uint32_t arg) {
        const char *name = nullptr;
        switch (p) {
        case SV_P5_STOP:
            name = "stop";
            break;
        case SV_P5_PLAY:
            name = "play";
            break;
        case SV_P5_FORWARD:
            name = "forward";
            break;
        case SV_P5_REWIND:
            name = "rewind";
            break;
        case SV_P5_PAUSE:
            name = "pause";
            break;
        case SV_P5_GOTO:
            name = "goto";
            break;
        case SV_P5_JOG:
            name = "jog";
            break;
        default:
            break;
        }
        if (p == SV_P5_GOTO) {
            set_mode(SV_P5_STOP);
            position_ = frames_of(arg);
        } else if (p == SV_P5_JOG) {
            set_mode(SV_P5_PAUSE);
            position_ = std::max<int64_t>(0, position_ + int32_t(arg));
        } else {
            set_mode(p);
        }
        const uint32_t shown = p == SV_P5_GOTO ? arg : tc_of(position());
        if (name)
            log_.line("VTR %s %s", name, tc_text(shown).c_str());
        else
            log_.line("VTR %u %s", p, tc_text(shown).c_str());
    }

    uint32_t command(uint32_t word, uint32_t arg, uint32_t *value) {
        const bool is_query = word & SV_QUERY;
        const uint32_t g = (word >> 16) & 0xff, p = word & 0xffff;
        if (g == 0) { // action
            if (is_query) {
                log_.line("Q %x %x", g, p);
                *value = p == SV_ACT_DISPLAY_STATE && uyvy_want_ ? 1 : 0;
                return 0;
            }
            log_.line("A %x %x", p, arg);
            action(p, arg);
            return 0;
        }
        if (p == 0 && !is_query) {
            log_.line("S %x", g);
            return 0;
        }
        if (is_query) {
            log_.line("Q %x %x", g, p);
            *value = query(g, p);
            return 0;
        }
        log_.line("C %x %x %x", g, p, arg);
        params_[key(g, p)] = arg;
        if (g == 5) {
            switch (p) {
            case SV_P5_ERROR:
                vtr_error_ = arg;
                break;
            case SV_P5_PREROLL:
                position_ =
                    frames_of(params_[key(5, SV_P5_INPOINT)]) - int64_t(opt_.preroll) * rate_;
                if (position_ < 0) position_ = 0;
                break;
            case SV_P5_LOAD:
                edit_start_ = frames_of(params_[key(5, SV_P5_INPOINT)]);
                position_ = edit_start_ - rate_;
                load_state_ = 1;
                take_vtr_fault();
                break;
            case SV_P5_SAVE:
                edit_start_ = frames_of(params_[key(5, SV_P5_INPOINT)]);
                position_ = edit_start_ - rate_;
                save_state_ = 1;
                take_vtr_fault();
                break;
            case SV_P5_STOP:
            case 4:
            case 5:
            case SV_P5_PLAY:
            case SV_P5_FORWARD:
            case SV_P5_REWIND:
            case 9:
            case SV_P5_PAUSE:
            case SV_P5_GOTO:
            case 0x1e:
            case SV_P5_JOG:
            case 0x20:
            case 0x21:
                vtr(p, arg);
                break;
            default:
                break;
            }
        }
        return 0;
    }

    void action(uint32_t n, uint32_t arg) {
        if (n == SV_ACT_RECORD_HOST) record(arg);
        if (n == SV_ACT_DISPLAY_HOST) {
            playing_ = params_[key(2, SV_P2_XFER_MODE)] == SV_XFER_JPEG;
            play_.clear();
            uyvy_.clear();
            uyvy_want_ = playing_ ? 0 : size_t(width_) * size_t(height_) * 2;
        }
        if (n == SV_ACT_BLACK || n == SV_ACT_LIVE) {
            // Black, or the input: the tape where it stands.
            shown_.clear();
            shown_pages_.clear();
            live_ = n == SV_ACT_LIVE;
        }
        if (opt_.memory && n == SV_ACT_RECORD_MEMORY) record_pages(arg);
        if (opt_.memory && (n == SV_ACT_OUTPUT_MEMORY || n == SV_ACT_GOTO_PAGE)) {
            const uint32_t first = n == SV_ACT_GOTO_PAGE ? arg : params_[key(1, SV_P1_START_PAGE)];
            const uint32_t last = n == SV_ACT_GOTO_PAGE ? arg : params_[key(1, SV_P1_END_PAGE)];
            shown_pages_.clear();
            live_ = false;
            for (uint32_t pg = first; pg <= last && pg < kPages; ++pg)
                shown_pages_.push_back(pg);
            log_.line("DISPLAY pages %u %u", first, last);
            if (n == SV_ACT_OUTPUT_MEMORY && save_state_ && !shown_pages_.empty())
                edit_from_output();
        }
        if (n == SV_ACT_STOP_INPUT || n == SV_ACT_STOP_OUTPUT) {
            rec_abort();
            stream_.clear();
            stream_at_ = 0;
            load_state_ = 0;
        }
    }

    std::vector<Edit> edits() {
        std::vector<Edit> list;
        std::ifstream in(tape_ + "/edits");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream ls(line);
            std::string tc, file;
            long long count = 0;
            uint32_t w = 0;
            if (!(ls >> tc >> count >> file) || !parse_tc(tc, &w) || count <= 0 ||
                file.find('/') != std::string::npos)
                continue;
            list.push_back({frames_of(w), count, file});
        }
        return list;
    }

    // The two JPEG fields of the frame at a tape position.
    bool fields_at(int64_t pos, const std::vector<Edit> &list, std::vector<uint8_t> *f0,
                   std::vector<uint8_t> *f1) {
        for (auto e = list.rbegin(); e != list.rend(); ++e) {
            if (pos < e->in || pos >= e->in + e->count) continue;
            if (reel_fields(tape_ + "/" + e->file, int(pos - e->in), f0, f1)) return true;
        }
        const Frame fr = unrecorded_frame(width_, height_, tape_name_, tc_of(pos));
        const int q = int(params_[key(7, SV_P7_QUALITY)]);
        *f0 = encode_field(fr, pad_ ? 1 : 0, q, pad_);
        *f1 = encode_field(fr, pad_ ? 0 : 1, q, pad_);
        return true;
    }

    // Field JPEGs of frame k of a reel: its header followed by each stored field.
    static bool reel_fields(const std::string &name, int k, std::vector<uint8_t> *f0,
                            std::vector<uint8_t> *f1) {
        svj_handle *h = svj_open(name.c_str());
        if (!h) return false;
        bool ok = k >= 0 && uint32_t(k) < svj_info(h, 8) && h->tail.header <= h->file_size;
        auto read_at = [h](uint64_t off, uint64_t len, std::vector<uint8_t> *out) {
            if (off + len > h->file_size) return false;
            const size_t at = out->size();
            out->resize(at + len);
            return pread(h->fd, out->data() + at, len, off_t(off)) == ssize_t(len);
        };
        if (ok) {
            const svj_frame_entry &e = h->table[k];
            f0->clear();
            f1->clear();
            ok = read_at(0, h->tail.header, f0) && read_at(e.offset0, e.size0, f0) &&
                 read_at(0, h->tail.header, f1) && read_at(e.offset1, e.size1, f1);
        }
        svj_close(h);
        return ok;
    }

    // Recording into board memory: each page from the start page up to
    // (not including) the end page holds one frame of the tape, from the
    // edit start (after a load) or where the tape stands.
    void record_pages(uint32_t start_arg) {
        const uint32_t first = params_[key(1, SV_P1_START_PAGE)];
        const uint32_t end = std::min<uint32_t>(params_[key(1, SV_P1_END_PAGE)], kPages);
        const int64_t in = load_state_ ? int64_t(start_arg) : position();
        for (uint32_t pg = first; pg < end; ++pg)
            pages_[pg] = in + (pg - first);
        load_state_ = 0;
        log_.line("PAGES %u %u %s", first, end, tc_text(tc_of(in)).c_str());
    }

    void record(uint32_t start_arg) {
        const uint32_t mode = params_[key(2, SV_P2_XFER_MODE)];
        int64_t count = params_[key(2, SV_P2_XFER_COUNT)];
        if (count < 1 || count > 100000) count = 1;
        const int64_t in = load_state_ ? int64_t(start_arg) : position();
        stream_.clear();
        stream_at_ = 0;
        log_.line("GRAB %s %lld", tc_text(tc_of(in)).c_str(), (long long)count);
        const auto list = edits();
        if (mode == SV_XFER_JPEG) {
            rec_abort();
            char tmpl[4096];
            snprintf(tmpl, sizeof tmpl, "%s/.grab-XXXXXX", tape_.c_str());
            const int fd = mkstemp(tmpl);
            if (fd < 0) return;
            close(fd);
            rec_path_ = tmpl;
            rec_file_ = fm_svj_file_create(tmpl, width_, stored_height_);
            rec_fd_ = open(tmpl, O_RDONLY | O_CLOEXEC);
            if (!rec_file_ || rec_fd_ < 0) {
                rec_abort();
                return;
            }
            rec_in_ = in;
            rec_count_ = count;
            rec_done_ = 0;
            rec_lost_ = false;
            rec_list_ = list;
        } else {
            // One uncompressed frame of the tape in the device frame layout.
            stream_ = device_frame(tape_frame(in, list));
            // The data channel moves whole chunks: the last one is padded.
            stream_.resize((stream_.size() + SV_CHUNK_BYTES - 1) / SV_CHUNK_BYTES * SV_CHUNK_BYTES,
                           0);
        }
        stream_start_ = Clock::now();
        stream_duration_ = double(count) / rate_;
    }

    // The recording being made: frames are laid into a reel file in the tape
    // directory as the host reads, so a long grab starts at once; the table
    // and tail follow the last frame.
    uint64_t rec_written() const {
        struct stat st {};
        return fstat(rec_fd_, &st) == 0 ? uint64_t(st.st_size) : 0;
    }
    bool rec_frame() {
        std::vector<uint8_t> f0, f1;
        fields_at(rec_in_ + rec_done_, rec_list_, &f0, &f1);
        const int i = int(rec_done_++);
        return fm_svj_field_write_mem(rec_file_, f0.data(), f0.size(), i, 0) == 0 &&
               fm_svj_field_write_mem(rec_file_, f1.data(), f1.size(), i, 1) == 0;
    }
    void rec_close() {
        const bool ok = fm_svj_file_close(rec_file_) == 0;
        rec_file_ = nullptr;
        stream_.clear();
        if (ok) {
            std::ifstream r(rec_path_, std::ios::binary);
            stream_.assign(std::istreambuf_iterator<char>(r), {});
        }
        rec_abort();
        if (stream_.size() < SVJ_TAIL_SIZE) {
            stream_.clear();
            return;
        }
        if (record_fault_ == "ac-lost")
            put_be32(&stream_[stream_.size() - SVJ_TAIL_SIZE + SVJ_TAIL_LOST], 3);
        if (record_fault_ == "data-lost" || rec_lost_) // the table is beyond what arrives
            put_be32(&stream_[stream_.size() - SVJ_TAIL_SIZE + SVJ_TAIL_TABLE],
                     uint32_t(stream_.size() + 1000));
        record_fault_.clear();
        rec_lost_ = false;
        stream_.resize((stream_.size() / SV_CHUNK_BYTES + 1) * SV_CHUNK_BYTES, 0xFF);
        if (stream_[stream_.size() - 5] != 0xFF)
            stream_.resize(stream_.size() + SV_CHUNK_BYTES, 0xFF);
    }
    // Paced: frames the tape has passed but the host has not taken yet stay
    // in the board's buffer; more than --buffer MB of them and data is lost,
    // which the recording's tail then shows.
    void note_backlog() {
        const double elapsed = std::chrono::duration<double>(Clock::now() - stream_start_).count();
        const int64_t due = std::min<int64_t>(rec_count_, int64_t(elapsed * rate_ * opt_.speed));
        const uint64_t written = rec_written();
        const uint64_t per_frame = rec_done_ ? written / uint64_t(rec_done_) : 65536;
        const uint64_t waiting = written - std::min<uint64_t>(written, stream_at_);
        const uint64_t backlog =
            waiting + (due > rec_done_ ? uint64_t(due - rec_done_) * per_frame : 0);
        if (backlog > uint64_t(opt_.buffer_mb) << 20) rec_lost_ = true;
    }

    void rec_abort() {
        if (rec_file_) fm_svj_file_close(rec_file_);
        rec_file_ = nullptr;
        if (rec_fd_ >= 0) close(rec_fd_);
        rec_fd_ = -1;
        if (!rec_path_.empty()) unlink(rec_path_.c_str());
        rec_path_.clear();
    }

    const Options &opt_;
    Log log_;
    fm_svj_file *rec_file_ = nullptr;
    int rec_fd_ = -1;
    std::string rec_path_;
    int64_t rec_in_ = 0, rec_count_ = 0, rec_done_ = 0;
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

const char usage_text[] = "usage: boardsim SOCKET TAPEDIR [--standard pal|ntsc] [--speed X] "
                          "[--preroll S] [--buffer MB] [--version N] [--no-memory] [--no-genlock] "
                          "[--log FILE] [--fault KIND[@N]]...\n"
                          "       boardsim --help | --version\n";

int usage() {
    fputs(usage_text, stderr);
    return 2;
}

bool parse_fault(const std::string &spec, Fault *f) {
    std::string s = spec;
    const size_t at = s.find('@');
    if (at != std::string::npos) {
        f->at = atol(s.c_str() + at + 1);
        if (f->at < 1) return false;
        s = s.substr(0, at);
    }
    const size_t eq = s.find('=');
    if (eq != std::string::npos) {
        f->arg = atol(s.c_str() + eq + 1);
        s = s.substr(0, eq);
    }
    static const char *kinds[] = {
        "bad-reply",       "short-reply", "slow",      "stall",     "disconnect", "short-data",
        "disconnect-data", "vtr-error",   "no-signal", "data-lost", "ac-lost"};
    f->kind = s;
    return std::find_if(std::begin(kinds), std::end(kinds),
                        [&s](const char *k) { return s == k; }) != std::end(kinds);
}

} // namespace

int main(int argc, char **argv) {
    // Alone, --version prints the program's version; followed by a number
    // it sets the version number the simulated board reports.
    if (AnswerHelpOrVersion(argc, argv, "boardsim", usage_text)) return 0;
    Options o;
    std::vector<std::string> pos;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        const char *v = nullptr;
        if (a == "--standard") {
            if (!(v = next())) return usage();
            o.ntsc = strcmp(v, "ntsc") == 0;
            if (!o.ntsc && strcmp(v, "pal") != 0) return usage();
        } else if (a == "--speed") {
            if (!(v = next())) return usage();
            o.speed = atof(v);
            if (o.speed < 0 || o.speed > 1000) return usage();
        } else if (a == "--preroll") {
            if (!(v = next())) return usage();
            o.preroll = atoi(v);
            if (o.preroll < 0 || o.preroll > 60) return usage();
        } else if (a == "--buffer") {
            if (!(v = next())) return usage();
            o.buffer_mb = atol(v);
            if (o.buffer_mb < 1 || o.buffer_mb > 4096) return usage();
        } else if (a == "--version") {
            if (!(v = next())) return usage();
            o.version = atoi(v);
        } else if (a == "--no-memory") {
            o.memory = false;
        } else if (a == "--no-genlock") {
            o.genlock = false;
        } else if (a == "--log") {
            if (!(v = next())) return usage();
            o.log = v;
        } else if (a == "--fault") {
            Fault f;
            if (!(v = next()) || !parse_fault(v, &f)) return usage();
            o.faults.push_back(f);
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            pos.push_back(a);
        }
    }
    if (pos.size() != 2) return usage();
    o.socket = pos[0];
    o.tapedir = pos[1];
    struct stat st {};
    if (stat(o.tapedir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fprintf(stderr, "boardsim: %s is not a directory\n", o.tapedir.c_str());
        return 1;
    }

    signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = on_term;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    const int lfd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (o.socket.size() >= sizeof addr.sun_path) {
        fprintf(stderr, "boardsim: socket path too long\n");
        return 1;
    }
    strcpy(addr.sun_path, o.socket.c_str());
    unlink(o.socket.c_str());
    if (bind(lfd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(lfd, 8) != 0) {
        perror("boardsim: socket");
        return 1;
    }
    Board board(o);
    printf("boardsim: ready\n");
    fflush(stdout);

    std::vector<int> conns;
    std::vector<uint8_t> rec(SV_CHUNK_BYTES + 16);
    while (!g_quit) {
        std::vector<pollfd> p;
        p.push_back({lfd, POLLIN, 0});
        for (int c : conns)
            p.push_back({c, POLLIN, 0});
        if (poll(p.data(), p.size(), 200) <= 0) continue;
        if (p[0].revents & POLLIN) {
            const int c = accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                conns.push_back(c);
                board.log().line("CONNECT");
                // Who connected: the peer's process, user and group.
                ucred cred{};
                socklen_t len = sizeof cred;
                if (getsockopt(c, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0)
                    board.log().line("PEER pid %d uid %u gid %u connections %zu", int(cred.pid),
                                     unsigned(cred.uid), unsigned(cred.gid), conns.size());
            }
        }
        for (size_t i = 1; i < p.size(); ++i) {
            if (!p[i].revents) continue;
            const int c = p[i].fd;
            const ssize_t n = (p[i].revents & POLLIN) ? recv(c, rec.data(), rec.size(), 0) : 0;
            bool close_after = n <= 0;
            if (n == SV_READ_REQUEST_BYTES && be32(rec.data()) == SV_READ_REQUEST) {
                const auto out = board.read_request(be32(rec.data() + 4), &close_after);
                if (!close_after) send(c, out.data(), out.size(), MSG_NOSIGNAL);
            } else if (n == SV_BATCH_BYTES) {
                const auto out = board.batch(rec.data(), &close_after);
                if (!close_after && !out.empty()) send(c, out.data(), out.size(), MSG_NOSIGNAL);
            } else if (n > SV_BATCH_BYTES) {
                board.data(rec.data(), size_t(n));
            }
            if (close_after) {
                board.log().line("CLOSE");
                close(c);
                conns.erase(std::find(conns.begin(), conns.end(), c));
            }
        }
    }
    for (int c : conns) {
        board.log().line("CLOSE");
        close(c);
    }
    close(lfd);
    unlink(o.socket.c_str());
    return 0;
}
