// The defaults file: a few user preferences kept between runs, one file per
// clip database and one global file in the resource directory, which also
// remembers the current database. No toolkit here: Init_defaults and
// Exit_defaults (desktop) call these with the globals `defaults`,
// `init_work_name` and `exit_work_name`, and run the timer and the works.
//
// The file is seven lines, eight for the global file when a database is
// current, each a label, a colon and a value:
//
//    Autosave       : minutes (0 off)
//    Invert fields  : 0 or 1
//    Rearrange      : 0 or 1
//    Load init work : 0 or 1
//    Save exit work : 0 or 1
//    Init work name : name
//    Exit work name : name
//    Database name  : name          (global file only)
#pragma once

#include <cstddef>
#include <string>

constexpr int DEFAULTS_COUNT = 5;
constexpr size_t DEFAULTS_NAME_SIZE = 1024;

// Indices of `defaults`.
enum { DEF_AUTOSAVE = 0, DEF_INVERT = 1, DEF_REARRANGE = 2, DEF_LOAD_INIT = 3, DEF_SAVE_EXIT = 4 };

// The values a damaged or missing file gives: 10, 1, 0, 1, 1.
extern const int DefaultsFallback[DEFAULTS_COUNT];

// ".orva_def.", the defaults file's name before the user's name.
const char *GetDefaultName();

// ".orva." followed by the value of USER (nothing when unset): the work
// name a missing or empty name falls back to.
std::string DefaultsWorkFallback();

// The defaults file's path: ORVA_RSRC when *global is set and the variable
// is set (else *global is cleared and the file is the database's), else the
// current database directory, PWD, HOME or "/" (unset or empty values are
// passed over), "/" added when missing, then ".orva_def." and USER.
std::string DefaultsFilePath(int *global);

// Reads the file at path: 7 lines, or 8 when global. Lines 1-5 give the
// values (a negative one 0; lines 2-5 anything but 1 gives 0; numbers beyond
// 32 bits stop at the largest), lines 6 and 7 the base names of the init and
// exit work (empty: the fallback name), line 8 the base name of the current
// database into *database (may be empty). When the file is missing or not
// regular, a line is missing, longer than 1023 characters or has no ":",
// every value and both names take their fallbacks and 0 is returned; else 1.
int ReadDefaultsFile(const char *path, int global, int values[DEFAULTS_COUNT],
                     char init_name[DEFAULTS_NAME_SIZE], char exit_name[DEFAULTS_NAME_SIZE],
                     std::string *database);

// Writes the file at path crash-safely; empty names are first reset to the
// fallback name (in place). The database line is written when database is
// not null. Returns 1; 0 when the file could not be written, the old file
// then kept as it was.
int WriteDefaultsFile(const char *path, const int values[DEFAULTS_COUNT],
                      char init_name[DEFAULTS_NAME_SIZE], char exit_name[DEFAULTS_NAME_SIZE],
                      const char *database);

// The reading step of Init_defaults: the file of DefaultsFilePath, read
// with ReadDefaultsFile; a global file's database line selects that
// database by name when it is known (DbNameSetDatabase), loading nothing.
// Returns ReadDefaultsFile's result.
int LoadDefaults(int global, int values[DEFAULTS_COUNT], char init_name[DEFAULTS_NAME_SIZE],
                 char exit_name[DEFAULTS_NAME_SIZE]);

// The writing step of Exit_defaults: the file of DefaultsFilePath, with the
// current database's name when global and a database is current. Returns
// WriteDefaultsFile's result.
int SaveDefaults(int global, const int values[DEFAULTS_COUNT], char init_name[DEFAULTS_NAME_SIZE],
                 char exit_name[DEFAULTS_NAME_SIZE]);

// The work file of a work name: the current database's "WORK/" + name, with
// ".wrk" added unless the name ends in it. "" when the name is empty or no
// database is current.
std::string DefaultsWorkPath(const char *name);

// The autosave timer's interval in milliseconds for a number of minutes
// (0 for none), counted without overflow.
unsigned long AutosaveInterval(int minutes);
