#!/usr/bin/env python3
"""Checks the examples and the quoted messages of the documentation against
the programs themselves.

    check_docs.py <source dir> <modules dir> examples|messages|self_test

Examples. A block of a document that shows an input, a command or a result
carries a mark naming what it must equal:

    HTML      <pre data-check="WHAT">...</pre>
    Markdown  <!-- check: WHAT --> on the line before an indented or fenced block
    man page  .\\" check: WHAT  on the line before a .nf/.fi or .EX/.EE block

where WHAT is one of

    input PATH        the file PATH of the source tree
    cmd NAME          the commands of example NAME (tests/docs/examples/NAME/cmd)
    stdout NAME       what those commands print
    file NAME PATH    the file PATH they leave behind

An example is a folder tests/docs/examples/NAME/ holding `cmd` (shell
commands, run with bash), any input files it needs, and optionally `inputs`,
whose lines "NAME PATH" copy the file PATH of the source tree in as NAME (so
that a page can show examples/family.txt as the family.txt its command
reads). It runs in a scratch
folder holding those files, a copy of examples/, and build/modules/ (the
programs); the programs are on the PATH too. A line "..." in a block stands
for any number of lines of the real text; every other line must be equal.

Messages. Every message a document quotes must be a text the program prints:

    HTML      the text of an element with class="msg" (the page's program,
              or any program on a page that is not a program's)
    Markdown  a double-quoted text that starts like a message; in a table row
              it belongs to the programs named in the row's second column
    man page  a .B line of the DIAGNOSTICS section (the page's program)

The message is searched, as a whole line or part of one, in what the golden
cases and the examples show the program printing, and in the strings of the
program itself (for messages no test can bring about, such as running out of
memory). %s, %d, %ld, %c, %f and <word> stand for any text.
"""
import html
import os
import re
import shutil
import subprocess
import sys
import tempfile

PROGRAMS = {"Quorel": "checker", "Tavisk": "stacker", "Nembril": "tracer", "Folvane": "inbreeding"}
MESSAGE_STARTS = ("Error:", "Error :", "Error occurred", "Output file open error", "Loop error occurred", "Checking pedigree information",
                  "Note :", "Pruned...", " Pedigree is not", " Animal ID", " Sire ID")


def documents(src):
    docs = []
    for folder, pattern in (("help", r".*\.htm$"), ("help/manual", r".*\.html$"), ("man", r".*\.1$"), (".", r"README\.md$")):
        path = os.path.join(src, folder)
        for name in sorted(os.listdir(path)):
            if re.match(pattern, name):
                docs.append(os.path.join(path, name))
    return docs


def program_of(doc):
    name = os.path.basename(doc)
    for program in PROGRAMS:
        if name.startswith(program + "_help") or name == program + ".1":
            return [program]
    return list(PROGRAMS)


# --- blocks -----------------------------------------------------------------

def html_text(text):
    return html.unescape(re.sub(r"<[^>]*>", "", text))


def roff_text(line):
    for a, b in (("\\-", "-"), ("\\e", "\\"), ("\\(dq", '"'), ("\\(aq", "'"), ("\\&", ""), ("\\ ", " ")):
        line = line.replace(a, b)
    return line


def marked_blocks(doc):
    """(line number, what, lines) for every marked block of a document."""
    text = open(doc, encoding="utf-8").read()
    blocks = []
    if doc.endswith((".htm", ".html")):
        for m in re.finditer(r'<pre data-check="([^"]*)">(.*?)</pre>', text, re.S):
            line = text.count("\n", 0, m.start()) + 1
            body = html_text(m.group(2))
            blocks.append((line, m.group(1).split(), body.split("\n")))
        return blocks
    lines = text.split("\n")
    for i, line in enumerate(lines):
        if doc.endswith(".md"):
            m = re.match(r"\s*<!-- check: (.*) -->\s*$", line)
            if not m:
                continue
            j = i + 1
            while j < len(lines) and lines[j].strip() == "":
                j += 1
            body = []
            if lines[j].startswith("```"):
                j += 1
                while not lines[j].startswith("```"):
                    body.append(lines[j])
                    j += 1
            else:
                while j < len(lines) and (lines[j].startswith("    ") or lines[j] == ""):
                    body.append(lines[j][4:])
                    j += 1
                while body and body[-1] == "":
                    body.pop()
            blocks.append((i + 1, m.group(1).split(), body))
        else:
            m = re.match(r'\.\\" check: (.*)$', line)
            if not m:
                continue
            j = i + 1
            assert lines[j] in (".nf", ".EX"), f"{doc}:{j + 1}: a check mark must stand before .nf or .EX"
            body = []
            j += 1
            while lines[j] not in (".fi", ".EE"):
                body.append(roff_text(lines[j]))
                j += 1
            blocks.append((i + 1, m.group(1).split(), body))
    return blocks


