"""The first-install road against the least it could cost and the script a user would write.

Three contenders, run interleaved in one sandbox world (tests/e2e/sandbox.py), so that they
share the local server, the published files, the temporary filesystem and the sandbox's
own start-up:

  road    the program as a user's machine runs it: naib-bootstrapper -silent -allowDownload
          with no runtime installed; it downloads the signed installer and its signature,
          verifies them, fetches both revocation lists, runs the installer (a shell script
          that exits at once, padded with random bytes to SIZE) and removes its files
  floor   the two transfers alone: `curl -o` for the installer and for the signature
  script  the floor followed by `openssl smime -verify` of the installer against the root

The installer is signed and published with the vendor tools (tests/e2e/shipping.py) and
served by tests/support/http_server.py (from the page cache, with sendfile) through
http_proxy. Wall time is taken on the host, from the sandbox's start to its end. Before
every run: `sync`, so that no run pays for the writeback of the one before, and a wait
until the machine is quiet; a run during which other processes used the processor is made
again. Peak resident memory and CPU time come from GNU time inside the sandbox (for the
curl contenders, the largest of their processes). One SHA-256 pass is `openssl speed` of
the library the program links. The files that curl leaves are removed between runs,
outside the timing; the program removes its own, inside.

With --offline, the road without a network instead, two contenders in a sandbox whose
network is unplugged and no server:

  offline the program from a bundle that carries the published tree (naib-bundle
          --runtime): it copies the carried installer and signature, uses the carried
          revocation lists, verifies, runs the installer and removes its files
  copy    the floor: `cp` of the carried installer and signature into the temporary folder

  --runs N        runs of each contender per size (default 5)
  --compare LABEL=PROGRAM   one more road contender, "road@LABEL": another build of the
                  program (naib-bootstrapper-testroot with its naib-*.so beside it), so
                  that a change is measured against its predecessor in the same session
  --offline       the offline road against the copy (above)
  --profile DIR   instead: one road (with --offline the offline one) of the first size
                  under `perf record -g` (the sandbox and everything in it) and under
                  `strace -f`, once counting (-c) and once timing the calls that mark the
                  road's steps; the reports land in DIR

Usage: bench/road_bench.sh [BUILD_DIR] [--runs N] [--compare LABEL=PROGRAM]... [--offline]
                           [--profile DIR] [SIZE_MIB...]
"""

import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import sandbox  # noqa: E402
import shipping  # noqa: E402

SERVER = os.path.join(HERE, "..", "tests", "support", "http_server.py")
PEAK = "/home/user/peak"
ROOT_PEM = "/home/user/root.pem"
CHUNK = 1 << 20
CARRIED = (f"/Applications/Install {shipping.PACKAGE}.app/Contents/Resources/Runtime/"
           "orvel/3/nai/macos10.6/x86/installer")


def write_installer(path, size):
    """A shell script that exits at once, padded with random bytes to size: what the
    program runs is real, and the bytes give every digest and cache its full work."""
    head = b"#!/bin/sh\nexit 0\n"
    with open(path, "wb") as f:
        f.write(head)
        left = size - len(head)
        while left > 0:
            n = min(CHUNK, left)
            f.write(os.urandom(n))
            left -= n


def bundle(world, work, program, package_name, tree=None):
    """The bundle "Install <package_name>.app" around program, carrying tree when given;
    returns its executable's sandbox path."""
    package = shipping.make_package(os.path.join(work, package_name))
    carry = ["--runtime", tree] if tree else []
    shipping.checked("bundle", ["--program", program, "--output", world.host("/Applications"),
                                *carry, package, shipping.VERSION])
    return f"/Applications/Install {package_name}.app/Contents/MacOS/Install {package_name}"


def publish(world, work, size):
    """Signs and publishes an installer of size bytes; returns the download tree and the
    two download URLs."""
    world.add_system_version(shipping.SYSTEM)
    installer = os.path.join(work, "installer")
    write_installer(installer, size)
    signature = shipping.checked("sign", ["--cert", shipping.pki("signer-good.pem"),
                                          "--key", shipping.pki("signer-good.key"),
                                          "--chain", shipping.pki("intermediate.pem"),
                                          installer]).strip()
    tree = os.path.join(work, "tree")
    urls = shipping.checked("publish", ["--system", shipping.SYSTEM,
                                        "--crl", shipping.pki("crl-root.der"),
                                        "--crl", shipping.pki("crl-intermediate-before.der"),
                                        installer, signature, tree]).split()
    # The published tree is what the server sends; the originals only cost page cache.
    os.unlink(installer)
    os.unlink(signature)
    shutil.copy(shipping.pki("root.pem"), world.host(ROOT_PEM))
    return tree, urls[:2]


