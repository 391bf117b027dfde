"""Two first installs at once on a machine without the runtime, as an administrator's script
that installs two applications in parallel starts them: one run downloads and runs the
runtime installer while the other waits for the per-user lock in $XDG_RUNTIME_DIR, then
finds the runtime the first one installed and hands its package to the Application
Installer."""

import os
import signal
import unittest

import sandbox
from sandbox import LOG_ERR, LOG_NOTICE
from test_install import PACKAGE, PLATFORM_PATH, InstallCase, end, sign, verified_road_lines

OTHER = "Install Other"
OTHER_PACKAGE = f"/Applications/{OTHER}.app/Contents/Resources/Other"
STAGED = "/home/user/staged"
RUNS = "/run/records/runtime-installer.runs"
APP_RECORD = "/run/records/Halvex Orvel Application Installer.args"
WAITING = "Waiting for another install to finish"
RELEASE = "release-installer"
ARGS = ["-silent", "-eulaAccepted", "-allowDownload"]

# The runtime installer counts its runs and installs the runtime that the harness staged:
# the framework with version 2.5.1.8090 and a recording Application Installer.
INSTALLER = f"""#!/bin/sh
echo ran >> {RUNS}
mkdir -p /Library/Frameworks
cp -R "{STAGED}/{sandbox.FRAMEWORK}" /Library/Frameworks/
"""


class TwoInstallsAtOnce(InstallCase):
    def setUp(self):
        super().setUp()
        self.world.add_runtime(domain=STAGED)
        installer = os.path.join(self.srv, "installer")
        with open(installer, "w", encoding="utf-8") as f:
            f.write(INSTALLER)
        sign(installer, "signer-good", "intermediate.pem", os.path.join(self.srv, "installer.p7"))
        self.other = self.world.add_bundle(name=OTHER)
        # The first run's installer download waits until the scenario lets it go.
        self.routes[f"{PLATFORM_PATH}/installer"] = {"file": "installer", "fault": "hold",
                                                     "release": RELEASE, "times": 1}
        self.server = self.serve()

    def start_both(self, second_args, terminal=False):
        first = self.world.start([self.exe] + ARGS, http_proxy=self.server)
        first.wait_until(lambda: f"{PLATFORM_PATH}/installer" in self.requested(),
                         what="the first run's installer request")
        second = self.world.start([self.other] + second_args, http_proxy=self.server,
                                  terminal=terminal)
        second.wait_until(lambda: self.world.logged(OTHER, WAITING), what="the second run's wait")
        return first, second

    def let_go(self):
        open(os.path.join(self.srv, RELEASE), "w").close()

    def runs(self):
        path = self.world.host(RUNS)
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return f.read().split()

    def assertFirstInstalled(self, result):
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertLogMatches(result, verified_road_lines(["-silent", "-eulaAccepted", PACKAGE]))

    def test_the_second_run_waits_then_hands_its_package_to_the_application_installer(self):
        first, second = self.start_both(["-eulaAccepted", "-allowDownload"])
        self.let_go()
        first_result = first.result(timeout=60)
        second_result = second.result(timeout=60)
        self.assertFirstInstalled(first_result)
        self.assertEqual(self.runs(), ["ran"], "the runtime installer runs once")
        self.assertEqual(second_result.returncode, 0, second_result.stderr)
        framework = f"/Library/{sandbox.FRAMEWORK}"
        self.assertEqual(second_result.log_pairs, [
            (LOG_NOTICE, "Bootstrapper begin with version 1.0.0.1 on Mac x86"),
            (LOG_NOTICE, WAITING),
            (LOG_NOTICE, f"Installed runtime (2.5.1.8090) located at {framework}"),
            (LOG_NOTICE, "Launching subprocess with commandline \"Orvel Application Installer\" "
                         f"-eulaAccepted {OTHER_PACKAGE} "),
            (LOG_NOTICE, "Subprocess Application Installer succeeded"), end(0)])
        self.assertEqual(self.world.recorded_args(APP_RECORD), ["-eulaAccepted", OTHER_PACKAGE])
        # Not silent, standard error a pipe: the wait is one progress line, no percentage.
        self.assertIn("Installing Other [------------------------------] ", second_result.stderr)
        self.assertEqual(self.world.tmp_files(), [])

    def test_a_waiting_run_ends_by_signal_or_cancel_and_the_first_goes_on(self):
        # On a terminal the progress line's Ctrl-C is Cancel: 11, and no alert.
        for signum, terminal, code in ((signal.SIGTERM, False, 143), (signal.SIGINT, True, 11)):
            with self.subTest(signal=signum.name):
                self.setUp()
                first, second = self.start_both(["-eulaAccepted", "-allowDownload"],
                                               terminal=terminal)
                second.send_signal(signum)
                second_result = second.result(timeout=30)
                self.assertEqual(second_result.returncode, code, second_result.stderr)
                self.assertEqual(second_result.log_pairs, [
                    (LOG_NOTICE, "Bootstrapper begin with version 1.0.0.1 on Mac x86"),
                    (LOG_NOTICE, WAITING), (LOG_ERR, f"Bootstrapper end with exit code {code}")])
                self.assertNotIn("cannot be found", second_result.stderr)
                self.let_go()
                self.assertFirstInstalled(first.result(timeout=60))
                self.assertEqual(self.runs(), ["ran"])
                self.assertIsNone(self.world.recorded_args(APP_RECORD))
                self.assertEqual(self.world.tmp_files(), [])


if __name__ == "__main__":
    unittest.main()
