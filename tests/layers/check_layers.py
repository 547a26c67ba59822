#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the source tree keeps its layer order.

check_layers.py --root SOURCE_DIR [--sim-links LIBS --sim-lib NAME --sim-lib-sources SOURCES]

Reads every `#include "<folder>/..."` of src/ and tools/ and fails on one that runs against the
order, top to bottom:

    ui, cli  ->  app  ->  commands, profile  ->  requests, logo  ->  engine  ->  channels
             ->  platform, shared

A file includes from its own layer or below; ui and cli do not include each other. The concrete
channels are built by the engine alone (app/Engine.cpp): no other folder includes their headers.
The simulator (tools/) includes from src/ only shared/ and platform/, and links only the library
made of those two folders (--sim-links: the simulator library's link libraries, --sim-lib: that
library, --sim-lib-sources: its sources). Qt headers are included in src/ui/ alone.

The tests follow the same folders: tests/<folder>/ holds the tests of src/<folder>/, apart from a
few folders of their own (TEST_FOLDERS), and no test folder builds another one's files: what
several share lives in tests/support/.

Anywhere in the tree (src/, tools/, tests/, bench/, fuzz/), no two units (a header and its source
of the same name) include each other, through either file: one of them is then not a layer below
the other, and neither can be read, built or tested alone.
"""

import argparse
import pathlib
import re
import sys

LAYERS = [
    {"ui", "cli"},
    {"app"},
    {"commands", "profile"},
    {"requests", "logo"},
    {"engine"},
    {"channels"},
    {"platform", "shared"},
]
# Folders of one layer that must not include each other.
APART = {frozenset({"ui", "cli"})}
# Headers of the concrete channels, and the files besides channels/ that may include them.
CONCRETE_CHANNELS = {"channels/TComm.h", "channels/TUSBComm.h", "channels/TLptChannel.h"}
CHANNEL_BUILDERS = {"src/app/Engine.cpp"}
# What the simulator may take from src/.
SIM_FOLDERS = {"shared", "platform"}
# Test folders that stand for no src/ folder: shared helpers, the simulator's tests, the
# installed tree and packages, the Ansible collection, this check.
TEST_FOLDERS = {"support", "sim", "install", "ansible", "layers"}
OTHER_TEST_FOLDER = re.compile(r"(?:/tests/|\.\./)([A-Za-z0-9_-]+)?")

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/([^"]+)"', re.MULTILINE)
# Qt's headers (<QImage>, <QtCore/QString>, <qglobal.h>): only the window's code includes them, so
# that plenar and the simulator link no Qt.
QT_INCLUDE = re.compile(r'^\s*#\s*include\s+[<"](Q[A-Za-z]+(?:/\w+)?|q\w+\.h)[>"]', re.MULTILINE)
QT_FOLDERS = {"ui"}
SOURCES = (".h", ".hpp", ".cpp", ".cc")
# Where a quoted include is looked for: beside the including file, then in these folders.
INCLUDE_ROOTS = ("src", "tests/support")
UNIT_FOLDERS = ("src", "tools", "tests", "bench", "fuzz")
QUOTED_INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', re.MULTILINE)
# Pairs of units that still include each other, each with the work that ends it; the check fails
# on any other pair, and on a listed pair that no longer includes each other.
KNOWN_CIRCLES = {}


def rank(folder):
    for i, layer in enumerate(LAYERS):
        if folder in layer:
            return i
    return None


def includes(path):
    text = path.read_text(encoding="utf-8", errors="replace")
    for match in INCLUDE.finditer(text):
        line = text.count("\n", 0, match.start()) + 1
        yield line, match.group(1), match.group(1) + "/" + match.group(2)


def order_text():
    return "  ->  ".join(", ".join(sorted(layer)) for layer in LAYERS)


def check_src(root, problems):
    src = root / "src"
    folders = {p.name for p in src.iterdir() if p.is_dir()}
    unknown = folders - set().union(*LAYERS)
    for folder in sorted(unknown):
        problems.append(f"src/{folder}/: a folder without a layer; add it to the order")
    for path in sorted(src.rglob("*")):
        if path.suffix not in SOURCES:
            continue
        rel = path.relative_to(root).as_posix()
        own = path.relative_to(src).parts[0]
        for line, folder, header in includes(path):
            if folder not in folders:
                continue  # a library's header, not one of ours
            where = f"{rel}:{line}: includes {header}"
            own_rank, their_rank = rank(own), rank(folder)
            if own_rank is None or their_rank is None:
                continue  # reported above
            if their_rank < own_rank:
                problems.append(f"{where}: {folder} lies above {own}")
            elif frozenset({own, folder}) in APART and own != folder:
                problems.append(f"{where}: {own} and {folder} do not include each other")
            elif header in CONCRETE_CHANNELS and own != "channels" and rel not in CHANNEL_BUILDERS:
                problems.append(f"{where}: only the engine (app/Engine.cpp) builds channels")
    return folders


def check_qt(root, problems):
    for top in ("src", "tools"):
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in SOURCES:
                continue
            parts = path.relative_to(root).parts
            if top == "src" and len(parts) > 2 and parts[1] in QT_FOLDERS:
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for match in QT_INCLUDE.finditer(text):
                line = text.count("\n", 0, match.start()) + 1
                problems.append(f"{path.relative_to(root).as_posix()}:{line}: includes "
                                f"{match.group(1)}: Qt belongs to src/ui/ alone")


def check_tools(root, src_folders, problems):
    for path in sorted((root / "tools").rglob("*")):
        if path.suffix not in SOURCES:
            continue
        rel = path.relative_to(root).as_posix()
        for line, folder, header in includes(path):
            if folder in src_folders and folder not in SIM_FOLDERS:
                problems.append(f"{rel}:{line}: includes {header}: the simulator takes only "
                                f"{' and '.join(sorted(SIM_FOLDERS))} from src/")


def check_tests(root, src_folders, problems):
    tests = root / "tests"
    for folder in sorted(p for p in tests.iterdir() if p.is_dir()):
        name = folder.name
        if name not in src_folders and name not in TEST_FOLDERS:
            problems.append(f"tests/{name}/: no src/{name}/ to mirror; tests go where their "
                            f"subject lies, shared helpers in tests/support/")
        cmake = folder / "CMakeLists.txt"
        if not cmake.exists():
            continue
        text = cmake.read_text(encoding="utf-8", errors="replace")
        for match in OTHER_TEST_FOLDER.finditer(text):
            other = match.group(1)
            if other in (name, "support"):
                continue
            line = text.count("\n", 0, match.start()) + 1
            problems.append(f"tests/{name}/CMakeLists.txt:{line}: uses files of "
                            f"{'tests/' + other if other else 'another folder'}; shared "
                            f"helpers belong in tests/support/")


def unit_includes(root):
    """Maps each unit (path without suffix) to the units it includes: {unit: {other: where}}."""
    edges = {}
    for top in UNIT_FOLDERS:
        base = root / top
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in SOURCES or not path.is_file():
                continue
            unit = path.relative_to(root).with_suffix("").as_posix()
            text = path.read_text(encoding="utf-8", errors="replace")
            for match in QUOTED_INCLUDE.finditer(text):
                name = match.group(1)
                candidates = [path.parent / name] + [root / r / name for r in INCLUDE_ROOTS]
                target = next((c for c in candidates if c.is_file()), None)
                if target is None:
                    continue
                try:
                    other = target.resolve().relative_to(root.resolve()).with_suffix("")
                except ValueError:
                    continue
                other = other.as_posix()
                if other == unit:
                    continue
                line = text.count("\n", 0, match.start()) + 1
                where = f"{path.relative_to(root).as_posix()}:{line} includes {name}"
                edges.setdefault(unit, {}).setdefault(other, where)
    return edges


def check_circles(root, problems):
    edges = unit_includes(root)
    found = set()
    for unit, others in sorted(edges.items()):
        for other, where in sorted(others.items()):
            back = edges.get(other, {}).get(unit)
            pair = frozenset({unit, other})
            if back is None or pair in found:
                continue
            found.add(pair)
            if pair in KNOWN_CIRCLES:
                continue
            problems.append(f"{unit} and {other} include each other ({where}; {back}): "
                            f"move what both need into a unit of its own")
    for pair, work in sorted(KNOWN_CIRCLES.items(), key=lambda kv: sorted(kv[0])):
        if pair not in found:
            problems.append(f"{' and '.join(sorted(pair))} no longer include each other; "
                            f"take them off KNOWN_CIRCLES (listed until {work})")


def check_sim_links(root, links, library, sources, problems):
    # Our libraries are named plenar_*; Qt, umockdev and the simulator's own are not checked.
    for lib in links:
        if lib.startswith("plenar_") and lib != library:
            problems.append(f"the simulator links {lib}; from src/ it may link only {library}")
    src = (root / "src").resolve()
    for source in sources:
        path = pathlib.Path(source)
        if not path.is_absolute():
            path = src / path
        try:
            folder = path.resolve().relative_to(src).parts[0]
        except ValueError:
            folder = None
        if folder not in SIM_FOLDERS:
            problems.append(f"{library} builds {source}, which is not in "
                            f"{' or '.join(sorted(SIM_FOLDERS))}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", required=True, type=pathlib.Path)
    parser.add_argument("--sim-links", default=None)
    parser.add_argument("--sim-lib", default="plenar_base")
    parser.add_argument("--sim-lib-sources", default="")
    args = parser.parse_args()

    problems = []
    src_folders = check_src(args.root, problems)
    check_tools(args.root, src_folders, problems)
    check_qt(args.root, problems)
    check_tests(args.root, src_folders, problems)
    check_circles(args.root, problems)
    if args.sim_links is not None:
        check_sim_links(args.root, [l for l in args.sim_links.split(";") if l], args.sim_lib,
                        [s for s in args.sim_lib_sources.split(";") if s], problems)
    for problem in problems:
        print(problem)
    if problems:
        print(f"\n{len(problems)} against the layer order: {order_text()}")
        return 1
    print(f"layer order kept: {order_text()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
