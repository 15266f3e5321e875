// Numbered picture sequences on disk: the names of their frame files in each
// numbering style, and the directory scan that groups the picture files of a
// directory into sequences for the image dialogs. No toolkit here.
#pragma once

#include <string>
#include <vector>

// Numbering styles of a sequence's frame files (base, number, extension):
// 0 "%s.%i%s", 1 "%s.%04i%s", 2 "%s%04i%s", 3 one file "%s%s" without number.
constexpr int IMG_STYLES = 4;
// Extensions a sequence may have: the first six of imp_format (".pic",
// ".tga", ".sgi", ".rgb", ".yuv", ".jpg").
constexpr int IMG_SEQ_EXTS = 6;

// The frame file of number n of the sequence base in style and extension
// index ext; "" for a style or extension out of range.
std::string ImgFrameName(const std::string &base, int style, int ext, int n);

// The number part and extension of frame n alone (".%i.pic", "%04i.pic", or
// the extension for style 3); "" when out of range.
std::string ImgFrameTail(int style, int ext, int n);

// When file (a name without directory) is frame file of a sequence whose file
// name is prefix, in style and extension ext, its number; else -1. The name
// must be exactly what ImgFrameName makes for that number (so ".0001" is not
// a frame of style 0, nor ".1" of style 1). Style 3 gives 1 for its one file.
int ImgFrameNumber(const std::string &file, const std::string &prefix, int style, int ext);

// One line of the directory scan: a sequence or a single picture file.
struct ImportSeq {
    std::string shown;  // "%s[%i...%i]%s", "%s[%04i...%04i]%s" or the file name
    std::string prefix; // text before the number (its '.' included)
    std::string ext;    // the extension as written in the file names
    int ext_index = 0;  // index of the extension (0..5)
    int flags = 0;      // 1 ".%i", 2 ".%04i", 3 either, 4 "%04i" without '.', 8 one file
    int first = 1, last = 1;
    // The sequence's base name (prefix without the '.' of styles 0 and 1) and
    // its numbering style.
    std::string Base() const;
    int Style() const;
};

// Scans directory dir for picture files (names of at least 5 characters
// ending in one of the six extensions, compared without regard to case) and
// groups numbered files into sequences; files that cannot join their
// sequence's numbering are left out. Sorted by prefix. Returns the number of
// lines, or -1 when the directory cannot be read. Linear in the entries but
// for the sort.
int ImportFileSearch(const char *dir, std::vector<ImportSeq> &out);

// True when name ends in ext, letters compared without regard to case.
bool EndsWithNoCase(const std::string &name, const char *ext);
