// Custom effects without the desktop: the effect database as the dialog
// reads it, the eleven grammar types and their syntax errors, the Parameters
// field, the program search, and the command line of one frame.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "editing/custom_fx.h"
#include "tests/media/reel_fixtures.h"

namespace {

using reel_test::ScopedEnv;
using reel_test::temp_dir;

// The effects of a database text, their names as "a,b," and the messages as "m|".
struct Parsed {
    std::vector<FxEffect> effects;
    std::string names, messages;
};
Parsed parse(const std::string &text) {
    Parsed p;
    std::vector<std::string> messages;
    FxParseDatabase(text, p.effects, messages);
    for (const FxEffect &e : p.effects)
        p.names += e.name + ",";
    for (const std::string &m : messages)
        p.messages += m + "|";
    return p;
}

TEST(FxDatabase, DeclarationsAndTheirErrors) {
    std::string many, fixed = "x : p";
    for (int i = 0; i <= FX_MAX_EFFECTS; i++)
        many += "e" + std::to_string(i) + " : p IN ; ";
    for (int i = 0; i <= FX_MAX_FIXED_WORDS; i++)
        fixed += " w";
    const struct {
        std::string text;
        const char *names, *messages;
    } cases[] = {
        {"blur : /usr/bin/blur -r radius IN OUT ; _END", "blur,", ""},
        {"a:b IN ; _END", "", "Syntax error: ':' expected|"},
        {"x : p OUT ; y : q IN ; _END", "y,", "Syntax error: 'IN' not found in 'x' description|"},
        {"x : p IN ; y : q IN ; x : r IN ; z : s IN ; _END", "x,y,",
         "Syntax error: command 'x' declared twice|"},
        {"x : ; _END", "", "Syntax error: command name expected|"},
        {"x : p -a IN _END", "", "Syntax error: ';' missing|"},
        {"x : p fixed _END", "", "Syntax error: ';' missing|"},
        {"x : p IN ; _END y : q IN ;", "x,", ""},
        {"x : p IN ;", "", "Cannot find '_END' in ORVA_FX file|"},
        {fixed + " IN ; _END", "", "Syntax error in command definition|"},
    };
    for (const auto &c : cases) {
        const Parsed p = parse(c.text);
        EXPECT_EQ(p.names, c.names) << c.text;
        EXPECT_EQ(p.messages, c.messages) << c.text;
    }
    // One effect too many is refused, the others are kept.
    const Parsed p = parse(many + "_END");
    EXPECT_EQ(p.effects.size(), size_t(FX_MAX_EFFECTS));
    EXPECT_EQ(p.messages, "Syntax error in command definition|");
    // Descriptions are the words joined by one blank, long words kept whole.
    EXPECT_EQ(parse("blur :\n/usr/bin/blur  -r\tradius IN OUT ; _END").effects.at(0).description,
              "/usr/bin/blur -r radius IN OUT ;");
    const std::string word(300, 'v');
    EXPECT_EQ(parse("long : p " + word + " IN ; _END").effects.at(0).description,
              "p " + word + " IN ;");
}

TEST(FxDatabase, FileAndPlace) {
    temp_dir tmp;
    // ORVA_RSRC, else PWD; an empty directory name is refused.
    const struct {
        const char *rsrc, *pwd;
        bool ok;
        std::string said;
    } places[] = {{tmp.dir().c_str(), "/x", true, tmp.dir() + "/OrvaFX"},
                  {nullptr, "/some/dir/", true, "/some/dir/OrvaFX"},
                  {"", "/x", false, "Cannot find ORVA effect database"}};
    for (const auto &p : places) {
        ScopedEnv rsrc("ORVA_RSRC", p.rsrc), pwd("PWD", p.pwd);
        std::string path, message;
        EXPECT_EQ(FxDatabasePath(path, message), p.ok);
        EXPECT_EQ(p.ok ? path : message, p.said);
    }
    std::vector<FxEffect> effects;
    std::vector<std::string> messages;
    EXPECT_FALSE(FxReadDatabase(tmp.path("OrvaFX"), effects, messages));
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot open " + tmp.path("OrvaFX") + " file"});
    EXPECT_FALSE(FxReadDatabase(tmp.dir(), effects, messages)); // a directory
}

// Each grammar: type, message, Parameters template, and the command line
// with in "i", out "o" and every declared option set to "v".
TEST(FxGrammar, ElevenTypesAndErrors) {
    struct Case {
        const char *grammar;
        int type;
        const char *message, *parameters, *line;
    } cases[] = {
        {"IN", 1, "", "", "c 'i'"},
        {"IN -a x", 2, "", "-a x ", "c 'i' -a 'v'"},
        {"IN -a x -b y OUT", 3, "", "-a x -b y ", "c 'i' -a 'v' -b 'v' 'o'"},
        {"IN OUT", 4, "", "", "c 'i' 'o'"},
        {"IN OUT w -b", 5, "", "", "c 'i' 'o' w 'v' -b 'v'"},
        {"OUT -a x IN", 6, "", "-a x ", "c 'o' -a 'v' 'i'"},
        {"OUT IN", 7, "", "", "c 'o' 'i'"},
        {"OUT IN -a x", 8, "", "-a x ", "c 'o' 'i' -a 'v'"},
        {"-a x OUT IN", 9, "", "-a x ", "c -a 'v' 'o' 'i'"},
        {"-a x IN", 10, "", "-a x ", "c -a 'v' 'i'"},
        {"-r radius IN OUT", 11, "", "-r radius ", "c -r 'v' 'i' 'o'"},
        {"OUT", 0, "Syntax error: 'IN' missing", "", ""},
        {"IN -a", 0, "Syntax error", "", ""},
        {"OUT -a x", 0, "Syntax error", "-a x ", ""},
        {"-a x OUT", 0, "Syntax error: 'IN' missing", "-a x ", ""},
        {"-a x y", 0, "Syntax error: last item must be 'IN' or 'OUT'", "-a x y ", ""},
    };
    for (const Case &c : cases) {
        const std::vector<FxEffect> effects{{"e", std::string("c ") + c.grammar + " ;"}};
        FxCommand cmd;
        std::string parameters, message;
        ASSERT_TRUE(StlnSelectCommand(effects, "e", cmd, parameters, message)) << c.grammar;
        EXPECT_EQ(cmd.type, c.type) << c.grammar;
        EXPECT_EQ(message, c.message) << c.grammar;
        EXPECT_EQ(parameters, c.parameters) << c.grammar;
        for (FxOption &o : cmd.options)
            o = {o.name, "v", true};
        EXPECT_EQ(StlnBuildCommand(cmd, "i", "o"), c.line) << c.grammar;
    }
}

TEST(FxGrammar, SelectionFailuresAndOptionCount) {
    std::string many = "p IN";
    for (int i = 0; i <= FX_MAX_OPTIONS; i++)
        many += " -o" + std::to_string(i);
    const std::vector<FxEffect> effects{
        {"e", ""}, {"f", "p fixed -a x IN -b ;"}, {"m", many + " ;"}};
    FxCommand cmd;
    std::string parameters, message;
    EXPECT_FALSE(StlnSelectCommand(effects, "g", cmd, parameters, message));
    EXPECT_EQ(message, "Couldn't find command name");
    EXPECT_FALSE(StlnSelectCommand(effects, "e", cmd, parameters, message));
    EXPECT_EQ(message, "Couldn't find command description");
    // "-a x IN -b" begins with an option and ends with neither file.
    ASSERT_TRUE(StlnSelectCommand(effects, "f", cmd, parameters, message));
    EXPECT_EQ(cmd.command, "p fixed");
    EXPECT_EQ(cmd.option_count, 2);
    EXPECT_EQ(cmd.type, 0);
    EXPECT_EQ(message, "Syntax error: last item must be 'IN' or 'OUT'");
    ASSERT_TRUE(StlnSelectCommand(effects, "m", cmd, parameters, message));
    EXPECT_EQ(cmd.type, 0);
    EXPECT_EQ(message, "Syntax error in command definition");
}

TEST(FxParameters, FieldIntoOptions) {
    const std::vector<FxEffect> effects{{"blur", "/usr/bin/blur -r radius -s a b IN OUT ;"}};
    struct Case {
        const char *field, *message, *line;
    } cases[] = {
        {"", "", "/usr/bin/blur 'in' 'out'"},
        {"-r 5", "", "/usr/bin/blur -r '5' 'in' 'out'"},
        {"  -s 1   2 -r 3", "", "/usr/bin/blur -r '3' -s '1' '2' 'in' 'out'"},
        {"-r -5", "", "/usr/bin/blur -r '-5' 'in' 'out'"},
        {"-s", "", "/usr/bin/blur -s 'in' 'out'"},
        {"5 -r", "Syntax error: parameter required", nullptr},
        {"-x 1", "Syntax error: parameter '-x' not declared", nullptr},
    };
    for (const Case &c : cases) {
        FxCommand cmd;
        std::string parameters, message;
        ASSERT_TRUE(StlnSelectCommand(effects, "blur", cmd, parameters, message));
        EXPECT_EQ(StlnParseParameters(c.field, cmd, message), c.line != nullptr) << c.field;
        EXPECT_EQ(message, c.message) << c.field;
        if (c.line) {
            EXPECT_EQ(StlnBuildCommand(cmd, "in", "out"), c.line) << c.field;
        }
    }
}

TEST(FxProgram, FoundInPathPwdOrAsAbsolutePath) {
    temp_dir a, b;
    const std::string prog = b.path("fxprog");
    reel_test::write_file(prog, {});
    std::string found, message;
    {
        ScopedEnv path("PATH", (a.dir() + ":" + b.dir()).c_str());
        EXPECT_TRUE(FxFindProgram("fxprog -x IN", found, message));
        EXPECT_EQ(found, prog);
        EXPECT_FALSE(FxFindProgram("nosuch IN", found, message));
        EXPECT_EQ(message, "Program ' nosuch' not in path");
    }
    {
        ScopedEnv path("PATH", nullptr), pwd("PWD", b.dir().c_str());
        EXPECT_TRUE(FxFindProgram("fxprog", found, message));
        EXPECT_EQ(found, prog);
    }
    {
        ScopedEnv path("PATH", nullptr), pwd("PWD", nullptr), home("HOME", nullptr);
        EXPECT_FALSE(FxFindProgram("fxprog", found, message));
        EXPECT_EQ(message, "Cannot find program:\n'fxprog'");
    }
    EXPECT_TRUE(FxFindProgram(prog + " a", found, message));
    EXPECT_FALSE(FxFindProgram(a.path("fxprog"), found, message));
    EXPECT_EQ(message, "Cannot find program:\n'" + a.path("fxprog") + "'");
}

TEST(FxQuoting, ShellReadsBackEveryWordLiterally) {
    temp_dir tmp;
    const std::string pwned = tmp.path("pwned");
    for (const std::string &w :
         {std::string("plain"), std::string("two words"), std::string("it's"), std::string("a;b"),
          "$(touch " + pwned + ")", "`touch " + pwned + "`", std::string("\"q\""),
          std::string("\\"), std::string("*"), std::string("$HOME"), std::string("-")}) {
        const auto r = reel_test::run_command("printf '%s' " + FxShellWord(w));
        EXPECT_EQ(r.status, 0) << w;
        EXPECT_EQ(r.out, w);
    }
    struct stat st;
    EXPECT_NE(stat(pwned.c_str(), &st), 0);
}

} // namespace
