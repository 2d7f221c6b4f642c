#!/usr/bin/env python3
"""Runs the command examples of README.md and docs/*.md and compares their output.

An example is checked when the line right above its fence is

    <!-- checked example -->
    <!-- checked example after: COMMAND -->

In the block, a line "$ COMMAND" (continued by lines while one ends in a
backslash) is run with bash from the repository's root, and the lines up to
the next "$ " line are what it prints, stdout and stderr together. COMMAND in
the marker runs first, unseen (it must succeed). Each block runs in a folder
of its own: "/tmp/" in a command names that folder, and the folder's path in
the output is shown as "/tmp" again, so paths are the only difference allowed.
Only examples that run natively in seconds without secrets are marked.

    python3 tests/scripts/docs_examples_test.py [--update] [ROOT]

--update writes what the commands print into the pages instead, for review
with git diff after a change of the tools' output.
"""
import os
import re
import subprocess
import sys
import tempfile

from docs_links_test import pages  # the same pages, README.md and docs/*.md

MARKER = re.compile(r"^<!-- checked example(?: after: (.*?))? -->\s*$")
FENCE = re.compile(r"^(```|~~~)")


class Example:
    def __init__(self, page, line, setup, first, last, body):
        self.page = page
        self.line = line  # of the marker, 1-based
        self.setup = setup
        self.first = first  # index of the first line inside the fence
        self.last = last  # index of the closing fence
        self.body = body


def find_examples(page, lines):
    examples = []
    problems = []
    i = 0
    while i < len(lines):
        match = MARKER.match(lines[i])
        if not match:
            i += 1
            continue
        fence = FENCE.match(lines[i + 1]) if i + 1 < len(lines) else None
        if not fence:
            problems.append(f"{page}:{i + 1}: the marker is not followed by a fenced block")
            i += 1
            continue
        end = i + 2
        while end < len(lines) and not lines[end].startswith(fence.group(1)):
            end += 1
        if end == len(lines):
            problems.append(f"{page}:{i + 1}: the fenced block never ends")
            break
        examples.append(Example(page, i + 1, match.group(1), i + 2, end, lines[i + 2 : end]))
        i = end + 1
    return examples, problems


def commands(body):
    """[(command, expected output lines)] of a block."""
    result = []
    i = 0
    while i < len(body):
        line = body[i]
        if not line.startswith("$ "):
            if result:
                result[-1][1].append(line)
            elif line.strip():
                raise ValueError(f"output before the first command: {line!r}")
            i += 1
            continue
        command = [line[2:]]
        while command[-1].endswith("\\") and i + 1 < len(body):
            i += 1
            command.append(body[i])
        result.append(("\n".join(command), []))
        i += 1
    return result


def run(root, command, folder):
    command = command.replace("/tmp/", folder + "/")
    done = subprocess.run(
        ["bash", "-c", command],
        cwd=root,
        stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT,
        env=dict(os.environ, LC_ALL="C.UTF-8"),
    )
    text = done.stdout.decode("utf-8", "replace").replace(folder, "/tmp")
    return done.returncode, text


def normal(lines):
    lines = [line.rstrip() for line in lines]
    while lines and not lines[-1]:
        lines.pop()
    return lines


def check_example(root, example):
    """The block as the commands print it, and the differences found."""
    differences = []
    written = []
    with tempfile.TemporaryDirectory() as folder:
        if example.setup:
            code, text = run(root, example.setup, folder)
            if code != 0:
                differences.append(f"the set-up command failed ({code}):\n{text}")
                return example.body, differences
        for command, expected in commands(example.body):
            program = command.split()[0]
            if "/" in program and not program.startswith("/") and not os.path.exists(
                os.path.join(root, program)
            ):
                differences.append(f"{program} is not built: build the native tools first")
                return example.body, differences
            _, text = run(root, command, folder)
            got = normal(text.split("\n"))
            written += ["$ " + command.split("\n")[0]] + command.split("\n")[1:] + got
            if got != normal(expected):
                differences.append(
                    f"$ {command}\n--- the page shows\n"
                    + "\n".join(normal(expected))
                    + "\n--- the command prints\n"
                    + "\n".join(got)
                )
            # A blank line between commands stays where the page had it.
            if expected and not expected[-1].strip():
                written.append("")
    return written, differences


def self_check(root):
    """A drifted output and a bad marker must be found."""
    with tempfile.TemporaryDirectory() as folder:
        page = os.path.join(folder, "page.md")
        lines = [
            "<!-- checked example after: echo made > /tmp/a -->",
            "```console",
            "$ cat /tmp/a; echo /tmp/b \\",
            "    c",
            "made",
            "/tmp/b c",
            "",
            "$ echo right",
            "wrong",
            "```",
            "<!-- checked example -->",
            "no fence",
        ]
        examples, problems = find_examples(page, lines)
        if len(examples) != 1 or len(problems) != 1:
            sys.exit("docs examples: the checker itself misreads markers")
        written, differences = check_example(root, examples[0])
        if len(differences) != 1 or "wrong" not in differences[0] or written[-1] != "right":
            sys.exit(f"docs examples: the checker itself is wrong: {differences}")


def main():
    args = sys.argv[1:]
    update = "--update" in args
    args = [a for a in args if a != "--update"]
    root = os.path.abspath(args[0] if args else ".")
    self_check(root)
    failures = []
    count = 0
    for page in pages(root):
        with open(page, encoding="utf-8") as f:
            lines = f.read().split("\n")
        examples, problems = find_examples(os.path.relpath(page, root), lines)
        failures += problems
        for example in reversed(examples):
            count += 1
            written, differences = check_example(root, example)
            for difference in differences:
                failures.append(f"{example.page}:{example.line}: the example's output drifted\n{difference}")
            if update and differences:
                lines[example.first : example.last] = written
        if update:
            with open(page, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
    for failure in failures:
        print(failure + "\n", file=sys.stderr)
    if count == 0:
        sys.exit("docs examples: no checked example found; the pages or the checker are wrong")
    if failures and not update:
        sys.exit(f"docs examples: {len(failures)} problem(s) in {count} checked examples")
    print(f"docs examples: {count} checked examples print what the pages show"
          + (" (pages rewritten)" if update and failures else ""))


if __name__ == "__main__":
    main()
