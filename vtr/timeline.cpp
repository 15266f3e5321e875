// The timeline form. The strip inside it (markers, blocks, scale and popup)
// is drawn by the timeline's own code, which joins when the master area's
// playback and clip operations exist; until then the form stands empty in
// its place in the main window.
#include "vtr/timeline.h"

#include <Xm/Form.h>

int TmLineH() {
    return 5;
}

Widget TmCreaForm(Widget parent, Widget top, int max_width) {
    (void)max_width; // sizes the strip's image buffers, which come with the strip
    return XtVaCreateManagedWidget("timeline", xmFormWidgetClass, parent, XmNheight, 40,
                                   XmNtopAttachment, top ? XmATTACH_WIDGET : XmATTACH_FORM,
                                   XmNtopWidget, top, XmNleftAttachment, XmATTACH_FORM,
                                   XmNrightAttachment, XmATTACH_FORM, NULL);
}
