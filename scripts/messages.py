#!/usr/bin/env python3
"""Collects every text the program can show in a message box and writes
docs/messages.md from it, with the explanations of
scripts/messages_explained.txt.

    scripts/messages.py          write docs/messages.md
    scripts/messages.py --check  fail (exit 1) when a message has no
                                 explanation, an explanation has no message,
                                 a message call takes its text from somewhere
                                 this script does not know, or docs/messages.md
                                 is out of date
    scripts/messages.py --list   print the messages found, one a line

Texts come from two places:
  - calls of the message boxes and their thin wrappers (CARRIERS), whose
    text argument is a string literal, a choice between literals, or an
    expression named in INDIRECT;
  - the tables and functions that hold message texts (SOURCES): every
    string literal of the statements they match is a message.
Where a text is built from pieces, the parts filled in at run time show
as "…".
"""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["ui", "editing", "desktop", "database", "vtr", "media", "device"]
EXPLAINED = os.path.join(ROOT, "scripts", "messages_explained.txt")
OUTPUT = os.path.join(ROOT, "docs", "messages.md")

# Function name -> index of the argument holding the text.
CARRIERS = {
    "PutCharMessage": 1,
    "Warning": 1,
    "WaitMessage": 2,
    "ProcessMessage": 0,
    # Local wrappers of PutCharMessage; the custom effect dialog's takes the
    # parent widget first.
    "say": {"*": 0, "desktop/standalone_fx.cpp": 1},
    "show_message": 1,
    "message": 0,  # process end messages (desktop/processes.cpp)
    # Local question helpers, by file.
    "ask": {"database/db_delete.cpp": 2, "desktop/close_windows.cpp": 0},
}

# Text arguments that are not literals, by file, each with where its texts
# come from (a SOURCES entry collects them). A new non-literal call must be
# added here, with its texts made reachable through SOURCES.
INDIRECT = {
    ("desktop/preview_window.cpp", "p->message"),
    ("desktop/preview_window.cpp", "text"),
    ("desktop/preview_window.cpp", "kMissing"),
    ("desktop/display_window.cpp", "text"),
    ("desktop/display_window.cpp", "d->message"),
    ("desktop/display_window.cpp", "(d->flags & DISP_MISSING) ? kBeingMade : kMissing"),
    ("desktop/clip_windows.cpp", "(msg + base).c_str()"),
    ("desktop/import_dialog.cpp", "message.c_str()"),
    ("desktop/import_dialog.cpp", "text.c_str()"),
    ("desktop/export_commands.cpp", "text"),
    ("desktop/clip_operations.cpp", "text"),
    ("desktop/close_windows.cpp", "text"),
    ("desktop/processes.cpp", "text"),
    ("desktop/startup.cpp", "text"),
    ("desktop/startup.cpp", "no_db.c_str()"),
    ("desktop/db_hooks.cpp", "msg"),
    ("desktop/work_files.cpp", "WORK_SAVE_ERROR"),
    ("desktop/work_files.cpp", "code"),
    ("desktop/work_files.cpp", "report"),
    ("desktop/work_files.cpp", "WorkMessage(code)"),
    ("desktop/clip_window.cpp", "kInProgress"),
    ("desktop/edl_collect.cpp", "text"),
    ("desktop/edl_collect.cpp", "remarks.c_str()"),
    ("desktop/frame_stepping.cpp", "kInProgress"),
    ("desktop/tape_sequence.cpp", "s->error_text_"),
    ("database/db_copy.cpp", "msg"),
    ("database/db_copy.cpp", "COPY_FAILED"),
    ("database/db_delete.cpp", "none"),
    ("database/db_export.cpp", "r.message"),
    ("database/db_export.cpp", "EXPORT_MSG_OVERWRITE"),
    ("desktop/effects_dialog.cpp", "text"),
    ("desktop/grab.cpp", "text.c_str()"),
    ("desktop/grab_d1.cpp", "errors.c_str()"),
    ("desktop/standalone_fx.cpp", "text.c_str()"),
    ("desktop/standalone_fx.cpp", "message"),
    ("desktop/standalone_fx.cpp", "m"),
    ("desktop/standalone_fx.cpp", "s->syntax"),
    ("desktop/standalone_fx.cpp", "text"),
    ("vtr/vtr_panel_marks.cpp", "GrabAddMessage(r)"),
    ("vtr/vtr_panel_marks.cpp", "message.c_str()"),
}

