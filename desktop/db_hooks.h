// The desktop's side of the database dialogs: the hooks through which they
// count running jobs and start a reel copy in the process table.
#pragma once

// Registers DbRunningJobsHook, DbCopyStartHook and the end
// routine of reel copies. Called at start-up with the other desktop hooks.
void InstallDatabaseHooks();
