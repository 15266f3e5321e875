// Switching the current database ("Open Database", and the end of "New").
#pragma once

struct DbEntry;

// Makes entry current after the user's confirmation: while a clip has an
// import or export in progress, asks whether to stop them ("  Yes  "
// switches stopping them, "  No  " switches leaving them running);
// otherwise, when ask_sure is set, asks "Are you sure?" and switches on
// "  Yes  ", else switches at once. The switch is DbSetCurrent with reset.
void DbConfirmSwitch(DbEntry *entry, int ask_sure);
