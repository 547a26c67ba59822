#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails when a program needs a library of the desktop stack.

check_needed.py PROGRAM [--also-forbid REGEX]...

Reads the program's NEEDED entries (readelf -d) and the libraries the loader resolves for it
(ldd), and fails on any Qt, X11/xcb, GL/EGL/GLX, Wayland, fontconfig, freetype or harfbuzz
library: the command line and the simulator install on machines without a display.
"""
import argparse
import re
import subprocess
import sys

DESKTOP = re.compile(
    r"^lib(Qt\d\w*|X\w*|xcb\w*|GL\w*|EGL|OpenGL|wayland-\w+|fontconfig|freetype|harfbuzz\w*|"
    r"gbm|drm|xkbcommon\w*|ICE|SM)[.\-_\d]"
)


def needed(program):
    out = subprocess.run(["readelf", "-d", program], check=True, capture_output=True, text=True)
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", out.stdout)


def resolved(program):
    out = subprocess.run(["ldd", program], check=True, capture_output=True, text=True)
    return [line.split()[0] for line in out.stdout.splitlines() if line.strip()]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--also-forbid", action="append", default=[])
    args = parser.parse_args()
    forbidden = [DESKTOP] + [re.compile(r) for r in args.also_forbid]
    direct = needed(args.program)
    if not direct:
        print(f"{args.program}: no NEEDED entries read", file=sys.stderr)
        return 1
    problems = []
    for kind, names in (("needs", direct), ("loads", resolved(args.program))):
        for name in names:
            if any(f.search(name) for f in forbidden):
                problems.append(f"{args.program} {kind} {name}")
    for p in problems:
        print(p, file=sys.stderr)
    print(f"{args.program}: {len(direct)} NEEDED entries: {' '.join(direct)}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
