#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The shell examples of the README, the guides in docs/ and the manual pages do what they show.

Usage: shellExamples.py KESTRUNE KESTRUNE_SELECT SOURCE_DIR

Examples are the fenced blocks of the Markdown files and the .EX/.EE blocks of the
manual pages:
- a transcript (a block with no language or "console" whose first line starts with
  "$ "; in a manual page, any such block): each command runs in turn and must print
  what the lines up to the next "$ " show, standard error included. CR LF counts as
  LF, and a last line without its line break is shown with one, as a shell does.
- a ```sh block (in a manual page, an .EX block of EXAMPLES that is no transcript):
  it must pass "sh -n", and when run exit with 0 or 1 and write nothing to standard
  error. A line "<!-- not run: REASON -->" (in a manual page '.\\" not run: REASON')
  right before the block keeps it from running.
Each file's examples run in order in one fresh directory holding build/kestrune and
build/kestrune-select (also on PATH), examples/sample.html, page.html and
pages/sample.html; the kestrune on PATH tells on standard error when it ends with 0
or 255. An example that calls an optional tool that is not installed is
skipped with the reason. Exits 1 when any example fails, 77 without the programs.
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile
from typing import NamedTuple, Optional

TIMEOUT = 60
OPTIONAL_TOOLS = ("jq", "parallel", "python3")
MD_FENCE = re.compile(r"```(\S*)\s*$")
MD_MARKER = re.compile(r"<!--\s*not run:(.*)-->\s*$")
ROFF_EXAMPLE = re.compile(r"\.EX$")
ROFF_MARKER = re.compile(r'\.\\"\s*not run:(.*)$')
ROFF_ESCAPE = re.compile(r"\\(\(..|f.|.)")
ROFF_CHARACTERS = {"-": "-", "e": "\\", "&": "", "(aq": "'", "(dq": '"', "(rs": "\\",
                   "fB": "", "fI": "", "fR": "", "fP": ""}


class Example(NamedTuple):
    line: int
    kind: str  # "transcript" or "sh"
    body: str
    not_run: Optional[str]


class DocumentError(Exception):
    pass


def marker_reason(pattern, line, where):
    match = pattern.match(line)
    if match is None:
        return None
    reason = match.group(1).strip()
    if not reason:
        raise DocumentError(f"line {where}: a 'not run' marker without its reason")
    return reason


def classify(line, body, transcripts_only, reason):
    """The example a block starting on line `line` is, or None; a marked non-example is an error."""
    if body and body[0].startswith("$ "):
        kind = "transcript"
    elif not transcripts_only:
        kind = "sh"
    else:
        kind = None
    if kind is None:
        if reason is not None:
            raise DocumentError(f"line {line}: a 'not run' marker before a block "
                                "that is not run anyway")
        return None
    return Example(line, kind, "".join(b + "\n" for b in body), reason)


def fenced_blocks(lines, opening, closing, marker):
    """(line number, opening match, body lines, not-run reason) of each block."""
    i = 0
    while i < len(lines):
        start = opening.match(lines[i])
        if start is None:
            if marker.match(lines[i]) and not opening.match("".join(lines[i + 1 : i + 2])):
                raise DocumentError(f"line {i + 1}: a 'not run' marker not right before a block")
            i += 1
            continue
        end = next((j for j in range(i + 1, len(lines)) if lines[j] == closing), None)
        if end is None:
            raise DocumentError(f"line {i + 1}: a block that is never closed")
        reason = marker_reason(marker, lines[i - 1], i) if i else None
        yield i + 1, start, lines[i + 1 : end], reason
        i = end + 1


def markdown_examples(text):
    examples = []
    for line, opening, body, reason in fenced_blocks(text.split("\n"), MD_FENCE, "```", MD_MARKER):
        language = opening.group(1)
        if language in ("sh", "", "console"):
            example = classify(line, body, language != "sh", reason)
            if example is not None:
                examples.append(example)
        elif reason is not None:
            raise DocumentError(f"line {line}: a 'not run' marker before a {language} block")
    return examples


def decode_roff(line):
    def character(match):
        name = match.group(1)
        if name not in ROFF_CHARACTERS:
            raise DocumentError(f"an escape the examples do not decode: \\{name}")
        return ROFF_CHARACTERS[name]

    return ROFF_ESCAPE.sub(character, line)


def roff_examples(text):
    lines = text.split("\n")
    sections, section = [], None
    for line in lines:
        section = line[4:].strip('" ') if line.startswith(".SH ") else section
        sections.append(section)
    examples = []
    for line, _, body, reason in fenced_blocks(lines, ROFF_EXAMPLE, ".EE", ROFF_MARKER):
        for number, request in enumerate(body, line + 1):
            if request.startswith((".", "'")):
                raise DocumentError(f"line {number}: a request inside an example")
        try:
            decoded = [decode_roff(b) for b in body]
        except DocumentError as error:
            raise DocumentError(f"line {line}: {error}") from None
        example = classify(line, decoded, sections[line - 1] != "EXAMPLES", reason)
        if example is not None:
            examples.append(example)
    return examples


def transcript_steps(body):
    """The (command, expected output) pairs of a transcript."""
    steps = []
    for line in body.split("\n")[:-1]:
        if line.startswith("$ "):
            steps.append((line[2:], []))
        else:
            steps[-1][1].append(line + "\n")
    return [(command, "".join(output)) for command, output in steps]


