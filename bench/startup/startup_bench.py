#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Start-up of plenar, side by side, in one run.

startup_bench.py [--bin DIR] [--runs N] [--plenar PATH]

Times whole processes as a provisioning script starts them (posix_spawn, wait4), N rounds of one
run each in turn after one warm-up, and prints the median wall time, the fastest run, the peak resident memory
(GNU time) and the ratios of the medians and of the fastest runs:

  /bin/true                         the cost of any process at all
  plenar --version                  the program's own start and exit: loading its libraries,
                                    static initialisers, the argument parser
  plenar apply (rerun)              an apply whose record matches the profile: profile and record
                                    read, nothing sent (not even a link test), against
                                    plenar-printer-sim on UDP loopback

Targets: --version within 4x of /bin/true, the rerun within 2x of --version. --plenar times
another build of plenar in the same run (for a before/after comparison); the simulator always
comes from --bin.
"""
import argparse
import os
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

PROFILE = """[ParaDefault]
CodePage=CP437
FontValue=12x24
Dark=Normal
ForcePaper=0A
buzzer=on
CutPaper=on
sleepTime=300
poweroffTime=7200
PaperType=receipt
RptTime=30
"""


def run_once(argv, env):
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, env, file_actions=[
        (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
        (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
    _, status, _ = os.wait4(pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{' '.join(argv)} failed with {os.waitstatus_to_exitcode(status)}")
    return elapsed


def peak_memory(argv, env):
    # A spawned child's own rusage counts the spawner's memory until the exec: GNU time, a small
    # program, reports the peak of the command alone. 0 without it.
    if not os.path.exists("/usr/bin/time"):
        return 0
    out = subprocess.run(["/usr/bin/time", "-f", "%M", *argv], env=env, capture_output=True,
                         text=True, check=True)
    return int(out.stderr.strip().splitlines()[-1])


def measure(commands, env, runs):
    """Times the commands in turns, one run of each per round, so that a machine busy with
    something else slows them alike and the ratios hold."""
    for argv in commands.values():
        run_once(argv, env)  # warm-up: the page cache holds the files afterwards
    times = {name: [] for name in commands}
    for _ in range(runs):
        for name, argv in commands.items():
            times[name].append(run_once(argv, env))
    return [(name, statistics.median(t), min(t), peak_memory(commands[name], env))
            for name, t in times.items()]


def start_simulator(sim, folder):
    proc = subprocess.Popen([sim, "--udp", "127.0.0.1:0", "--state", str(folder / "printer.json")],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    address = None
    for line in proc.stdout:
        if line.startswith("udp "):
            address = line.split()[1]
        if line.startswith("ready"):
            break
    if not address:
        proc.kill()
        raise RuntimeError("the simulator did not start on UDP")
    return proc, address


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=str(pathlib.Path(__file__).resolve().parents[2] / "build"
                                             / "test" / "bin"))
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--plenar", action="append", default=[],
                        help="another plenar to time as well (repeatable)")
    args = parser.parse_args()
    bindir = pathlib.Path(args.bin)
    plenars = [str(bindir / "plenar")] + args.plenar
    env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}

    with tempfile.TemporaryDirectory(prefix="plenar-startup-") as tmp:
        folder = pathlib.Path(tmp)
        env["HOME"] = tmp
        (folder / "shop.ini").write_text(PROFILE)
        sim, address = start_simulator(str(bindir / "plenar-printer-sim"), folder)
        try:
            commands = {"/bin/true": ["/bin/true"]}
            for i, plenar in enumerate(plenars):
                tag = "" if i == 0 else f" [{plenar}]"
                work = folder / f"dir{i}"
                work.mkdir()
                apply = [plenar, "--dir", str(work), "--net", address, "apply",
                         str(folder / "shop.ini"), "--record", str(work / "record.json")]
                run_once(apply, env)  # the fresh apply writes the record
                commands[f"plenar --version{tag}"] = [plenar, "--version"]
                commands[f"plenar apply, rerun{tag}"] = apply
            rows = measure(commands, env, args.runs)
        finally:
            sim.terminate()
            sim.wait()

    print(f"{args.runs} runs each after one warm-up; wall time median (fastest), peak RSS")
    for name, median, fastest, rss in rows:
        print(f"  {name:<44} {median * 1000:7.2f} ms ({fastest * 1000:6.2f} ms) "
              f"{rss / 1024:6.1f} MiB")
    true_row = rows[0]
    for i in range(len(plenars)):
        version, rerun = rows[1 + 2 * i], rows[2 + 2 * i]
        tag = "" if i == 0 else f" [{plenars[i]}]"
        print(f"  --version / /bin/true      {version[1] / true_row[1]:5.2f}x median, "
              f"{version[2] / true_row[2]:5.2f}x fastest (target 4x){tag}")
        print(f"  apply rerun / --version    {rerun[1] / version[1]:5.2f}x median, "
              f"{rerun[2] / version[2]:5.2f}x fastest (target 2x){tag}")
    libraries = subprocess.run(["ldd", plenars[0]], capture_output=True, text=True).stdout
    print(f"  {plenars[0]} loads {len(libraries.splitlines())} libraries (ldd)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