# (file glob, statement start[, how]): the string literals of each matching
# statement (to its ';') make one message. how "printf": the first literal is
# a format whose %s take the following literals, "…" where none is left.
SOURCES = [
    ("editing/work_file.h", r"\bX(?=\(WORK_\w+,)", "call"),
    ("editing/export.cpp", r"\bconst char \*const EXPORT_MSG_\w+ ="),
    ("desktop/*.cpp", r"\bconstexpr const char \*k\w+ ="),
    ("database/*.cpp", r"\bconstexpr const char \*[A-Z_]+ ="),
    ("editing/import.cpp", r"\bmessage = "),
    ("database/db_copy.cpp", r"\breturn \""),
    ("desktop/clip_windows.cpp", r"\bstd::string msg =", "…"),
    ("desktop/import_dialog.cpp", r"\b(const )?std::string text =\s*std::string\(\"Environment"),
    ("desktop/startup.cpp", r"\breturn \"No database"),
    ("editing/custom_fx.cpp", r"\bmessages?(\.push_back\(| = )", "printf"),
    ("editing/custom_process.cpp", r"\b(const char \*error|message) = \""),
    ("vtr/grab_list.cpp", r"\breturn \""),
    ("vtr/edl_write.cpp", r"\breturn fail\(", "printf"),
    ("desktop/edl_collect.cpp", r"\bsnprintf\(text, sizeof text, ", "printf"),
]
# Texts built over several statements: (file, first statement, variable).
BUILT = [
    ("desktop/startup.cpp", r"std::string text = \"No database found", "text"),
]
# Texts put together from pieces by code this script cannot read, written out
# here: (file, text that must still be in it, the message as shown). A
# template whose text is gone from its file is reported.
TEMPLATES = [
    ("desktop/grab.cpp", r'"Grab error:\\n"', "Grab error: / … / Can't resume clip: / …"),
    ("desktop/grab.cpp", r'"Grab warning:\\n"', "Grab warning: / … / Trying to resume clip: / …"),
    ("desktop/grab.cpp", r'"\\n\\nClear the well grabbed from the list\?"',
     "… / Clear the well grabbed from the list?"),
    ("desktop/grab_d1.cpp", r'"Grab error:\\n"', "Grab error: / … / Can't resume clip: / …"),
    ("desktop/edl_collect.cpp", r'"Lines of the list not collected as they stand:"',
     "Lines of the list not collected as they stand: / line … skipped: … / line … taken …"),
]
# Constants collected by SOURCES that are never shown.
NOT_SHOWN = {"No file name given"}

LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')


def strip_comments(src):
    out, i, n = [], 0, len(src)
    while i < n:
        c = src[i]
        if c == '"' or c == "'":
            j = i + 1
            while j < n and src[j] != c:
                j += 2 if src[j] == "\\" else 1
            out.append(src[i : j + 1])
            i = j + 1
        elif src.startswith("//", i):
            j = src.find("\n", i)
            i = n if j < 0 else j
        elif src.startswith("/*", i):
            j = src.find("*/", i + 2)
            i = n if j < 0 else j + 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def unescape(s):
    return s.replace("\\n", "\n").replace('\\"', '"').replace("\\t", "\t").replace("\\\\", "\\")


def skip_literal(src, i):
    q = src[i]
    j = i + 1
    while j < len(src) and src[j] != q:
        j += 2 if src[j] == "\\" else 1
    return j + 1


def call_args(src, open_paren):
    """Arguments (texts) of the call whose '(' is at open_paren."""
    args, depth, start, i = [], 0, open_paren + 1, open_paren
    while i < len(src):
        c = src[i]
        if c in "\"'":
            i = skip_literal(src, i)
            continue
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                args.append(src[start:i].strip())
                return args
        elif c == "," and depth == 1:
            args.append(src[start:i].strip())
            start = i + 1
        i += 1
    return args


def statement(src, at):
    depth, i = 0, at
    while i < len(src):
        c = src[i]
        if c in "\"'":
            i = skip_literal(src, i)
            continue
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif (c == ";" and depth <= 0) or depth < 0:
            return src[at:i]
        i += 1
    return src[at:]


