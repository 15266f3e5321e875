// The grab list's storage.
#include "vtr/grab_list.h"

TcEntry tc_list[TC_LIST_MAX];
int Items_In_List = -1;