def missing_tools(body, path):
    called = [t for t in OPTIONAL_TOOLS if re.search(rf"(?<![\w./-]){t}(?![\w.-])", body)]
    return [tool for tool in called if shutil.which(tool, path=path) is None]


def as_shown(output):
    output = output.replace(b"\r\n", b"\n")
    return output + b"\n" if output and not output.endswith(b"\n") else output


def run_transcript(body, directory, environment):
    for command, expected in transcript_steps(body):
        result = subprocess.run(["sh", "-c", command], cwd=directory, env=environment,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, timeout=TIMEOUT)
        shown = as_shown(result.stdout).decode("utf-8", "backslashreplace")
        if shown != expected:
            difference = difflib.unified_diff(
                [repr(l) + "\n" for l in expected.splitlines(True)],
                [repr(l) + "\n" for l in shown.splitlines(True)], "shown", "printed")
            return f"$ {command}\n" + "".join(difference)
    return None


def run_sh(body, directory, environment, scratch):
    script = os.path.join(scratch, "example.sh")
    with open(script, "w", encoding="utf-8") as f:
        f.write(body)
    syntax = subprocess.run(["sh", "-n", script], capture_output=True, text=True)
    if syntax.returncode != 0:
        return "sh -n: " + syntax.stderr
    if environment is None:
        return None
    result = subprocess.run(["sh", script], cwd=directory, env=environment,
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=TIMEOUT)
    if result.returncode not in (0, 1) or result.stderr:
        return (f"status {result.returncode}\n" + result.stdout.decode("utf-8", "replace") +
                result.stderr.decode("utf-8", "replace"))
    return None


# kestrune ends with 0 when it rejects its command line (a mistyped option) and with
# 255 when it fails, both with messages on standard output: the kestrune on PATH says
# so on standard error, which fails the example even where its output is thrown away.
WRAPPER = """#!/bin/sh
'%s' "$@"
status=$?
case $status in 0 | 255) echo "kestrune ended with status $status" >&2 ;; esac
exit $status
"""


def make_fixture(directory, wrappers, programs, top):
    os.makedirs(os.path.join(directory, "build"))
    for program in programs:
        shutil.copy2(program, os.path.join(directory, "build"))
    os.makedirs(wrappers)
    wrapper = os.path.join(wrappers, "kestrune")
    with open(wrapper, "w", encoding="utf-8") as f:
        f.write(WRAPPER % os.path.join(directory, "build", os.path.basename(programs[0])))
    os.chmod(wrapper, 0o755)
    sample = os.path.join(top, "examples", "sample.html")
    for target in ("examples/sample.html", "page.html", "pages/sample.html"):
        os.makedirs(os.path.dirname(os.path.join(directory, target)), exist_ok=True)
        shutil.copy(sample, os.path.join(directory, target))


def check_document(path, examples, programs, top):
    """Runs one document's examples in order; returns how many failed."""
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        directory = os.path.join(scratch, "work")
        wrappers = os.path.join(scratch, "bin")
        make_fixture(directory, wrappers, programs, top)
        environment = {k: v for k, v in os.environ.items() if k != "KESTRUNE_CODEPAGE"}
        search = [wrappers, os.path.join(directory, "build"), os.environ["PATH"]]
        environment.update(PATH=os.pathsep.join(search), HOME=scratch, LC_ALL="C.UTF-8")
        for example in examples:
            where = f"{path}:{example.line}"
            missing = missing_tools(example.body, environment["PATH"])
            try:
                if example.kind == "sh":
                    run = example.not_run is None and not missing
                    problem = run_sh(example.body, directory, environment if run else None, scratch)
                elif example.not_run is None and not missing:
                    problem = run_transcript(example.body, directory, environment)
                else:
                    problem = None
            except subprocess.TimeoutExpired as timeout:
                problem = f"no end after {timeout.timeout} s: {timeout.cmd}"
            if problem:
                failures += 1
                print(f"FAIL {where} ({example.kind})\n{problem}")
            elif example.not_run is not None:
                print(f"not run {where}: {example.not_run}")
            elif missing:
                print(f"skipped {where}: {', '.join(missing)} not installed")
            else:
                print(f"ok {where} ({example.kind})")
    return failures


def main(kestrune, kestrune_select, top):
    programs = [kestrune, kestrune_select]
    absent = [p for p in programs if not os.access(p, os.X_OK)]
    if absent:
        print(f"SKIPPED: the programs are not built: {' '.join(absent)}")
        return 77
    documents = [("README.md", markdown_examples)]
    for folder, suffix, extract in [("docs", ".md", markdown_examples),
                                    ("man", ".1", roff_examples)]:
        documents += [(f"{folder}/{name}", extract)
                      for name in sorted(os.listdir(os.path.join(top, folder)))
                      if name.endswith(suffix)]
    failures = 0
    for name, extract in documents:
        with open(os.path.join(top, name), encoding="utf-8") as f:
            try:
                examples = extract(f.read())
            except DocumentError as error:
                print(f"FAIL {name}: {error}")
                failures += 1
                continue
        failures += check_document(name, examples, programs, top)
    print(f"{failures} example(s) failed" if failures else "every example gives what it shows")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
