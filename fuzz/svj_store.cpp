// libFuzzer target: the field store and the field-split
// writer. The first byte chooses:
//   0, 1: the rest is a reel: fm_svj_file_open (1: for update, appending a
//         frame when the reel's end lies in reach) with reads of its fields;
//   2:    the rest is a JPEG field stored twice by the field store;
//   3:    the same through the field-split writer.
// Stored reels must then have the reel layout. Files pass through a private
// scratch directory removed at exit.
//
//   build-fuzz/fuzz/fuzz_svj_store -close_fd_mask=3 -max_total_time=300 corpus/
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fuzz/svj_scratch.h"
#include "media/field.h"
#include "media/fm_format_svj.h"
#include "media/svj.h"

namespace {

std::string temp_name(const char *what) {
    return svj_fuzz::scratch("fuzz_svj_store", what);
}

std::vector<unsigned char> read_all(const std::string &name) {
    std::vector<unsigned char> b;
    FILE *f = fopen(name.c_str(), "rb");
    if (!f) return b;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        b.insert(b.end(), buf, buf + n);
    fclose(f);
    return b;
}

void check(bool ok) {
    if (!ok) abort();
}

// A reel written by this system: fields FF FF FF DA .. FF D9, 4-aligned,
// separated by comment blocks; table block; tail at the end.
void check_layout(const std::string &name, uint32_t frames) {
    std::vector<unsigned char> b = read_all(name);
    check(b.size() >= 68 + 20 + 256);
    const unsigned char *t = b.data() + b.size() - 68;
    check(t[0] == 0xFF && t[1] == 0xE1 && memcmp(t + 4, "DVS102", 7) == 0);
    check(be32(t + 28) == frames);
    uint32_t p = be32(t + 32), h = be32(t + 36);
    check(uint64_t(p) + 16 * frames + 68 == b.size());
    check(h % 4 == 0 && memcmp(b.data(), svj_header_prefix, 10) == 0);
    uint64_t at = h;
    for (uint32_t f = 0; f < frames; f++)
        for (int field = 0; field < 2; field++) {
            uint32_t off = be32(&b[p + 16 * f + 8 * field]);
            uint32_t size = be32(&b[p + 16 * f + 8 * field + 4]);
            if (f || field) {
                check(b[at] == 0xFF && b[at + 1] == 0xFE && b[at + 3] == 0xFE);
                at += 256;
            }
            check(off == at && off % 4 == 0 && size % 4 == 0 && size >= 4);
            check(be32(&b[off]) == 0xFFFFFFDAu && b[off + size - 1] == 0xD9);
            at = uint64_t(off) + size;
        }
    check(at + 256 + 20 == p);
    check(memcmp(&b[p - 14], "DVSTABLE100", 12) == 0);
    svj_handle *dev = svj_open(name.c_str());
    check(dev != nullptr && svj_info(dev, 8) == frames);
    svj_close(dev);
}

void read_reel(const std::string &name, int update) {
    fm_errno = 0;
    fm_svj_file *file = fm_svj_file_open(name.c_str(), update);
    if (file == nullptr) {
        check(fm_errno != 0);
        return;
    }
    fm_svj_state state{};
    state.file = file;
    uint32_t frames = file->tail.frames;
    std::vector<unsigned char> out;
    for (uint32_t f = 0; f < frames && f < 16; f++)
        for (int field = 0; field < 2; field++) {
            fm_svj_offset(&state, int(f), field);
            fm_svj_size(&state, int(f), field);
            fm_svj_field_extract_mem(file, int(f), field, &out);
        }
    fm_svj_field_extract_mem(file, int(frames), 0, &out);
    fm_svj_field_extract(file, temp_name("jpg").c_str(), 0, 1);
    unsigned char buf[64];
    fm_svj_data_read(&state, fm_svj_initsize(&state), sizeof buf, buf);
    if (update && frames > 0) {
        // Append a frame when the last field ends near the file's end (a
        // corrupt table could otherwise make a sparse file of gigabytes).
        const svj_frame_entry &e = file->table[frames - 1];
        static const unsigned char field[] = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0x12, 0xFF, 0xD9};
        if (uint64_t(e.offset1) + e.size1 < uint64_t(file->file_size) + 65536) {
            fm_svj_field_write_mem(file, field, sizeof field, int(frames), 0);
            fm_svj_field_write_mem(file, field, sizeof field, int(frames), 1);
        }
    }
    fm_svj_file_close(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    static const std::string reel = temp_name("svj"), jpeg = temp_name("field.jpg");
    int mode = data[0] & 3;
    data++, size--;
    if (mode <= 1) {
        svj_fuzz::write_scratch(reel, data, size);
        read_reel(reel, mode);
        return 0;
    }
    unsigned char header[4096];
    int hlen = fm_svj_header_build_mem(data, size, header, sizeof header);
    if (mode == 2) {
        unlink(reel.c_str());
        fm_errno = 0;
        fm_svj_file *file = fm_svj_file_create(reel.c_str(), 64, 32);
        check(file != nullptr);
        int ok = fm_svj_field_write_mem(file, data, size, 0, 0) == 0 &&
                 fm_svj_field_write_mem(file, data, size, 0, 1) == 0;
        check(ok == (fm_errno == 0));
        check(!ok || uint32_t(hlen) == file->tail.header ||
              hlen == 0 /* header larger than the buffer here */);
        check(fm_svj_file_close(file) == 0);
        if (ok) {
            check_layout(reel, 1);
            read_reel(reel, 0);
        }
    } else {
        unlink(reel.c_str());
        svj_fuzz::write_scratch(jpeg, data, size);
        fm_fileformat record{};
        check(svjf_create(reel.c_str(), &record, 64, 32) == 0);
        int ok = svjf_write(&record, 0, jpeg.c_str(), jpeg.c_str()) == 0;
        check(svjf_close(&record) == 0);
        if (ok) check_layout(reel, 1);
    }
    return 0;
}
