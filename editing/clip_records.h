// The records that carry the clips: physical clips (`FisicData`) with their
// quarter-size logs, frame-range segments, and clip windows (`WindowData`),
// with the heads of their lists. No toolkit call is made on them here; a
// window only carries the handles of its widgets.
#pragma once

#include <atomic>

struct fm_fileformat;
struct DispData;
typedef struct _WidgetRec *Widget; // the toolkit's widget handle, as Xt declares it

// A picture sequence made by an import: seven words, the first the name
// pattern (owned), then first and last picture number, number step, index of
// the image extension, index of the number style and the log tag number.
struct ImageLogInfo {
    char *pattern = nullptr;
    int first = 0, last = 0, step = 1, ext = 0, style = 0, tag = 0;
};

// One part file of a clip's log.
struct LogPart {
    std::atomic<int> ready{0}; // 1 when the part file is complete and its tables loaded
    int *sizes = nullptr;      // byte size of each compressed frame
    int *offsets = nullptr;    // byte offset of each frame in the part file
    char *file = nullptr;      // path of the part file, owned
    int spare = -1;
};

// One physical clip: an SVJ reel or a numbered picture sequence.
struct FisicData {
    ImageLogInfo *pic = nullptr;     // null for a reel
    char *path = nullptr;            // full path of the reel; null for a picture sequence
    char *dir = nullptr;             // database directory of the log; null: the current one
    fm_fileformat *reader = nullptr; // eighth-size display reader of the reel
    int frames = 0;
    int width = 0, height = 0; // log frame size
    std::atomic<int> refs{0};  // window segments using this clip
    std::atomic<int> remove{0};
    int parts = 0;
    // Published by the log converter once its records are complete.
    std::atomic<LogPart *> part{nullptr};
    std::atomic<int> complete{0};
    std::atomic<int> busy{0};
    std::atomic<FisicData *> next{nullptr};
};

extern std::atomic<FisicData *> first_fisic;

// A frame range of a physical clip inside a window; segments form a ring.
struct Segment {
    int first = 0, last = 0; // last < first: the range runs backwards
    int offset = 0;          // window frame at which the segment begins
    int map_len = 0;
    int period = 1;
    int *map = nullptr; // null: offsets 0, 1, 2, ...
    FisicData *fisic = nullptr;
    Segment *next = nullptr, *prev = nullptr;
};

// Where a window's picture came from: the quarter-size log (drawn 1:1) or
// the reel at an eighth (drawn magnified twice).
enum PictureSource { SOURCE_LOG = 1, SOURCE_REEL = 2 };

// One clip window.
struct WindowData {
    int width = 0, height = 0;
    int playing = 0;
    int source = SOURCE_LOG; // where `image` came from (PictureSource)
    int selected = 0;
    int master = 0;
    int slot = 0;
    unsigned char *image = nullptr; // width x height pixels, bytes A,B,G,R, bottom-up
    unsigned char *back = nullptr;  // as large: the next frame is fetched here, then swapped
    int spare = 0;
    int in = 0, out = 0;
    int total = 0;
    int current = 0;
    int start = 0;
    Segment *seg_first = nullptr, *seg_last = nullptr, *seg_current = nullptr;
    Widget form = nullptr, glw = nullptr, tmglw = nullptr, scale = nullptr;
    Widget in_label = nullptr, out_label = nullptr, tc_label = nullptr, frame_label = nullptr;
    Widget progress_label = nullptr, memo = nullptr;
    Widget memo_btn = nullptr, copy_btn = nullptr, left_btn = nullptr, right_btn = nullptr;
    Widget frame = nullptr, label_frame = nullptr, label_form = nullptr;
    Widget prev_btn = nullptr, next_btn = nullptr;
    Widget play_btn = nullptr, stop_btn = nullptr, reve_btn = nullptr;
    DispData *disp = nullptr;
    void *production = nullptr;
    WindowData *next = nullptr;
};

extern WindowData *first_window, *last_window, *first_work, *summa_window;

// Marker stored in `seg_first` of windows that show a fixed picture and have
// no real segments (the logo), so that DrawImage draws them.
extern Segment *const fixed_picture_marker;
