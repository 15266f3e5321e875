// The grab list's storage and operations. The list widget of the VTR panel
// mirrors these entries item for item; every change here is made at the
// same position there by the panel.
#include "vtr/grab_list.h"

#include <cstdio>

TcEntry tc_list[TC_LIST_MAX];
int Items_In_List = -1;

const char *GrabAddMessage(GrabAddResult r) {
    switch (r) {
    case GRAB_OUT_BEFORE_IN:
        return "Warning: Out < In";
    case GRAB_DUPLICATE:
        return "Item already in list";
    case GRAB_FULL:
        return "Cannot add another item";
    default:
        return nullptr;
    }
}

GrabAddResult GrabListAdd(Timecode in, Timecode out, int *index) {
    if (Count_Frames(in, out) < 0) return GRAB_OUT_BEFORE_IN;
    for (int i = 0; i <= Items_In_List; ++i)
        if (tc_list[i].in == in && tc_list[i].out == out) return GRAB_DUPLICATE;
    if (Items_In_List >= TC_LIST_MAX - 1) return GRAB_FULL;
    const int fin = tc2frames(in), fout = tc2frames(out);
    int pos = Items_In_List + 1;
    for (int i = 0; i <= Items_In_List; ++i) {
        const int ei = tc2frames(tc_list[i].in);
        if (ei > fin || (ei == fin && tc2frames(tc_list[i].out) > fout)) {
            pos = i;
            break;
        }
    }
    for (int i = Items_In_List + 1; i > pos; --i)
        tc_list[i] = tc_list[i - 1];
    tc_list[pos] = TcEntry{in, out, 0};
    ++Items_In_List;
    if (index) *index = pos;
    return GRAB_ADDED;
}

bool GrabListDelete(int index) {
    if (index < 0 || index > Items_In_List) return false;
    for (int i = index; i < Items_In_List; ++i)
        tc_list[i] = tc_list[i + 1];
    tc_list[Items_In_List] = TcEntry{};
    --Items_In_List;
    return true;
}

void GrabListClear() {
    for (auto &e : tc_list)
        e = TcEntry{};
    Items_In_List = -1;
}

int GrabListRemoveGood() {
    int removed = 0;
    for (int i = Items_In_List; i >= 0; --i)
        if (tc_list[i].status == 0) {
            GrabListDelete(i);
            ++removed;
        }
    return removed;
}

void GrabListItemText(const TcEntry &e, char *text, int size) {
    char a[12], b[12];
    vtr_tc2asc(e.in, a);
    vtr_tc2asc(e.out, b);
    snprintf(text, size_t(size), "%s - %s", a, b);
}
