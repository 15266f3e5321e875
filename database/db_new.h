// Making a new database: the "New database" browser, the "New name"
// dialog, and the creation of the directories and the list entry.
#pragma once

#include <Xm/Xm.h>

#include <string>

struct DbEntry;

// Makes the database `name` in the directory named by dir_text below
// browsed (browsed itself for "."), creating the directory and its SVJ/,
// CLIP/, WORK/ and IMAGES/ as needed: directories made here get 0777 less
// the umask, existing ones keep their mode; anything else standing at one
// of those names fails. Then appends the entry to the list file at
// list_path and to db_list. Returns the new entry (not made current), or
// null on any failure (directories already made stay; the list file is
// untouched unless the append itself failed).
DbEntry *DbCreateDatabase(const char *browsed, const char *name, const char *dir_text,
                          const char *list_path);

// The directory a new database goes to: browsed + the last component of
// dir_text up to its first blank, or browsed itself for "." (or an empty
// component), ending in "/".
std::string DbNewDatabaseDir(const char *browsed, const char *dir_text);

// "New" of "Open Database" (client data: that dialog, which closes): opens
// the "New database" browser.
void DbNewDatabaseCB(Widget w, XtPointer client_data, XtPointer call_data);
