// Colours of the main window: the background and menu foreground read back
// as RGB (the logo is re-tinted to them), the red, yellow and busy colours of
// clip windows, and the hidden forms that carry resource colours.
#include "ui/colors.h"

#include <Xm/Xm.h>

#include "ui/globals.h"
#include "ui/icons.h"
#include "ui/widgets.h"

unsigned char background_rgb[3], foreground_rgb[3];

void AllocColors(Pixel menu_foreground) {
    Display *dpy = XtDisplay(mainform);
    Colormap cmap = DefaultColormapOfScreen(XtScreen(mainform));
    XColor c{};
    c.pixel = background;
    XQueryColor(dpy, cmap, &c);
    background_rgb[0] = (unsigned char)(c.red >> 8);
    background_rgb[1] = (unsigned char)(c.green >> 8);
    background_rgb[2] = (unsigned char)(c.blue >> 8);
    c.pixel = menu_foreground;
    XQueryColor(dpy, cmap, &c);
    foreground_rgb[0] = (unsigned char)(c.red >> 8);
    foreground_rgb[1] = (unsigned char)(c.green >> 8);
    foreground_rgb[2] = (unsigned char)(c.blue >> 8);

    XColor exact{}, screen{};
    RED_COL = XAllocNamedColor(dpy, cmap, "red", &screen, &exact) ? screen.pixel : 1;
    YEL_COL = XAllocNamedColor(dpy, cmap, "yellow", &screen, &exact) ? screen.pixel : 1;
    XColor busy{};
    busy.red = 65278, busy.green = 47545, busy.blue = 0;
    busy.flags = DoRed | DoGreen | DoBlue;
    BUSY_YEL = XAllocColor(dpy, cmap, &busy) ? busy.pixel : 1;
    busy.red = 10000, busy.green = 50000, busy.blue = 10000;
    BUSY_GRN = XAllocColor(dpy, cmap, &busy) ? busy.pixel : 1;
}

static Widget hidden_form(const char *name) {
    Widget w = CreaFormName(mainform, 0, 0, 1, 1, name);
    XtUnmanageChild(w);
    return w;
}

void CreaColorForms() {
    in_out_bg = hidden_form("in_out_bg");
    rec_bg = hidden_form("rec_bg");
    dulsar_err_w = hidden_form("dulsar_err");
    dulsar_warn_w = hidden_form("dulsar_warn");
    XtVaSetValues(app_shell, XmNiconPixmap, GetWarningPixmap(), NULL);
}
