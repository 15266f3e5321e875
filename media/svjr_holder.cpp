// Freeing display readers; see svjr_holder.h.
#include "media/svjr_holder.h"

#include <cstdlib>

#include "media/fm_types.h"
#include "media/svjr.h"

int svjr_free(fm_fileformat *reader) {
    if (!reader) return -1;
    svjr_close(reader->state);
    std::free(reader->buffer);
    std::free(reader);
    return 0;
}
