// Listing the files of a database directory for the file dialogs. No X.
#pragma once

#include <string>
#include <vector>

// Fills names with the entries of dir whose name is longer than ext and ends
// exactly in ext (".svj" lists "a.svj", not "a.SVJ" nor ".svj"), sorted
// ascending byte by byte. Returns 0, or -1 when dir cannot be opened (names
// is then empty).
int DbListFiles(const char *dir, const char *ext, std::vector<std::string> &names);