def render(expr):
    """The text an expression of literals and run-time parts shows."""
    parts, last, text = [], 0, ""
    for m in LITERAL.finditer(expr):
        between = expr[last : m.start()].strip(" +\n()")
        between = re.sub(r"^std::string$", "", between)
        if between and parts:
            parts.append("…")
        parts.append(unescape(m.group(1)))
        last = m.end()
    tail = expr[last:].strip(" +\n()")
    tail = re.sub(r"^\.c_str$", "", tail)
    if tail and parts:
        parts.append("…")
    text = "".join(parts)
    return text


def printf(expr):
    """The text of a printf-style call: the first literal with its %s
    filled by the literals after it, "…" where none is left."""
    lits = [unescape(m.group(1)) for m in LITERAL.finditer(expr)]
    if not lits:
        return ""
    rest = lits[1:]
    return re.sub(r"%[sd]", lambda _: rest.pop(0) if rest else "…", lits[0])


def wrapped(expr):
    """expr without parentheses around the whole of it."""
    expr = expr.strip()
    while expr.startswith("(") and expr.endswith(")"):
        depth, i = 0, 0
        while i < len(expr):
            c = expr[i]
            if c in "\"'":
                i = skip_literal(expr, i)
                continue
            if c == "(":
                depth += 1
            elif c == ")":
                depth -= 1
                if depth == 0 and i != len(expr) - 1:
                    return expr
            i += 1
        expr = expr[1:-1].strip()
    return expr


def alternatives(expr):
    """A choice `c ? "a" : "b"` at the top level gives both texts."""
    expr = wrapped(expr)
    depth, q = 0, -1
    i = 0
    while i < len(expr):
        c = expr[i]
        if c in "\"'":
            i = skip_literal(expr, i)
            continue
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == "?" and depth == 0 and q < 0:
            q = i
        elif c == ":" and depth == 0 and q >= 0 and expr[i + 1 : i + 2] != ":" and expr[i - 1] != ":":
            return alternatives(expr[q + 1 : i]) + alternatives(expr[i + 1 :])
        i += 1
    return [expr.strip()]


def sources():
    files = []
    for folder in FOLDERS:
        files += glob.glob(os.path.join(ROOT, folder, "**", "*.cpp"), recursive=True)
        files += glob.glob(os.path.join(ROOT, folder, "**", "*.h"), recursive=True)
    return sorted(files)


def collect():
    found = {}  # text -> set of "file:line"
    problems = []
    seen_indirect = set()
    texts = {}
    for path in sources():
        rel = os.path.relpath(path, ROOT)
        with open(path, encoding="utf-8") as f:
            texts[rel] = strip_comments(f.read())

    def add(text, rel, src, at):
        text = shown(text)
        if not text.strip() or text in NOT_SHOWN:
            return
        line = src.count("\n", 0, at) + 1
        found.setdefault(text, set()).add(f"{rel}:{line}")

    names = "|".join(CARRIERS)
    call = re.compile(r"(?<![\w.>:])(" + names + r")\s*\(")
    for rel, src in texts.items():
        for m in call.finditer(src):
            name = m.group(1)
            before = src[max(0, m.start() - 40) : m.start()]
            # Skip declarations and definitions of the carriers.
            if re.search(r"(Widget|void|bool|int|\*)\s*$", before):
                continue
            args = call_args(src, m.end() - 1)
            idx = CARRIERS[name]
            if isinstance(idx, dict):
                idx = idx.get(rel, idx.get("*"))
                if idx is None:
                    continue
            if len(args) <= idx:
                continue
            arg = " ".join(args[idx].split())
            for alt in alternatives(arg):
                if LITERAL.search(alt):
                    add(render(alt), rel, src, m.start())
                elif (rel, alt) in INDIRECT:
                    seen_indirect.add((rel, alt))
                elif (rel, arg) in INDIRECT:
                    seen_indirect.add((rel, arg))
                else:
                    line = src.count("\n", 0, m.start()) + 1
                    problems.append(
                        f"{rel}:{line}: {name}() shows '{alt}', which this script cannot "
                        "follow: add it to INDIRECT and its texts to SOURCES in scripts/messages.py"
                    )
    for rel, arg in sorted(INDIRECT - seen_indirect):
        problems.append(f"{rel}: no message call shows '{arg}' any more: remove it from INDIRECT")
    for pattern, start, *how in SOURCES:
        hits = 0
        for path in glob.glob(os.path.join(ROOT, pattern)):
            rel = os.path.relpath(path, ROOT)
            src = texts.get(rel)
            if src is None:
                continue
            for m in re.finditer(start, src):
                hits += 1
                if how == ["call"]:
                    stmt = ",".join(call_args(src, m.end()))
                else:
                    stmt = statement(src, m.start())
                for alt in alternatives(stmt):
                    suffix = "".join(how) if how not in (["call"], ["printf"]) else ""
                    text = printf(alt) if how == ["printf"] else render(alt)
                    add(text + suffix if text else "", rel, src, m.start())
        if not hits:
            problems.append(f"{pattern}: '{start}' matches nothing any more: update SOURCES")
    for rel, must, text in TEMPLATES:
        src = texts.get(rel, "")
        m = re.search(must, src)
        if not m:
            problems.append(f"{rel}: '{must}' matches nothing any more: update TEMPLATES")
            continue
        add(text, rel, src, m.start())
    for rel, start, var in BUILT:
        src = texts.get(rel, "")
        m = re.search(start, src)
        if not m:
            problems.append(f"{rel}: '{start}' matches nothing any more: update BUILT")
            continue
        pieces = [render(statement(src, m.start()).split("=", 1)[1])]
        at = m.start()
        for n in re.finditer(r"\b" + var + r"\s*\+=", src[m.start() :]):
            stmt = statement(src, m.start() + n.end())
            alts = alternatives(stmt)
            rendered = [render(a) for a in alts if LITERAL.search(a)]
            if len(alts) > 1 or not rendered:
                pieces.append("…")
            else:
                pieces.append(rendered[0])
            if re.search(r"\breturn\b", src[m.start() + n.end() + len(stmt) : m.start() + n.end() + len(stmt) + 40]):
                break
        text = re.sub(r"(…\n?)+", "…", "".join(pieces))
        add(text, rel, src, at)
    return found, problems