def argv_of(kind, exe, urls):
    timed = ["/usr/bin/time", "-f", "%U %S %M", "-o", PEAK]
    if kind.startswith("road") or kind == "offline":
        return timed + [exe, "-silent", "-allowDownload"]
    if kind == "copy":
        return timed + ["cp", CARRIED, CARRIED + ".p7", "/tmp/"]
    shell = (f"curl -sSf -o /tmp/installer '{urls[0]}' && "
             f"curl -sSf -o /tmp/installer.p7 '{urls[1]}'")
    if kind == "script":
        shell += (" && openssl smime -verify -binary -inform DER -in /tmp/installer.p7"
                  f" -content /tmp/installer -CAfile {ROOT_PEM} -purpose any -out /dev/null"
                  " 2>/dev/null")
    return timed + ["/bin/sh", "-c", shell]


def written_mib():
    """MiB that the kernel has written back to disk since boot."""
    with open("/proc/vmstat", encoding="utf-8") as f:
        pages = next(int(line.split()[1]) for line in f if line.startswith("nr_written "))
    return pages * os.sysconf("SC_PAGE_SIZE") / (1 << 20)


def busy_fraction(seconds):
    """The share of the machine's CPU time that was busy over the next seconds."""
    def sample():
        with open("/proc/stat", encoding="utf-8") as f:
            values = [int(v) for v in f.readline().split()[1:]]
        return sum(values[:8]), values[3] + values[4] + values[7]  # idle, I/O wait, steal
    total, idle = sample()
    time.sleep(seconds)
    total2, idle2 = sample()
    return 1 - (idle2 - idle) / max(1, total2 - total)


def timed_run(world, server, kind, exe, urls):
    """Wall seconds, MiB written back and the Running of one run; None when CPU time that
    was neither the run's, nor the server's, nor the kernel's share for them (a tenth of a
    core) was spent meanwhile."""
    os.sync()
    wait_for_quiet()
    written = written_mib()
    busy, served, stolen = busy_seconds(), cpu_seconds(server), stolen_seconds()
    running = world.start(argv_of(kind, exe, urls), http_proxy=server)
    start = time.monotonic()
    # A blocking wait: with a timeout Python polls, in steps of up to 50 ms.
    running.process.wait()
    wall = time.monotonic() - start
    busy, served = busy_seconds() - busy, cpu_seconds(server) - served
    stolen = stolen_seconds() - stolen
    written = written_mib() - written
    ours = sum(usage(world)[:2])
    # The sandbox's own set-up and the kernel's work for the run count as foreign here.
    foreign = busy - ours - served
    if foreign > 0.05 + 0.1 * wall:
        print(f"  ({kind}: {foreign:.2f} s of CPU time elsewhere during {wall:.2f} s)",
              file=sys.stderr)
        running.result()
        if not is_program(kind):
            for name in ("installer", "installer.p7"):
                if os.path.exists(world.host(f"/tmp/{name}")):
                    os.unlink(world.host(f"/tmp/{name}"))
        return None
    if stolen > 0.05 + 0.05 * wall:
        print(f"  ({kind}: the host kept {stolen:.2f} s of CPU time during {wall:.2f} s)",
              file=sys.stderr)
    return wall, written, running


def wait_for_quiet():
    """Waits until nothing else keeps a core busy: on a shared machine a run beside someone
    else's build measures their load, not the road."""
    waited = 0
    while busy_fraction(0.5) > 0.1:
        if waited % 60 == 0:
            print(f"  (waiting for a quiet machine, {waited} s so far)", file=sys.stderr)
        time.sleep(5)
        waited += 5


def stolen_seconds():
    """CPU seconds the host has kept from this machine since boot."""
    with open("/proc/stat", encoding="utf-8") as f:
        return int(f.readline().split()[8]) / os.sysconf("SC_CLK_TCK")


def busy_seconds():
    """CPU seconds the whole machine has been busy since boot."""
    with open("/proc/stat", encoding="utf-8") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    # user, nice and system. Interrupts are left out: they are mostly the loopback network
    # work of the run itself, which no process is charged for.
    return sum(values[i] for i in (0, 1, 2)) / os.sysconf("SC_CLK_TCK")


