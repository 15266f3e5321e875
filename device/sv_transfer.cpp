// Frame transfers of the board library: uncompressed frames into and out of
// host buffers or board memory, and compressed recordings into and out of
// SVJ reel files (the reel byte stream on the data channel).
#include "device/sv.h"
#include "device/sv_internal.h"
#include "device/sv_protocol.h"
#include "media/svj.h"

#include <chrono>
#include <thread>
#include <unistd.h>

namespace {

// The reel layer's view of the data channel.
class IspDevice : public svj_device {
  public:
    explicit IspDevice(sv_handle *sv) : sv_(sv) {}
    int host2isp(const unsigned char *data, uint32_t len) override {
        return isp_host2isp(sv_, data, len) == 0 ? 0 : -1;
    }
    int isp2host(unsigned char *block, uint32_t len) override {
        return isp_isp2host(sv_, block, len) == 0 ? 0 : -1;
    }

  private:
    sv_handle *sv_;
};

// Shows the input and checks that its field counter advances within two
// field periods; 0, 27 without a signal, -1 when the exchange failed.
int wait_signal(sv_handle *sv) {
    int32_t height = 0, before = 0, after = 0;
    isp_command(sv, SV_ACT_LIVE, 0);
    isp_command(sv, sv_group_word(2), 0);
    isp_command(sv, SV_QUERY | sv_param_word(2, SV_P2_HEIGHT), 0, &height);
    isp_command(sv, SV_QUERY | sv_param_word(2, SV_P2_FIELD_COUNTER), 0, &before);
    if (isp_flush(sv) != 0) return -1;
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        isp_command(sv, sv_group_word(2), 0);
        isp_command(sv, SV_QUERY | sv_param_word(2, SV_P2_FIELD_COUNTER), 0, &after);
        if (isp_flush(sv) != 0) return -1;
        if (after != before) return 0;
    }
    return 27;
}

int query_frame(sv_handle *sv, int32_t *w, int32_t *h, int32_t *memory, int32_t *page) {
    isp_command(sv, sv_group_word(2), 0);
    isp_command(sv, SV_QUERY | sv_param_word(2, SV_P2_WIDTH), 0, w);
    isp_command(sv, SV_QUERY | sv_param_word(2, SV_P2_HEIGHT), 0, h);
    isp_command(sv, sv_group_word(8), 0);
    isp_command(sv, SV_QUERY | sv_param_word(8, SV_P8_MEMORY), 0, memory);
    if (page) {
        isp_command(sv, sv_group_word(1), 0);
        isp_command(sv, SV_QUERY | sv_param_word(1, SV_P1_PAGE), 0, page);
    }
    return isp_flush(sv) == 0 ? 0 : -1;
}

// Prepares a transfer between the board and the data channel and starts it.
int transfer_setup(sv_handle *sv, uint32_t action, uint32_t mode, int count, int hold,
                   int edit_start) {
    isp_command(sv, sv_group_word(2), 0);
    isp_command(sv, sv_param_word(2, SV_P2_XFER_MODE), mode);
    isp_command(sv, sv_param_word(2, SV_P2_XFER_COUNT), uint32_t(count));
    isp_command(sv, sv_param_word(2, SV_P2_XFER_HOLD), uint32_t(hold));
    isp_command(sv, action, uint32_t(edit_start));
    return isp_flush(sv) == 0 ? 0 : -1;
}

int sv_record_setup(sv_handle *sv, uint32_t mode, int count, int edit_start) {
    return transfer_setup(sv, SV_ACT_RECORD_HOST, mode, count, 0, edit_start);
}

int sv_display_setup(sv_handle *sv, uint32_t mode, int count, int hold, int edit_start) {
    return transfer_setup(sv, SV_ACT_DISPLAY_HOST, mode, count, hold, edit_start);
}

// Queues the board's memory pages first .. end as the page source of the
// next recording or output from memory.
void queue_page_range(sv_handle *sv, int first, int end) {
    isp_command(sv, sv_group_word(2), 0);
    isp_command(sv, sv_param_word(2, SV_P2_PAGE_SOURCE), 2);
    isp_command(sv, sv_group_word(1), 0);
    isp_command(sv, sv_param_word(1, SV_P1_START_PAGE), uint32_t(first));
    isp_command(sv, sv_param_word(1, SV_P1_END_PAGE), uint32_t(end));
}

} // namespace