def read_explained():
    """Explanations: blocks of 'message:' lines (the text on one line, its
    lines joined by " / ") followed by 'what:' and free lines up to a blank
    line."""
    out, order = {}, []
    with open(EXPLAINED, encoding="utf-8") as f:
        blocks = f.read().split("\n\n")
    for block in blocks:
        lines = [l for l in block.splitlines() if not l.startswith("#")]
        if not lines:
            continue
        keys, what = [], []
        for l in lines:
            if l.startswith("message: "):
                keys.append(l[len("message: ") :].strip())
            elif l.startswith("what: "):
                what.append(l[len("what: ") :])
            elif what:
                what.append(l.strip())
        for k in keys:
            out[k] = " ".join(what)
            order.append(k)
    return out, order


def shown(text):
    """A message on one line: its lines joined by " / "."""
    return " / ".join(l.strip() for l in text.split("\n") if l.strip())


def markdown(found, explained):
    lines = [
        "# Messages",
        "",
        "Every text Orva shows in a message box, with what it means and what to",
        "do about it. Made by `scripts/messages.py` from the program's sources;",
        "edit the explanations in `scripts/messages_explained.txt`, never this",
        "file. Line breaks of a message show as \" / \"; \"…\" stands for a name",
        "or number filled in when the message is shown.",
        "",
        "| message | what it means, what to do |",
        "|---|---|",
    ]
    for text in sorted(found, key=lambda t: t.lower()):
        cell = text.replace("|", "\\|")
        lines.append(f"| {cell} | {explained.get(text, '')} |")
    return "\n".join(lines) + "\n"


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else ""
    found, problems = collect()
    if mode == "--list":
        for t in sorted(found):
            print(repr(t), " ".join(sorted(found[t])))
        return 1 if problems else 0
    explained, order = read_explained()
    for t in sorted(found):
        if t not in explained:
            problems.append(
                f"no explanation for {t!r} ({', '.join(sorted(found[t]))}): "
                "add it to scripts/messages_explained.txt"
            )
    for t in order:
        if t not in found:
            problems.append(f"explained message {t!r} is no longer shown: remove it")
    text = markdown(found, explained)
    if mode == "--check":
        try:
            with open(OUTPUT, encoding="utf-8") as f:
                if f.read() != text:
                    problems.append("docs/messages.md is out of date: run scripts/messages.py")
        except OSError:
            problems.append("docs/messages.md is missing: run scripts/messages.py")
    elif not problems:
        os.makedirs(os.path.dirname(OUTPUT), exist_ok=True)
        with open(OUTPUT, "w", encoding="utf-8") as f:
            f.write(text)
    for p in problems:
        print("messages:", p, file=sys.stderr)
    if not problems and mode == "--check":
        print(f"messages: {len(found)} messages, all explained")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
