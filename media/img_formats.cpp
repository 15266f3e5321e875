// The still-image format tables and the entry points of each import index.
#include "media/img_formats.h"

#include <cstring>

#include <strings.h>

#include "media/img_jpeg.h"
#include "media/img_pic.h"
#include "media/img_sgi.h"
#include "media/img_tga.h"
#include "media/img_yuv.h"

const char *imp_format[IMP_FORMATS] = {".pic", ".tga",    ".sgi",    ".rgb", ".yuv",
                                       ".jpg", ".[1.yuv", ".[0.yuv", "[.yuv"};
const char *exp_format[EXP_FORMATS] = {".pic", ".tga", ".sgi", ".yuv", ".jpg", ".jfi", ".svj"};

namespace {

int write_pic(const char *n, int w, int h, const unsigned char *im, int) {
    return glotopic(n, w, h, im);
}
int write_tga(const char *n, int w, int h, const unsigned char *im, int) {
    return glototga(n, w, h, im);
}
int write_sgi(const char *n, int w, int h, const unsigned char *im, int) {
    return glotosgi(n, w, h, im);
}
int write_yuv(const char *n, int w, int h, const unsigned char *im, int) {
    return glotoyuv(n, w, h, im);
}

const ImgFunctions table[6] = {
    {pictoglo, headerpic, write_pic}, {tgatoglo, headertga, write_tga},
    {sgitoglo, headersgi, write_sgi}, {sgitoglo, headersgi, write_sgi},
    {yuvtoglo, headeryuv, write_yuv}, {jpgtoglo, headerjpg, glotojpg},
};

} // namespace

const ImgFunctions *img_functions(int imp_index) {
    return imp_index >= 0 && imp_index < 6 ? &table[imp_index] : nullptr;
}

namespace {

// Other common names of the formats: SGI's grey and four-channel pictures,
// and JPEG's long extension.
const struct {
    const char *ext;
    int index;
} aliases[] = {{".bw", 2}, {".rgba", 2}, {".jpeg", 5}};

bool ends_with(const char *name, size_t len, const char *ext, bool any_case) {
    const size_t el = std::strlen(ext);
    if (len <= el) return false;
    return any_case ? strcasecmp(name + len - el, ext) == 0
                    : std::strcmp(name + len - el, ext) == 0;
}

} // namespace

int img_format_of_name(const char *name) {
    if (!name) return -1;
    const size_t len = std::strlen(name);
    // PIC only by its exact ".pic": the PIC reader and writer add ".pic" to
    // any other name, so "x.PIC" would not be the file that is read.
    if (ends_with(name, len, imp_format[0], false)) return 0;
    for (int i = 1; i < 6; ++i)
        if (ends_with(name, len, imp_format[i], true)) return i;
    for (const auto &a : aliases)
        if (ends_with(name, len, a.ext, true)) return a.index;
    return -1;
}
