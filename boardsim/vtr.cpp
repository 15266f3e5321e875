// The simulated board's command side: a batch of parameter groups,
// queries and actions, the faults armed for it, and the VTR transport with
// its position and timecode.
#include "boardsim/board.h"

namespace boardsim {

std::vector<uint8_t> Board::batch(const uint8_t *in, bool *close_after) {
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
    if (pending_ == "slow") std::this_thread::sleep_for(std::chrono::milliseconds(pending_arg_));
    if (pending_ == "stall") reply.clear();
    if (pending_ == "disconnect") *close_after = true;
    pending_.clear();
    return reply;
}

void Board::take_vtr_fault() {
    if (!vtr_fault_) return;
    vtr_error_ = vtr_fault_;
    vtr_fault_ = 0;
    load_state_ = save_state_ = 0;
}

void Board::arm(Fault &f) {
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

int64_t Board::frames_of(uint32_t tc) const {
    auto b = [](uint32_t v) { return int64_t((v >> 4) * 10 + (v & 15)); };
    return ((b(tc & 0xff) * 60 + b((tc >> 8) & 0xff)) * 60 + b((tc >> 16) & 0xff)) * rate_ +
           b(tc >> 24);
}

uint32_t Board::tc_of(int64_t frames) const {
    if (frames < 0) frames = 0;
    auto bcd = [](int64_t v) { return uint32_t(((v / 10) << 4) | (v % 10)); };
    const int64_t f = frames % rate_, s = frames / rate_ % 60, m = frames / rate_ / 60 % 60,
                  h = frames / rate_ / 3600 % 24;
    return bcd(h) | bcd(m) << 8 | bcd(s) << 16 | bcd(f) << 24;
}

int64_t Board::position() {
    if (vtr_mode_ == SV_P5_PLAY && opt_.speed > 0) {
        const double t = std::chrono::duration<double>(Clock::now() - mode_since_).count();
        return position_ + int64_t(t * rate_ * opt_.speed);
    }
    return position_;
}

void Board::set_mode(uint32_t mode) {
    position_ = position();
    vtr_mode_ = mode;
    mode_since_ = Clock::now();
}

uint32_t Board::field_counter() {
    if (no_signal_) return 7;
    if (opt_.speed > 0) {
        const double t = std::chrono::duration<double>(Clock::now() - born_).count();
        return uint32_t(t * rate_ * 2) + (++field_ticks_);
    }
    return ++field_ticks_;
}

uint32_t Board::query(uint32_t g, uint32_t p) {
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

void Board::vtr(uint32_t p, uint32_t arg) {
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

uint32_t Board::command(uint32_t word, uint32_t arg, uint32_t *value) {
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
            position_ = frames_of(params_[key(5, SV_P5_INPOINT)]) - int64_t(opt_.preroll) * rate_;
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

void Board::action(uint32_t n, uint32_t arg) {
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
        if (n == SV_ACT_OUTPUT_MEMORY && save_state_ && !shown_pages_.empty()) edit_from_output();
    }
    if (n == SV_ACT_STOP_INPUT || n == SV_ACT_STOP_OUTPUT) {
        rec_abort();
        stream_.clear();
        stream_at_ = 0;
        load_state_ = 0;
    }
}

} // namespace boardsim
