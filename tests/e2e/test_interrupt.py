"""Interrupted runs: SIGINT, SIGTERM and SIGHUP at any point end the run with 128 + the
signal, its end line and no temporary file, after any installer that runs has received the
signal and ended; Ctrl-C is Cancel while a person sees the progress, and Cancel stops the
install; a SIGCHLD the launcher ignored loses no installer's status; what the launcher
ignored stays ignored for the installer, and a signal to the whole process group reaches it
once; another process that races for the installer never gets its bytes run; and argument 0
cannot name the package's parent."""

import fcntl
import json
import os
import re
import shutil
import signal
import sys
import unittest

import sandbox
import test_install
from sandbox import LOG_ERR, LOG_NOTICE
from test_install import (PACKAGE, PLATFORM_PATH, RECORD, SERVER, VALIDATION_FAILED, end, pki,
                          runtime_installer_lines, sign)

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
SILENT = ("-silent", "-eulaAccepted", "-allowDownload")
STARTED = "/run/records/started"
SIGNAL_RECORD = "/run/records/signal"
MASKS_RECORD = "/run/records/masks"
EVIL_RECORD = "/run/records/evil.args"
GOOD_RECORD = "/run/records/good.args"
ATTACK_REPORT = "/run/records/attack"
NOT_FOUND = "which cannot be found"
RESOURCES = "/Applications/Install Sample.app/Contents/Resources"

# A child that records the signal it gets, takes a moment to end, and exits 3. "ended" is
# written only when the program waited for it: when the program ends, the sandbox's
# process namespace ends and takes every process left in it.
WAITING_BODY = (
    "for s in INT TERM HUP; do\n"
    f"  trap \"echo $s > {SIGNAL_RECORD}; sleep 0.3; echo ended >> {SIGNAL_RECORD}; exit 3\" $s\n"
    "done\n"
    f"touch {STARTED}\n"
    "while :; do sleep 0.05; done\n")


# A child that records what it started with blocked and ignored, then each termination
# signal it does not ignore, with whether its parent (the program) sent it. After the first
# it waits a moment for another one and exits 3; without one it exits 0 after two seconds.
COUNTING_PY = f"""
import os, signal, sys, time
wanted = {{s for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
          if signal.getsignal(s) != signal.SIG_IGN}}
signal.pthread_sigmask(signal.SIG_BLOCK, wanted)
open("{STARTED}", "w").close()
got, deadline = [], time.monotonic() + 2
while (info := signal.sigtimedwait(wanted, max(0, deadline - time.monotonic()))) is not None:
    sender = "program" if info.si_pid == os.getppid() else "elsewhere"
    got.append(f"{{signal.Signals(info.si_signo).name[3:]}} from {{sender}}\\n")
    deadline = min(deadline, time.monotonic() + 0.3)
open("{SIGNAL_RECORD}", "w").write("".join(got))
sys.exit(3 if got else 0)
"""
# Read with builtins only: the shell blocks every signal while it starts a command.
COUNTING_BODY = ("while read -r key value; do case $key in SigBlk:|SigIgn:) echo $value;; esac\n"
                 f"done < /proc/$$/status > {MASKS_RECORD}\n"
                 f"exec /usr/bin/python3 -c '{COUNTING_PY}'\n")


def recording_installer(record, body=""):
    return f"#!/bin/sh\nprintf '%s\\0' \"$@\" > '{record}'\n{body}\nexit 0\n"