def matches(shown, real):
    """Whether the lines shown equal the real ones, "..." standing for any number of lines."""
    if not shown:
        return not real
    if shown[0].strip() == "...":
        return any(matches(shown[1:], real[k:]) for k in range(len(real) + 1))
    return bool(real) and shown[0] == real[0] and matches(shown[1:], real[1:])


class Examples:
    def __init__(self, src, modules):
        self.src, self.modules = os.path.abspath(src), os.path.abspath(modules)
        self.runs = {}
        self.scratch = tempfile.mkdtemp(prefix="haldor-docs.")

    def folder(self, name):
        return os.path.join(self.src, "tests", "docs", "examples", name)

    def run(self, name):
        if name in self.runs:
            return self.runs[name]
        example = self.folder(name)
        if not os.path.isfile(os.path.join(example, "cmd")):
            raise SystemExit(f"no example {name} (tests/docs/examples/{name}/cmd)")
        work = os.path.join(self.scratch, name)
        shutil.copytree(os.path.join(self.src, "examples"), os.path.join(work, "examples"))
        for f in os.listdir(example):
            if f not in ("cmd", "inputs"):
                shutil.copy(os.path.join(example, f), work)
        if os.path.isfile(os.path.join(example, "inputs")):
            for line in open(os.path.join(example, "inputs"), encoding="utf-8"):
                if line.strip():
                    copy_name, path = line.split()
                    shutil.copy(os.path.join(self.src, path), os.path.join(work, copy_name))
        os.makedirs(os.path.join(work, "build"))
        os.symlink(self.modules, os.path.join(work, "build", "modules"))
        env = dict(os.environ, PATH=self.modules + os.pathsep + os.environ["PATH"])
        env.pop("POSIXLY_CORRECT", None)
        result = subprocess.run(["bash", "-e", os.path.join(example, "cmd")], cwd=work, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.runs[name] = (work, result.stdout.decode("utf-8", "replace"))
        return self.runs[name]

    def real(self, what):
        kind = what[0]
        if kind == "input":
            return open(os.path.join(self.src, what[1]), encoding="utf-8").read()
        if kind == "cmd":
            self.run(what[1])
            return open(os.path.join(self.folder(what[1]), "cmd"), encoding="utf-8").read()
        if kind == "stdout":
            return self.run(what[1])[1]
        if kind == "file":
            work = self.run(what[1])[0]
            return open(os.path.join(work, what[2]), encoding="utf-8", errors="replace").read()
        raise SystemExit(f"unknown check {' '.join(what)}")


def check_examples(src, modules):
    examples = Examples(src, modules)
    failures = checked = 0
    used = set()
    try:
        for doc in documents(src):
            for line, what, shown in marked_blocks(doc):
                real = examples.real(what)
                if what[0] != "input":
                    used.add(what[1])
                real_lines = real.split("\n")
                if real_lines and real_lines[-1] == "":
                    real_lines.pop()
                checked += 1
                if not matches(shown, real_lines):
                    failures += 1
                    print(f"{os.path.relpath(doc, src)}:{line}: the block marked '{' '.join(what)}' differs")
                    print("  shown:\n    " + "\n    ".join(shown))
                    print("  real:\n    " + "\n    ".join(real_lines))
        for name in sorted(os.listdir(os.path.join(src, "tests", "docs", "examples"))):
            if name not in used:
                failures += 1
                print(f"example {name} is shown by no document")
    finally:
        shutil.rmtree(examples.scratch, ignore_errors=True)
    print(f"{checked} marked blocks checked, {failures} failures")
    return failures == 0


# --- messages -----------------------------------------------------------------

def quoted_messages(doc):
    """(line number, message, programs) for every message a document quotes."""
    text = open(doc, encoding="utf-8").read()
    found = []
    if doc.endswith((".htm", ".html")):
        for m in re.finditer(r'<(\w+) class="msg">(.*?)</\1>', text, re.S):
            line = text.count("\n", 0, m.start()) + 1
            for part in re.split(r"<br\s*/?>", m.group(2)):
                found.append((line, html_text(part), program_of(doc)))
        for m in re.finditer(r'"([^"\n]*)"', html_text(text)):
            if m.group(1).startswith(MESSAGE_STARTS):
                found.append((0, m.group(1), program_of(doc)))
        return found
    lines = text.split("\n")
    if doc.endswith(".md"):
        for i, line in enumerate(lines):
            cells = [c.strip() for c in line.strip().strip("|").split(" | ")]
            if line.startswith("| ") and len(cells) > 2:
                # A table row: the messages of its first cell, for the programs of its second.
                named = [p for p in PROGRAMS if p in cells[1]]
                programs = named if named and cells[1] != "all" else list(PROGRAMS)
                candidates = re.findall(r'"(.+?)"(?=$| \(|, |\)|;| then)', cells[0])
            else:
                programs = list(PROGRAMS)
                candidates = re.findall(r'"([^"]+)"', line)
            for message in candidates:
                if message.startswith(MESSAGE_STARTS):
                    found.append((i + 1, message, programs))
        return found
    section = ""
    for i, line in enumerate(lines):
        if line.startswith(".SH"):
            section = line[3:].strip().strip('"')
        elif section == "DIAGNOSTICS" and line.startswith(".B "):
            message = roff_text(line[3:])
            if message.startswith('"') and message.endswith('"'):
                message = message[1:-1]
            found.append((i + 1, message, program_of(doc)))
    return found


def pattern(message):
    parts = re.split(r"(%l?[sdcf]|<[A-Za-z_ ]+>)", message)
    return re.compile("".join(".+" if k % 2 else re.escape(p) for k, p in enumerate(parts)))


def program_texts(src, modules, program):
    """Lines the program is seen printing, and the strings of its executable."""
    texts = []
    golden = os.path.join(src, "tests", "golden", PROGRAMS[program])
    for folder, _, files in os.walk(golden):
        if os.sep + "expected" in folder:
            for f in files:
                texts += open(os.path.join(folder, f), encoding="utf-8", errors="replace").read().split("\n")
    binary = open(os.path.join(modules, program), "rb").read()
    for s in re.findall(rb"[\x20-\x7e\n\t]{4,}", binary):
        texts += s.decode("ascii").split("\n")
    return texts


def example_texts(src, modules):
    """What the examples show each program printing, by the programs their commands name."""
    examples = Examples(src, modules)
    texts = {}
    try:
        for name in sorted(os.listdir(os.path.join(src, "tests", "docs", "examples"))):
            cmd = open(os.path.join(examples.folder(name), "cmd"), encoding="utf-8").read()
            for program in PROGRAMS:
                if program in cmd:
                    texts.setdefault(program, []).extend(examples.run(name)[1].split("\n"))
    finally:
        shutil.rmtree(examples.scratch, ignore_errors=True)
    return texts


def check_messages(src, modules):
    extra_texts = example_texts(src, modules)
    texts = {p: program_texts(src, modules, p) + extra_texts.get(p, []) for p in PROGRAMS}
    failures = checked = 0
    for doc in documents(src):
        for line, message, programs in quoted_messages(doc):
            checked += 1
            rx = pattern(message)
            missing = [p for p in programs if not any(rx.search(t) for t in texts[p])]
            # A page that is not about one program may quote any program's message.
            if len(programs) == len(PROGRAMS) and len(missing) < len(PROGRAMS):
                missing = []
            if missing:
                failures += 1
                print(f"{os.path.relpath(doc, src)}:{line}: \"{message}\" is not printed by {', '.join(missing)}")
    print(f"{checked} quoted messages checked, {failures} failures")
    return failures == 0


def self_test(src, modules):
    """The check itself catches drift: a copy of the documents with one example
    line and one message changed must fail, the unchanged copy must pass."""
    import contextlib
    import io
    ok = True
    for shown, real, expected in ((["a", "...", "d"], ["a", "b", "c", "d"], True), (["a", "..."], ["a"], True),
                                  (["..."], [], True), (["a", "b"], ["a", "c"], False),
                                  (["a"], ["a", "b"], False), (["...", "x"], ["a", "b"], False)):
        if matches(shown, real) != expected:
            print(f"matches({shown}, {real}) is not {expected}")
            ok = False
    work = tempfile.mkdtemp(prefix="haldor-docs-self.")
    try:
        for folder in ("help", "man", "examples", "tests/docs", "tests/golden"):
            shutil.copytree(os.path.join(src, folder), os.path.join(work, folder))
        shutil.copy(os.path.join(src, "README.md"), work)
        quiet = io.StringIO()
        with contextlib.redirect_stdout(quiet):
            clean = check_examples(work, modules) and check_messages(work, modules)
        if not clean:
            print("the unchanged copy fails:\n" + quiet.getvalue())
            ok = False
        for doc, old, new, check in (
                ("help/Folvane_help.htm", "D1 C1 C2 2.666667 0.312500", "D1 C1 C2 2.666667 0.312000", "examples"),
                ("help/Tavisk_help.htm", "Error: Missing entry for", "Error: No entry for", "messages"),
                ("man/Nembril.1", "Ouf of Memory", "Out of Memory", "messages")):
            path = os.path.join(work, doc)
            text = open(path, encoding="utf-8").read()
            assert old in text, (doc, old)
            open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
            with contextlib.redirect_stdout(io.StringIO()):
                passed = (check_examples(work, modules) if check == "examples"
                          else check_messages(work, modules))
            if passed:
                print(f"{doc}: '{old}' changed to '{new}' is not caught")
                ok = False
            open(path, "w", encoding="utf-8").write(text)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("self test " + ("passed" if ok else "failed"))
    return ok


def main():
    src, modules, what = sys.argv[1], sys.argv[2], sys.argv[3]
    if what == "self_test":
        ok = self_test(src, modules)
    elif what == "examples":
        ok = check_examples(src, modules)
    else:
        ok = check_messages(src, modules)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
