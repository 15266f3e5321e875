// The desktop's side of the database dialogs: the hooks through which they
// ask about running jobs and start a reel copy in the process table.
#pragma once

// Registers DbImpExpHook, DbRunningJobsHook, DbCopyStartHook and the end
// routine of reel copies. Called at start-up with the other desktop hooks.
void InstallDatabaseHooks();
