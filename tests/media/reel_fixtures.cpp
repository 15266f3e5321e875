// Test helpers for the SVJ reel layers; see reel_fixtures.h.
#include "reel_fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <jpeglib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "media/fm_format_svj.h"

namespace reel_test {

bytes make_field_jpeg(int w, int h, int seed, bool jfif, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 1;
    for (int c = 1; c < 3; c++)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    cinfo.write_JFIF_header = jfif ? TRUE : FALSE;
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> line(size_t(w) * 3);
    uint32_t rng = uint32_t(seed) * 2654435761u + 12345u;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            rng = rng * 1103515245u + 12345u;
            int noise = int((rng >> 16) & 31);
            line[size_t(x) * 3] = (unsigned char)((x + seed * 37) & 255);
            line[size_t(x) * 3 + 1] = (unsigned char)((y * 2 + seed * 11 + noise) & 255);
            line[size_t(x) * 3 + 2] = (unsigned char)(((x ^ y) + seed) & 255);
        }
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    bytes result(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&cinfo);
    return result;
}

temp_dir::temp_dir() {
    char tmpl[] = "/tmp/svjtest.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp");
    dir_ = tmpl;
}

temp_dir::~temp_dir() {
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", dir_.c_str());
}

bytes read_file(const std::string &name) {
    std::ifstream in(name, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string &name, const bytes &data) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
}

long scan_index(const bytes &jpeg) {
    for (size_t k = 2; k + 1 < jpeg.size(); k++)
        if (jpeg[k] == 0xFF && jpeg[k + 1] == 0xDA) return long(k);
    return -1;
}

bytes ref_header(const bytes &jpeg, bool from_dqt) {
    long i = scan_index(jpeg);
    long from = 2;
    if (from_dqt) {
        for (long k = 2; k + 1 < i; k++)
            if (jpeg[size_t(k)] == 0xFF && jpeg[size_t(k) + 1] == 0xDB) {
                from = k;
                break;
            }
    }
    bytes h = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x06, 'S', 'V', 'J', 0x00};
    h.insert(h.end(), jpeg.begin() + from, jpeg.begin() + i);
    while (h.size() % 4)
        h.push_back(0xFF);
    return h;
}

bytes ref_field(const bytes &jpeg) {
    long i = scan_index(jpeg);
    size_t n = jpeg.size() - size_t(i) - 2; // bytes after FF DA, final byte included
    bytes f = {0xFF, 0xFF, 0xFF, 0xDA};
    f.insert(f.end(), jpeg.begin() + i + 2, jpeg.end() - 1);
    for (size_t k = 0; k < (4 - n % 4) % 4; k++)
        f.push_back(0xFF);
    f.push_back(0xD9);
    return f;
}

static void put32(bytes &b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        b.push_back((unsigned char)(v >> s));
}

ref_reel ref_build(const std::vector<bytes> &jpegs, uint32_t w, uint32_t hf, bool from_dqt) {
    ref_reel r;
    r.header = ref_header(jpegs.at(0), from_dqt);
    r.file = r.header;
    bytes comment(256, 0);
    comment[0] = 0xFF, comment[1] = 0xFE, comment[2] = 0x00, comment[3] = 0xFE;
    for (size_t k = 0; k < jpegs.size(); k++) {
        if (k > 0) r.file.insert(r.file.end(), comment.begin(), comment.end());
        r.fields.push_back(ref_field(jpegs[k]));
        r.offsets.push_back(uint32_t(r.file.size()));
        r.file.insert(r.file.end(), r.fields.back().begin(), r.fields.back().end());
    }
    r.end = uint32_t(r.file.size());
    r.file.insert(r.file.end(), comment.begin(), comment.end());
    uint32_t frames = uint32_t(jpegs.size() / 2);
    uint32_t len = (16 + 16 * frames) & 0xFFFF;
    bytes prefix(20, 0);
    prefix[0] = prefix[1] = prefix[2] = 0xFF;
    prefix[3] = 0xE2;
    prefix[4] = (unsigned char)(len >> 8);
    prefix[5] = (unsigned char)len;
    memcpy(&prefix[6], "DVSTABLE100", 12);
    r.file.insert(r.file.end(), prefix.begin(), prefix.end());
    r.table = uint32_t(r.file.size());
    for (uint32_t f = 0; f < frames; f++)
        for (int field = 0; field < 2; field++) {
            put32(r.file, r.offsets[2 * f + field]);
            put32(r.file, uint32_t(r.fields[2 * f + field].size()));
        }
    bytes tail = {0xFF, 0xE1, 0x00, 0x42, 'D', 'V', 'S', '1', '0', '2', 0};
    tail.resize(20, 0);
    put32(tail, w);
    put32(tail, hf);
    put32(tail, frames);
    put32(tail, r.table);
    put32(tail, uint32_t(r.header.size()));
    put32(tail, 0);
    tail.resize(68, 0);
    r.file.insert(r.file.end(), tail.begin(), tail.end());
    return r;
}

std::string store_reel(const std::string &name, const std::vector<bytes> &jpegs, int w, int hf) {
    fm_errno = 0;
    fm_svj_file *file = fm_svj_file_create(name.c_str(), w, hf);
    if (file == nullptr) return "create failed";
    for (size_t k = 0; k < jpegs.size(); k++) {
        if (fm_svj_field_write_mem(file, jpegs[k].data(), jpegs[k].size(), int(k / 2),
                                   int(k % 2)) != 0) {
            fm_svj_file_close(file);
            return "field write failed: " + std::to_string(fm_errno);
        }
    }
    if (fm_svj_file_close(file) != 0) return "close failed: " + std::to_string(fm_errno);
    return "";
}

run_result run_command(const std::string &command) {
    static int counter = 0;
    std::string base =
        "/tmp/svjtest_run." + std::to_string(getpid()) + "." + std::to_string(counter++);
    std::string full = "(" + command + ") >" + base + ".out 2>" + base + ".err";
    int raw = std::system(full.c_str());
    run_result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    bytes out = read_file(base + ".out"), err = read_file(base + ".err");
    r.out.assign(out.begin(), out.end());
    r.err.assign(err.begin(), err.end());
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return r;
}

bool djpeg_clean(const std::string &jpeg_file, const std::string &ppm_out) {
    std::string out = ppm_out.empty() ? "/dev/null" : ppm_out;
    run_result r = run_command("/usr/bin/djpeg -outfile '" + out + "' '" + jpeg_file + "'");
    if (r.status != 0 || !r.err.empty()) {
        std::fprintf(stderr, "djpeg %s: status %d: %s\n", jpeg_file.c_str(), r.status,
                     r.err.c_str());
        return false;
    }
    return true;
}

} // namespace reel_test