int sv_record(sv_handle *sv, unsigned char *buffer, int size, int *width, int *height,
              int start_page, int count, uint32_t timecode) {
    SV_CHECK(sv);
    int rc = wait_signal(sv);
    if (rc) return rc;
    if (timecode && (rc = sv_vtrpreroll(sv, timecode, 1, 0)) != 0) return rc;
    int32_t w = 0, h = 0, memory = 0;
    if (query_frame(sv, &w, &h, &memory, nullptr) != 0) return -1;
    if (width) *width = w;
    if (height) *height = h;
    int start = 0;
    if (timecode && (rc = sv_vtrload(sv, timecode, count, &start)) != 0) return rc;
    if (buffer) {
        const int64_t bytes = int64_t(w) * h * 2;
        if (w <= 0 || h <= 0 || bytes > size) return 4;
        if (sv_record_setup(sv, SV_XFER_UNCOMPRESSED, 1, start) != 0) return -1;
        if (isp_isp2host(sv, buffer, uint32_t(bytes)) != 0) return 26;
    } else {
        if (!memory) return 29;
        queue_page_range(sv, start_page, start_page + count);
        isp_command(sv, SV_ACT_RECORD_MEMORY, uint32_t(start));
        if (isp_flush(sv) != 0) return -1;
    }
    return timecode ? sv_vtrwait(sv) : 0;
}

int sv_display(sv_handle *sv, const unsigned char *buffer, int size, int width, int height,
               int start_page, int count, uint32_t timecode) {
    SV_CHECK(sv);
    int rc = sv_black(sv);
    if (rc) return rc;
    if (timecode && (rc = sv_vtrpreroll(sv, timecode, 0, 1)) != 0) return rc;
    int32_t w = 0, h = 0, memory = 0, page = 0;
    if (query_frame(sv, &w, &h, &memory, &page) != 0) return -1;
    const int64_t bytes = int64_t(w) * h * 2;
    if (buffer && (w <= 0 || h <= 0 || size < bytes)) return 4;
    if (width != w && height != h) return 6;
    int start = 0;
    if (buffer) {
        if (timecode && (rc = sv_vtrsave(sv, timecode, count, &start)) != 0) return rc;
        if (sv_display_setup(sv, SV_XFER_UNCOMPRESSED, 1, 0, start) != 0) return -1;
        if (isp_host2isp(sv, buffer, uint32_t(bytes)) != 0) return 26;
        for (int i = 0; i < 1000; ++i) {
            int32_t state = 0;
            isp_command(sv, SV_QUERY | SV_ACT_DISPLAY_STATE, 0, &state);
            if (isp_flush(sv) != 0) return -1;
            if (state != 1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } else {
        if (!memory) return 29;
        queue_page_range(sv, start_page, start_page + count - 1);
        if (isp_flush(sv) != 0) return -1;
        if (timecode && (rc = sv_vtrsave(sv, timecode, count, &start)) != 0) return rc;
        if (isp_command(sv, SV_ACT_OUTPUT_MEMORY, uint32_t(start)) < 0 || isp_flush(sv) != 0)
            return -1;
    }
    return timecode ? sv_vtrwait(sv) : 0;
}

int sv_jpeg_record_file(sv_handle *sv, const char *name, int zero, int count, uint32_t timecode) {
    SV_CHECK(sv);
    if (count < 1 || zero != 0 || !name) return 1;
    int rc = wait_signal(sv);
    if (rc) return rc;
    if (timecode && (rc = sv_vtrpreroll(sv, timecode, 1, 0)) != 0) return rc;
    svj_handle *h = svj_create(name);
    if (!h) return 8;
    int start = 0;
    if (timecode) rc = sv_vtrload(sv, timecode, count, &start);
    if (rc == 0 && sv_record_setup(sv, SV_XFER_JPEG, count, start) != 0) rc = -1;
    bool tail = false;
    if (rc == 0) {
        IspDevice device(sv);
        rc = svj_isp2host(&device, h, count);
        tail = rc == 0 || rc == 31;
    }
    svj_close(h);
    if (tail && timecode) {
        const int w = sv_vtrwait(sv);
        if (w != 0 && rc == 0) rc = w;
        if (w != 0 && w != 22) tail = false;
    }
    // A reel is kept only when its tail arrived; anything less is not a reel.
    if (!tail) unlink(name);
    return rc;
}

int sv_jpeg_display_file(sv_handle *sv, const char *name, int first, int count, uint32_t timecode) {
    SV_CHECK(sv);
    int rc = sv_black(sv);
    if (rc) return rc;
    if (timecode && (rc = sv_vtrpreroll(sv, timecode, 0, 1)) != 0) return rc;
    svj_handle *h = name ? svj_open(name) : nullptr;
    if (!h) return 7;
    const int frames = int(svj_info(h, 8));
    if (count == -1) count = frames - first;
    const bool hold = count == 0 && !timecode;
    const int send = count == 0 ? 1 : count;
    int start = 0;
    if (svj_size(h, first, send) < 0) rc = 18;
    if (rc == 0 && timecode) rc = sv_vtrsave(sv, timecode, send, &start);
    if (rc == 0 && sv_display_setup(sv, SV_XFER_JPEG, send, hold ? 1 : 0, start) != 0) rc = -1;
    if (rc == 0) {
        IspDevice device(sv);
        rc = svj_host2isp(&device, h, first, send);
    }
    if (rc == 0 && hold && (isp_command(sv, SV_ACT_OUTPUT_HELD, 0) < 0 || isp_flush(sv) != 0))
        rc = -1;
    svj_close(h);
    if (rc == 0 && timecode) rc = sv_vtrwait(sv);
    return rc;
}
