#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs check_layers.py on small trees made for each case and checks its verdict."""

import pathlib
import subprocess
import sys
import tempfile

CHECKER = pathlib.Path(__file__).with_name("check_layers.py")
# (name, files, the pair the checker must name or None when the tree is sound)
CASES = [
    ("header includes header", {
        "src/shared/A.h": '#include "shared/B.h"\n',
        "src/shared/B.h": '#include "shared/A.h"\n',
    }, "src/shared/A and src/shared/B include each other"),
    ("sources include the other header", {
        "src/channels/A.h": "",
        "src/channels/A.cpp": '#include "channels/A.h"\n#include "channels/B.h"\n',
        "src/channels/B.h": "",
        "src/channels/B.cpp": '#include "channels/B.h"\n#include "channels/A.h"\n',
    }, "src/channels/A and src/channels/B include each other"),
    ("in a test folder, beside the file", {
        "tests/support/Helper.h": '#include "Fixture.h"\n',
        "tests/support/Fixture.cpp": '#include "Helper.h"\n',
        "tests/support/Fixture.h": "",
    }, "tests/support/Fixture and tests/support/Helper include each other"),
    ("one way only", {
        "src/shared/A.h": "",
        "src/shared/A.cpp": '#include "shared/A.h"\n#include "shared/B.h"\n',
        "src/shared/B.h": "",
    }, None),
    ("the profile and its groups, no longer excepted", {
        "src/profile/Profile.h": "",
        "src/profile/Profile.cpp": '#include "profile/ProfileGroups.h"\n',
        "src/profile/ProfileGroups.h": '#include "profile/Profile.h"\n',
    }, "src/profile/Profile and src/profile/ProfileGroups include each other"),
]


def run(files):
    with tempfile.TemporaryDirectory() as tmp:
        root = pathlib.Path(tmp)
        (root / "tests").mkdir()
        (root / "src").mkdir()
        for rel, text in files.items():
            (root / rel).parent.mkdir(parents=True, exist_ok=True)
            (root / rel).write_text(text)
        result = subprocess.run([sys.executable, str(CHECKER), "--root", str(root)],
                                capture_output=True, text=True, check=False)
        return result.returncode, result.stdout


def main():
    failures = 0
    for name, files, expected in CASES:
        code, out = run(files)
        ok = code == 0 if expected is None else code == 1 and expected in out
        if not ok:
            failures += 1
            print(f"FAIL {name}: exit {code}, expected {expected or 'a pass'}\n{out}")
    print(f"{len(CASES) - failures}/{len(CASES)} cases as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
