#!/usr/bin/env python3
"""Checks that every #include "..." of the project follows the layer table.

Usage: check_layers.py SOURCE_DIR
Prints one line per include that runs against the table (file:line: what and why) and exits 1,
or exits 0 when every include is allowed. The table is the one in docs/ARCHITECTURE.md.
"""
import os
import re
import sys

# Folder -> the folders its code may include (besides itself). Tests (any tests/ folder), test
# support, tools, benchmarks and fuzzers sit beside the layers and may include anything below
# them; the program's own folders may never include those.
LAYER1 = {"store": set(), "ftp": set()}
LAYER2 = {"data": {"store", "ftp"}, "ui": {"store", "ftp", "data"}}
PAGES = ["sites", "browser", "settings", "local", "history", "tasks"]
ALLOWED = dict(LAYER1)
ALLOWED.update(LAYER2)
for page in PAGES:
    ALLOWED[page] = {"store", "ftp", "data", "ui"}
ALLOWED["app"] = {"store", "ftp", "data", "ui", *PAGES}
PROGRAM = set(ALLOWED)
BESIDE = {"testing": PROGRAM, "tools": {"store", "ftp", "data"}, "bench": PROGRAM | {"testing"},
          "fuzz": PROGRAM | {"testing"}}
# Pages that queue transfers may use the browser page's public headers for it.
BROWSER_PUBLIC = {"browser/queue_handoff.h", "browser/browser_records.h"}
QUEUEING_PAGES = {"local", "history", "tasks"}
# The engines and the schema never see Qt.
NO_QT = {"store", "ftp", "data/schema"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE = (".h", ".hpp", ".cpp", ".cc")


def owner(rel):
    """The layer folder a path belongs to, or None for files outside the table."""
    top = rel.split("/", 1)[0]
    return top if top in ALLOWED or top in BESIDE else None


def check_file(root, rel, problems):
    folder = owner(rel)
    is_test = "/tests/" in "/" + rel
    no_qt = any(rel.startswith(p + "/") for p in NO_QT) and not is_test
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            kind, target = m.groups()
            if kind == "<":
                if no_qt and re.match(r"Q[A-Za-z]|qt", target):
                    problems.append(f"{rel}:{number}: includes Qt <{target}>, which {folder}/ must not use")
                continue
            target_folder = target.split("/", 1)[0]
            if target_folder == folder or "/" not in target:
                continue
            if is_test:
                if target_folder not in ALLOWED and target_folder not in BESIDE:
                    problems.append(f"{rel}:{number}: includes \"{target}\", which is no project folder")
                continue
            if folder in BESIDE:
                allowed = BESIDE[folder]
            else:
                allowed = ALLOWED[folder]
            if target_folder in allowed:
                continue
            if folder in QUEUEING_PAGES and target in BROWSER_PUBLIC:
                continue
            problems.append(
                f"{rel}:{number}: {folder}/ includes \"{target}\"; {folder}/ may include only "
                + (", ".join(sorted(allowed)) or "the standard library and the OS"))


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
    problems = []
    for top in sorted(set(ALLOWED) | set(BESIDE)):
        base = os.path.join(root, top)
        for dirpath, _, names in os.walk(base):
            for name in sorted(names):
                if name.endswith(SOURCE):
                    rel = os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")
                    check_file(root, rel, problems)
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) run against the layer table (docs/ARCHITECTURE.md)")
        return 1
    print("every include follows the layer table")
    return 0


if __name__ == "__main__":
    sys.exit(main())
