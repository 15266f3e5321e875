// Program entry. --help and --version answer before anything else, so they
// work without a display, a database or the board.
#include <cstdio>
#include <cstring>

#include "desktop/startup.h"
#include "orva_version.h"

static const char help_text[] =
    "usage: orva [-vtr] [-border] [X toolkit options]\n"
    "       orva --help | --version\n"
    "\n"
    "The video post-production desktop. It starts in the background (the shell\n"
    "gets its prompt back) on the display of DISPLAY, with the first database of\n"
    "the list file OrvaDB.\n"
    "\n"
    "options:\n"
    "  -vtr              make room for the VTR panel even without a board\n"
    "  -border           let the window manager draw window borders\n"
    "  -display DISPLAY, -geometry G, -xrm RESOURCE, ...  as for every X program\n"
    "  --help            print this text and exit\n"
    "  --version         print the version and exit\n"
    "\n"
    "environment:\n"
    "  ORVA_RSRC         directory of the list file OrvaDB and of the shared\n"
    "                    defaults file (else PWD, else HOME)\n"
    "  ORVA_USER_DIR     directory of user effect plug-ins (*.so)\n"
    "  ORVA_DBDIR        where the New Database dialog starts\n"
    "  ORVA_DSK_RECORD   host of the disk recorder that IMPORT fetches frames from\n"
    "  ORVA_NO_DETACH=1  stay in the foreground\n"
    "  ORVA_PLAY_STATS=1 one line of playback figures on standard error per play\n"
    "  ORVA_NO_SHM=1     draw without the X shared memory extension\n"
    "  SCSIVIDEO_CMD     the board: a device, or SCSI,dev=SOCKET for boardsim\n"
    "  SCSIVIDEO_MASTER  preroll and options of VTR edits\n"
    "  SCSIVIDEO_DEBUG   trace bits of the board library\n"
    "  SCSI_VIDEO_MODE   SV_MODE_NTSC, SV_MODE_PALHR or SV_MODE_NTSCHR (else PAL)\n"
    "  SCSI_SYNC         SV_SYNC_EXTERNAL, SV_SYNC_GENLOCK_ANALOG or\n"
    "                    SV_SYNC_GENLOCK_DIGITAL (else internal)\n"
    "  JFIF_QUALITY      JPEG quality of reels written without one\n"
    "  USER              names the defaults file and the default works\n"
    "  HOME, PWD, PATH   fallbacks for the list file; \"~\" in database paths\n"
    "  TMPDIR            scratch files (else /tmp)\n"
    "\n"
    "files:\n"
    "  $ORVA_RSRC/OrvaDB            list of databases (DATABASE name, PATH dir)\n"
    "  DBDIR/SVJ, CLIP, WORK, IMAGES  reels, clip logs, works, pictures\n"
    "  .orva_def.$USER              user defaults, read at start, written at exit\n"
    "  .orva.$USER                  default init and exit work\n"
    "  app-defaults/Orva            the fallback X resources, to copy or merge\n"
    "\n"
    "orva-demo DIR makes a demo database: ORVA_RSRC=DIR orva starts on it.\n";

int main(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0) {
            fputs(help_text, stdout);
            return 0;
        }
        if (strcmp(argv[i], "--version") == 0) {
            printf("orva %s\n", ORVA_VERSION);
            return 0;
        }
    }
    return OrvaMain(argc, argv);
}
