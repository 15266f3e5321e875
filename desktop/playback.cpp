// Playback of clip windows. Real-time playback is still to come: until it
// lands, asking for it says so.
#include "desktop/playback.h"

#include "desktop/globals.h"
#include "ui/messages.h"

void ePlayStart(WindowData *win, int dir) {
    (void)win;
    (void)dir;
    if (!isPlayActive) PutCharMessage(mainform, "Not available yet.");
}
