// The still-image format tables: the import and export extension lists shared
// with the clip, import and export code, and the entry points of each import
// index (PIC, Targa, SGI, SGI, YUV, JPEG).
#pragma once

constexpr int IMP_FORMATS = 9; // entries of imp_format
constexpr int EXP_FORMATS = 7; // entries of exp_format

// Import extensions: ".pic", ".tga", ".sgi", ".rgb", ".yuv", ".jpg",
// ".[1.yuv", ".[0.yuv", "[.yuv".
extern const char *imp_format[IMP_FORMATS];
// Export extensions: ".pic", ".tga", ".sgi", ".yuv", ".jpg", ".jfi", ".svj".
extern const char *exp_format[EXP_FORMATS];

using ImgReadFunc = int (*)(const char *name, unsigned char *buffer, int mode);
using ImgHeaderFunc = int (*)(const char *name, int *w, int *h);
// A display-image writer; quality is used by JPEG only.
using ImgWriteFunc = int (*)(const char *name, int w, int h, const unsigned char *image,
                             int quality);

struct ImgFunctions {
    ImgReadFunc read;
    ImgHeaderFunc header;
    ImgWriteFunc write;
};

// The entry points of import index 0..5; null for any other index.
const ImgFunctions *img_functions(int imp_index);

// The import index (0..5) of the picture format name's extension is for, or
// -1. Extensions compare without regard to case, except ".pic", which the PIC
// reader and writer need exactly; ".bw" and ".rgba" are SGI, ".jpeg" JPEG.
int img_format_of_name(const char *name);