def is_program(kind):
    return kind.startswith("road") or kind == "offline"


def cpu_seconds(server):
    """CPU seconds that the server has used; 0 without one."""
    if server is None:
        return 0
    with open(f"/proc/{server.process.pid}/stat", encoding="utf-8") as f:
        fields = f.read().rpartition(")")[2].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def usage(world):
    """User and system CPU seconds and peak KiB of the last run, as GNU time saw them in
    the sandbox."""
    with open(world.host(PEAK), encoding="utf-8") as f:
        user, system, peak = f.read().split()[-3:]
    return float(user), float(system), int(peak)


def run_once(world, server, kind, exe, urls, size):
    """Wall seconds, peak KiB and MiB written back to disk meanwhile, of one run; exits
    when the run did not do its work. A run during which something else kept the machine
    busy is made again."""
    for _ in range(20):
        result = timed_run(world, server, kind, exe, urls)
        if result is not None:
            break
    else:
        sys.exit("the machine never stayed quiet for a whole run")
    wall, written, running = result
    result = running.result()
    if result.returncode != 0:
        sys.exit(f"{kind} failed ({result.returncode}): {result.stderr}\n{result.log_pairs}")
    if is_program(kind):
        if "Detached signature verified" not in [text for _, text in result.log_pairs]:
            sys.exit(f"the road did not verify: {result.log_pairs}")
        if result.tmp_files:
            sys.exit(f"the road left files: {result.tmp_files}")
    else:
        got = os.path.getsize(world.host("/tmp/installer"))
        if got != size:
            sys.exit(f"{kind} fetched {got} bytes, not {size}")
        for name in ("installer", "installer.p7"):
            os.unlink(world.host(f"/tmp/{name}"))
    return wall, usage(world)[2], written


def sha256_seconds(size):
    """One SHA-256 pass over size bytes, from the library's own throughput."""
    wait_for_quiet()
    out = subprocess.run(["openssl", "speed", "-seconds", "2", "-bytes", str(CHUNK), "-evp",
                          "sha256"], capture_output=True, text=True, check=True).stdout
    rate = float(re.search(r"^sha256\s+([\d.]+)k", out, re.M).group(1)) * 1000
    return size / rate


def warm(tree):
    """Reads every file of tree into the page cache."""
    for here, _, files in os.walk(tree):
        for name in files:
            with open(os.path.join(here, name), "rb") as f:
                while f.read(CHUNK):
                    pass


def start_server(world, tree):
    server = world.start_helper([sys.executable, "-S", SERVER, "--root", tree,
                                 "--lifetime", "3600"])
    warm(tree)  # the server answers from the page cache
    return server


def load_note():
    with open("/proc/loadavg", encoding="utf-8") as f:
        return f.read().split()[0]


def bench(size_mib, runs, others, offline):
    size = size_mib << 20
    with sandbox.World() as world, tempfile.TemporaryDirectory(prefix="naib-road-") as work:
        tree, urls = publish(world, work, size)
        program = sandbox.build_output("NAIB_PROGRAM")
        if offline:
            world.offline = True
            exes = {"offline": bundle(world, work, program, shipping.PACKAGE, tree)}
            floor, contenders, server = "copy", ["offline", "copy"], None
            warm(world.host(os.path.dirname(os.path.dirname(CARRIED))))
        else:
            exes = {"road": bundle(world, work, program, shipping.PACKAGE)}
            for i, (label, other) in enumerate(others):
                exes[f"road@{label}"] = bundle(world, work, other, f"{shipping.PACKAGE}{i + 2}")
            floor, contenders = "floor", list(exes) + ["floor", "script"]
            server = start_server(world, tree)
        for kind in exes:  # warm-up, not counted
            run_once(world, server, kind, exes[kind], urls, size)
        times = {k: [] for k in contenders}
        peaks = {k: [] for k in contenders}
        written = {k: [] for k in contenders}
        for r in range(runs):
            shift = r % len(contenders)
            for kind in contenders[shift:] + contenders[:shift]:
                wall, peak, mib = run_once(world, server, kind, exes.get(kind), urls, size)
                times[kind].append(wall)
                peaks[kind].append(peak)
                written[kind].append(mib)
    med = {k: statistics.median(v) for k, v in times.items()}
    sha = sha256_seconds(size)
    print(f"{size_mib} MiB, {runs} runs each, interleaved (load before: {load_note()})")
    for kind in contenders:
        runs_text = " ".join(f"{t:.3f}" for t in times[kind])
        print(f"  {kind:12s} median {med[kind]:.3f} s  peak {max(peaks[kind])} KiB  "
              f"written back {max(written[kind]):.0f} MiB  runs: {runs_text}")
    target = med[floor] + sha + 0.2
    print(f"  one SHA-256 pass {sha:.3f} s; target {floor} + pass + 0.2 s = {target:.3f} s")
    for kind in exes:
        script = f"/script {med[kind] / med['script']:.2f}  " if "script" in med else ""
        print(f"  {kind:12s} /{floor} {med[kind] / med[floor]:.2f}  {script}- {floor} - pass = "
              f"{(med[kind] - med[floor] - sha) * 1000:.0f} ms  target "
              f"{'met' if med[kind] <= target else 'NOT met'}")
    return max(peaks[next(iter(exes))])


