"""Hostile local input: property lists nested far too deep for the library that reads them,
and arguments that would split or swamp an install-log record."""

import os
import sys
import unittest

import sandbox
from sandbox import LOG_NOTICE

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "http_server.py")
APP = "/Applications/Install Sample.app"
PACKAGE = f"{APP}/Contents/Resources/Sample"
FRAMEWORK_INFO = "/Library/Frameworks/Halvex Orvel.framework/Resources/Info.plist"
SYSTEM_VERSION = "/System/Library/CoreServices/SystemVersion.plist"


def deep_xml(levels):
    """An information list with a version, and a value nested levels arrays deep."""
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>'
            "<key>CFBundleVersion</key><string>2.5.1.8090</string>"
            "<key>ProductVersion</key><string>10.6.8</string><key>Deep</key>"
            + "<array>" * levels + "</array>" * levels + "</dict></plist>")


class DeepPropertyLists(unittest.TestCase):
    def test_a_deep_list_counts_as_unreadable_wherever_it_is(self):
        # 200,000 levels crashed the program inside the library, even for -version (binary
        # lists: see the unit tests).
        with sandbox.World() as world:
            exe = world.add_bundle()
            for path in (f"{APP}/Contents/Info.plist", FRAMEWORK_INFO, SYSTEM_VERSION):
                world.write(path, deep_xml(200_000))

            result = world.run([exe, "-version"])
            self.assertEqual((result.returncode, result.stdout), (0, "17.0.0.124\n"),
                             result.stderr)

            requests = world.host("/run/records/requests.log")
            server = world.start_helper([sys.executable, SERVER, "--root",
                                         world.host("/run/records"), "--log", requests,
                                         "--lifetime", "60"])
            result = world.run([exe, "-silent", "-allowDownload"], http_proxy=server)
            # No bundle version, no runtime, and the system's default version 10.0.
            self.assertEqual(result.log_pairs[:2], [
                (LOG_NOTICE, "Bootstrapper begin with version unknown on Mac x86"),
                (LOG_NOTICE, "No installed runtime detected")])
            with open(requests, encoding="utf-8") as f:
                self.assertEqual(f.readline().strip(), "GET /orvel/3/nai/macos10.0/x86/installer")
            self.assertEqual(result.returncode, 11, result.stderr)
            self.assertEqual(result.tmp_files, [])


class LogIntegrity(unittest.TestCase):
    def test_each_event_stays_one_bounded_record(self):
        long_location = "/opt/" + "x" * 10 * 1024
        for location, logged in (
                ("/opt/a\nb\tc", "/opt/a#012b#011c"),
                (long_location, None)):
            with self.subTest(location=location[:16]), sandbox.World() as world:
                record = world.add_runtime("2.5.1.8090")
                exe = world.add_bundle()
                result = world.run([exe, "-location", location])
                self.assertEqual(result.returncode, 0, result.stderr)
                # The installer gets the argument as it was given; only the log escapes it.
                self.assertEqual(world.recorded_args(record), ["-location", location, PACKAGE])
                command = f'"Orvel Application Installer" -location {location} {PACKAGE} '
                if logged is not None:
                    expected = command.replace(location, logged)
                else:
                    cut = len(command.encode()) - 4096
                    expected = command[:4096] + f" ... [{cut} bytes cut]"
                launches = [text for _, text in result.log_pairs if text.startswith("Launching")]
                self.assertEqual(launches, [f"Launching subprocess with commandline {expected}"])
                self.assertEqual(len(result.log), 5)


if __name__ == "__main__":
    unittest.main()
