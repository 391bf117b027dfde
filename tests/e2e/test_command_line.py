"""The command line, checked before anything else happens: "-version" and every kind of
rejected command line, seen from outside the real program."""

import unittest

import sandbox

USAGE = ("Available Options: -silent { -eulaAccepted ( -location <dir> ) -desktopShortcut "
         "-programMenu -allowDownload }\n")

REJECTED = [
    ["-silent", "-version"],
    ["-version", "-silent"],
    ["-version", "-version"],
    ["-eulaAccepted", "-silent"],
    ["-silent", "-silent"],
    ["-silent", "-eulaAccepted", "-silent"],
    ["-silent", "-location"],
    ["-eulaAccepted"],
    ["-allowDownload"],
    ["-location"],
    ["-SILENT"],
    ["-silent "],
    ["-Version"],
    ["-silent", "-allowdownload"],
    ["-silent", "--eulaAccepted"],
    ["-silent", "-location", "/opt", "extra"],
    ["-psn_0_1", "-eulaAccepted"],
    [""],
    ["%s%n%s%n"],
]


class CommandLine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.world = sandbox.World()
        cls.exe = cls.world.add_bundle()
        cls.runtime_record = cls.world.add_runtime("2.5.1.8090")

    @classmethod
    def tearDownClass(cls):
        cls.world.close()

    def assertEndedQuietly(self, result, code, stdout):
        self.assertFalse(result.timed_out)
        self.assertEqual(result.returncode, code, result.stderr)
        self.assertEqual(result.stdout, stdout)
        self.assertEqual(result.stderr, "", "no window or alert for a command-line answer")
        self.assertEqual(result.log, [], "nothing is logged before the command line passes")
        self.assertEqual(result.tmp_files, [])
        self.assertIsNone(self.world.recorded_args(self.runtime_record),
                          "no installer runs for a command line that stops the launch")

    def test_version_answers_without_logging(self):
        for args in (["-version"], ["-psn_0_4711", "-version"]):
            with self.subTest(args=args):
                self.assertEndedQuietly(self.world.run([self.exe] + args), 0, "17.0.0.124\n")

    def test_rejected_command_lines_print_the_usage_line_and_exit_2(self):
        for args in REJECTED:
            with self.subTest(args=args):
                self.assertEndedQuietly(self.world.run([self.exe] + args), 2, USAGE)


class CommandLineInABrokenBundle(unittest.TestCase):
    """The command line is answered before the bundle is looked at: no version, no
    package, no runtime changes nothing."""

    def test_version_and_rejection_need_no_bundle_contents(self):
        with sandbox.World() as world:
            exe = world.add_bundle(version=None, package="absent")
            version = world.run([exe, "-version"])
            self.assertEqual((version.returncode, version.stdout, version.log),
                             (0, "17.0.0.124\n", []))
            rejected = world.run([exe, "-eulaAccepted"])
            self.assertEqual((rejected.returncode, rejected.stdout, rejected.log), (2, USAGE, []))
            self.assertEqual(world.tmp_files(), [])


if __name__ == "__main__":
    unittest.main()
