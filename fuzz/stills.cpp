// libFuzzer target over the five still-image readers: the input is written to
// a file that each format's header probe and reader then take in turn, in all
// three reader modes, together with the device-frame readers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "media/img_formats.h"
#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "media/img_sgi.h"
#include "media/img_tga.h"
#include "media/img_yuv.h"
#include "media/img_util.h"
#include "media/video_globals.h"
#include "platform/sem.h"

namespace {

// Pictures larger than this are probed but not read, to keep runs fast.
constexpr long FUZZ_MAX_PIXELS = 1L << 20;

std::string scratch_base() {
    char templ[] = "/tmp/orva_fuzz_stillsXXXXXX";
    const int fd = mkstemp(templ);
    if (fd >= 0) close(fd);
    return templ;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string base = scratch_base();
    static bool ready = false;
    if (!ready) {
        SetVideoMode(0);
        SemInit();
        ready = true;
    }
    using DeviceReader = int (*)(const char *, int, int, unsigned char *);
    const DeviceReader device[6] = {pic_to_buffer, tga_to_buffer, sgi_to_buffer,
                                    sgi_to_buffer, yuv_to_buffer, jpg_to_buffer};
    // The first byte chooses the format, so the fuzzer can steer each reader.
    if (size < 1) return 0;
    const int index = data[0] % 6;
    const std::string name = base + imp_format[index];
    {
        FILE *f = std::fopen(name.c_str(), "wb");
        if (!f) return 0;
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    }
    const ImgFunctions *fn = img_functions(index);
    int w = 0, h = 0;
    if (fn->header(name.c_str(), &w, &h) == 1 && long(w) * h <= FUZZ_MAX_PIXELS) {
        for (int mode : {0, 1, 2}) {
            std::vector<unsigned char> buf(size_t(w) * h * (mode == 2 ? 4 : 3));
            fn->read(name.c_str(), buf.data(), mode);
        }
    }
    if (size > 1 && (data[1] & 1)) { // a device-frame read at the video frame size
        std::vector<unsigned char> frame(static_cast<size_t>(device_frame_bytes()));
        device[index](name.c_str(), VIDEO_SIZEX, VIDEO_SIZEY, frame.data());
    }
    std::remove(name.c_str());
    return 0;
}
