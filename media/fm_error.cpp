// Format-manager error codes and messages; see fm_error.h.
#include "media/fm_error.h"

#include <cerrno>
#include <cstdio>

int fm_errno = 0;

namespace {

const char *const fm_errortable[] = {
#define FM_ERROR_TEXT(code, text) text,
    FM_ERROR_LIST(FM_ERROR_TEXT)
#undef FM_ERROR_TEXT
};
static_assert(sizeof(fm_errortable) / sizeof(fm_errortable[0]) == FM_ERROR_COUNT);
static_assert(FM_ETRUNCATE == 21 && FM_ERROR_COUNT == 22);

} // namespace

int fm_seterrno(int code) {
    if (fm_errno == 0) fm_errno = code;
    return 1;
}

const char *fm_errorstr(int code) {
    if (code < 0 || code >= FM_ERROR_COUNT) return "Error code to high to print";
    return fm_errortable[code];
}

void fm_errorprint(int code, const char *text) {
    int saved = errno;
    if (text == nullptr) text = "";
    std::fprintf(stderr, "Error code  %d : %s : %s\n", code, fm_errorstr(code), text);
    if (saved != 0) {
        errno = saved;
        std::perror(text);
    }
}
