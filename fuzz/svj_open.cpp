// libFuzzer target: the device-file layer of SVJ reels on any
// file: svj_open with info, sizes, a transfer to a discarding board, the
// ratio dump and the field scan; and the same bytes received as a recording.
// Files pass through a private scratch directory removed at exit.
//
//   build-fuzz/fuzz/fuzz_svj_open -close_fd_mask=3 -max_total_time=300 corpus/
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "fuzz/svj_scratch.h"
#include "media/svj.h"

namespace {

class discard_board : public svj_device {
  public:
    uint64_t sent = 0;
    const uint8_t *data = nullptr;
    size_t size = 0, served = 0;
    int host2isp(const unsigned char *, uint32_t len) override {
        sent += len;
        return 0;
    }
    int isp2host(unsigned char *block, uint32_t len) override {
        if (served >= size) return -1;
        for (uint32_t k = 0; k < len; k++)
            block[k] = served + k < size ? data[served + k] : 0xFF;
        served += len;
        return 0;
    }
};

std::string temp_name(const char *what) {
    return svj_fuzz::scratch("fuzz_svj_open", what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string reel = temp_name("svj"), rec = temp_name("rec"),
                             dump = temp_name("txt");
    svj_fuzz::write_scratch(reel, data, size);
    svj_handle *h = svj_open(reel.c_str());
    if (h != nullptr) {
        for (int code : {0, 1, 2, 6, 7, 8, 9})
            svj_info(h, code);
        int frames = int(svj_info(h, 8));
        for (int first : {0, 1, frames - 1, frames}) {
            svj_size(h, first, -1);
            svj_size(h, first, 1);
            svj_size(h, first, 2);
        }
        discard_board board;
        int expect = svj_size(h, 0, -1);
        int result = svj_host2isp(&board, h, 0, -1);
        // What is sent is what svj_size announced.
        if (result == 0 && board.sent != uint64_t(expect)) abort();
        if (frames > 1) svj_host2isp(&board, h, frames / 2, 1);
        svj_dumpsize(h, dump.c_str());
        svj_close(h);
    }
    svj_indexate(reel.c_str(), 0);

    svj_handle *c = svj_create(rec.c_str());
    if (c != nullptr) {
        discard_board board;
        board.data = data;
        board.size = size;
        svj_isp2host(&board, c, 1);
        svj_close(c);
    }
    return 0;
}
