// Widget-creation helpers (the Crea... family), label accessors, `locate`
// and the InsertText action used by text fields.
#include "ui/widgets.h"

#include <Xm/ArrowB.h>
#include <Xm/DialogS.h>
#include <Xm/DrawingA.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/LabelG.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Scale.h>
#include <Xm/ScrollBar.h>
#include <Xm/ScrolledW.h>
#include <Xm/Separator.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ui/globals.h"

namespace {

// Collects resources for one widget, skipping the unset geometry values.
struct Args {
    std::vector<Arg> a;
    void set(String name, XtArgVal v) {
        Arg arg;
        XtSetArg(arg, name, v);
        a.push_back(arg);
    }
    void geometry(int x, int y, int w, int h) {
        if (x >= 0) set(XmNx, x);
        if (y >= 0) set(XmNy, y);
        if (w >= 0) set(XmNwidth, w);
        if (h >= 0) set(XmNheight, h);
    }
    Widget make(WidgetClass cls, const char *name, Widget parent) {
        return XtCreateManagedWidget(name, cls, parent, a.data(), Cardinal(a.size()));
    }
};

} // namespace

Widget CreaDialog(Widget parent, const char *title, const char *name, int width, int height,
                  int destroy, int modal) {
    Args a;
    a.set(XmNnoResize, True);
    a.set(XmNautoUnmanage, False);
    a.set(XmNresizePolicy, XmRESIZE_NONE);
    a.set(XmNdeleteResponse, destroy ? XmDESTROY : XmDO_NOTHING);
    a.set(XmNdialogStyle, modal ? XmDIALOG_FULL_APPLICATION_MODAL : XmDIALOG_MODELESS);
    if (width >= 0) a.set(XmNwidth, width);
    if (height >= 0) a.set(XmNheight, height);
    XmStr t(title ? title : "");
    a.set(XmNdialogTitle, XtArgVal(XmString(t)));
    return XmCreateFormDialog(parent, const_cast<char *>(name ? name : "dialog"), a.a.data(),
                              Cardinal(a.a.size()));
}

Widget CreaFormName(Widget parent, int x, int y, int width, int height, const char *name) {
    Args a;
    a.geometry(x, y, width, height);
    return a.make(xmFormWidgetClass, name, parent);
}

Widget CreaForm(Widget parent, int x, int y, int width, int height) {
    return CreaFormName(parent, x, y, width, height, "form");
}

Widget CreaFrame(Widget parent, int x, int y, int width, int height, int margin) {
    Args a;
    a.geometry(x, y, width, height);
    a.set(XmNmarginWidth, margin);
    a.set(XmNmarginHeight, margin);
    return a.make(xmFrameWidgetClass, "frame", parent);
}

Widget CreaScrolledWindow(Widget parent, Widget top, Widget bottom, Widget left, Widget right,
                          int height, const char *name) {
    Args a;
    a.set(XmNscrollingPolicy, XmAUTOMATIC);
    if (height >= 0) a.set(XmNheight, height);
    auto side = [&](String att, String wid, Widget w) {
        if (w) {
            a.set(att, XmATTACH_WIDGET);
            a.set(wid, XtArgVal(w));
        } else {
            a.set(att, XmATTACH_FORM);
        }
    };
    side(XmNtopAttachment, XmNtopWidget, top);
    if (bottom || height < 0) side(XmNbottomAttachment, XmNbottomWidget, bottom);
    side(XmNleftAttachment, XmNleftWidget, left);
    side(XmNrightAttachment, XmNrightWidget, right);
    return a.make(xmScrolledWindowWidgetClass, name ? name : "scrolledwin", parent);
}

static Widget label_widget(WidgetClass cls, Widget parent, int x, int y, int width, int height,
                           const char *text, const char *name) {
    Args a;
    a.geometry(x, y, width, height);
    XmStr s(text ? text : "");
    a.set(XmNlabelString, XtArgVal(XmString(s)));
    if (width >= 0 || height >= 0) a.set(XmNrecomputeSize, False);
    return a.make(cls, name, parent);
}

