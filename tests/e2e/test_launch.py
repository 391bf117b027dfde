"""The launch decision seen from outside: every road that ends inside the launch, with its
install-log lines in order, its output and its exit code, and the start of the download."""

import os
import sys
import unittest

import sandbox
from sandbox import LOG_ERR, LOG_NOTICE

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "http_server.py")
PACKAGE = "/Applications/Install Sample.app/Contents/Resources/Sample"
LOCAL_RUNTIME = "/Library/Frameworks/Halvex Orvel.framework"
NEEDS_FLAG = "Unable to download runtime installer without -allowDownload"
UPDATE_DISABLED_MARKER = "/home/user/Library/Application Support/Halvex/Orvel/updateDisabled"
INSTALLER_PATH = "/orvel/3/nai/macos10.6/x86/installer"

BEGIN = (LOG_NOTICE, "Bootstrapper begin with version 1.0.0.1 on Mac x86")
NOT_INSTALLED = (LOG_NOTICE, "No installed runtime detected")
MISSING_FLAG = (LOG_ERR, NEEDS_FLAG)


def end(code):
    return (LOG_NOTICE if code == 0 else LOG_ERR, f"Bootstrapper end with exit code {code}")


def installed(version, location=LOCAL_RUNTIME):
    return (LOG_NOTICE, f"Installed runtime ({version}) located at {location}")


def app_installer_lines(args, status):
    command = '"Orvel Application Installer" ' + "".join(a + " " for a in args)
    outcome = ((LOG_NOTICE, "Subprocess Application Installer succeeded") if status == 0 else
               (LOG_ERR, f"Subprocess Application Installer failed ({status})"))
    return [(LOG_NOTICE, f"Launching subprocess with commandline {command}"), outcome]


class LaunchCase(unittest.TestCase):
    def setUp(self):
        self.world = sandbox.World()
        self.addCleanup(self.world.close)

    def assertRoad(self, result, code, log, stdout=""):
        self.assertFalse(result.timed_out, result.stderr)
        self.assertEqual(result.returncode, code, result.stderr)
        self.assertEqual(result.log_pairs, log)
        self.assertEqual(result.stdout, stdout)
        self.assertEqual(result.tmp_files, [], "no road of the launch leaves files behind")


class ApplicationInstallerRoad(LaunchCase):
    def test_names_come_from_the_executable_and_an_exact_install_prefix(self):
        for name, package in (("Install Sample", "Sample"), ("Sample", "Sample"),
                              ("install Sample", "install Sample")):
            with self.subTest(name=name):
                world = sandbox.World()
                self.addCleanup(world.close)
                record = world.add_runtime("2.5.1.8090")
                exe = world.add_bundle(name=name)
                package_path = f"/Applications/{name}.app/Contents/Resources/{package}"
                result = world.run([exe])
                self.assertRoad(result, 0, [BEGIN, installed("2.5.1.8090")] +
                                app_installer_lines([package_path], 0) + [end(0)])
                self.assertEqual(world.recorded_args(record), [package_path])

    def test_validated_arguments_and_the_status_pass_through(self):
        given = ["-silent", "-eulaAccepted", "-location", "/opt/apps", "-desktopShortcut",
                 "-programMenu", "-allowDownload"]
        forwarded = [a for a in given if a != "-allowDownload"] + [PACKAGE]
        for status in (0, 7):
            with self.subTest(status=status):
                world = sandbox.World()
                self.addCleanup(world.close)
                record = world.add_runtime("2.5.1.8090", installer_status=status)
                result = world.run([world.add_bundle()] + given)
                self.assertRoad(result, status, [BEGIN, installed("2.5.1.8090")] +
                                app_installer_lines(forwarded, status) + [end(status)])
                self.assertEqual(world.recorded_args(record), forwarded)

    def test_a_runtime_without_its_application_installer_ends_with_5(self):
        self.world.add_runtime("3.0.0.1", installer_status=None)
        result = self.world.run([self.world.add_bundle(), "-silent"])
        self.assertRoad(result, 5, [BEGIN, installed("3.0.0.1")] +
                        app_installer_lines(["-silent", PACKAGE], 5) + [end(5)])

    def test_a_bundle_without_a_version_still_logs_its_start(self):
        self.world.add_runtime("2.5.1.8090")
        result = self.world.run([self.world.add_bundle(version=None)])
        self.assertEqual(result.log_pairs[0],
                         (LOG_NOTICE, "Bootstrapper begin with version unknown on Mac x86"))
        self.assertEqual(result.returncode, 0)


