// The program's fallback resources: fonts, colours, shadows and focus policy
// keyed by widget name, so code does not hard-wire them and users can
// override them in their own resource files.
#include "desktop/resources.h"

#include <X11/Xlib.h>

#include <unistd.h>

#include <cstring>

#define BOLD14 "-*-helvetica-bold-r-normal--14-*-*-*-p-82-iso8859-1"
#define BOLD12 "-*-helvetica-bold-r-normal--12-*-*-*-p-70-iso8859-1"

const char *const orva_fallbacks[61] = {
    "orva*fontList:                                       " BOLD14,
    "orva*clip*lab2.fontList:                             " BOLD14,
    "orva*expLabel.fontList:                              " BOLD14,
    "orva*XmFileSelectionBox*XmLabel*fontList:            " BOLD14,
    "orva*XmFileSelectionBox*XmLabelGadget*fontList:      " BOLD14,
    "orva*XmFileSelectionBox*XmPushButton*fontList:       " BOLD14,
    "orva*XmFileSelectionBox*XmPushButtonGadget*fontList: " BOLD14,
    "orva*XmRowColumn*XmLabel*fontList:                   " BOLD14,
    "orva*XmRowColumn*XmLabelGadget*fontList:             " BOLD14,
    "orva*XmRowColumn*XmPushButton*fontList:              " BOLD14,
    "orva*XmRowColumn*XmPushButtonGadget*fontList:        " BOLD14,
    "orva*XmDialogShell.XmMessageBox*fontList:            " BOLD14,
    "orva*clip*XmLabel*fontList:                          " BOLD12,
    "orva*clip*XmLabelGadget*fontList:                    " BOLD12,
    "orva*clip*XmPushButton*fontList:                     " BOLD12,
    "orva*clip*XmPushButtonGadget*fontList:               " BOLD12,
    "orva*vtrform*btn*fontList:                           "
    "-*-helvetica-bold-r-narrow--19-*-*-*-p-88-iso8859-1",
    "orva*vtrform*tc_text*fontList:                       " BOLD14,
    "orva*vtrform*tc_goto*fontList:                       "
    "-*-helvetica-medium-r-normal--34-*-*-*-p-176-iso8859-1",
    "orva*vtrform*reelname*fontList:                      " BOLD14,
    "orva*vtrform*XmList*fontList:                        " BOLD14,
    "orva*vtrform*XmPushButton*shadowThickness:           2",
    "orva*XmRowColumn*XmPushButton*highlightThickness:    2",
    "orva*XmRowColumn*XmPushButton*shadowThickness:       2",
    "orva*XmPushButton*highlightThickness:                1",
    "orva*XmPushButton*shadowThickness:                   1",
    "orva*XmRowColumn*XmPushButtonGadget*highlightThickness: 2",
    "orva*XmRowColumn*XmPushButtonGadget*shadowThickness: 2",
    "orva*XmPushButtonGadget*highlightThickness:          1",
    "orva*XmPushButtonGadget*shadowThickness:             1",
    "orva*XmArrowButtonGadget*highlightThickness:         0",
    "orva*XmArrowButtonGadget*shadowThickness:            0",
    "orva*XmArrowButton*highlightThickness:               0",
    "orva*XmArrowButton*shadowThickness:                  0",
    "orva*XmScrolledWindow*spacing:                       0",
    "orva*XmScrolledWindow.shadowThickness:               2",
    "orva*cursorTextColor:                                white",
    "orva*cursorPageColor:                                coral",
    "orva*keyboardFocusPolicy:                            XmPOINTER",
    "orva*XmDialogShell*keyboardFocusPolicy:              XmEXPLICIT",
    "orva*XmRowColumn*menu*borderWidth:                   1",
    "orva*XmRowColumn*menu*borderColor:                   #858890",
    "orva*mwmDecorations:                    0",
    "orva*disp*mwmDecorations:                            1",
    "orva*XmDialogShell*mwmDecorations:                   1",
    "orva*foreground:                                     #eeeeee",
    "orva*background:                         #555560",
    "orva*error*foreground:                               #feb900",
    "orva*error*background:                               #aa3333",
    "orva*warning*foreground:                             #feb900",
    "orva*warning*background:                             #3333aa",
    "orva*happywin*background:                            #404561",
    "orva*summawin*background:                            #333654",
    "orva*workwin*background:                             #334354",
    "orva*vtrform*background:                             #294d54",
    "orva*in_out_bg*background:                           #51a69e",
    "orva*rec_bg*background:                              #ff0000",
    "orva*dulsar_err*foreground:                          #aa3333",
    "orva*dulsar_err*background:                          #feb900",
    "orva*dulsar_warn*foreground:                         #3333aa",
    "orva*dulsar_warn*background:                         #feb900",
};

static void replace_last(std::vector<std::string> &list, const char *prefix, const char *with) {
    size_t n = strlen(prefix);
    for (size_t i = list.size(); i-- > 0;) {
        if (list[i].compare(0, n, prefix) == 0) {
            list[i] = with;
            return;
        }
    }
}

void AdjustFallbacks(std::vector<std::string> &list, int screen_width, bool border) {
    if (border) replace_last(list, "orva*mwmDecorations:", "orva*mwmDecorations: 6");
    if (screen_width < 1280)
        replace_last(list, "orva*vtrform*tc_goto*fontList:",
                     "orva*vtrform*tc_goto*fontList: "
                     "-*-helvetica-medium-r-narrow--33-*-*-*-p-140-iso8859-1");
}

std::vector<std::string> AdjustedFallbacks(bool border) {
    std::vector<std::string> list(orva_fallbacks, orva_fallbacks + 61);
    int width = 1280;
    // A server can refuse a connection that arrives while it is still
    // closing another one; a few quick retries get through.
    Display *d = nullptr;
    for (int tries = 0; tries < 5 && !d; tries++)
        if (!(d = XOpenDisplay(nullptr))) usleep(50000);
    if (d) {
        width = DisplayWidth(d, DefaultScreen(d));
        XCloseDisplay(d);
    }
    AdjustFallbacks(list, width, border);
    return list;
}
