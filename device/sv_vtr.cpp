// The VTR steps of the board library: preroll, edits to tape (save), loads
// from tape (load) and the wait for the end of a VTR operation.
//
// Every wait here is bounded: when the VTR shows no progress (its position
// does not move and the awaited state does not come) for 10 seconds, the
// step gives the master control error 22 instead of hanging.
#include "device/sv.h"
#include "device/sv_internal.h"
#include "device/sv_protocol.h"
#include "platform/sem.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kNoProgress = std::chrono::seconds(10);
constexpr auto kPollStep = std::chrono::milliseconds(10);

// Preroll time in seconds last programmed, bounding the sleep before an edit.
int preroll_seconds(uint32_t tc) {
    const auto bcd = [](uint32_t b) { return int((b >> 4) * 10 + (b & 15)); };
    return bcd(tc & 0xff) * 3600 + bcd((tc >> 8) & 0xff) * 60 + bcd((tc >> 16) & 0xff);
}

int master_error(sv_handle *sv, const char *who, int code) {
    fprintf(stderr, "%s: Master error %d : %s\n", who, code, sv_vtrerror(sv, code));
    return 22;
}

// Tracks progress of a VTR wait: true while something moved in the last 10 s.
struct Progress {
    int32_t last = INT32_MIN;
    Clock::time_point since = Clock::now();
    bool alive(int32_t position) {
        if (position != last) {
            last = position;
            since = Clock::now();
        }
        return Clock::now() - since < kNoProgress;
    }
};

int edit(sv_handle *sv, uint32_t inpoint, int count, int *edit_start, bool save) {
    const char *who = save ? "sv_vtrsave" : "sv_vtrload";
    if (sv->version < 5) return 30;
    isp_command(sv, sv_group_word(5), 0);
    isp_command(sv, sv_param_word(5, SV_P5_INPOINT), inpoint);
    isp_command(sv, sv_param_word(5, SV_P5_COUNT), uint32_t(count));
    isp_command(sv, sv_param_word(5, SV_P5_PREROLL), 0);
    if (isp_flush(sv) != 0) return -1;

    // The preroll: poll once a second until it has finished.
    Progress progress;
    while (true) {
        int32_t err = 0, pos = 0, state = 0;
        isp_command(sv, sv_group_word(5), 0);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_ERROR), 0, &err);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_POSITION), 0, &pos);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_PREROLL), 0, &state);
        if (isp_flush(sv) != 0) return -1;
        if (sv_debug & 0x20)
            fprintf(stderr, "%s: preroll %d pos %d err %d\n", who, state, pos, err);
        if (err) return master_error(sv, who, err);
        if (state != 1) break;
        if (!progress.alive(pos)) return 22;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }

    isp_command(sv, sv_group_word(5), 0);
    isp_command(sv, sv_param_word(5, save ? SV_P5_SAVE : SV_P5_LOAD), 0);
    if (isp_flush(sv) != 0) return -1;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    int32_t rate = 0, pos = 0, start = 0, err = 0;
    isp_command(sv, sv_group_word(2), 0);
    isp_command(sv, SV_QUERY | sv_param_word(2, SV_P2_RATE), 0, &rate);
    isp_command(sv, sv_group_word(5), 0);
    isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_POSITION), 0, &pos);
    isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_EDIT_START), 0, &start);
    isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_ERROR), 0, &err);
    if (isp_flush(sv) != 0) return -1;
    if (err) return master_error(sv, who, err);
    if (rate <= 0 || rate > 100) rate = 25;

    // Sleep until shortly before the edit starts, never longer than the
    // preroll and 10 s (a wrong answer must not park the caller).
    const int64_t frames = int64_t(start) - pos - rate - 5;
    int64_t us = frames * (1000 / rate) * 1000;
    const int64_t limit = (int64_t(sv->state->preroll_s) + 10) * 1000000;
    if (us < 0) us = 0;
    if (us > limit) us = limit;
    std::this_thread::sleep_for(std::chrono::microseconds(us));

    Progress moving;
    while (true) {
        isp_command(sv, sv_group_word(5), 0);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_ERROR), 0, &err);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_EDIT_START), 0, &start);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_POSITION), 0, &pos);
        if (isp_flush(sv) != 0) return -1;
        if (err) return master_error(sv, who, err);
        if (start <= pos + rate) break;
        if (!moving.alive(pos)) return 22;
        std::this_thread::sleep_for(kPollStep);
    }
    if (sv->sem_set) SemSet(sv->sem_number, 0);
    isp_command(sv, sv_group_word(5), 0);
    isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_EDIT_START), 0, &start);
    isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_POSITION), 0, &pos);
    if (isp_flush(sv) != 0) return -1;
    if (edit_start) *edit_start = start;
    return 0;
}

