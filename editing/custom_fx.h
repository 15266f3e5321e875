// Custom effects: outside programs run on every frame of a clip, declared in
// the effect database `OrvaFX`. This file holds everything about them that
// needs no toolkit: the reader of the database, the grammar of a declaration
// (where the input file, the output file and the options go), the Parameters
// field, the command line and the search for the program. The dialog lives in
// the desktop; the background job in custom_process.h.
//
// A declaration reads   NAME : PROGRAM { word } ;   with every item a
// whitespace-separated word. The words after the program and its fixed
// arguments are the grammar words: "IN", "OUT" and options ("-x" followed by
// the words that describe its value).
#pragma once

#include <string>
#include <vector>

// Counts of the effect table and of the options of one effect: a database or
// a declaration that goes beyond them is a "Syntax error in command
// definition".
constexpr int FX_MAX_EFFECTS = 50;
constexpr int FX_MAX_OPTIONS = 20;
// Most fixed arguments one program may have in a declaration.
constexpr int FX_MAX_FIXED_WORDS = 100;
// Largest effect database read (bytes).
constexpr long FX_MAX_FILE = 1 << 20;

// One declared effect: its name and its description (the program, its fixed
// arguments and the rest of the declaration, ending with " ;").
struct FxEffect {
    std::string name;
    std::string description;
};

// One declared option of the selected effect and what the user gave it.
struct FxOption {
    std::string name;  // "-r"
    std::string value; // words joined by single spaces
    bool set = false;
};

// The selected effect (copied into each job).
struct FxCommand {
    std::string command;  // program and fixed arguments
    int type = 0;         // grammar type 1 .. 11; 0 when the description is invalid
    int option_count = 0; // option words ('-' and at least one more character)
    std::vector<FxOption> options;
};

// The effect database's file name: `ORVA_RSRC`, else `PWD`, else `HOME`, else
// "/", then "/OrvaFX". False with "Cannot find ORVA effect database" when the
// chosen variable is empty.
bool FxDatabasePath(std::string &path, std::string &message);

// Reads the declarations of the database text. False (nothing listed) with
// "Cannot find '_END' in ORVA_FX file" when the word "_END" is missing.
// Otherwise true, with the effects read in file order and the messages of the
// declarations in error, each as the dialog shows it; an error that ends the
// reading keeps what was read before it.
bool FxParseDatabase(const std::string &text, std::vector<FxEffect> &effects,
                     std::vector<std::string> &messages);

// FxParseDatabase on a file; an unreadable one gives "Cannot open %s file".
bool FxReadDatabase(const std::string &path, std::vector<FxEffect> &effects,
                    std::vector<std::string> &messages);

// Selects the effect `name`: fills cmd (command, grammar type, options with
// no value set) and the Parameters template (each option word and the words
// after it, each followed by a space). Returns false with "Couldn't find
// command name" or "Couldn't find command description"; a description whose
// grammar is invalid returns true with cmd.type 0 and `message` set to the
// syntax error.
bool StlnSelectCommand(const std::vector<FxEffect> &effects, const std::string &name,
                       FxCommand &cmd, std::string &parameters, std::string &message);

// Reads the Parameters field into the options of cmd. An empty field is
// accepted (no option set). Fails with "Syntax error: parameter required"
// when it does not begin with '-', or "Syntax error: parameter '%s' not
// declared" naming the first unknown option (values are left cleared then).
bool StlnParseParameters(const std::string &field, FxCommand &cmd, std::string &message);

// A word the shell reads back as exactly `word`: single-quoted, each quote
// written as '\''.
std::string FxShellWord(const std::string &word);

// The command line of one frame: the command, the input and output files in
// the order of the grammar type, and at the options' place " name value" for
// every option set. The files and every word of a value are single-quoted
// shell words; the command and option names go as declared. "" for type 0.
std::string StlnBuildCommand(const FxCommand &cmd, const std::string &in, const std::string &out);

// Finds the program, the first word of the command: an absolute path must
// exist; otherwise it is looked for in each directory of `PATH` (unset: in
// `PWD`, else `HOME`). True with the file found; false with "Cannot find
// program:\n'%s'" or "Program ' %s' not in path".
bool FxFindProgram(const std::string &command, std::string &found, std::string &message);
