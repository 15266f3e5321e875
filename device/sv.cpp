// The sv_ operations: opening the board, video mode and sync, status, the
// VTR transport commands, and the timecode text form. Each operation queues
// its commands and sends them with isp_flush under the handle's lock.
#include "device/sv.h"
#include "device/sv_internal.h"
#include "device/sv_protocol.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

// sv_debug itself lives with the reel layer (media/svj.cpp), which traces by it too.

namespace {

int flush_result(sv_handle *sv, int queued) {
    if (queued < 0) return -1;
    return isp_flush(sv) == 0 ? 0 : -1;
}

} // namespace

sv_handle *sv_open(const char *setup) {
    if (!setup || !*setup) setup = getenv("SCSIVIDEO_CMD");
    if (!setup) setup = "SCSI";
    if (const char *dbg = getenv("SCSIVIDEO_DEBUG")) {
        sv_debug = int(strtol(dbg, nullptr, 0));
        if (!(sv_debug & 0x80)) fprintf(stderr, "sv_debug set to %x (%s)\n", sv_debug, dbg);
    } else {
        sv_debug = 0;
    }
    auto *sv = static_cast<sv_handle *>(calloc(1, sizeof(sv_handle)));
    sv_state *state = sv ? new (std::nothrow) sv_state : nullptr;
    if (!sv || !state) {
        fprintf(stderr, "sv_open: Out of memory\n");
        free(sv);
        return nullptr;
    }
    sv->magic = SV_MAGIC;
    sv->version = 11;
    sv->state = state;
    if (isp_open(sv, setup) != 0) {
        delete state;
        free(sv);
        return nullptr;
    }
    return sv;
}

int sv_close(sv_handle *sv) {
    {
        SV_CHECK(sv);
        isp_close(sv);
        sv->magic = 0;
    }
    delete sv->state;
    free(sv);
    return 0;
}

int sv_videomode(sv_handle *sv, int mode) {
    SV_CHECK(sv);
    if (mode < 0 || mode > 3) return 1;
    isp_command(sv, sv_group_word(2), 0);
    return flush_result(sv, isp_command(sv, sv_param_word(2, SV_P2_MODE), uint32_t(mode)));
}

int sv_sync(sv_handle *sv, int mode) {
    SV_CHECK(sv);
    if (mode < 0 || mode > 3) return 1;
    if (mode >= 2 && sv->version >= 9) {
        int32_t genlock = 0;
        isp_command(sv, sv_group_word(8), 0);
        isp_command(sv, SV_QUERY | sv_param_word(8, SV_P8_GENLOCK), 0, &genlock);
        if (isp_flush(sv) != 0) return -1;
        if (!genlock) return 28;
    }
    isp_command(sv, sv_group_word(2), 0);
    return flush_result(sv, isp_command(sv, sv_param_word(2, SV_P2_SYNC), uint32_t(mode)));
}

int sv_status(sv_handle *sv, sv_info *info) {
    SV_CHECK(sv);
    if (!info) return 1;
    struct Q {
        int word, group, param;
    };
    static const Q queries[] = {
        {0, 2, SV_P2_WIDTH},    {1, 2, SV_P2_HEIGHT},      {2, 2, SV_P2_SYNC},
        {3, 5, SV_P5_TIMECODE}, {4, 5, SV_P5_1C},          {5, 5, SV_P5_ERROR},
        {6, 8, SV_P8_MEMORY},   {7, 8, SV_P8_2},           {8, 8, SV_P8_GENLOCK},
        {10, 1, SV_P1_PRONTO},  {11, 1, SV_P1_START_PAGE}, {12, 1, SV_P1_END_PAGE},
        {13, 1, SV_P1_PAGE},    {14, 1, SV_P1_0B},         {15, 0, 0x23},
    };
    info->word[13] = 0x10000;
    info->word[15] = 0;
    int group = -1, r = 0;
    for (const Q &q : queries) {
        if (q.group != group && q.group != 0) r |= isp_command(sv, sv_group_word(q.group), 0);
        group = q.group;
        r |= isp_command(sv, SV_QUERY | sv_param_word(q.group, q.param), 0, &info->word[q.word]);
    }
    return flush_result(sv, r < 0 ? -1 : 0);
}

int sv_quality(sv_handle *sv, int quality) {
    SV_CHECK(sv);
    isp_command(sv, sv_group_word(7), 0);
    return flush_result(sv, isp_command(sv, sv_param_word(7, SV_P7_QUALITY), uint32_t(quality)));
}

