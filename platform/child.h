// Shell commands run by the program ("cp", "rcp", custom effect programs,
// "movieplayer"): each runs as /bin/sh -c in a process group of its own, so
// that stopping the job that runs it ends the shell and everything it started.
#pragma once

// Runs `command` through /bin/sh -c in a new process group and waits for it.
// Returns the wait status as system() does (test it with WIFEXITED and
// WEXITSTATUS; a shell that could not run the command exits with 127), or -1
// with errno set when the shell could not be started. Called from a job that
// has been asked to stop, it starts nothing and returns -1 with errno
// ECANCELED; a stop that arrives while the command runs sends SIGTERM to the
// whole group and the call returns the shell's status as soon as it has died.
int ChildSystem(const char *command);