def profile(size_mib, out, offline):
    """One road (the offline one with offline) under perf, one under strace; the sandbox
    runs as for the benchmark."""
    size = size_mib << 20
    os.makedirs(out, exist_ok=True)
    with sandbox.World() as world, tempfile.TemporaryDirectory(prefix="naib-road-") as work:
        tree, urls = publish(world, work, size)
        world.offline = offline
        exe = bundle(world, work, sandbox.build_output("NAIB_PROGRAM"), shipping.PACKAGE,
                     tree if offline else None)
        server = None if offline else start_server(world, tree)
        run_once(world, server, "offline" if offline else "road", exe, urls, size)
        env = world.environment({} if offline else {"http_proxy": server.url, "no_proxy": ""})
        argv = world.bwrap_argv([exe, "-silent", "-allowDownload"])
        data = os.path.join(out, "perf.data")
        for tracer in (["perf", "record", "-g", "-F", "999", "-o", data, "--"],
                       ["strace", "-f", "-c", "-o", os.path.join(out, "strace-c.txt"), "--"],
                       # Only the calls that mark the road's steps, filtered in the kernel
                       # so that the timeline is close to an untraced run.
                       ["strace", "-f", "--seccomp-bpf", "-tt", "-T", "-o",
                        os.path.join(out, "strace-steps.txt"), "-e",
                        "trace=execve,connect,openat,unlink,unlinkat,rmdir,exit_group,wait4,"
                        "copy_file_range",
                        "--"]):
            os.sync()
            wait_for_quiet()
            start = time.monotonic()
            subprocess.run(tracer + argv, env=env, check=True, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            print(f"{tracer[0]}: {time.monotonic() - start:.3f} s", file=sys.stderr)
        # perf finds the sandbox's files through a tree that maps its paths to the host's.
        symfs = os.path.join(out, "symfs")
        shutil.rmtree(symfs, ignore_errors=True)
        os.makedirs(symfs)
        for top in ("usr", "lib", "lib64", "bin", "proc"):
            if os.path.exists("/" + top):
                os.symlink("/" + top, os.path.join(symfs, top))
        shutil.copytree(world.host("/Applications"), os.path.join(symfs, "Applications"))
        with open(os.path.join(out, "perf-report.txt"), "w", encoding="utf-8") as f:
            for sort in ("comm,dso", "comm,dso,sym"):
                f.flush()
                subprocess.run(["perf", "report", "-i", data, "--symfs", symfs,
                                "--kallsyms", "/proc/kallsyms", "--no-children", "--sort", sort,
                                "--stdio", "-g", "none", "--percent-limit", "0.5"],
                               stdout=f, stderr=subprocess.DEVNULL, check=True)
    print(f"reports in {out}: perf-report.txt, strace-c.txt, strace-steps.txt", file=sys.stderr)


def main():
    # A benchmark stopped from outside still removes its world and stops its server.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("sizes", type=int, nargs="*", default=[1024, 64], metavar="SIZE_MIB")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--profile", metavar="DIR")
    parser.add_argument("--compare", metavar="LABEL=PROGRAM", action="append", default=[])
    parser.add_argument("--offline", action="store_true")
    args = parser.parse_args()
    if args.profile:
        return profile(args.sizes[0], args.profile, args.offline)
    others = [tuple(item.split("=", 1)) for item in args.compare]
    peaks = {size: bench(size, args.runs, others, args.offline) for size in args.sizes}
    if len(peaks) > 1:
        print("road peak RSS by size: " + ", ".join(f"{s} MiB {p} KiB" for s, p in peaks.items()))


if __name__ == "__main__":
    main()
