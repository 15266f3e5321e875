// File names of grabbed material, and reading them back.
//
// A range of tape grabbed as a reel is named from the reel base path (the
// database's SVJ directory and the tape name), the range's In and Out in
// frames (lower-case hexadecimal) and the JPEG quality: "%s_%x_%x_%d.svj".
// A range grabbed uncompressed is a run of frame files named from the base
// path (the IMAGES directory and the tape name), In in frames and the frame
// number in one of three numbering styles. The names are what make a grab
// resumable and a clip recollectable, so parsing is as strict as building.
#pragma once

#include <cstdint>
#include <string>

// Numbering styles of D1 frame files: ".1.", ".0001." and the DOS style
// with the number joined to In. Each takes In in frames, the frame number
// and the extension (".tga", ...).
constexpr int VTR_NUM_STYLES = 3;
extern const char *const vtr_num_format[VTR_NUM_STYLES];

// base + "_%x_%x_%d.svj" of In and Out in frames and the quality.
std::string GrabReelName(const std::string &base, uint32_t in_frames, uint32_t out_frames,
                         int quality);

// base + vtr_num_format[style] of In, the frame number and the extension;
// empty for a style outside 0..2 or a negative number.
std::string D1FrameName(const std::string &base, uint32_t in_frames, int style, int number,
                        const char *ext);

// The last path component of a grabbed reel without its ".svj": what its
// window's title " GSV(%s)" and the grab messages show.
std::string GrabReelBaseName(const std::string &path);

// True for a tape name a grab may use in a file name: not empty, not
// starting with "." and holding no "/".
bool TapeNameOk(const std::string &tape);

// What a grabbed reel's name says.
struct ReelNameParts {
    std::string tape; // the last path component up to the three fields
    uint32_t in = 0, out = 0;
    int quality = 0;
};

// Parses the last path component of a reel name built by GrabReelName:
// TAPE "_" IN "_" OUT "_" Q ".svj", with In and Out of 1 to 8 hexadecimal
// digits, In not after Out, Q a decimal 1..100 and an acceptable tape
// name. False (parts untouched) otherwise.
bool ParseGrabReelName(const char *path, ReelNameParts *parts);

// What a D1 frame file's name says.
struct D1NameParts {
    std::string tape;
    uint32_t in = 0;
    int number = 0;
    std::string ext; // from the last ".", possibly empty
};

// Parses the last path component of a frame file named by D1FrameName in
// `style` (0..2); the same bounds as for reels (In of 1 to 8 hexadecimal
// digits, tape name acceptable, frame number 0..99999999). False (parts
// untouched) otherwise.
bool ParseD1FrameName(const char *path, int style, D1NameParts *parts);

// Parses the stem of a D1 grab, TAPE "_" IN (the base its frame files and
// log are named from): In after the last "_", 1 to 8 hexadecimal digits.
bool ParseD1Stem(const char *path, std::string *tape, uint32_t *in_frames);
