"""Runtime detection, the Application Installer launch, platform information, the update
policy and the download URLs, seen by a probe that calls the install library inside the
sandbox against real Library directories, a real home and a real system version file."""

import os
import shutil
import unittest

import sandbox
from sandbox import APP_INSTALLER, FRAMEWORK

PROBE = "/Applications/naib-libinstall-probe"
LOCAL = f"/Library/{FRAMEWORK}"
NETWORK = f"/Network/Library/{FRAMEWORK}"
SYSTEM = f"/System/Library/{FRAMEWORK}"
SYSTEM_VERSION = "/System/Library/CoreServices/SystemVersion.plist"
MARKER = "/home/user/Library/Application Support/Halvex/Orvel/updateDisabled"
OS_MAC, ARCH_X86 = 2, 1


def host_name() -> str:
    return os.environ.get("NAIB_DOWNLOAD_HOST") or "download.halvex.example"


def urls_line(os_version: str) -> str:
    base = f"http://{host_name()}/orvel/3/nai/macos{os_version}/x86"
    return f"urls true {base}/installer {base}/installer.p7"


class Probe(unittest.TestCase):
    def setUp(self):
        self.world = sandbox.World()
        self.addCleanup(self.world.close)
        self.world.add_program(sandbox.build_output("NAIB_LIBINSTALL_PROBE"), PROBE)

    def probe(self, *commands):
        result = self.world.run([PROBE, *commands])
        self.assertFalse(result.timed_out)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.splitlines()


class RuntimeDetection(Probe):
    def test_local_framework_wins_over_the_system_one(self):
        # Both installers record into the same file; what they print tells them apart.
        record = self.world.add_runtime("2.5.1.8090", domain="/Library", body="echo local")
        self.world.add_runtime("1.5.3.9120", domain="/System/Library", body="echo system")
        self.assertEqual(self.probe("location", "version", "run", "-silent"),
                         [f"location {LOCAL}", "version 0 2.5.1.8090", "local", "appInstaller 0"])
        self.assertEqual(self.world.recorded_args(record), ["-silent"])

    def test_network_domain_comes_before_the_system_domain(self):
        self.world.add_runtime("3.0.0.1", domain="/Network/Library")
        self.world.add_runtime("1.5.3.9120", domain="/System/Library")
        self.assertEqual(self.probe("location", "version"),
                         [f"location {NETWORK}", "version 0 3.0.0.1"])

    def test_framework_only_in_the_users_library_is_not_found(self):
        record = self.world.add_runtime("2.5.1.8090", domain="/home/user/Library")
        self.assertEqual(self.probe("location", "version", "run", "/pkg"),
                         ["location none", "version -3 untouched", "appInstaller 3"])
        self.assertIsNone(self.world.recorded_args(record))

    def test_versions_are_four_numbers_read_from_the_framework(self):
        cases = [
            ("2.5.1.8090", "version 0 2.5.1.8090"),
            ("1.5.3.9120", "version 0 1.5.3.9120"),
            (" 2 . 5 . 1 . 8090", "version 0 2.5.1.8090"),
            ("2.5.1.8090 (final)", "version 0 2.5.1.8090"),
            ("99999999999.1.1.1", "version 0 2147483647.1.1.1"),
            ("2.5.1", "version -3 untouched"),
            ("", "version -3 untouched"),
            (None, "version -3 untouched"),
        ]
        for version, expected in cases:
            with self.subTest(version=version):
                self.world.add_runtime(version, domain="/System/Library", installer_status=None)
                self.assertEqual(self.probe("version"), [expected])

    def test_version_in_a_binary_information_list(self):
        self.world.write_plist(f"{LOCAL}/Resources/Info.plist",
                               {"CFBundleVersion": "2.6.0.100"}, binary=True)
        self.assertEqual(self.probe("version"), ["version 0 2.6.0.100"])

    def test_unreadable_versions_end_in_failure(self):
        bad_lists = {
            "not a string": b"<plist><dict><key>CFBundleVersion</key><real>2.5</real>"
                            b"</dict></plist>",
            "truncated": b"<?xml version=\"1.0\"?><plist><dict><key>CFBundleVers",
            "garbage": bytes(range(256)),
            "truncated binary": b"bplist00\xd1\x01\x02",
        }
        for name, content in bad_lists.items():
            with self.subTest(name):
                self.world.write(f"{LOCAL}/Resources/Info.plist", content)
                self.assertEqual(self.probe("location", "version"),
                                 [f"location {LOCAL}", "version -3 untouched"])

    def test_information_list_that_is_a_directory(self):
        os.makedirs(self.world.host(f"{LOCAL}/Resources/Info.plist"))
        self.assertEqual(self.probe("location", "version", "run"),
                         [f"location {LOCAL}", "version -3 untouched", "appInstaller 5"])

    def test_framework_path_that_is_a_file(self):
        self.world.write(LOCAL, "not a bundle\n")
        self.assertEqual(self.probe("location", "version", "run", "/pkg"),
                         [f"location {LOCAL}", "version -3 untouched", "appInstaller 5"])


