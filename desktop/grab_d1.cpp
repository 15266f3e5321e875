// "Grab D1": the ranges of the grab list grabbed uncompressed, frame by
// frame, into image files and an image-clip log.
#include "desktop/globals.h"
#include "ui/messages.h"

void VtrImport() {
    PutCharMessage(mainform, "Not available yet.");
}