class Install:
    """A world with a published, correctly signed runtime installer and current revocation
    lists, whose routes a scenario may change before it starts the program."""

    def __init__(self, case, installer_body="", installer=None):
        self.world = sandbox.World()
        case.addCleanup(self.world.close)
        self.world.add_system_version("10.6.8")
        self.exe = self.world.add_bundle()
        self.srv = os.path.join(self.world.root, "srv")
        os.makedirs(self.srv)
        path = os.path.join(self.srv, "installer")
        with open(path, "wb") as f:
            f.write(installer or recording_installer(RECORD, installer_body).encode())
        sign(path, "signer-good", "intermediate.pem", path + ".p7")
        for source, name in (("crl-intermediate-before.der", "intermediate.crl"),
                             ("crl-root.der", "root.crl")):
            with open(pki(source), "rb") as f, open(os.path.join(self.srv, name), "wb") as g:
                g.write(f.read())
        self.routes = {f"{PLATFORM_PATH}/installer": {"file": "installer"},
                       f"{PLATFORM_PATH}/installer.p7": {"file": "installer.p7"},
                       "/intermediate.crl": {"file": "intermediate.crl"},
                       "/root.crl": {"file": "root.crl"}}
        self.requests = os.path.join(self.world.root, "requests.log")

    def hold_crls(self):
        for name in ("intermediate", "root"):
            self.routes[f"/{name}.crl"] = {"file": f"{name}.crl", "fault": "hold",
                                           "release": "release"}

    def release_crls(self):
        open(os.path.join(self.srv, "release"), "w").close()

    def start(self, args=SILENT, terminal=False, launcher=()):
        routes = os.path.join(self.world.root, "routes.json")
        with open(routes, "w", encoding="utf-8") as f:
            json.dump(self.routes, f)
        server = self.world.start_helper([sys.executable, SERVER, "--root", self.srv, "--routes",
                                          routes, "--log", self.requests, "--lifetime", "120"])
        return self.world.start(list(launcher) + [self.exe] + list(args), http_proxy=server,
                                terminal=terminal, program=self.exe)

    def requested(self, suffix):
        if not os.path.exists(self.requests):
            return False
        with open(self.requests, encoding="utf-8") as f:
            return any(line.rstrip().endswith(suffix) for line in f)

    def receiving(self, name):
        """True once the program has decided where the download of name goes (the installer
        goes into memory: no file of it shows in the temporary directory)."""
        return any(t.startswith("Download destination is ") and t.endswith("/" + name)
                   for t in self.world.log_texts())

    def in_tmp(self, name):
        return any(path.endswith("/" + name) for path in self.world.tmp_files())

    def ran(self, record=RECORD):
        return self.world.recorded_args(record) is not None


def read(world, path):
    host = world.host(path)
    if not os.path.exists(host):
        return None
    with open(host, encoding="utf-8") as f:
        return f.read()


