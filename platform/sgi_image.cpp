// SGI image file reading and writing (the published format, one byte per channel).
//
// A file is a 512-byte big-endian header (magic 474, storage, bytes per
// channel, dimension, xsize, ysize, zsize, pixel minimum and maximum, name,
// colour-map kind) followed by the rows. Verbatim files store channel z of
// row y at 512 + (y + z * ysize) * xsize. Run-length files store after the
// header a table of row starts and a table of row lengths (ysize * zsize
// 32-bit entries each, indexed by y + z * ysize), then the coded rows: a
// count byte whose low 7 bits give n (0 ends the row) and whose high bit
// means n literal bytes follow, otherwise one byte repeated n times.
//
// A reader checks every header value and table entry against the file's size
// before it is used, so a damaged file is refused rather than followed.
#include "platform/sgi_image.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/stat.h>

#include "platform/byteorder.h"
#include "platform/fileio.h"

namespace {

constexpr int HEADER_SIZE = 512;
constexpr unsigned SGI_MAGIC = 474;

void default_error(const char *message) {
    std::fprintf(stderr, "%s\n", message);
}

std::atomic<void (*)(const char *)> error_handler{default_error};

void report(const char *fmt, ...) {
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    error_handler.load()(text);
}

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

} // namespace

struct IMAGE::Private {
    std::unique_ptr<FILE, FileCloser> file;
    bool writing = false;
    bool rle = false;
    off_t file_size = 0;                   // reading: size of the file
    off_t next_offset = 0;                 // writing run-length: where the next row goes
    off_t verbatim_end = 0;                // writing verbatim: end of the furthest row written
    std::vector<uint32_t> starts, lengths; // run-length tables
    std::vector<unsigned char> scratch;    // one coded or plain row
    int pixmin = 255, pixmax = 0;
    bool failed = false; // writing: a write went wrong
};

