// The commands reached from the menu tree, in menu order (ui/command.h has
// their form). Those of the database live in its library.
#pragma once

#include "database/db_commands.h"
#include "ui/command.h"

// OPEN (DbSelectSvj, DbSelectWork: database/db_commands.h)
ORVA_COMMAND(DbSelectImages);
ORVA_COMMAND(DbSelectDatabase);
ORVA_COMMAND(DbSelectEdl);
// SAVE (DbSaveWorkAll, DbSaveWorkHappy, DbSaveWorkSelected: database/db_commands.h)
ORVA_COMMAND(ExportSvj);
ORVA_COMMAND(MasterExportSvj);
ORVA_COMMAND(ExportMovie);
ORVA_COMMAND(MasterExportMovie);
ORVA_COMMAND(DbSaveEdl);
// DELETE (DbRemoveWork: database/db_commands.h)
ORVA_COMMAND(DbRemoveSvj);
ORVA_COMMAND(DbRemoveImg);
ORVA_COMMAND(DbRemoveDatabase);
ORVA_COMMAND(CloseAll);
ORVA_COMMAND(ClearHappy);
ORVA_COMMAND(CloseSel);
// IMPORT
ORVA_COMMAND(DbSelectImport);
ORVA_COMMAND(DbSelectAbekas);
// EXPORT
ORVA_COMMAND(ExportImg);
ORVA_COMMAND(MasterExportImg);
// EFFECTS
ORVA_COMMAND(NewWindowMulti);
ORVA_COMMAND(SpliceNewWin);
ORVA_COMMAND(SoftNewWin);
ORVA_COMMAND(TendinaLR);
ORVA_COMMAND(TendinaRL);
ORVA_COMMAND(TendinaUD);
ORVA_COMMAND(TendinaDU);
ORVA_COMMAND(FastNewWin);
ORVA_COMMAND(SlowNewWin);
ORVA_COMMAND(StrobeNewWin);
ORVA_COMMAND(StillNewWin);
ORVA_COMMAND(LoopNewWin);
ORVA_COMMAND(StlnExport);
ORVA_COMMAND(UserEffect);
// TOOLS
ORVA_COMMAND(SetDefaults);
ORVA_COMMAND(DbInfoSvj);
ORVA_COMMAND(DbImportSvj);
ORVA_COMMAND(AlltoMemo);
ORVA_COMMAND(CloseAllMemo);
ORVA_COMMAND(editProc);
ORVA_COMMAND(RearrangeNow);
ORVA_COMMAND(RecollectSelected);
ORVA_COMMAND(RecollectHappy);
ORVA_COMMAND(SelectAll);
ORVA_COMMAND(DeselectAll);
ORVA_COMMAND(SelectInvAll);
ORVA_COMMAND(AboutOrva);
// QUIT
ORVA_COMMAND(editExit);