class Signals(unittest.TestCase):
    def test_each_signal_in_each_phase_ends_the_run_cleanly_with_128_plus_the_signal(self):
        def transfer(case):
            # Not silent, but the progress goes to a pipe: nobody sees it, so SIGINT is a
            # signal here too, not a Cancel.
            install = Install(case)
            install.routes[f"{PLATFORM_PATH}/installer"].update(fault="stall", after=10)
            running = install.start(args=("-eulaAccepted", "-allowDownload"))
            running.wait_until(lambda: install.receiving("installer"),
                               what="the installer's transfer")
            return install, running, None

        def revocation(case):
            install = Install(case)
            install.hold_crls()
            running = install.start()
            running.wait_until(lambda: install.requested(".crl"), what="a revocation-list request")
            return install, running, None

        def runtime_installer(case):
            install = Install(case, installer_body=WAITING_BODY)
            running = install.start()
            running.wait_until(lambda: os.path.exists(install.world.host(STARTED)),
                               what="the runtime installer's start")
            return install, running, "Runtime Installer"

        def application_installer(case):
            install = Install(case)
            install.world.add_runtime("2.5.1.8090", installer_status=0, body=WAITING_BODY)
            running = install.start()
            running.wait_until(lambda: os.path.exists(install.world.host(STARTED)),
                               what="the Application Installer's start")
            return install, running, "Application Installer"

        for phase in (transfer, revocation, runtime_installer, application_installer):
            for signum in SIGNALS:
                with self.subTest(phase=phase.__name__, signal=signum.name):
                    install, running, child = phase(self)
                    running.send_signal(signum)
                    result = running.result(timeout=20)
                    code = 128 + signum
                    self.assertEqual(result.returncode, code, result.stderr)
                    self.assertEqual(result.log_pairs[-1], end(code))
                    self.assertEqual(result.tmp_files, [])
                    self.assertNotIn(NOT_FOUND, result.stderr, "a signal shows no alert")
                    if child is None:
                        self.assertFalse(install.ran(), "no installer runs after a signal")
                        continue
                    # Forwarded, and waited for: the child ended on its own terms.
                    self.assertEqual(read(install.world, SIGNAL_RECORD),
                                     f"{signum.name[3:]}\nended\n")
                    self.assertEqual(result.log_pairs[-2], (LOG_ERR, f"Subprocess {child} failed (3)"))

    def test_the_installer_gets_a_signal_once_and_keeps_what_the_launcher_ignored(self):
        def ignoring(*names):
            return ["/bin/sh", "-c", f'trap "" {" ".join(names)}; exec "$0" "$@"']

        def mask(*signums):
            return sum(1 << (s - 1) for s in signums)

        # launcher, signal, sent to the whole process group, what the installer records,
        # exit code, the installer's ignored signals at its start
        rows = (
            ((), signal.SIGTERM, False, "TERM from program\n", 143, 0),
            ((), signal.SIGTERM, True, "TERM from program\n", 143, 0),
            ((), signal.SIGINT, True, "INT from program\n", 130, 0),
            # nohup: the hang-up is the launcher's to ignore, for the whole job.
            (ignoring("HUP"), signal.SIGHUP, True, "", 0, mask(signal.SIGHUP)),
            # A script's background job; SIGCHLD and SIGPIPE start at their default anyway.
            (ignoring("INT", "QUIT", "PIPE", "CHLD"), signal.SIGINT, True, "", 0,
             mask(signal.SIGINT, signal.SIGQUIT)),
        )
        for launcher, signum, group, received, code, ignored in rows:
            with self.subTest(launcher=launcher[-1:], signal=signum.name, group=group):
                install = Install(self, installer_body=COUNTING_BODY)
                running = install.start(launcher=launcher)
                running.wait_until(lambda: os.path.exists(install.world.host(STARTED)),
                                   what="the runtime installer's start")
                if group:
                    os.killpg(os.getpgid(running.pid()), signum)
                else:
                    running.send_signal(signum)
                result = running.result(timeout=20)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertEqual(read(install.world, SIGNAL_RECORD), received)
                blocked, ignoring_now = read(install.world, MASKS_RECORD).split()
                self.assertEqual((int(blocked, 16), int(ignoring_now, 16)), (0, ignored))
                self.assertEqual(result.log_pairs[-1], end(code))

    def test_at_the_prompt_ctrl_c_dismisses_and_other_signals_end_the_run(self):
        for signum, code in ((signal.SIGINT, 11), (signal.SIGTERM, 143), (signal.SIGHUP, 129)):
            with self.subTest(signal=signum.name):
                install = Install(self)
                install.routes[f"{PLATFORM_PATH}/installer"] = {"status": 500}
                running = install.start(terminal=True)
                running.wait_until(lambda: "[OK]" in running.terminal_output(),
                                   what="the alert's prompt")
                running.send_signal(signum)
                result = running.result(timeout=15)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertEqual(result.log_pairs[-1], end(code))
                self.assertEqual(result.tmp_files, [])


class Cancel(unittest.TestCase):
    """Ctrl-C while the progress line shows on a terminal is the Cancel button: the run
    stops with 11, logs the cancel and its end, tells nobody what they already know, and
    runs nothing."""

    def test_cancel_in_each_phase_stops_the_install(self):
        def installer(install):
            install.routes[f"{PLATFORM_PATH}/installer"].update(fault="stall", after=10)
            return lambda: install.receiving("installer")

        def signature(install):
            install.routes[f"{PLATFORM_PATH}/installer.p7"].update(fault="stall", after=10)
            return lambda: install.in_tmp("installer.p7")

        def revocation(install):
            install.hold_crls()
            return lambda: install.requested(".crl")

        for phase in (installer, signature, revocation):
            with self.subTest(phase=phase.__name__):
                install = Install(self)
                reached = phase(install)
                running = install.start(args=("-eulaAccepted", "-allowDownload"), terminal=True)
                running.wait_until(reached, what=f"the {phase.__name__} download")
                running.send_signal(signal.SIGINT)
                result = running.result(timeout=15, allow_timeout=True)
                self.assertFalse(result.timed_out, "no alert waits for the person")
                self.assertIn("Installing Sample", result.stderr, "the progress line showed")
                self.assertEqual(result.returncode, 11, result.stderr)
                self.assertEqual(result.log_pairs[-2:],
                                 [(LOG_NOTICE, "Download cancelled"), end(11)])
                for alert in (NOT_FOUND, VALIDATION_FAILED, "[OK]"):
                    self.assertNotIn(alert, result.stderr)
                self.assertFalse(install.ran())
                self.assertEqual(result.tmp_files, [])


