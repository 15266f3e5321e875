// The effect database of custom effects and the grammar of its declarations:
// reading `OrvaFX`, selecting an effect, the Parameters field, the command
// line of one frame and the search for the program.
#include "editing/custom_fx.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <sys/stat.h>

#include "platform/fileio.h"

namespace {

std::vector<std::string> words_of(const std::string &text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

bool is_option(const std::string &w) {
    return w.size() >= 2 && w[0] == '-';
}

// Ends the fixed arguments of a program: a file place or an option.
bool ends_fixed(const std::string &w) {
    return w == "IN" || w == "OUT" || (!w.empty() && w[0] == '-') || w == ";";
}

std::string with_name(const char *format, const std::string &name) {
    std::vector<char> buf(std::snprintf(nullptr, 0, format, name.c_str()) + 1);
    std::snprintf(buf.data(), buf.size(), format, name.c_str());
    return buf.data();
}

// The grammar words' type and the declared option names, or 0 with the
// syntax error.
int grammar_type(const std::vector<std::string> &t, std::vector<std::string> &names,
                 std::string &message) {
    const size_t k = t.size();
    size_t from = 0, to = 0; // the option part t[from .. to)
    int type = 0;
    if (k == 0 || (k == 1 && t[0] != "IN")) {
        message = "Syntax error: 'IN' missing";
        return 0;
    }
    if (k == 1) return 1;
    if (k == 2) {
        if (t[0] == "IN" && t[1] == "OUT") return 4;
        if (t[0] == "OUT" && t[1] == "IN") return 7;
        message = "Syntax error";
        return 0;
    }
    if (t[0] == "IN") {
        if (t[1] == "OUT")
            type = 5, from = 2, to = k;
        else if (t[k - 1] == "OUT")
            type = 3, from = 1, to = k - 1;
        else
            type = 2, from = 1, to = k;
    } else if (t[0] == "OUT") {
        if (t[1] == "IN")
            type = 8, from = 2, to = k;
        else if (t[k - 1] == "IN")
            type = 6, from = 1, to = k - 1;
        else {
            message = "Syntax error";
            return 0;
        }
    } else if (t[k - 1] == "IN") {
        if (t[k - 2] == "OUT")
            type = 9, to = k - 2;
        else
            type = 10, to = k - 1;
    } else if (t[k - 1] == "OUT") {
        if (t[k - 2] != "IN") {
            message = "Syntax error: 'IN' missing";
            return 0;
        }
        type = 11, to = k - 2;
    } else {
        message = "Syntax error: last item must be 'IN' or 'OUT'";
        return 0;
    }
    for (size_t i = from; i < to; i++)
        if (type == 5 || is_option(t[i])) names.push_back(t[i]);
    if (names.size() > size_t(FX_MAX_OPTIONS)) {
        names.clear();
        message = "Syntax error in command definition";
        return 0;
    }
    return type;
}

bool regular_file(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

bool FxDatabasePath(std::string &path, std::string &message) {
    const char *dir = nullptr;
    for (const char *var : {"ORVA_RSRC", "PWD", "HOME"})
        if ((dir = std::getenv(var))) break;
    if (!dir) dir = "/";
    if (!*dir) {
        message = "Cannot find ORVA effect database";
        return false;
    }
    path = dir;
    if (path.back() != '/') path += '/';
    path += "OrvaFX";
    return true;
}

bool FxParseDatabase(const std::string &text, std::vector<FxEffect> &effects,
                     std::vector<std::string> &messages) {
    effects.clear();
    std::vector<std::string> w = words_of(text);
    size_t n = 0;
    while (n < w.size() && w[n] != "_END")
        n++;
    if (n == w.size()) {
        messages.push_back("Cannot find '_END' in ORVA_FX file");
        return false;
    }
    // Every index below stays within w: the word "_END" at n stops each loop.
    size_t i = 0;
    while (i < n) {
        const std::string name = w[i++];
        bool twice = false;
        for (const FxEffect &e : effects)
            twice = twice || e.name == name;
        if (twice) {
            messages.push_back(with_name("Syntax error: command '%s' declared twice", name));
            break;
        }
        if (w[i] != ":") {
            messages.push_back("Syntax error: ':' expected");
            break;
        }
        i++;
        if (i >= n || w[i] == ";") {
            messages.push_back("Syntax error: command name expected");
            break;
        }
        std::string description = w[i++];
        bool has_in = false, failed = false;
        for (int fixed = 0; !ends_fixed(w[i]); i++) {
            if (i >= n) {
                messages.push_back("Syntax error: ';' missing");
                failed = true;
                break;
            }
            if (++fixed > FX_MAX_FIXED_WORDS) {
                messages.push_back("Syntax error in command definition");
                failed = true;
                break;
            }
            description += " " + w[i];
        }
        for (; !failed && w[i] != ";"; i++) {
            if (i >= n) {
                messages.push_back("Syntax error: ';' missing");
                failed = true;
                break;
            }
            has_in = has_in || w[i] == "IN";
            description += " " + w[i];
        }
        if (failed) break;
        i++; // the ";"
        description += " ;";
        if (!has_in) {
            messages.push_back(with_name("Syntax error: 'IN' not found in '%s' description", name));
            continue;
        }
        if (effects.size() >= size_t(FX_MAX_EFFECTS)) {
            messages.push_back("Syntax error in command definition");
            break;
        }
        effects.push_back({name, description});
    }
    return true;
}

bool FxReadDatabase(const std::string &path, std::vector<FxEffect> &effects,
                    std::vector<std::string> &messages) {
    effects.clear();
    FILE *f = fopen_regular(path.c_str(), "r");
    if (!f) {
        messages.push_back(with_name("Cannot open %s file", path));
        return false;
    }
    std::string text;
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < size_t(FX_MAX_FILE))
        text.append(buf, got);
    std::fclose(f);
    return FxParseDatabase(text, effects, messages);
}

bool StlnSelectCommand(const std::vector<FxEffect> &effects, const std::string &name,
                       FxCommand &cmd, std::string &parameters, std::string &message) {
    cmd = FxCommand{};
    parameters.clear();
    message.clear();
    const FxEffect *e = nullptr;
    for (const FxEffect &x : effects)
        if (x.name == name) e = &x;
    if (!e) {
        message = "Couldn't find command name";
        return false;
    }
    std::vector<std::string> w = words_of(e->description);
    if (w.empty()) {
        message = "Couldn't find command description";
        return false;
    }
    size_t i = 0;
    cmd.command = w[i++];
    for (; i < w.size() && !ends_fixed(w[i]); i++)
        cmd.command += " " + w[i];
    std::vector<std::string> grammar;
    for (; i < w.size() && w[i] != ";"; i++)
        grammar.push_back(w[i]);
    for (size_t j = 0; j < grammar.size(); j++) {
        if (!is_option(grammar[j])) continue;
        cmd.option_count++;
        std::string words;
        for (size_t k = j + 1; k < grammar.size() && !is_option(grammar[k]) && grammar[k] != "IN" &&
                               grammar[k] != "OUT";
             k++)
            words += grammar[k] + " ";
        if (!words.empty()) parameters += grammar[j] + " " + words;
    }
    std::vector<std::string> names;
    cmd.type = grammar_type(grammar, names, message);
    for (const std::string &n : names)
        cmd.options.push_back({n, "", false});
    return true;
}

bool StlnParseParameters(const std::string &field, FxCommand &cmd, std::string &message) {
    std::vector<std::string> w = words_of(field);
    if (w.empty()) return true;
    if (w[0][0] != '-') {
        message = "Syntax error: parameter required";
        return false;
    }
    for (FxOption &o : cmd.options) {
        o.value.clear();
        o.set = false;
    }
    for (size_t i = 0; i < w.size();) {
        if (w[i][0] != '-') {
            i++;
            continue;
        }
        FxOption *opt = nullptr;
        for (FxOption &o : cmd.options)
            if (o.name == w[i]) opt = &o;
        if (!opt) {
            message = with_name("Syntax error: parameter '%s' not declared", w[i]);
            for (FxOption &o : cmd.options) {
                o.value.clear();
                o.set = false;
            }
            return false;
        }
        opt->value.clear();
        opt->set = true;
        i++;
        if (i < w.size()) opt->value = w[i++];
        for (; i < w.size() && w[i][0] != '-'; i++)
            opt->value += " " + w[i];
    }
    return true;
}

std::string FxShellWord(const std::string &word) {
    std::string q = "'";
    for (char c : word) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string StlnBuildCommand(const FxCommand &cmd, const std::string &in, const std::string &out) {
    std::string opts;
    for (const FxOption &o : cmd.options) {
        if (!o.set) continue;
        opts += " " + o.name;
        for (const std::string &v : words_of(o.value))
            opts += " " + FxShellWord(v);
    }
    const std::string i = " " + FxShellWord(in), o = " " + FxShellWord(out);
    // The order of the input (i), output (o) and options (p) after the
    // command, by command type 1 to 11.
    static const char *const orders[] = {"i",  "ip",  "ipo", "io", "iop", "opi",
                                         "oi", "oip", "poi", "pi", "pio"};
    if (cmd.type < 1 || cmd.type > 11) return "";
    std::string line = cmd.command;
    for (const char *k = orders[cmd.type - 1]; *k; k++)
        line += *k == 'i' ? i : *k == 'o' ? o : opts;
    return line;
}

bool FxFindProgram(const std::string &command, std::string &found, std::string &message) {
    const std::string program = command.substr(0, command.find(' '));
    found.clear();
    if (!program.empty() && program[0] == '/') {
        if (regular_file(program)) {
            found = program;
            return true;
        }
        message = with_name("Cannot find program:\n'%s'", program);
        return false;
    }
    const char *path = std::getenv("PATH");
    if (!path) path = std::getenv("PWD");
    if (!path) path = std::getenv("HOME");
    if (!path || program.empty()) {
        message = with_name("Cannot find program:\n'%s'", program);
        return false;
    }
    const std::string dirs = path;
    for (size_t from = 0; from <= dirs.size();) {
        size_t colon = dirs.find(':', from);
        if (colon == std::string::npos) colon = dirs.size();
        std::string dir = dirs.substr(from, colon - from);
        if (dir.empty()) dir = ".";
        const std::string file = dir + (dir.back() == '/' ? "" : "/") + program;
        if (regular_file(file)) {
            found = file;
            return true;
        }
        from = colon + 1;
    }
    message = with_name("Program ' %s' not in path", program);
    return false;
}
