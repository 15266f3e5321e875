// The still-image format tables and the entry points of each import index.
#include "media/img_formats.h"

#include <cstring>

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

int img_format_of_name(const char *name) {
    if (!name) return -1;
    const size_t len = std::strlen(name);
    for (int i = 0; i < 6; ++i) {
        const size_t el = std::strlen(imp_format[i]);
        if (len > el && std::strcmp(name + len - el, imp_format[i]) == 0) return i;
    }
    return -1;
}
