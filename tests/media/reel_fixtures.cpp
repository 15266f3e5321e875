// Test helpers for the SVJ reel layers; see reel_fixtures.h.
#include "reel_fixtures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <jpeglib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "media/fm_format_svj.h"

namespace reel_test {

bytes make_field_jpeg(int w, int h, int seed, bool jfif, int quality, bool progressive) {
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
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    bytes line(size_t(w) * 3);
    uint32_t rng = uint32_t(seed) * 2654435761u + 12345u;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            rng = rng * 1103515245u + 12345u;
            line[size_t(x) * 3] = (unsigned char)(x + seed * 37);
            line[size_t(x) * 3 + 1] = (unsigned char)(y * 2 + seed * 11 + int((rng >> 16) & 31));
            line[size_t(x) * 3 + 2] = (unsigned char)((x ^ y) + seed);
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

std::vector<bytes> make_fields(int frames, int w, int h, int seed0, bool jfif) {
    std::vector<bytes> v;
    for (int k = 0; k < 2 * frames; k++)
        v.push_back(make_field_jpeg(w, h, seed0 + k, jfif));
    return v;
}

temp_dir::temp_dir() {
    char tmpl[] = "/tmp/svjtest.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp");
    dir_ = tmpl;
}

temp_dir::~temp_dir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
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

ref_reel ref_build(const std::vector<bytes> &jpegs, uint32_t w, uint32_t hf, bool from_dqt) {
    auto append = [](bytes &b, std::initializer_list<uint32_t> words) {
        for (uint32_t v : words)
            b.insert(b.end(), {(unsigned char)(v >> 24), (unsigned char)(v >> 16),
                               (unsigned char)(v >> 8), (unsigned char)v});
    };
    ref_reel r;
    // Header: the prefix, the tables (from byte 2, or from the first FF DB
    // for the field-split writer), FF fill to 4.
    const bytes &first = jpegs.at(0);
    long scan = scan_index(first), from = 2;
    for (long k = 2; from_dqt && k + 1 < scan; k++)
        if (first[size_t(k)] == 0xFF && first[size_t(k) + 1] == 0xDB) {
            from = k;
            break;
        }
    r.header = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x06, 'S', 'V', 'J', 0x00};
    r.header.insert(r.header.end(), first.begin() + from, first.begin() + scan);
    r.header.resize((r.header.size() + 3) / 4 * 4, 0xFF);
    r.file = r.header;
    // Fields: FF FF FF DA, the data after FF DA but its last byte, FF fill
    // to 4 with the final D9; a comment block between fields and after them.
    bytes comment(256, 0);
    comment[0] = 0xFF, comment[1] = 0xFE, comment[3] = 0xFE;
    for (size_t k = 0; k < jpegs.size(); k++) {
        if (k > 0) r.file.insert(r.file.end(), comment.begin(), comment.end());
        const bytes &j = jpegs[k];
        bytes f = {0xFF, 0xFF, 0xFF, 0xDA};
        f.insert(f.end(), j.begin() + scan_index(j) + 2, j.end() - 1);
        f.resize((f.size() + 4) / 4 * 4 - 1, 0xFF);
        f.push_back(0xD9);
        r.fields.push_back(f);
        r.offsets.push_back(uint32_t(r.file.size()));
        r.file.insert(r.file.end(), f.begin(), f.end());
    }
    r.end = uint32_t(r.file.size());
    r.file.insert(r.file.end(), comment.begin(), comment.end());
    // Table block prefix with the 16-bit length, the table, the tail.
    uint32_t frames = uint32_t(jpegs.size() / 2);
    append(r.file, {0xFFFFFFE2});
    r.file.insert(r.file.end(),
                  {(unsigned char)((16 + 16 * frames) >> 8), (unsigned char)(16 + 16 * frames)});
    const char name[14] = "DVSTABLE100\0";
    r.file.insert(r.file.end(), name, name + 14);
    r.table = uint32_t(r.file.size());
    for (size_t k = 0; k < jpegs.size(); k++)
        append(r.file, {r.offsets[k], uint32_t(r.fields[k].size())});
    append(r.file, {0xFFE10042, 0x44565331, 0x30320000, 0, 0, w, hf, frames, r.table,
                    uint32_t(r.header.size()), 0});
    r.file.resize(r.file.size() + 24, 0);
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

bytes claim_size(bytes jpeg, int w, int h) {
    // Walk the marker segments from the SOI up to the first scan.
    for (size_t k = 2; k + 9 < jpeg.size() && jpeg[k] == 0xFF;) {
        const unsigned char marker = jpeg[k + 1];
        if (marker == 0xDA) break;
        if (marker == 0xC0 || marker == 0xC2) {
            jpeg[k + 5] = (unsigned char)(h >> 8), jpeg[k + 6] = (unsigned char)h;
            jpeg[k + 7] = (unsigned char)(w >> 8), jpeg[k + 8] = (unsigned char)w;
            return jpeg;
        }
        k += 2 + ((size_t(jpeg[k + 2]) << 8) | jpeg[k + 3]);
    }
    return {};
}

bytes make_tail(tail_words t, const char *magic) {
    bytes tail(68, 0);
    put32(tail, 0, 0xFFE10042);
    std::memcpy(&tail[4], magic, std::strlen(magic));
    for (uint32_t k = 0, w[] = {t.w, t.hf, t.n, t.p, t.h, t.lost}; k < 6; k++)
        put32(tail, 20 + 4 * k, w[k]);
    return tail;
}

void write_tail_file(const std::string &name, uint64_t size, tail_words t, bool sparse) {
    const bytes tail = make_tail(t);
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) throw std::runtime_error("create " + name);
    bool ok = true;
    if (sparse) {
        ok = ::ftruncate(fd, off_t(size - 68)) == 0;
    } else {
        bytes fill(1 << 16, 0x55);
        for (uint64_t done = 0; ok && done < size - 68; done += fill.size()) {
            size_t n = size_t(std::min<uint64_t>(fill.size(), size - 68 - done));
            ok = ::write(fd, fill.data(), n) == ssize_t(n);
        }
    }
    ok = ok && ::pwrite(fd, tail.data(), 68, off_t(size - 68)) == 68;
    ::close(fd);
    if (!ok) throw std::runtime_error("write " + name);
}

