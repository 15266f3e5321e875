// Transition effects between two clips: the effect functions (softcut and the
// four wipes), the picture-file functions of an extension index, the names of
// an effect's output files, the preview file of icon-size JPEG pictures, and
// the background render of a transition piece into a reel or a picture
// sequence. Free of the toolkit, so tools and tests run it without a display.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "editing/clip_records.h"
#include "media/img_formats.h"

// An effect function, built in or from a plug-in: makes frame i (0 .. n - 1)
// of an n-frame transition from A's picture a and B's picture b into out.
// Pictures are width x height pixels of bytesPerPixel bytes, rows bottom-up;
// fields 1 means each buffer holds a frame's even lines (counted from the
// top) followed by its odd lines.
typedef void (*EffectFunc)(unsigned char *out, unsigned char *a, unsigned char *b, int width,
                           int height, int bytesPerPixel, int i, int n, int fields);

// Cross-fade: t = (i + 1) / (n + 1); every byte is b * t + a * (1 - t),
// truncated, all in single precision.
void SoftcutEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                   int bytesPerPixel, int i, int n, int fields);
// B enters from the left; columns below (i + 1) * w / (n + 1) come from b.
void WipeLREffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                  int bytesPerPixel, int i, int n, int fields);
// B enters from the right; columns below (n - i) * w / (n + 1) come from a.
void WipeRLEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                  int bytesPerPixel, int i, int n, int fields);
// B enters from the top; rows (from the bottom) below (n - i) * h / (n + 1)
// come from a.
void WipeTBEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                  int bytesPerPixel, int i, int n, int fields);
// B enters from the bottom; rows below (i + 1) * h / (n + 1) come from b.
void WipeBTEffect(unsigned char *out, unsigned char *a, unsigned char *b, int width, int height,
                  int bytesPerPixel, int i, int n, int fields);

// The picture-file functions of extension index `format` (0 ".pic" .. 5
// ".jpg"). A null pointer leaves its slot alone; an index outside 0 .. 5 sets
// nothing.
void GetFunctions(int format, ImgReadFunc *read, ImgHeaderFunc *header, ImgWriteFunc *write);

// One piece of a transition: a run of frames during which A and B each stay
// inside one segment. Source frame of piece frame k: PlayCtrl(&seg, start +
// dir * k) for each of A and B.
struct EffectSource {
    FisicData *clip = nullptr;
    Segment seg;            // copy of the clip's window segment (map copied, ring links null)
    int start = 0;          // segment offset of the piece's first frame
    int dir = 1;            // +1 or -1
    std::vector<int> map;   // the segment's map, owned here
    int Frame(int k) const; // source frame of piece frame k
};

struct EffectData {
    EffectSource a, b;
    std::string out; // reel path, or base name of the picture sequence
    int tag = -1;    // log tag of a picture sequence, -1 for a reel
    int n = 0;       // length of the whole transition
    int first = 0;   // index in the transition of the piece's first frame
    int length = 0;  // frames in the piece
};

// Fills an effect source from a segment (its map copied).
void SetEffectSource(EffectSource &src, const Segment *seg, int start, int dir);

// The pieces being produced: each piece clip's EffectData while its render
// runs. Register and forget in the main thread; lookups from any thread.
void RegisterEffectPiece(FisicData *clip, EffectData *d);
void ForgetEffectPiece(FisicData *clip);
EffectData *EffectPieceOf(const FisicData *clip);

// The clip a transition clip is being made from: while `clip` is a piece
// being produced, A of that piece (followed while that is a piece too), or B
// when `use_b`; other clips as they are.
FisicData *EffectOrigin(FisicData *clip, bool use_b = false);

// True when a reel is among A and B (the output is then a reel).
bool EffectReelOutput(const FisicData *a, const FisicData *b);

// The base of an effect's output name: for a reel output, db_dir + "SVJ/" +
// the file name of A's reel (B's when A is a picture sequence) without
// ".svj" and without a trailing "_Fake..." part; for a picture output,
// db_dir + "IMAGES/" + A's base name without such a part.
std::string EffectBaseName(const FisicData *a, const FisicData *b, const std::string &db_dir);

// Result of EffectFileName.
struct EffectName {
    std::string out;     // reel path or picture base name; empty on failure
    std::string preview; // the preview file
    int tag = -1;        // picture log tag, -1 for a reel
};

// Reserves the output of a new n-frame transition piece: base + "_Fake%02i"
// (+ ".svj" for a reel) with the first number whose file (for pictures:
// frames 1 .. n in A's numbering style and extension) does not exist; the
// reel (or frame 1) is created empty with O_CREAT | O_EXCL, mode 0666, so a
// name taken meanwhile moves on to the next number. A failure to create for
// another cause, or numbers 1 .. 99 all taken, gives an empty `out`.
EffectName EffectFileName(FisicData *a, FisicData *b, int n, const std::string &db_dir);

// Removes a piece's output: the reel, or pictures 1 .. length (at least 1).
void EffectRemoveOutput(const EffectData &d);

// The preview file of a transition piece: icon-size JPEG pictures one after
// another, then the size table, the offset table and the frame count, all
// as big-endian 32-bit words.
class EffectPreview {
  public:
    ~EffectPreview();
    // Creates (or empties) the file. False when it cannot be made.
    bool Open(const std::string &path);
    // Appends one picture. False on a write failure.
    bool Append(const unsigned char *jpeg, int size);
    // Writes the tables and the count and closes the file. False on failure.
    bool Finish();
    const std::vector<int> &Sizes() const { return sizes_; }
    const std::vector<int> &Offsets() const { return offsets_; }
    const std::string &Path() const { return path_; }

  private:
    int fd_ = -1;
    long long end_ = 0;
    std::string path_;
    std::vector<int> sizes_, offsets_;
};

// Makes preview frame i of the transition: A's and B's pictures at their
// source frames fa and fb, each from its clip's ready log part or else from
// its reel at a quarter, both icon size w x h with 4-byte pixels; the effect
// runs with fields 0; the result is compressed (ratio 10) and appended.
// Returns 0 on any failure, 1 when done.
int RenderEffectFrame(EffectFunc effect, FisicData *a, int fa, FisicData *b, int fb, int w, int h,
                      int i, int n, EffectPreview &preview);

// Renders one piece at the video size into d.out: a reel when A or B is one
// (inputs read field-sequential, fields 1), else numbered pictures in A's
// style and extension (inputs read as display images, fields 0). The pause
// gate (semaphore 0) is passed before each read, the effect and each write.
// Returns 1 on success; 0 on failure or stop, with what it wrote removed.
int RenderEffectPiece(EffectData &d, EffectFunc effect);

// Frames written by RenderEffectPiece so far (for progress), reset per piece.
extern std::atomic<int> effect_progress;
