// Message tables of the board library: the error codes of the sv_ operations
// and the VTR's own error codes, each built from its one list in sv.h.
#include "device/sv.h"

namespace {

const char *const kErrorText[] = {
#define SV_ERROR_TEXT(code, text) text,
    SV_ERROR_LIST(SV_ERROR_TEXT)
#undef SV_ERROR_TEXT
};
static_assert(sizeof kErrorText / sizeof kErrorText[0] == SV_ERROR_COUNT);
static_assert(SV_ERROR_COUNT == 33);

const char *const kVtrText[] = {
#define SV_VTR_TEXT(text) text,
    SV_VTR_ERROR_LIST(SV_VTR_TEXT)
#undef SV_VTR_TEXT
};
static_assert(sizeof kVtrText / sizeof kVtrText[0] == 27);

} // namespace

const char *sv_errortext(int code) {
    if (code < 0 || code >= SV_ERROR_COUNT) return nullptr;
    return kErrorText[code];
}

void sv_errorprint(sv_handle *sv, int code) {
    if (!sv)
        fprintf(stderr, "sv_errorprint: NULL sv handle\n");
    else if (sv->magic != SV_MAGIC)
        fprintf(stderr, "sv_errorprint: Bad sv magic number\n");
    if (const char *t = sv_errortext(code))
        fprintf(stderr, "%s\n", t);
    else
        fprintf(stderr, "SCSI/Video Error code %d\n", code);
}

const char *sv_vtrerror(sv_handle *sv, int code) {
    if (!sv)
        fprintf(stderr, "sv_vtrerror: NULL sv handle\n");
    else if (sv->magic != SV_MAGIC)
        fprintf(stderr, "sv_vtrerror: bad sv magic number\n");
    if (code < 0 || code > 26) return "Unknown VTR error code";
    return kVtrText[code];
}

char *SvErrorText(int code, char *buf, size_t size) {
    if (!buf || size == 0) return buf;
    if (const char *t = sv_errortext(code))
        snprintf(buf, size, "%s\n", t);
    else
        snprintf(buf, size, "SCSI/Video Error code %d\n", code);
    return buf;
}
