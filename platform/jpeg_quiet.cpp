// The silent, jumping libjpeg error manager; see jpeg_quiet.h.
#include "platform/jpeg_quiet.h"

static void quiet_error_exit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<JpegQuietErrors *>(cinfo->err)->jump, 1);
}

static void quiet_output_message(j_common_ptr) {}

void JpegQuietInit(JpegQuietErrors &err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = quiet_error_exit;
    err.pub.output_message = quiet_output_message;
}
