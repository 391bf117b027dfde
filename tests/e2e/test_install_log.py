"""Every install-log message function, observed through the real system-log socket: its
text, its priority, one entry per event, argument text taken literally."""

import unittest

import sandbox
from sandbox import LOG_DEBUG, LOG_ERR, LOG_NOTICE, LOG_USER, LOG_WARNING

PROBE = "/Applications/naib-logprobe"
FRAMEWORK = "/Library/Frameworks/Halvex Orvel.framework"

# (call, priority, text). Arguments carry conversions that must come out unchanged.
EVENTS = [
    (["logApplicationBegin", "Bootstrapper", "1.0.0.1", "Mac", "x86"], LOG_NOTICE,
     "Bootstrapper begin with version 1.0.0.1 on Mac x86"),
    (["logApplicationEnd", "true", "Bootstrapper", "0"], LOG_NOTICE,
     "Bootstrapper end with exit code 0"),
    (["logApplicationEnd", "false", "Bootstrapper", "11"], LOG_ERR,
     "Bootstrapper end with exit code 11"),
    (["logRuntimeInstalled", "2", "5", "1", "8090", FRAMEWORK], LOG_NOTICE,
     f"Installed runtime (2.5.1.8090) located at {FRAMEWORK}"),
    (["logRuntimeNotInstalled"], LOG_NOTICE, "No installed runtime detected"),
    (["logImmediateUpdateDisabled"], LOG_ERR,
     "Cannot complete installation because runtime updates are disabled on this machine"),
    (["logSubprocessBegin", "/tmp/x/inst -silent %s %n"], LOG_NOTICE,
     "Launching subprocess with commandline /tmp/x/inst -silent %s %n"),
    (["logSubprocessSuccess", "Runtime Installer"], LOG_NOTICE,
     "Subprocess Runtime Installer succeeded"),
    (["logSubprocessFailure", "Application Installer", "-1"], LOG_ERR,
     "Subprocess Application Installer failed (-1)"),
    (["logDownloadBegin", "runtime", "http://h/a%n%s%d%%"], LOG_NOTICE,
     "Begin runtime download from http://h/a%n%s%d%%"),
    (["logDownloadDest", "/tmp/Téléchargé/運行時.dmg"], LOG_NOTICE,
     "Download destination is /tmp/Téléchargé/運行時.dmg"),
    (["logDownloadSuccess"], LOG_NOTICE, "Download success"),
    (["logDownloadFailure", "%n%n%n%s%s%s%m"], LOG_ERR, "Download failure: %n%n%n%s%s%s%m"),
    (["logDownloadCancel"], LOG_NOTICE, "Download cancelled"),
    (["logSigValid", "Detached"], LOG_NOTICE, "Detached signature verified"),
    (["logSigInvalid", "Detached"], LOG_ERR, "Detached signature validation failed"),
    (["logCouldNotLocateAppDir", "/A.app/Contents/Resources/%s"], LOG_ERR,
     'Could not locate native install directory ("/A.app/Contents/Resources/%s")'),
    (["logMissingAllowDownloadFlag"], LOG_ERR,
     "Unable to download runtime installer without -allowDownload"),
    (["logCertChainBegin"], LOG_NOTICE, "Begin cert chain validation"),
    (["logCertRevocationFound"], LOG_NOTICE, "Cert revocation found"),
    (["logCertChainSuccess"], LOG_NOTICE, "Cert chain validation succeeded"),
    (["logCertChainFailure"], LOG_ERR, "Cert chain validation failed"),
]


def joined(calls):
    """The probe's argument list for several calls in one process."""
    argv = []
    for call in calls:
        argv += call + [";"]
    return argv[:-1]


class InstallLog(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.world = sandbox.World()
        cls.world.add_program(sandbox.build_output("NAIB_LOGPROBE"), PROBE)

    @classmethod
    def tearDownClass(cls):
        cls.world.close()

    def probe(self, *args):
        result = self.world.run([PROBE, *args])
        self.assertFalse(result.timed_out)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def test_each_event_is_one_line_with_its_priority(self):
        for call, priority, text in EVENTS:
            with self.subTest(call=call[0], text=text):
                result = self.probe(*call)
                self.assertEqual(result.log_pairs, [(priority, text)])
                self.assertEqual(result.stdout, "")

    def test_lines_keep_their_order_and_the_default_identity(self):
        result = self.probe(*joined([call for call, _, _ in EVENTS]))
        self.assertEqual(result.log_pairs, [(p, t) for _, p, t in EVENTS])
        # The log is never opened by the library: the program's name and the user
        # facility are the system's defaults.
        self.assertEqual({(line.ident, line.facility) for line in result.log},
                         {("naib-logprobe", LOG_USER)})

    def test_standard_output_copy_matches_the_log(self):
        result = self.probe("--stdout", *joined([call for call, _, _ in EVENTS]))
        self.assertEqual(result.stdout, "".join(f"status {t}\n" for _, _, t in EVENTS))
        self.assertEqual(result.log_pairs, [(p, t) for _, p, t in EVENTS])

    def test_severities_map_to_priorities_and_others_fail(self):
        calls = [["installLog", str(s), f"severity {s}"] for s in (0, 1, 2, 3, 4, -1)]
        result = self.probe("--stdout", *joined(calls))
        self.assertEqual(result.log_pairs, [(LOG_ERR, "severity 0"), (LOG_WARNING, "severity 1"),
                                            (LOG_NOTICE, "severity 2"), (LOG_DEBUG, "severity 3")])
        # The copy of an out-of-range line is written before the severity is refused.
        expected = "".join(f"status severity {s}\ninstallLog returned {0 if 0 <= s <= 3 else -3}\n"
                           for s in (0, 1, 2, 3, 4, -1))
        self.assertEqual(result.stdout, expected)


if __name__ == "__main__":
    unittest.main()
