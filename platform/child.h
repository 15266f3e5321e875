// Commands run by the program ("cp", "rcp", custom effect programs,
// "movieplayer"): each runs in a process group of its own (a shell command as
// /bin/sh -c, a program with its arguments directly), so that stopping the
// job that runs it ends the command and everything it started.
#pragma once

// Runs `command` through /bin/sh -c in a new process group and waits for it.
// Returns the wait status as system() does (test it with WIFEXITED and
// WEXITSTATUS; a shell that could not run the command exits with 127), or -1
// with errno set when the shell could not be started. Called from a job that
// has been asked to stop, it starts nothing and returns -1 with errno
// ECANCELED; a stop that arrives while the command runs sends SIGTERM to the
// whole group and the call returns the shell's status as soon as it has died.
int ChildSystem(const char *command);

// Runs the program argv[0] (searched in PATH) with the arguments argv (ended
// by a null pointer) directly, without a shell, in a new process group, and
// waits for it. Returns the wait status, or -1 with errno set when it could
// not be started (ENOENT for a program not found), with the stop rules of
// ChildSystem.
int ChildRun(const char *const argv[]);
