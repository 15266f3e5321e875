// Menu commands whose subsystems are not built yet. Each tells the user so
// honestly instead of pretending to work; a command moves out of this file
// into its subsystem when that subsystem lands.
#include "desktop/commands.h"
#include "desktop/globals.h"
#include "ui/messages.h"

[[maybe_unused]] static void not_available() {
    PutCharMessage(mainform, "Not available yet.");
}

#define PENDING(name)                                                                              \
    ORVA_COMMAND(name) {                                                                           \
        (void)w;                                                                                   \
        (void)client_data;                                                                         \
        (void)call_data;                                                                           \
        not_available();                                                                           \
    }