Widget CreaLabelXY(Widget parent, int x, int y, int width, int height, const char *text) {
    return label_widget(xmLabelWidgetClass, parent, x, y, width, height, text, "label");
}

Widget CreaLabel(Widget parent, int x, int y, const char *text) {
    return label_widget(xmLabelWidgetClass, parent, x, y, -1, -1, text, "label");
}

Widget CreaLabelName(Widget parent, int x, int y, int width, int height, const char *text,
                     const char *name) {
    return label_widget(xmLabelWidgetClass, parent, x, y, width, height, text, name);
}

Widget CreaLabelGadgetName(Widget parent, int x, int y, int width, int height, const char *text,
                           const char *name) {
    return label_widget(xmLabelGadgetClass, parent, x, y, width, height, text, name);
}

std::string LabelGetString(Widget label) {
    XmString xs = nullptr;
    XtVaGetValues(label, XmNlabelString, &xs, NULL);
    if (!xs) return "";
    char *text = nullptr;
    std::string out;
    if (XmStringGetLtoR(xs, const_cast<char *>(XmFONTLIST_DEFAULT_TAG), &text) && text) {
        out = text;
        XtFree(text);
    }
    XmStringFree(xs);
    return out;
}

void LabelSetString(Widget label, const char *text) {
    XmStr s(text ? text : "");
    XtVaSetValues(label, XmNlabelString, XmString(s), NULL);
}

int LabelGetNumericValue(Widget label) {
    return atoi(LabelGetString(label).c_str());
}

void LabelSetNumericValue(Widget label, int value) {
    char buf[16];
    snprintf(buf, sizeof buf, "%d", value);
    LabelSetString(label, buf);
}

Widget CreaText(Widget parent, int x, int y, int width, int height, const char *text, int maxlen,
                const char *name) {
    static XtTranslations keypad = nullptr;
    if (!keypad)
        keypad = XtParseTranslationTable(
            "<Key>KP_0: InsertText(0)\n<Key>KP_1: InsertText(1)\n<Key>KP_2: InsertText(2)\n"
            "<Key>KP_3: InsertText(3)\n<Key>KP_4: InsertText(4)\n<Key>KP_5: InsertText(5)\n"
            "<Key>KP_6: InsertText(6)\n<Key>KP_7: InsertText(7)\n<Key>KP_8: InsertText(8)\n"
            "<Key>KP_9: InsertText(9)\n");
    Args a;
    a.geometry(x, y, width, height);
    a.set(XmNeditMode, XmSINGLE_LINE_EDIT);
    if (maxlen > 0) a.set(XmNmaxLength, maxlen);
    a.set(XmNvalue, XtArgVal(text ? text : ""));
    Widget w = a.make(xmTextWidgetClass, name ? name : "wtext", parent);
    XtOverrideTranslations(w, keypad);
    return w;
}

Widget CreaScrolledText(Widget parent, int x, int y, int width, int height, const char *name) {
    Args a;
    a.set(XmNeditMode, XmMULTI_LINE_EDIT);
    Widget w = XmCreateScrolledText(parent, const_cast<char *>(name ? name : "wtext"), a.a.data(),
                                    Cardinal(a.a.size()));
    Widget sw = XtParent(w);
    Args g;
    g.geometry(x, y, width, height);
    XtSetValues(sw, g.a.data(), Cardinal(g.a.size()));
    XtManageChild(w);
    return w;
}

Widget CreaSeparator(Widget parent, int x, int y, int width) {
    Args a;
    a.geometry(x, y, width, -1);
    a.set(XmNorientation, XmHORIZONTAL);
    return a.make(xmSeparatorWidgetClass, "separator", parent);
}

Widget CreaHScrollBar(Widget parent, int minimum, int maximum, int x, int y, int width,
                      int height) {
    Args a;
    a.geometry(x, y, width, height);
    a.set(XmNorientation, XmHORIZONTAL);
    a.set(XmNminimum, minimum);
    a.set(XmNmaximum, maximum > minimum ? maximum : minimum + 1);
    a.set(XmNsliderSize, 1);
    return a.make(xmScrollBarWidgetClass, "scrollbar", parent);
}

