"""Interrupted runs: SIGINT, SIGTERM and SIGHUP at any point end the run with 128 + the
signal, its end line and no temporary file, after any installer that runs has received the
signal and ended; Ctrl-C is Cancel while a person sees the progress, and Cancel stops the
install; a SIGCHLD the launcher ignored loses no installer's status; the installer that
runs is the file that was verified; and argument 0 cannot name the package's parent."""

import json
import os
import shutil
import signal
import sys
import unittest

import sandbox
import test_install
from sandbox import LOG_ERR, LOG_NOTICE
from test_install import PLATFORM_PATH, RECORD, SERVER, VALIDATION_FAILED, end, pki, sign

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
SILENT = ("-silent", "-eulaAccepted", "-allowDownload")
STARTED = "/run/records/started"
SIGNAL_RECORD = "/run/records/signal"
MASKS_RECORD = "/run/records/masks"
EVIL_RECORD = "/run/records/evil.args"
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
COUNTING_BODY = (f"sed -n 's/^Sig\\(Blk\\|Ign\\):\\t//p' /proc/$$/status > {MASKS_RECORD}\n"
                 f"exec /usr/bin/python3 -c '{COUNTING_PY}'\n")


def recording_installer(record, body=""):
    return f"#!/bin/sh\nprintf '%s\\0' \"$@\" > '{record}'\n{body}\nexit 0\n"


class Install:
    """A world with a published, correctly signed runtime installer and current revocation
    lists, whose routes a scenario may change before it starts the program."""

    def __init__(self, case, installer_body=""):
        self.world = sandbox.World()
        case.addCleanup(self.world.close)
        self.world.add_system_version("10.6.8")
        self.exe = self.world.add_bundle()
        self.srv = os.path.join(self.world.root, "srv")
        os.makedirs(self.srv)
        installer = os.path.join(self.srv, "installer")
        with open(installer, "w", encoding="utf-8") as f:
            f.write(recording_installer(RECORD, installer_body))
        sign(installer, "signer-good", "intermediate.pem", installer + ".p7")
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
            running.wait_until(lambda: install.in_tmp("installer"), what="a partial installer")
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
            return lambda: install.in_tmp("installer")

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


class SwappedInstaller(unittest.TestCase):
    """While a revocation list stalls, another process of the same user changes what the
    installer's path names; the program refuses to run it."""

    def attack(self, tamper):
        install = Install(self)
        install.hold_crls()
        running = install.start()
        running.wait_until(lambda: install.requested(".crl"), what="a revocation-list request")
        tmp = install.world.host(sandbox.TMPDIR)
        private = [d for d in os.listdir(tmp) if d.startswith("naib-")]
        self.assertEqual(len(private), 1)
        tamper(os.path.join(tmp, private[0]))
        install.release_crls()
        result = running.result(timeout=20)
        self.assertEqual(result.returncode, 13, result.stderr)
        self.assertIn(VALIDATION_FAILED, result.stderr)
        self.assertEqual(result.log_pairs[-3:], [(LOG_NOTICE, "Detached signature verified"),
                                                 (LOG_ERR, "Detached signature validation failed"),
                                                 end(13)])
        self.assertFalse(install.ran(), "the verified installer never ran")
        self.assertFalse(install.ran(EVIL_RECORD), "nor the one put in its place")
        return result, private[0]

    def test_an_installer_rewritten_in_place_is_refused(self):
        def rewrite(private):
            path = os.path.join(private, "installer")
            before = os.stat(path)
            with open(path, "r+b") as f:
                good = f.read()
                evil = recording_installer(EVIL_RECORD).encode()
                f.seek(0)
                f.write(evil.ljust(len(good), b"#")[:len(good)])
            # Same length, the old modification time put back: only the change time tells.
            os.utime(path, ns=(before.st_atime_ns, before.st_mtime_ns))

        result, _ = self.attack(rewrite)
        self.assertEqual(result.tmp_files, [])

    def test_a_swapped_private_directory_is_refused(self):
        def swap(private):
            os.rename(private, private + ".old")
            os.mkdir(private, 0o700)
            with open(os.path.join(private, "installer"), "w", encoding="utf-8") as f:
                f.write(recording_installer(EVIL_RECORD))
            os.chmod(os.path.join(private, "installer"), 0o755)
            # The signature goes along, so the revocation pass still reads one.
            shutil.copy(os.path.join(private + ".old", "installer.p7"), private)

        result, private = self.attack(swap)
        # Only what the attacker moved aside is left.
        self.assertTrue(result.tmp_files)
        self.assertTrue(all(p.startswith(private + ".old/") for p in result.tmp_files),
                        result.tmp_files)


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
