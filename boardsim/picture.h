// Pictures of the simulated tape: what an unrecorded position shows, and the
// JPEG fields the recorder makes of a frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

// An RGB frame, top line first.
struct Frame {
    int width = 720, height = 576;
    std::vector<uint8_t> rgb; // width * height * 3
};

// Where the tape name is drawn: from x = kNameX on line height / 2 +
// kNameDy, 5 x 7 font dots of kNameDot pixels, six dots a character.
constexpr int kNameX = 80, kNameDy = -80, kNameDot = 4;

// 75% colour bars, the tape name, the timecode in large digits and the
// timecode strip: lines 32-63, 34 cells of 16 pixels from x = 88, cell 0
// white, cells 1-32 bits 0-31 of the BCD timecode word (white for 1), cell
// 33 black.
Frame unrecorded_frame(int width, int height, const std::string &tape, uint32_t tc);

// The timecode word read back from a frame's strip; false when the strip's
// framing cells (white, black) are not there.
bool read_strip(const Frame &f, uint32_t *tc);

// Decodes a field JPEG f->width pixels wide into f, one line per field
// line (f->height becomes the field's height).
bool decode_field_lines(const std::vector<uint8_t> &jpeg, Frame *f);

// Value of the padding lines on top of each stored NTSC field.
constexpr uint8_t kPadValue = 16;

// The timecode word in the strip of a field JPEG `width` pixels wide whose
// first `pad` lines are padding; false when it cannot be decoded or carries
// no strip.
bool strip_of_field(const std::vector<uint8_t> &jpeg, uint32_t *tc, int width, int pad);

// Baseline 4:2:2 JPEG of the even (field 0) or odd (field 1) lines of f,
// with `pad` padding lines on top.
std::vector<uint8_t> encode_field(const Frame &f, int field, int quality, int pad);

} // namespace boardsim
