// The dialogs that list the known databases by name, in list-file order
// ("Open Database", "Remove database", "Select database"), and the entry
// chosen in them.
#pragma once

#include "database/db_dialog.h"

// Opens a 290x290 single-selection dialog on mainform listing every
// database name in list order (not sorted), with the buttons given (Cancel
// last, the first one the double click's). Returns its record.
DbDialog *DbOpenDatabaseList(const char *title, const DbButton *buttons, int n);

// The database selected in the list of d, or null when none is (or when
// the list changed under the dialog).
DbEntry *DbChosenDatabase(DbDialog *d);
