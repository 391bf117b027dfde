"""Launch benchmark: wall time and peak memory of the roads that end inside the launch,
and which of them map the GTK library.

  -version                     answers on standard output
  runtime present              an installed runtime 2.x whose Application Installer exits at once
  updates disabled, headless   runtime 1.x, download allowed, the marker present, no display

Each road runs in the sandbox; GNU time inside it reports the program's own wall time and
peak resident memory, and the dynamic loader's file trace (LD_DEBUG=files, a loader
setting, not a program switch) lists every library the process mapped. As a control,
the update-disabled road runs once more with a display named: the dialog then needs a
window, so GTK must show up in the trace.

Usage: NAIB_E2E_ENV=build/tests/e2e/programs.env python3 bench/launch_bench.py [runs]
"""

import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import sandbox  # noqa: E402

MARKER = "/home/user/Library/Application Support/Halvex/Orvel/updateDisabled"


def measure(world, argv, env=None, runs=20):
    times, peaks, gtk = [], [], False
    for _ in range(runs):
        result = world.run(["/usr/bin/time", "-f", "TIME %e %M"] + argv, env=env)
        stats = [l for l in result.stderr.splitlines() if l.startswith("TIME ")][-1].split()
        times.append(float(stats[1]))
        peaks.append(int(stats[2]))
    traced = world.run(argv, env={**(env or {}), "LD_DEBUG": "files"})
    gtk = "libgtk-3" in traced.stderr
    return statistics.median(times), max(peaks), gtk, traced.returncode


def main() -> int:
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    rows = []
    with sandbox.World() as world:
        exe = world.add_bundle()
        rows.append(("-version", *measure(world, [exe, "-version"], runs=runs)))
    with sandbox.World() as world:
        exe = world.add_bundle()
        world.add_runtime("2.5.1.8090")
        rows.append(("runtime present", *measure(world, [exe, "-silent"], runs=runs)))
    with sandbox.World() as world:
        exe = world.add_bundle()
        world.add_runtime("1.5.3.9120")
        world.write(MARKER, "")
        argv = [exe, "-silent", "-allowDownload"]
        rows.append(("updates disabled, headless", *measure(world, argv, runs=runs)))
        control = measure(world, argv, env={"DISPLAY": ":97"}, runs=1)
    print(f"{'road':30} {'median wall s':>13} {'peak RSS KiB':>13} {'GTK mapped':>10} {'exit':>5}")
    for name, wall, peak, gtk, code in rows:
        print(f"{name:30} {wall:13.3f} {peak:13d} {str(gtk):>10} {code:5d}")
    print(f"{'control: same, DISPLAY set':30} {'':13} {'':13} {str(control[2]):>10} {control[3]:5d}")
    headless_ok = not any(row[3] for row in rows)
    if not headless_ok:
        print("FAIL: a road that shows no window mapped GTK")
    if not control[2]:
        print("FAIL: the control did not map GTK, so the trace proves nothing")
    return 0 if headless_ok and control[2] else 1


if __name__ == "__main__":
    sys.exit(main())
