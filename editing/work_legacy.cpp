// Conversion of the skip and repeat factors of old work files into maps.
#include "editing/work_legacy.h"

#include "editing/work_file.h"

bool LegacyToMap(WorkSegment *seg, int skip, int repeat) {
    if (skip < 0 || repeat < 1) return false;
    seg->map.clear();
    seg->period = 1;
    if (skip == 0) {
        seg->map = {0};
        seg->period = 0;
        return true;
    }
    if (skip == 1 && repeat == 1) return true;
    return false;
}