// The preroll settings the program handed over in place of the
// environment's SCSIVIDEO_MASTER, guarded because jobs read them.
std::mutex master_lock;
std::string master_value;
bool master_set = false;

} // namespace

void sv_set_master(const char *value) {
    std::lock_guard<std::mutex> hold(master_lock);
    master_set = value != nullptr;
    master_value = value ? value : "";
}

int sv_vtrpreroll(sv_handle *sv, uint32_t inpoint, int record, int display) {
    SV_CHECK(sv);
    if (sv->version < 5) return 30;
    int integer = 0, flags = 0;
    uint32_t preroll = 0;
    bool have_preroll = false;
    std::string master_text;
    const char *master = nullptr;
    {
        std::lock_guard<std::mutex> hold(master_lock);
        if (master_set) {
            master_text = master_value;
            master = master_text.c_str();
        }
    }
    if (!master) master = getenv("SCSIVIDEO_MASTER");
    if (master) {
        // Fields are bounded: every %[ conversion has its width.
        char time[32] = "", opt[4][32] = {"", "", "", ""};
        const int n = sscanf(master, "%31[^,],%d,%31[^,],%31[^,],%31[^,],%31[^,],", time, &integer,
                             opt[0], opt[1], opt[2], opt[3]);
        if (n < 1) {
            fprintf(stderr, "SCSIVIDEO_MASTER bad: %s\n", master);
            return 22;
        }
        if (n < 2) integer = 0;
        const int rc = sv_asc2tc(sv, time, &preroll);
        if (rc) {
            fprintf(stderr, "SCSIVIDEO_MASTER preroll bad: %s\n", master);
            return rc;
        }
        have_preroll = true;
        static const struct {
            const char *word;
            int flag;
        } words[] = {{"AUDIOEDIT", 4}, {"UNSAFE", 8}, {"DF", 1}, {"ASTC", 2}};
        for (int i = 0; i < 4 && i + 2 < n; ++i)
            if (strcmp(opt[i], words[i].word) == 0) flags |= words[i].flag;
        if ((flags & (4 | 8)) && sv->version < 8) return 30;
        sv->state->preroll_s = preroll_seconds(preroll);
    } else if (record) {
        isp_command(sv, SV_ACT_LIVE, 0);
    } else if (display) {
        isp_command(sv, SV_ACT_STOP_INPUT, 0);
    }
    isp_command(sv, sv_group_word(5), 0);
    isp_command(sv, sv_param_word(5, SV_P5_ERROR), 0);
    if (integer) isp_command(sv, sv_param_word(5, SV_P5_PREROLL_INT), uint32_t(integer));
    if (have_preroll) isp_command(sv, sv_param_word(5, SV_P5_PREROLL_TIME), preroll);
    isp_command(sv, sv_param_word(5, SV_P5_FLAGS), uint32_t(flags));
    isp_command(sv, sv_param_word(5, SV_P5_INPOINT), inpoint);
    isp_command(sv, sv_param_word(5, SV_P5_PREROLL), 0);
    return isp_flush(sv) == 0 ? 0 : -1;
}

int sv_vtrsave(sv_handle *sv, uint32_t inpoint, int count, int *edit_start) {
    SV_CHECK(sv);
    return edit(sv, inpoint, count, edit_start, true);
}

int sv_vtrload(sv_handle *sv, uint32_t inpoint, int count, int *edit_start) {
    SV_CHECK(sv);
    return edit(sv, inpoint, count, edit_start, false);
}

int sv_vtrwait(sv_handle *sv) {
    SV_CHECK(sv);
    Progress progress;
    while (true) {
        int32_t load = 0, save = 0, preroll = 0, err = 0, pos = 0;
        isp_command(sv, sv_group_word(5), 0);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_LOAD), 0, &load);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_SAVE), 0, &save);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_PREROLL), 0, &preroll);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_ERROR), 0, &err);
        isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_POSITION), 0, &pos);
        if (isp_flush(sv) != 0) return -1;
        if (err) {
            fprintf(stderr, "sv_vtrwait: Master error %d : %s\n", err, sv_vtrerror(sv, err));
            return 22;
        }
        if (load != 1 && save != 1 && preroll != 1) return 0;
        if (!progress.alive(pos)) return 22;
        std::this_thread::sleep_for(kPollStep);
    }
}

int sv_vtredit(sv_handle *sv, uint32_t inpoint, int count) {
    SV_CHECK(sv);
    int rc = sv_vtrpreroll(sv, inpoint, 0, 0);
    if (rc) return rc;
    int start = 0;
    rc = sv_vtrsave(sv, inpoint, count, &start);
    if (rc) return rc;
    return sv_vtrwait(sv);
}