Widget CreaHScale(Widget parent, int mode, int minimum, int maximum, int value, int flag, int x,
                  int y, int width, int height) {
    (void)mode;
    if (maximum <= minimum) maximum = minimum + 1;
    if (value < minimum) value = minimum;
    if (value > maximum) value = maximum;
    Args a;
    a.geometry(x, y, width, height);
    a.set(XmNorientation, XmHORIZONTAL);
    a.set(XmNminimum, minimum);
    a.set(XmNmaximum, maximum);
    a.set(XmNvalue, value);
    a.set(XmNshowValue, flag ? True : False);
    return a.make(xmScaleWidgetClass, "scale", parent);
}

Widget CreaBottoneXYName(Widget parent, const char *label, int x, int y, int width, int height,
                         const char *name) {
    Args a;
    a.geometry(x, y, width, height);
    XmStr s(label ? label : "");
    a.set(XmNlabelString, XtArgVal(XmString(s)));
    if (width >= 0 || height >= 0) a.set(XmNrecomputeSize, False);
    return a.make(xmPushButtonWidgetClass, name ? name : "btn", parent);
}

Widget CreaBottoneXY(Widget parent, const char *label, int x, int y, int width, int height) {
    return CreaBottoneXYName(parent, label, x, y, width, height, "btn");
}

Widget CreaArrow(Widget parent, int direction, int x, int y, int width, int height) {
    Args a;
    a.geometry(x, y, width, height);
    a.set(XmNarrowDirection, direction);
    return a.make(xmArrowButtonWidgetClass, "arrow", parent);
}

Widget CreaRadioBox(Widget parent, int x, int y, int orientation) {
    Args a;
    a.geometry(x, y, -1, -1);
    a.set(XmNorientation, orientation);
    a.set(XmNradioBehavior, True);
    a.set(XmNradioAlwaysOne, True);
    return a.make(xmRowColumnWidgetClass, "radiobox", parent);
}

Widget CreaToggleXY(Widget parent, const char *label, int x, int y) {
    Args a;
    a.geometry(x, y, -1, -1);
    XmStr s(label ? label : "");
    a.set(XmNlabelString, XtArgVal(XmString(s)));
    // The indicator fills with the selection colour when on; the default
    // matches the grey background, so a chosen toggle would look unchosen.
    if (YEL_COL) a.set(XmNselectColor, XtArgVal(YEL_COL));
    return a.make(xmToggleButtonWidgetClass, "togglebutton", parent);
}

Widget CreaToggle(Widget parent, const char *label) {
    return CreaToggleXY(parent, label, -1, -1);
}

Widget CreaDraw(Widget parent, int x, int y, int width, int height) {
    Args a;
    a.geometry(x, y, width, height);
    a.set(XmNmarginWidth, 0);
    a.set(XmNmarginHeight, 0);
    a.set(XmNresizePolicy, XmRESIZE_NONE);
    return a.make(xmDrawingAreaWidgetClass, "draw", parent);
}

void locate(Widget w, int left, int top, int right, int bottom) {
    Args a;
    if (left >= 0) {
        a.set(XmNleftAttachment, XmATTACH_POSITION);
        a.set(XmNleftPosition, left);
    }
    if (top >= 0) {
        a.set(XmNtopAttachment, XmATTACH_POSITION);
        a.set(XmNtopPosition, top);
    }
    if (right >= 0) {
        a.set(XmNrightAttachment, XmATTACH_POSITION);
        a.set(XmNrightPosition, right);
    }
    if (bottom >= 0) {
        a.set(XmNbottomAttachment, XmATTACH_POSITION);
        a.set(XmNbottomPosition, bottom);
    }
    XtSetValues(w, a.a.data(), Cardinal(a.a.size()));
}

void InsertText(Widget w, XEvent *, String *params, Cardinal *num_params) {
    if (!num_params || *num_params < 1 || !XmIsText(w)) return;
    XmTextInsert(w, XmTextGetInsertionPosition(w), params[0]);
    XmTextSetInsertionPosition(w,
                               XmTextGetInsertionPosition(w) + XmTextPosition(strlen(params[0])));
}
