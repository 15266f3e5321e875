// Widget-creation helpers with which every window and dialog is built.
//
// Positions and sizes below 0 are left unset; each helper gives its widget a
// fixed default name so resources and tests can find it. All widgets but
// dialogs are created managed.
#pragma once

#include <Xm/Xm.h>

#include <string>

// Form dialog ("dialog" when name is null), not resizable, not auto-unmanaged.
// destroy: the window manager's close destroys it (else the close is ignored);
// modal: application-modal.
Widget CreaDialog(Widget parent, const char *title, const char *name, int width, int height,
                  int destroy, int modal);
Widget CreaForm(Widget parent, int x, int y, int width, int height);
Widget CreaFormName(Widget parent, int x, int y, int width, int height, const char *name);
Widget CreaFrame(Widget parent, int x, int y, int width, int height, int margin);
// Scrolled window attached to the given neighbours, or to the form's edges
// where a neighbour is null.
Widget CreaScrolledWindow(Widget parent, Widget top, Widget bottom, Widget left, Widget right,
                          int height, const char *name);
Widget CreaLabelXY(Widget parent, int x, int y, int width, int height, const char *text);
Widget CreaLabel(Widget parent, int x, int y, const char *text);
Widget CreaLabelName(Widget parent, int x, int y, int width, int height, const char *text,
                     const char *name);
Widget CreaLabelGadgetName(Widget parent, int x, int y, int width, int height, const char *text,
                           const char *name);
int LabelGetNumericValue(Widget label);
void LabelSetNumericValue(Widget label, int value);
std::string LabelGetString(Widget label);
void LabelSetString(Widget label, const char *text);
// Single-line text field ("wtext" by default); keypad digits insert digits.
Widget CreaText(Widget parent, int x, int y, int width, int height, const char *text, int maxlen,
                const char *name);
Widget CreaScrolledText(Widget parent, int x, int y, int width, int height, const char *name);
Widget CreaSeparator(Widget parent, int x, int y, int width);
Widget CreaHScrollBar(Widget parent, int minimum, int maximum, int x, int y, int width, int height);
// Horizontal scale "scale"; value is clamped into minimum..maximum.
Widget CreaHScale(Widget parent, int mode, int minimum, int maximum, int value, int flag, int x,
                  int y, int width, int height);
Widget CreaBottoneXY(Widget parent, const char *label, int x, int y, int width, int height);
Widget CreaBottoneXYName(Widget parent, const char *label, int x, int y, int width, int height,
                         const char *name);
// direction: XmARROW_UP, XmARROW_DOWN, XmARROW_LEFT or XmARROW_RIGHT.
Widget CreaArrow(Widget parent, int direction, int x, int y, int width, int height);
// orientation: XmVERTICAL or XmHORIZONTAL.
Widget CreaRadioBox(Widget parent, int x, int y, int orientation);
Widget CreaToggle(Widget parent, const char *label);
Widget CreaToggleXY(Widget parent, const char *label, int x, int y);
// Drawing area "draw" without margins.
Widget CreaDraw(Widget parent, int x, int y, int width, int height);
// Attaches each side whose value is 0 or more to that position of the parent form.
void locate(Widget w, int left, int top, int right, int bottom);

// Action "InsertText": inserts its first parameter at the text field's cursor.
void InsertText(Widget w, XEvent *event, String *params, Cardinal *num_params);

// Holds an XmString for the life of a scope.
class XmStr {
  public:
    explicit XmStr(const char *text) : s_(XmStringCreateLocalized(const_cast<char *>(text))) {}
    ~XmStr() { XmStringFree(s_); }
    XmStr(const XmStr &) = delete;
    XmStr &operator=(const XmStr &) = delete;
    operator XmString() const { return s_; }

  private:
    XmString s_;
};
