#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks (or, with --fix, writes) the licence line that opens every source file of the tree: C++,
scripts, CMake, the resource scripts, the page's HTML, JavaScript and CSS, and the manual pages, each
in its own comment syntax, after a '#!' line where there is one.

    licence_lines.py [--fix] [SOURCE_DIR]

Exit status: 0 when every file has its line (or they were written), 1 when a file lacks it."""

import os
import sys

IDENTIFIER = "SPDX-License-Identifier: GPL-3.0-or-later"

# Comment syntax by file ending; a name listed in NAMES is taken before its ending.
COMMENTS = {
    ".cpp": "// {}", ".h": "// {}", ".c": "// {}", ".h.in": "// {}", ".rc": "// {}",
    ".js": "// {}", ".css": "/* {} */", ".html": "<!-- {} -->",
    ".cmake": "# {}", ".sh": "# {}", ".py": "# {}", ".1.in": '.\\" {}',
}
NAMES = {"CMakeLists.txt": "# {}", "run": "# {}"}
# Folders that hold no source of the project's own: builds, installed packages, version control.
SKIPPED_FOLDERS = {".git", "build", "node_modules"}


def comment_form(path):
    name = os.path.basename(path)
    if name in NAMES and (name != "run" or os.path.basename(os.path.dirname(path)) == ".ci"):
        return NAMES[name]
    for ending in sorted(COMMENTS, key=len, reverse=True):
        if name.endswith(ending):
            return COMMENTS[ending]
    return None


def source_files(top):
    for folder, subfolders, names in os.walk(top):
        subfolders[:] = sorted(d for d in subfolders if d not in SKIPPED_FOLDERS and not d.startswith("build"))
        for name in sorted(names):
            path = os.path.join(folder, name)
            form = comment_form(path)
            if form is not None and not os.path.islink(path):
                yield path, form


def licence_line_index(lines):
    """The line the licence belongs on: the first, or the second after a '#!' line or an HTML doctype."""
    return 1 if lines and (lines[0].startswith("#!") or lines[0].lower().startswith("<!doctype")) else 0


def has_licence_line(lines):
    index = licence_line_index(lines)
    return index < len(lines) and IDENTIFIER in lines[index]


def main(argv):
    fix = "--fix" in argv
    rest = [a for a in argv if a != "--fix"]
    top = rest[0] if rest else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    missing = []
    for path, form in source_files(top):
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines(keepends=True)
        if has_licence_line(lines):
            continue
        if not fix:
            missing.append(os.path.relpath(path, top))
            continue
        lines.insert(licence_line_index(lines), form.format(IDENTIFIER) + "\n")
        with open(path, "w", encoding="utf-8") as f:
            f.write("".join(lines))
    for path in missing:
        print(f"{path}: no '{IDENTIFIER}' line at its top", file=sys.stderr)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
