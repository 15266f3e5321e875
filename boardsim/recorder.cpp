// The simulated board's recorder: grabs from tape into a reel the host
// reads over the data channel, recordings into board memory, the paced
// buffer and its losses.
#include "boardsim/board.h"

namespace boardsim {

std::vector<uint8_t> Board::read_request(uint32_t want, bool *close_after) {
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
        out.assign(stream_.begin() + long(stream_at_), stream_.begin() + long(stream_at_ + take));
        stream_at_ += take;
        if (stream_at_ >= stream_.size()) load_state_ = 0;
    }
    if (data_fault_ == "short-data") {
        data_fault_.clear();
        out.resize(out.size() / 2);
    }
    return out;
}

void Board::record_pages(uint32_t start_arg) {
    const uint32_t first = params_[key(1, SV_P1_START_PAGE)];
    const uint32_t end = std::min<uint32_t>(params_[key(1, SV_P1_END_PAGE)], kPages);
    const int64_t in = load_state_ ? int64_t(start_arg) : position();
    for (uint32_t pg = first; pg < end; ++pg)
        pages_[pg] = in + (pg - first);
    load_state_ = 0;
    log_.line("PAGES %u %u %s", first, end, tc_text(tc_of(in)).c_str());
}

void Board::record(uint32_t start_arg) {
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
        rec_making_s_ = 0;
        rec_lost_ = false;
        rec_list_ = list;
    } else {
        // One uncompressed frame of the tape in the device frame layout.
        stream_ = device_frame(tape_frame(in, list));
        // The data channel moves whole chunks: the last one is padded.
        stream_.resize((stream_.size() + SV_CHUNK_BYTES - 1) / SV_CHUNK_BYTES * SV_CHUNK_BYTES, 0);
    }
    stream_start_ = Clock::now();
    stream_duration_ = double(count) / rate_;
}

uint64_t Board::rec_written() const {
    struct stat st {};
    return fstat(rec_fd_, &st) == 0 ? uint64_t(st.st_size) : 0;
}

bool Board::rec_frame() {
    const auto start = Clock::now();
    std::vector<uint8_t> f0, f1;
    fields_at(rec_in_ + rec_done_, rec_list_, &f0, &f1);
    const int i = int(rec_done_++);
    const bool ok = fm_svj_field_write_mem(rec_file_, f0.data(), f0.size(), i, 0) == 0 &&
                    fm_svj_field_write_mem(rec_file_, f1.data(), f1.size(), i, 1) == 0;
    rec_making_s_ += std::chrono::duration<double>(Clock::now() - start).count();
    return ok;
}

void Board::rec_close() {
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
    if (stream_[stream_.size() - 5] != 0xFF) stream_.resize(stream_.size() + SV_CHUNK_BYTES, 0xFF);
}

// Frames are made when the host asks for data. What the host would have
// missed is estimated from the time it let pass: the time since the start
// less the time the simulator spent making frames, which on a busy or
// instrumented machine can be longer than a frame's period.
void Board::note_backlog() {
    const double elapsed =
        std::chrono::duration<double>(Clock::now() - stream_start_).count() - rec_making_s_;
    const int64_t due = std::min<int64_t>(rec_count_, int64_t(elapsed * rate_ * opt_.speed));
    const uint64_t written = rec_written();
    const uint64_t per_frame = rec_done_ ? written / uint64_t(rec_done_) : 65536;
    const uint64_t waiting = written - std::min<uint64_t>(written, stream_at_);
    const uint64_t backlog =
        waiting + (due > rec_done_ ? uint64_t(due - rec_done_) * per_frame : 0);
    if (backlog > uint64_t(opt_.buffer_mb) << 20) rec_lost_ = true;
}

void Board::rec_abort() {
    if (rec_file_) fm_svj_file_close(rec_file_);
    rec_file_ = nullptr;
    if (rec_fd_ >= 0) close(rec_fd_);
    rec_fd_ = -1;
    if (!rec_path_.empty()) unlink(rec_path_.c_str());
    rec_path_.clear();
}

} // namespace boardsim