class IgnoredSigchld(unittest.TestCase):
    WRAPPER = ["/bin/bash", "-c", 'trap "" CHLD; exec "$0" "$@"']

    def test_both_installer_roads_report_the_childs_real_status(self):
        for road, status in (("runtime", 0), ("application", 6)):
            with self.subTest(road=road):
                install = Install(self, installer_body="" if status == 0 else f"exit {status}")
                if road == "application":
                    install.world.add_runtime("2.5.1.8090", installer_status=status)
                probe = install.world.run(self.WRAPPER + ["/bin/grep", "SigIgn", "/proc/self/status"])
                ignored = int(probe.stdout.split()[1], 16)
                self.assertTrue(ignored & (1 << (signal.SIGCHLD - 1)), "the launcher ignores SIGCHLD")
                routes = os.path.join(install.world.root, "routes.json")
                with open(routes, "w", encoding="utf-8") as f:
                    json.dump(install.routes, f)
                server = install.world.start_helper([sys.executable, SERVER, "--root", install.srv,
                                                     "--routes", routes, "--lifetime", "60"])
                result = install.world.run(self.WRAPPER + [install.exe] + list(SILENT),
                                           http_proxy=server)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(result.log_pairs[-1], end(status))
                self.assertNotIn(NOT_FOUND, result.stderr)


def script_installers():
    """A signed #! installer and a forged one of the same length: each records its
    arguments, after a pause, on its last line, as a long script would be read."""
    def installer(record):
        return (f"#!/bin/sh\nsleep 0.5\n{'#' * 65536}\n"
                f"printf '%s\\0' \"$@\" > '{record}'\nexit 0\n").encode()
    return installer(GOOD_RECORD), installer(EVIL_RECORD)


def elf_installers():
    """The recorder, an ELF installer, signed and forged: they differ in their last line."""
    with open(sandbox.build_output("NAIB_RECORDER"), "rb") as f:
        body = f.read()
    return body + f"\n#record={GOOD_RECORD}\n".encode(), body + f"\n#record={EVIL_RECORD}\n".encode()


class RacedInstaller(unittest.TestCase):
    """Another process of the same user (tests/e2e/attacker.cpp) watches the private
    directory to put forged bytes where the installer is, on the events the program's own
    actions raise, or goes through /proc for the program's descriptors; whatever it tries,
    the signed bytes run and the forged never do. NAIB_ATTACK_TRIES sets the tries of each
    variant."""

    VARIANTS = (("#!", "in-place"), ("#!", "rename"), ("#!", "held"), ("#!", "proc"),
                ("ELF", "in-place"), ("ELF", "rename"), ("ELF", "held"))
    TRIES = int(os.environ.get("NAIB_ATTACK_TRIES", "2"))

    def test_the_forged_bytes_never_run(self):
        summary = []
        for kind, mode in self.VARIANTS:
            genuine, forged = script_installers() if kind == "#!" else elf_installers()
            wins = 0
            for attempt in range(self.TRIES):
                with self.subTest(kind=kind, mode=mode, attempt=attempt):
                    install = Install(self, installer=genuine)
                    world = install.world
                    attacker = world.add_program(sandbox.build_output("NAIB_ATTACKER"),
                                                 f"{sandbox.HOME}/attacker")
                    world.write(f"{sandbox.HOME}/genuine", genuine)
                    world.write(f"{sandbox.HOME}/forged", forged)
                    running = install.start(launcher=(
                        attacker, mode, f"{sandbox.HOME}/genuine", f"{sandbox.HOME}/forged",
                        ATTACK_REPORT, "--"))
                    result = running.result(timeout=30)
                    report = read(world, ATTACK_REPORT) or ""
                    wins += install.ran(EVIL_RECORD)
                    self.assertFalse(install.ran(EVIL_RECORD), report)
                    self.assertEqual(result.returncode, 0, report + result.stderr)
                    self.assertTrue(install.ran(GOOD_RECORD), report)
                    self.assertEqual(result.log_pairs[-4:], [
                        (LOG_NOTICE, "Detached signature verified")] + runtime_installer_lines(
                            ["-silent", "-eulaAccepted", PACKAGE], 0) + [end(0)])
                    self.assertEqual(result.tmp_files, [])
                    # The installer is received into memory that only the program can reach:
                    # the file attacks find nothing to go for, the /proc one is refused.
                    expected = ("write through" if mode == "proc"
                                else "installer: never in the private directory")
                    self.assertRegex(report, expected)
            summary.append(f"{kind} {mode} {wins}/{self.TRIES}")
        print("\nforged installer ran: " + ", ".join(summary), file=sys.stderr)


