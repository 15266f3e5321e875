// libFuzzer target over the five still-image readers: the input is put where
// each format's header probe and reader then take it in turn, in all three
// reader modes, together with the device-frame readers.
//
// Inputs leave nothing behind: every format but PIC reads a memory file
// through its /proc/self/fd path. The PIC reader needs a name ending in
// ".pic", so PIC inputs go into a private directory, one file removed after
// each input and the directory removed at exit.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "media/img_formats.h"
#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "media/img_sgi.h"
#include "media/img_tga.h"
#include "media/img_yuv.h"
#include "media/img_util.h"
#include "media/video_globals.h"

namespace {

// Pictures larger than this are probed but not read, to keep runs fast.
constexpr long FUZZ_MAX_PIXELS = 1L << 20;

std::string &pic_dir() {
    static std::string dir;
    return dir;
}

void remove_pic_dir() {
    if (!pic_dir().empty()) rmdir(pic_dir().c_str());
}

// Path of a file holding the input for format index, or "" on failure.
std::string put_input(int index, const uint8_t *data, size_t size) {
    if (index == 0) {
        if (pic_dir().empty()) {
            const char *tmp = std::getenv("TMPDIR");
            std::string t = std::string(tmp && *tmp ? tmp : "/tmp") + "/orva_fuzz_stillsXXXXXX";
            if (!mkdtemp(t.data())) return "";
            pic_dir() = t;
            std::atexit(remove_pic_dir);
        }
        const std::string name = pic_dir() + "/in.pic";
        FILE *f = std::fopen(name.c_str(), "wb");
        if (!f) return "";
        const bool ok = std::fwrite(data, 1, size, f) == size;
        return std::fclose(f) == 0 && ok ? name : "";
    }
    static const int mem = memfd_create("orva_fuzz_stills", MFD_CLOEXEC);
    if (mem < 0 || ftruncate(mem, 0) != 0) return "";
    for (size_t done = 0; done < size;) {
        const ssize_t n = pwrite(mem, data + done, size - done, off_t(done));
        if (n <= 0) return "";
        done += size_t(n);
    }
    return "/proc/self/fd/" + std::to_string(mem);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = (SetVideoMode(0), true);
    (void)ready;
    using DeviceReader = int (*)(const char *, int, int, unsigned char *);
    const DeviceReader device[6] = {pic_to_buffer, tga_to_buffer, sgi_to_buffer,
                                    sgi_to_buffer, yuv_to_buffer, jpg_to_buffer};
    // The first byte chooses the format, so the fuzzer can steer each reader.
    if (size < 1) return 0;
    const int index = data[0] % 6;
    const std::string name = put_input(index, data + 1, size - 1);
    if (name.empty()) return 0;
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
    if (index == 0) std::remove(name.c_str());
    return 0;
}