int sv_stop(sv_handle *sv) {
    SV_CHECK(sv);
    isp_command(sv, SV_ACT_STOP_OUTPUT, 0);
    isp_command(sv, SV_ACT_STOP_INPUT, 0);
    isp_command(sv, sv_group_word(5), 0);
    return flush_result(sv, isp_command(sv, sv_param_word(5, SV_P5_STOP), 0));
}

int sv_black(sv_handle *sv) {
    if (!sv || sv->magic != SV_MAGIC) return -1;
    SV_CHECK(sv);
    return flush_result(sv, isp_command(sv, SV_ACT_BLACK, 0));
}

int sv_live(sv_handle *sv) {
    SV_CHECK(sv);
    return flush_result(sv, isp_command(sv, SV_ACT_LIVE, 0));
}

int sv_wait(sv_handle *sv, int poll) {
    SV_CHECK(sv);
    if (!poll) return sv_vtrwait(sv);
    int32_t load = 0, save = 0, err = 0;
    isp_command(sv, sv_group_word(5), 0);
    isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_LOAD), 0, &load);
    isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_SAVE), 0, &save);
    isp_command(sv, SV_QUERY | sv_param_word(5, SV_P5_ERROR), 0, &err);
    if (isp_flush(sv) != 0) return -1;
    if (load == 1 || save == 1) return -1;
    return err ? 22 : 0;
}

int sv_vtrmaster(sv_handle *sv, int operation, int argument) {
    SV_CHECK(sv);
    struct Op {
        int param;  // group 5 parameter; 0: nothing sent
        bool arg;   // the argument travels with it
        int result; // result when nothing is sent
    };
    static const Op ops[17] = {
        {0, false, 0},
        {SV_P5_STOP, false, 0},
        {4, false, 0},
        {5, false, 0},
        {SV_P5_PLAY, false, 0},
        {SV_P5_FORWARD, false, 0},
        {SV_P5_REWIND, false, 0},
        {9, false, 0},
        {0, false, 3},
        {SV_P5_PAUSE, false, 0},
        {SV_P5_GOTO, true, 0},
        {0, false, 3},
        {0, false, 3},
        {0x1e, true, 0},
        {SV_P5_JOG, true, 0},
        {0x20, true, 0},
        {0x21, false, 0},
    };
    if (operation < 0 || operation > 16) return 1;
    const Op &op = ops[operation];
    if (op.param == 0) return op.result;
    if (sv_debug & 0x20) fprintf(stderr, "sv_vtrmaster: %d %x\n", operation, unsigned(argument));
    isp_command(sv, sv_group_word(5), 0);
    isp_command(sv, sv_param_word(5, SV_P5_ERROR), 0);
    return flush_result(
        sv, isp_command(sv, sv_param_word(5, uint32_t(op.param)), op.arg ? uint32_t(argument) : 0));
}

int sv_tc2asc(sv_handle *sv, uint32_t tc, char *text, int size) {
    (void)sv;
    if (!text || size < 12) return 1;
    char *p = text;
    for (int i = 0; i < 4; ++i) {
        const uint32_t b = (tc >> (8 * i)) & 0xff;
        *p++ = char('0' + (b >> 4));
        *p++ = char('0' + (b & 15));
        if (i < 3) *p++ = ':';
    }
    *p = 0;
    return 0;
}

int sv_asc2tc(sv_handle *sv, const char *text, uint32_t *tc) {
    (void)sv;
    if (!text) return 1;
    if (strnlen(text, 11) < 11) return 21;
    static const int digits[] = {0, 1, 3, 4, 6, 7, 9, 10};
    for (int d : digits)
        if (!isdigit(static_cast<unsigned char>(text[d]))) return 21;
    if (text[2] != ':' || text[5] != ':' || (text[8] != ':' && text[8] != '.')) return 21;
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t b = uint32_t((text[3 * i] - '0') << 4 | (text[3 * i + 1] - '0'));
        w |= b << (8 * i);
    }
    if (tc) *tc = w;
    return 0;
}

int sv_semaphore(sv_handle *sv, int flag, int id, int number) {
    SV_CHECK(sv);
    sv->sem_set = flag;
    sv->sem_id = id;
    sv->sem_number = number;
    return 0;
}