class KilledRun(unittest.TestCase):
    """A run killed outright (SIGKILL, a power loss) leaves its private directory; the next
    run removes it, and nothing that it cannot prove an ended run of this user left."""

    def test_the_next_run_removes_what_a_killed_run_left_and_nothing_else(self):
        install = Install(self)
        install.routes[f"{PLATFORM_PATH}/installer"].update(fault="stall", after=10)
        killed = install.start()
        killed.wait_until(lambda: install.receiving("installer"), what="the installer's transfer")
        killed.send_signal(signal.SIGKILL)
        killed.result(timeout=20)
        tmp = install.world.host(sandbox.TMPDIR)
        [left] = [d for d in os.listdir(tmp) if d.startswith("naib-")]
        with open(os.path.join(tmp, left, ".naib-owner"), encoding="utf-8") as f:
            marker = f.read()
        machine = re.search(r"^machine (.*)$", marker, re.M).group(1)

        def decoy(name, text=marker, mode=0o700, parent=tmp):
            path = os.path.join(parent, name)
            shutil.copytree(os.path.join(tmp, left), path)
            os.chmod(path, mode)
            if text is None:
                os.unlink(os.path.join(path, ".naib-owner"))
            else:
                with open(os.path.join(path, ".naib-owner"), "w", encoding="utf-8") as f:
                    f.write(text)
            return path

        def other_boot(same_machine):
            text = re.sub(r"^boot .*$", "boot 00000000-0000-0000-0000-000000000000", marker,
                          flags=re.M)
            return text if same_machine else re.sub(r"^machine .*$", "machine 0", text, flags=re.M)

        # Another run that still goes on (in another sandbox or container): its lock is held.
        alive = open(os.path.join(decoy("naib-Alive1"), ".naib-owner"), "rb")
        self.addCleanup(alive.close)
        fcntl.flock(alive, fcntl.LOCK_EX)
        elsewhere = os.path.join(install.world.host(sandbox.HOME), "kept")
        os.makedirs(elsewhere)
        os.symlink(decoy("naib-Target", parent=elsewhere), os.path.join(tmp, "naib-Linked"))
        decoy("naib-NoMark", text=None)
        decoy("naib-Opened", mode=0o755)
        decoy("naib-Others", text=other_boot(same_machine=False))
        decoy("naib-Reboot", text=other_boot(same_machine=True))
        decoy("naib-LinkMk", text=None)
        os.symlink(os.path.join(tmp, left, ".naib-owner"),
                   os.path.join(tmp, "naib-LinkMk", ".naib-owner"))

        install.routes[f"{PLATFORM_PATH}/installer"] = {"file": "installer"}
        result = install.start().result(timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        kept = {"naib-Alive1", "naib-Linked", "naib-NoMark", "naib-Opened", "naib-Others",
                "naib-LinkMk"}
        if not machine:  # no machine id: an earlier boot cannot be told from another machine
            kept.add("naib-Reboot")
        self.assertEqual(set(os.listdir(tmp)), kept)
        self.assertTrue(os.path.exists(os.path.join(elsewhere, "naib-Target", ".naib-owner")))


class PackageName(unittest.TestCase):
    def test_argument_zero_that_names_no_package_inside_the_resources_is_a_missing_package(self):
        with sandbox.World() as world:
            exe = world.add_bundle()
            for argv0, package, code in (("Install ..", "..", 12), ("Install .", ".", 12),
                                         ("Install ", "", 12), ("", "", 12),
                                         ("Install Sample", "Sample", 10)):
                with self.subTest(argv0=argv0):
                    result = world.run(["/bin/bash", "-c", 'exec -a "$0" "$1" -silent', argv0, exe])
                    self.assertEqual(result.returncode, code, result.log_pairs)
                    if code == 12:
                        self.assertEqual(result.log_pairs[1:], [
                            (LOG_ERR, f'Could not locate native install directory ("{RESOURCES}/{package}")'),
                            end(12)])


if __name__ == "__main__":
    unittest.main()