namespace {

bool read_at(FILE *f, off_t offset, unsigned char *buf, size_t n) {
    if (fseeko(f, offset, SEEK_SET) != 0) return false;
    return std::fread(buf, 1, n, f) == n;
}

bool write_at(FILE *f, off_t offset, const unsigned char *buf, size_t n) {
    if (fseeko(f, offset, SEEK_SET) != 0) return false;
    return std::fwrite(buf, 1, n, f) == n;
}

// Checks the header and tables of a file opened for reading; fills image.
bool open_for_reading(IMAGE &image, const char *name) {
    IMAGE::Private &p = *image.priv;
    FILE *f = p.file.get();
    struct stat st;
    if (fstat(fileno(f), &st) != 0) return false;
    p.file_size = st.st_size;
    unsigned char h[HEADER_SIZE];
    if (p.file_size < HEADER_SIZE || !read_at(f, 0, h, sizeof h)) {
        report("iopen: %s: file too short for an SGI image", name);
        return false;
    }
    const unsigned storage = h[2], bpc = h[3];
    unsigned dim = be16(h + 4), xsize = be16(h + 6), ysize = be16(h + 8), zsize = be16(h + 10);
    if (be16(h) != SGI_MAGIC) {
        report("iopen: %s: bad magic in image file", name);
        return false;
    }
    if (storage > 1 || bpc != 1 || dim < 1 || dim > 3) {
        report("iopen: %s: unsupported storage %u, %u bytes per channel, dimension %u", name,
               storage, bpc, dim);
        return false;
    }
    if (dim == 1) ysize = 1;
    if (dim < 3) zsize = 1;
    if (xsize == 0 || ysize == 0 || zsize == 0 || zsize > 4) {
        report("iopen: %s: bad image size %u x %u x %u", name, xsize, ysize, zsize);
        return false;
    }
    image.type = uint16_t((storage << 8) | bpc);
    image.dim = uint16_t(dim);
    image.xsize = uint16_t(xsize);
    image.ysize = uint16_t(ysize);
    image.zsize = uint16_t(zsize);
    p.rle = storage == 1;
    const off_t rows = off_t(ysize) * zsize;
    if (!p.rle) {
        if (HEADER_SIZE + rows * xsize > p.file_size) {
            report("iopen: %s: file shorter than its picture", name);
            return false;
        }
        p.scratch.resize(xsize);
        return true;
    }
    if (HEADER_SIZE + rows * 8 > p.file_size) {
        report("iopen: %s: file shorter than its row tables", name);
        return false;
    }
    std::vector<unsigned char> tab(size_t(rows) * 8);
    if (!read_at(f, HEADER_SIZE, tab.data(), tab.size())) return false;
    p.starts.resize(size_t(rows));
    p.lengths.resize(size_t(rows));
    uint32_t longest = 0;
    for (size_t i = 0; i < size_t(rows); ++i) {
        p.starts[i] = be32(tab.data() + 4 * i);
        p.lengths[i] = be32(tab.data() + 4 * (rows + i));
        if (p.starts[i] < HEADER_SIZE || off_t(p.starts[i]) + p.lengths[i] > p.file_size) {
            report("iopen: %s: row %zu lies outside the file", name, i);
            return false;
        }
        if (p.lengths[i] > longest) longest = p.lengths[i];
    }
    p.scratch.resize(longest);
    return true;
}

// Decodes one run-length row of `len` bytes into xsize values; false when the
// codes would run past the row or past the coded bytes.
bool decode_rle_row(const unsigned char *in, size_t len, unsigned short *out, size_t xsize) {
    size_t i = 0, o = 0;
    while (i < len) {
        const unsigned c = in[i++];
        const size_t n = c & 0x7F;
        if (n == 0) break;
        if (o + n > xsize) return false;
        if (c & 0x80) {
            if (i + n > len) return false;
            for (size_t k = 0; k < n; ++k)
                out[o++] = in[i++];
        } else {
            if (i >= len) return false;
            const unsigned short v = in[i++];
            for (size_t k = 0; k < n; ++k)
                out[o++] = v;
        }
    }
    while (o < xsize)
        out[o++] = 0; // a short row reads as black
    return true;
}

// Codes one row (bytes) with runs of 3 or more as repeats, the rest as literals.
size_t encode_rle_row(const unsigned char *b, size_t n, unsigned char *out) {
    size_t i = 0, o = 0;
    while (i < n) {
        size_t start = i;
        while (i < n && !(i + 2 < n && b[i] == b[i + 1] && b[i] == b[i + 2]))
            ++i;
        while (start < i) {
            const size_t k = i - start < 126 ? i - start : 126;
            out[o++] = static_cast<unsigned char>(0x80 | k);
            std::memcpy(out + o, b + start, k);
            o += k;
            start += k;
        }
        if (i >= n) break;
        const unsigned char v = b[i];
        start = i;
        while (i < n && b[i] == v)
            ++i;
        while (start < i) {
            const size_t k = i - start < 126 ? i - start : 126;
            out[o++] = static_cast<unsigned char>(k);
            out[o++] = v;
            start += k;
        }
    }
    out[o++] = 0;
    return o;
}

bool write_header(IMAGE &image) {
    IMAGE::Private &p = *image.priv;
    unsigned char h[HEADER_SIZE] = {};
    put_be16(h, SGI_MAGIC);
    h[2] = p.rle ? 1 : 0;
    h[3] = 1;
    put_be16(h + 4, image.dim);
    put_be16(h + 6, image.xsize);
    put_be16(h + 8, image.ysize);
    put_be16(h + 10, image.zsize);
    put_be32(h + 12, uint32_t(p.pixmin <= p.pixmax ? p.pixmin : 0));
    put_be32(h + 16, uint32_t(p.pixmin <= p.pixmax ? p.pixmax : 255));
    std::memcpy(h + 24, "no name", 7);
    return write_at(p.file.get(), 0, h, sizeof h);
}

} // namespace

IMAGE *iopen(const char *name, const char *mode, unsigned type, unsigned dim, unsigned xsize,
             unsigned ysize, unsigned zsize) {
    if (!name || !mode || (mode[0] != 'r' && mode[0] != 'w')) {
        report("iopen: bad mode");
        return nullptr;
    }
    const bool writing = mode[0] == 'w';
    if (writing) {
        if ((type != SGI_RLE && type != SGI_VERBATIM) || dim < 1 || dim > 3 || xsize < 1 ||
            xsize > 65535 || ysize < 1 || ysize > 65535 || zsize < 1 || zsize > 4 ||
            (dim == 1 && ysize != 1) || (dim < 3 && zsize != 1)) {
            report("iopen: %s: unsupported image type %#x %u x %u x %u", name, type, xsize, ysize,
                   zsize);
            return nullptr;
        }
    }
    FILE *f = fopen_regular(name, writing ? "w+b" : "rb");
    if (!f) {
        report("iopen: can't open %s", name);
        return nullptr;
    }
    auto image = std::make_unique<IMAGE>();
    auto priv = std::make_unique<IMAGE::Private>();
    priv->file.reset(f);
    priv->writing = writing;
    image->priv = priv.get();
    if (!writing) {
        if (!open_for_reading(*image, name)) return nullptr;
    } else {
        image->type = uint16_t(type);
        image->dim = uint16_t(dim);
        image->xsize = uint16_t(xsize);
        image->ysize = uint16_t(ysize);
        image->zsize = uint16_t(zsize);
        priv->rle = type == SGI_RLE;
        const size_t rows = size_t(ysize) * zsize;
        priv->scratch.resize(priv->rle ? 2 * size_t(xsize) + 2 : xsize);
        if (priv->rle) {
            priv->starts.assign(rows, 0);
            priv->lengths.assign(rows, 0);
            priv->next_offset = HEADER_SIZE + off_t(rows) * 8;
        } else {
            priv->verbatim_end = HEADER_SIZE + off_t(rows) * xsize;
        }
    }
    priv.release();
    return image.release();
}

