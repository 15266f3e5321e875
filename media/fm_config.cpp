// The drivers this system registers with the format manager at start-up.
#include "media/fm_format_svj.h"
#include "media/fm_main.h"

int fm_config(void) {
    fm_svj_register();
    return 0;
}