class AppInstaller(Probe):
    ARGS = ["-silent", "-location", "/Applications/My Apps", "", "%s %n",
            "/Applications/Install Sample.app/Contents/Resources/Sample"]

    def test_exit_status_and_arguments_come_back_unchanged(self):
        for status in (0, 7):
            with self.subTest(status=status):
                record = self.world.add_runtime("2.5.1.8090", installer_status=status)
                self.assertEqual(self.probe("run", *self.ARGS), [f"appInstaller {status}"])
                self.assertEqual(self.world.recorded_args(record), self.ARGS)

    def test_installer_runs_in_the_callers_directory_with_its_environment(self):
        self.world.add_runtime("2.5.1.8090", installer_status=0,
                               body='echo "cwd=$(pwd) home=$HOME lang=$LANG"')
        self.assertEqual(self.probe("run"),
                         ["cwd=/home/user home=/home/user lang=en_US.UTF-8", "appInstaller 0"])

    def test_a_signal_ends_with_128_plus_its_number(self):
        self.world.add_runtime("2.5.1.8090", installer_status=0, body="kill -TERM $$")
        self.assertEqual(self.probe("run"), ["appInstaller 143"])

    def test_framework_without_the_installer(self):
        self.world.add_runtime("2.5.1.8090", installer_status=None)
        self.assertEqual(self.probe("version", "run", "/pkg"),
                         ["version 0 2.5.1.8090", "appInstaller 5"])

    def test_installer_bundle_that_cannot_run(self):
        app = f"{LOCAL}/{APP_INSTALLER}"
        exe = f"{app}/Contents/MacOS/Halvex Orvel Application Installer"
        cases = {
            "no executable key": lambda: self.world.write_plist(f"{app}/Contents/Info.plist",
                                                                {"CFBundleVersion": "1.0"}),
            "executable missing": lambda: os.remove(self.world.host(exe)),
            "not executable": lambda: os.chmod(self.world.host(exe), 0o644),
            "not a program": lambda: self.world.write(exe, b"\x7fELF\x02broken", mode=0o755),
            "bundle is a file": lambda: _replace_with_file(self.world.host(app)),
        }
        for name, damage in cases.items():
            with self.subTest(name):
                self.world.add_runtime("2.5.1.8090", installer_status=0)
                damage()
                self.assertEqual(self.probe("run", "/pkg"), ["appInstaller 5"])


def _replace_with_file(path: str) -> None:
    shutil.rmtree(path)
    with open(path, "w") as f:
        f.write("not a bundle\n")


class UpdatePolicy(Probe):
    def test_marker_file_or_directory_disables_updates(self):
        self.assertEqual(self.probe("canUpdate"), ["canUpdate true"])
        self.world.write(MARKER, "")
        self.assertEqual(self.probe("canUpdate"), ["canUpdate false"])
        os.remove(self.world.host(MARKER))
        self.world.write(MARKER, "please update\n", mode=0)
        self.assertEqual(self.probe("canUpdate"), ["canUpdate false"])
        os.remove(self.world.host(MARKER))
        os.makedirs(self.world.host(MARKER))
        self.assertEqual(self.probe("canUpdate"), ["canUpdate false"])

    def test_marker_in_another_domain_has_no_effect(self):
        for path in ("/Library/Application Support/Halvex/Orvel/updateDisabled",
                     "/System/Library/Application Support/Halvex/Orvel/updateDisabled",
                     "/home/user/Library/Halvex/Orvel/updateDisabled"):
            self.world.write(path, "")
        self.assertEqual(self.probe("canUpdate"), ["canUpdate true"])

    def test_home_from_the_environment(self):
        self.world.write("/tmp/elsewhere/Library/Application Support/Halvex/Orvel/updateDisabled",
                         "")
        result = self.world.run([PROBE, "canUpdate"], env={"HOME": "/tmp/elsewhere"})
        self.assertEqual(result.stdout.splitlines(), ["canUpdate false"])
        result = self.world.run([PROBE, "canUpdate"])
        self.assertEqual(result.stdout.splitlines(), ["canUpdate true"])


class PlatformAndUrls(Probe):
    def test_product_versions(self):
        cases = [
            ("10.6.8", "platform 2 10 6 8 1", urls_line("10.6")),
            ("10.7", "platform 2 10 7 0 1", urls_line("10.7")),
            ("10", "platform 2 10 0 0 1", urls_line("10.0")),
            ("10.6.8.1", "platform 2 10 0 0 1", urls_line("10.0")),
            ("10.16.70000", "platform 2 10 16 4464 1", urls_line("10.16")),
            ("ten.six", "platform 2 0 0 0 1", "urls false"),
        ]
        for version, platform_line, urls in cases:
            with self.subTest(version=version):
                self.world.add_system_version(version)
                self.assertEqual(self.probe("platform", "urls"), [platform_line, urls])

    def test_missing_or_unreadable_version_file_means_10_0_0(self):
        host = self.world.host(SYSTEM_VERSION)
        damage = {
            "missing": lambda: None,
            "unreadable": lambda: (self.world.add_system_version("10.6.8"), os.chmod(host, 0)),
            "directory": lambda: os.makedirs(host),
            "garbage": lambda: self.world.write(SYSTEM_VERSION, b"\0\1\2garbage"),
            "not a string": lambda: self.world.write(
                SYSTEM_VERSION, "<plist><dict><key>ProductVersion</key><integer>11</integer>"
                                "</dict></plist>"),
        }
        for name, make in damage.items():
            with self.subTest(name):
                make()
                self.assertEqual(self.probe("platform", "urls"),
                                 ["platform 2 10 0 0 1", urls_line("10.0")])
                if os.path.isdir(host):
                    os.rmdir(host)
                elif os.path.exists(host):
                    os.remove(host)

    def test_version_file_is_read_once_per_process(self):
        self.world.add_system_version("10.6.8")
        self.assertEqual(self.probe("platform", "forget", SYSTEM_VERSION, "platform", "urls"),
                         ["platform 2 10 6 8 1", "forget 0", "platform 2 10 6 8 1",
                          urls_line("10.6")])
        # A new process reads the file again, and finds it gone.
        self.assertEqual(self.probe("platform"), ["platform 2 10 0 0 1"])


if __name__ == "__main__":
    unittest.main()
