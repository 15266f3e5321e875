// Heads of the clip lists.
#include "editing/clip_records.h"

std::atomic<FisicData *> first_fisic{nullptr};
WindowData *first_window = nullptr, *last_window = nullptr, *first_work = nullptr,
           *summa_window = nullptr;

static Segment fixed_picture_segment;
Segment *const fixed_picture_marker = &fixed_picture_segment;
