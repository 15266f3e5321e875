// The command layer: batches of command words to the board and its replies,
// and bulk data in whole 64512-byte chunks.
//
// A batch carries up to 124 command/argument pairs; the board answers it with
// one reply batch carrying the same sequence word, a status and a value per
// pair. Query values are stored on the host through destinations kept beside
// the batch (they never travel to the board). A reply that is not exactly one
// batch, or whose sequence word differs, fails the exchange and stores
// nothing; replies left over from an exchange that timed out carry an older
// sequence word and are skipped, so the next exchange works.
#include "device/sv.h"
#include "device/sv_internal.h"
#include "device/sv_protocol.h"
#include "platform/byteorder.h"
#include "platform/sem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

void isp_panic(const char *text) {
    fprintf(stderr, "Panic %s\n", text);
}

int isp_open(sv_handle *sv, const char *setup) {
    if (dtm_open(&sv->command_channel, &sv->data_channel, setup) != 0) return -1;
    int size = dtm_info(sv->command_channel, 1);
    if (size <= 0) {
        isp_close(sv);
        return -1;
    }
    size = std::min(size, int(SV_CHUNK_BYTES));
    sv->batch_size = size;
    sv->batch_limit = std::min((size - 64) / 8, SV_MAX_COMMANDS);
    sv->command_batch = static_cast<uint32_t *>(calloc(SV_BATCH_WORDS, 4));
    sv->reply_batch = static_cast<uint32_t *>(calloc(SV_BATCH_WORDS, 4));
    sv->query_dest = static_cast<void **>(calloc(SV_MAX_COMMANDS, sizeof(void *)));
    if (!sv->command_batch || !sv->reply_batch || !sv->query_dest) {
        isp_close(sv);
        return -1;
    }
    sv->command_batch[SV_W_VERSION] = SV_REQUEST_VERSION;
    sv->reply_batch[SV_W_VERSION] = SV_REQUEST_VERSION;
    return 0;
}

void isp_close(sv_handle *sv) {
    if (sv->data_channel) dtm_close(sv->data_channel);
    if (sv->command_channel) dtm_close(sv->command_channel);
    sv->data_channel = sv->command_channel = nullptr;
    free(sv->command_batch);
    free(sv->reply_batch);
    free(sv->query_dest);
    sv->command_batch = sv->reply_batch = nullptr;
    sv->query_dest = nullptr;
}

int isp_command(sv_handle *sv, uint32_t word, uint32_t arg, int32_t *dest) {
    uint32_t *b = sv->command_batch;
    const uint32_t i = b[SV_W_COUNT];
    b[SV_W_FIRST_PAIR + 2 * i] = word;
    b[SV_W_FIRST_PAIR + 2 * i + 1] = arg;
    sv->query_dest[i] = dest;
    b[SV_W_COUNT] = i + 1;
    b[SV_W_RUNNING] += 1;
    if (int(b[SV_W_COUNT]) >= sv->batch_limit && isp_flush(sv) != 0) return -1;
    return int(b[SV_W_RUNNING]);
}

namespace {

void set_busy(sv_handle *sv, int v) {
    if (sv->sem_set) SemSet(sv->sem_number, v);
}

// Sends the batch and reads its reply; true when the reply is one batch with
// the request's sequence word.
bool exchange(sv_handle *sv) {
    uint32_t *b = sv->command_batch;
    unsigned char out[SV_BATCH_BYTES];
    for (int w = 0; w < SV_BATCH_WORDS; ++w)
        put_be32(out + 4 * w, w < SV_W_HOST_TABLE ? b[w] : 0);
    sv->data_channel->last_direction = 0;
    if (dtm_host2isp(sv->command_channel, out, SV_BATCH_BYTES) != SV_BATCH_BYTES) return false;
    // One byte more than a batch, so a longer reply shows as too long.
    unsigned char in[SV_BATCH_BYTES + 1];
    while (true) {
        const int r = dtm_isp2host(sv->command_channel, in, sizeof in);
        if (r != 0 || sv->command_channel->last_count != SV_BATCH_BYTES) return false;
        const uint32_t seq = be32(in + 4 * SV_W_SEQUENCE);
        if (seq == b[SV_W_SEQUENCE]) break;
        // An older reply left by an exchange that gave up waiting: skip it.
        if (int32_t(b[SV_W_SEQUENCE] - seq) > 0) continue;
        return false;
    }
    for (int w = 0; w < SV_BATCH_WORDS; ++w)
        sv->reply_batch[w] = be32(in + 4 * w);
    return true;
}

} // namespace

int isp_flush(sv_handle *sv) {
    uint32_t *b = sv->command_batch;
    const int n = int(b[SV_W_COUNT]);
    if (n == 0) return 0;
    set_busy(sv, 1);
    b[SV_W_SEQUENCE] += 1;
    const bool ok = exchange(sv);
    if (ok) {
        const uint32_t *r = sv->reply_batch;
        for (int i = 0; i < n; ++i) {
            if (!(b[SV_W_FIRST_PAIR + 2 * i] & SV_QUERY)) continue;
            if (r[SV_W_FIRST_PAIR + 2 * i] != 0 || !sv->query_dest[i]) continue;
            *static_cast<int32_t *>(sv->query_dest[i]) = int32_t(r[SV_W_FIRST_PAIR + 2 * i + 1]);
        }
        sv->version = int(r[SV_W_VERSION]);
    }
    b[SV_W_COUNT] = 0;
    set_busy(sv, 0);
    return ok ? 0 : -1;
}

// A zeroed buffer of one whole chunk, for the last part of a transfer that
// is not a whole chunk; false (and a message) when there is no memory.
static bool chunk_stage(std::vector<unsigned char> &stage) {
    try {
        stage.assign(SV_CHUNK_BYTES, 0);
    } catch (const std::bad_alloc &) {
        fprintf(stderr, "Out of memory\n");
        return false;
    }
    return true;
}

int isp_host2isp(sv_handle *sv, const void *data, uint32_t len) {
    const auto *p = static_cast<const unsigned char *>(data);
    uint64_t done = 0;
    while (len - done >= SV_CHUNK_BYTES) {
        if (dtm_host2isp(sv->data_channel, p + done, int(SV_CHUNK_BYTES)) != int(SV_CHUNK_BYTES))
            return -1;
        done += SV_CHUNK_BYTES;
    }
    if (done == len) return 0;
    std::vector<unsigned char> stage;
    if (!chunk_stage(stage)) return 1;
    memcpy(stage.data(), p + done, size_t(len - done));
    return dtm_host2isp(sv->data_channel, stage.data(), int(SV_CHUNK_BYTES)) == int(SV_CHUNK_BYTES)
               ? 0
               : -1;
}

int isp_isp2host(sv_handle *sv, void *data, uint32_t len) {
    auto *p = static_cast<unsigned char *>(data);
    uint64_t done = 0;
    dtm_handle *d = sv->data_channel;
    while (len - done >= SV_CHUNK_BYTES) {
        if (dtm_isp2host(d, p + done, int(SV_CHUNK_BYTES)) != 1 ||
            d->last_count != int(SV_CHUNK_BYTES))
            return -1;
        done += SV_CHUNK_BYTES;
    }
    if (done == len) return 0;
    std::vector<unsigned char> stage;
    if (!chunk_stage(stage)) return 1;
    if (dtm_isp2host(d, stage.data(), int(SV_CHUNK_BYTES)) != 1 ||
        d->last_count != int(SV_CHUNK_BYTES))
        return -1;
    memcpy(p + done, stage.data(), size_t(len - done));
    return 0;
}