class RoadsThatEndAtOnce(LaunchCase):
    def test_a_missing_package_directory_ends_with_12_and_names_the_path(self):
        for package in ("absent", "file"):
            with self.subTest(package=package):
                world = sandbox.World()
                self.addCleanup(world.close)
                record = world.add_runtime("2.5.1.8090")
                result = world.run([world.add_bundle(package=package), "-silent"])
                self.assertRoad(result, 12, [
                    BEGIN, (LOG_ERR, f'Could not locate native install directory ("{PACKAGE}")'),
                    end(12)])
                self.assertIsNone(world.recorded_args(record))

    def test_without_the_download_flag_the_run_ends_with_10(self):
        cases = [("no runtime", None, False, ["-silent"], NOT_INSTALLED),
                 ("no runtime", None, False, ["-eulaAccepted", "-programMenu"], NOT_INSTALLED),
                 ("runtime 1.x", "1.5.3.9120", False, ["-silent"], installed("1.5.3.9120")),
                 ("runtime 1.x, updates disabled", "1.5.3.9120", True, ["-silent"],
                  installed("1.5.3.9120"))]
        for label, version, disabled, args, runtime_line in cases:
            with self.subTest(label, args=args):
                world = sandbox.World()
                self.addCleanup(world.close)
                if version:
                    world.add_runtime(version)
                if disabled:
                    world.write(UPDATE_DISABLED_MARKER, "")
                result = world.run([world.add_bundle()] + args)
                self.assertRoad(result, 10, [BEGIN, runtime_line, MISSING_FLAG, end(10)],
                                stdout=NEEDS_FLAG + "\n")

    def test_an_old_runtime_with_updates_disabled_shows_the_dialog_then_ends_with_15(self):
        for args in (["-eulaAccepted", "-allowDownload"], ["-silent", "-allowDownload"]):
            for marker_is_directory in (False, True):
                with self.subTest(args=args, directory=marker_is_directory):
                    world = sandbox.World()
                    self.addCleanup(world.close)
                    world.add_runtime("1.5.3.9120")
                    if marker_is_directory:
                        os.makedirs(world.host(UPDATE_DISABLED_MARKER))
                    else:
                        world.write(UPDATE_DISABLED_MARKER, "anything")
                    result = world.run([world.add_bundle()] + args)
                    self.assertRoad(result, 15, [
                        BEGIN, installed("1.5.3.9120"),
                        (LOG_ERR, "Cannot complete installation because runtime updates are "
                                  "disabled on this machine"),
                        end(15)])
                    # Headless, the dialog goes to standard error, silent run or not.
                    self.assertIn("Install Sample", result.stderr)
                    self.assertIn("not allowed by your administrator", result.stderr)

    def test_a_system_version_of_major_0_gives_no_urls_and_ends_with_11(self):
        self.world.add_system_version("0.9")
        result = self.world.run([self.world.add_bundle(), "-silent", "-allowDownload"])
        self.assertRoad(result, 11, [BEGIN, NOT_INSTALLED, end(11)])


class DownloadRoad(LaunchCase):
    def start_server(self):
        requests = self.world.host("/run/records/requests.log")
        root = self.world.host("/run/records")
        server = self.world.start_helper([sys.executable, SERVER, "--root", root, "--log",
                                          requests, "--lifetime", "60"])
        return server, requests

    def test_no_runtime_downloads_even_when_updates_are_disabled(self):
        self.world.add_system_version("10.6.8")
        self.world.write(UPDATE_DISABLED_MARKER, "")
        server, requests = self.start_server()
        result = self.world.run([self.world.add_bundle(), "-silent", "-allowDownload"],
                                http_proxy=server)
        self.assertFalse(result.timed_out)
        with open(requests, encoding="utf-8") as f:
            self.assertEqual(f.readline().strip(), f"GET {INSTALLER_PATH}")
        self.assertEqual(result.log_pairs[:2], [BEGIN, NOT_INSTALLED])
        begin_download = result.log_pairs[2]
        self.assertEqual(begin_download[0], LOG_NOTICE)
        self.assertRegex(begin_download[1], rf"^Begin runtime download from http://[^/]+{INSTALLER_PATH}$")
        # Nothing is published there: the download fails and the run ends with 11.
        self.assertEqual(result.returncode, 11)
        self.assertEqual(result.log_pairs[-1], end(11))
        self.assertEqual(result.tmp_files, [])

    def test_an_old_runtime_with_updates_allowed_downloads(self):
        self.world.add_runtime("1.5.3.9120")
        server, requests = self.start_server()
        result = self.world.run([self.world.add_bundle(), "-silent", "-allowDownload"],
                                http_proxy=server)
        self.assertEqual(result.log_pairs[:2], [BEGIN, installed("1.5.3.9120")])
        with open(requests, encoding="utf-8") as f:
            # No system version file: the platform counts as 10.0.
            self.assertEqual(f.readline().strip(), "GET /orvel/3/nai/macos10.0/x86/installer")
        self.assertEqual(result.returncode, 11)


if __name__ == "__main__":
    unittest.main()
