// The "Change reel" dialog that comes before each tape of a recollect or an
// edit-list collect: "Insert reel:" with the tape's name, a field to give the
// tape another name, OK and "Break".
#pragma once

#include <X11/Intrinsic.h>

#include <functional>
#include <string>

// Opens the dialog over the main window for tape. OK (or Enter in the field)
// closes it and calls ok with the field's text; "Break" closes it and calls
// brk. Returns the dialog's form, which lives until one of them is pressed.
Widget ChangeReelDialog(const std::string &tape, std::function<void(const std::string &)> ok,
                        std::function<void()> brk);
