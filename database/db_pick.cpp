// The lists of database names behind Open, Remove and Copy reel. The items
// are the names of db_list in order; a selected position maps back to the
// entry at that place, provided the list still holds the same names.
#include "database/db_pick.h"

#include <Xm/List.h>

#include "database/db_list.h"
#include "ui/globals.h"

DbDialog *DbOpenDatabaseList(const char *title, const DbButton *buttons, int n) {
    DbDialog *d = DbNewDialog();
    for (const DbEntry *e = db_list; e; e = e->next)
        DbAddItem(d, e->name);
    DbCreaListDialog(mainform, d, title, 290, 290, XmSINGLE_SELECT, buttons, n, n - 1, 0, 0);
    return d;
}

DbEntry *DbChosenDatabase(DbDialog *d) {
    int *pos = nullptr, npos = 0;
    if (!d || !d->list || !XmListGetSelectedPos(d->list, &pos, &npos)) return nullptr;
    const int at = npos > 0 ? pos[0] : 0;
    XtFree(reinterpret_cast<char *>(pos));
    if (at < 1 || at > d->count) return nullptr;
    DbEntry *e = db_list;
    for (int i = 1; e && i < at; i++)
        e = e->next;
    if (!e || d->names[size_t(at - 1)] != e->name) return nullptr;
    return e;
}