int getrow(IMAGE *image, unsigned short *buffer, unsigned y, unsigned z) {
    if (!image || !buffer || image->priv->writing || y >= image->ysize || z >= image->zsize)
        return -1;
    IMAGE::Private &p = *image->priv;
    const size_t index = y + size_t(z) * image->ysize;
    const size_t xsize = image->xsize;
    if (!p.rle) {
        if (!read_at(p.file.get(), HEADER_SIZE + off_t(index) * xsize, p.scratch.data(), xsize))
            return -1;
        for (size_t i = 0; i < xsize; ++i)
            buffer[i] = p.scratch[i];
        return int(xsize);
    }
    const size_t len = p.lengths[index];
    if (len > 0 && !read_at(p.file.get(), p.starts[index], p.scratch.data(), len)) return -1;
    if (!decode_rle_row(p.scratch.data(), len, buffer, xsize)) {
        report("getrow: corrupt run-length data in row %u channel %u", y, z);
        return -1;
    }
    return int(xsize);
}

int putrow(IMAGE *image, const unsigned short *buffer, unsigned y, unsigned z) {
    if (!image || !buffer || !image->priv->writing || y >= image->ysize || z >= image->zsize)
        return -1;
    IMAGE::Private &p = *image->priv;
    const size_t index = y + size_t(z) * image->ysize;
    const size_t xsize = image->xsize;
    std::vector<unsigned char> row(xsize);
    for (size_t i = 0; i < xsize; ++i) {
        const int v = buffer[i] > 255 ? 255 : buffer[i];
        row[i] = static_cast<unsigned char>(v);
        if (v < p.pixmin) p.pixmin = v;
        if (v > p.pixmax) p.pixmax = v;
    }
    bool ok;
    if (!p.rle) {
        ok = write_at(p.file.get(), HEADER_SIZE + off_t(index) * xsize, row.data(), xsize);
    } else {
        const size_t len = encode_rle_row(row.data(), xsize, p.scratch.data());
        if (p.next_offset + off_t(len) > off_t(UINT32_MAX)) {
            report("putrow: image file too large");
            p.failed = true;
            return -1;
        }
        ok = write_at(p.file.get(), p.next_offset, p.scratch.data(), len);
        p.starts[index] = uint32_t(p.next_offset);
        p.lengths[index] = uint32_t(len);
        p.next_offset += off_t(len);
    }
    if (!ok) {
        report("putrow: write error");
        p.failed = true;
        return -1;
    }
    return int(xsize);
}

int iclose(IMAGE *image) {
    if (!image) return -1;
    std::unique_ptr<IMAGE> hold(image);
    std::unique_ptr<IMAGE::Private> priv(image->priv);
    if (!priv->writing) return 0;
    bool ok = !priv->failed && write_header(*image);
    if (ok && priv->rle) {
        const size_t rows = priv->starts.size();
        std::vector<unsigned char> tab(rows * 8);
        for (size_t i = 0; i < rows; ++i) {
            put_be32(tab.data() + 4 * i, priv->starts[i]);
            put_be32(tab.data() + 4 * (rows + i), priv->lengths[i]);
        }
        ok = write_at(priv->file.get(), HEADER_SIZE, tab.data(), tab.size());
    } else if (ok) {
        // Rows never written read as black: make the file its full size.
        struct stat st;
        if (fstat(fileno(priv->file.get()), &st) == 0 && st.st_size < priv->verbatim_end) {
            const unsigned char zero = 0;
            ok = write_at(priv->file.get(), priv->verbatim_end - 1, &zero, 1);
        }
    }
    FILE *f = priv->file.release();
    if (std::fclose(f) != 0) ok = false;
    if (!ok) report("iclose: write error");
    return ok ? 0 : -1;
}

void i_seterror(void (*func)(const char *message)) {
    error_handler.store(func ? func : default_error);
}
