// The orderly end of the program.
#pragma once

// Stops the kill-marked jobs and the log converter; ends the program at once
// when no job is left, otherwise hides the main window and lets the program
// end when the last job has ended.
void ExitProgram();
// Releases everything and exits with status 0.
[[noreturn]] void FinalExit();
// SIGINT ends the program through ExitProgram from the main loop; SIGSEGV and
// SIGBUS do only async-signal-safe clean-up, then die with the default action.
void InstallSignalHandlers();
// Notes that the logo movie file was created by this run, so that a crash
// removes it.
void NoteLogoMovieCreated();