namespace {
// The peak resident size of this process in bytes, from /proc/self/status.
long long peak_rss() {
    bytes status = read_file("/proc/self/status");
    std::string text(status.begin(), status.end());
    size_t at = text.find("VmHWM:");
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + 6) * 1024;
}
} // namespace

child_result run_in_child(const std::function<int()> &fn, unsigned seconds) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        close(fds[0]);
        alarm(seconds);
        // Start the peak at the present size, so the growth is fn's alone.
        int clear = ::open("/proc/self/clear_refs", O_WRONLY);
        if (clear >= 0) {
            (void)!::write(clear, "5", 1);
            ::close(clear);
        }
        const long long before = peak_rss();
        const int status = fn();
        const long long growth = peak_rss() - before;
        (void)!::write(fds[1], &growth, sizeof growth);
        std::fflush(nullptr);
        _exit(status & 0xFF);
    }
    close(fds[1]);
    long long growth = -1;
    if (::read(fds[0], &growth, sizeof growth) != ssize_t(sizeof growth)) growth = -1;
    close(fds[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, growth};
}

run_result run_command(const std::string &command) {
    static int counter = 0;
    std::string base =
        "/tmp/svjtest_run." + std::to_string(getpid()) + "." + std::to_string(counter++);
    int raw = std::system(("(" + command + ") >" + base + ".out 2>" + base + ".err").c_str());
    bytes out = read_file(base + ".out"), err = read_file(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(out.begin(), out.end()),
            std::string(err.begin(), err.end())};
}

run_result run_merged(const std::string &command) {
    return run_command("(" + command + ") 2>&1");
}

std::string tool_path(const std::string &name) {
    std::string t = std::string(ORVA_BIN_DIR) + "/tools/" + name;
    if (access((t + "/" + name).c_str(), X_OK) == 0) t += "/" + name;
    return t;
}

run_result run_tool(const std::string &name, const std::string &args) {
    return run_command(tool_path(name) + " " + args);
}

std::string shell_quote(const std::string &s) {
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

bool djpeg_clean(const std::string &jpeg_file, const std::string &ppm_out) {
    const std::string out = ppm_out.empty() ? "/dev/null" : ppm_out;
    const run_result r = run_command("djpeg -outfile '" + out + "' '" + jpeg_file + "'");
    if (r.status != 0 || !r.err.empty())
        std::fprintf(stderr, "djpeg %s: %d: %s\n", jpeg_file.c_str(), r.status, r.err.c_str());
    return r.status == 0 && r.err.empty();
}

} // namespace reel_test
