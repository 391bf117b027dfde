"""Downloads over a network that breaks: the runtime installer's transfer is dropped,
refused for a while, answered wrongly or slowly, and the program retries, resumes where it
can, and either installs the very bytes that were signed or ends on the usual failure road
within a bounded time."""

import os
import re
import time
import unittest

from sandbox import LOG_ERR, LOG_NOTICE
from test_install import PLATFORM_PATH, RECORD, InstallCase, end, installer_script, sign

INSTALLER = f"{PLATFORM_PATH}/installer"
RETRY = re.compile(r"^Download interrupted after (\d+) bytes, retrying \((\d) of 4\)$")
# Large enough that a transfer dropped half-way has kept many bytes.
PADDING = 1 << 20


class InterruptedCase(InstallCase):
    def setUp(self):
        super().setUp()
        # Comment lines after the script's exit make a large installer that still runs.
        installer = os.path.join(self.srv, "installer")
        with open(installer, "wb") as f:
            f.write(installer_script(0) + (b"#" * 1023 + b"\n") * (PADDING // 1024))
        sign(installer, "signer-good", "intermediate.pem", os.path.join(self.srv, "installer.p7"))

    def install(self, *args, **kwargs):
        # The record of an earlier run in the same world must not pass for this one's.
        if os.path.exists(self.world.host(RECORD)):
            os.remove(self.world.host(RECORD))
        return super().install(*args, **kwargs)

    def retries(self, result):
        """(bytes kept, k) of every retry line, in order, each logged as a notice."""
        found = []
        for priority, text in result.log_pairs:
            m = RETRY.match(text)
            if m:
                self.assertEqual(priority, LOG_NOTICE, text)
                found.append((int(m.group(1)), int(m.group(2))))
        return found

    def installer_requests(self):
        with open(self.requests, encoding="utf-8") as f:
            return [line.rstrip("\n") for line in f if line.split()[1] == INSTALLER]

    def assertInstalled(self, result):
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn((LOG_NOTICE, "Detached signature verified"), result.log_pairs)
        self.assertEqual(self.world.recorded_args(RECORD)[-1].split("/")[-1], "Sample")
        self.assertEqual(result.log_pairs[-1], end(0))


class RecoveredDownloads(InterruptedCase):
    def test_one_retry_then_the_signed_installer_runs(self):
        # route of the installer, whether the retry asks for the rest, retry lines' bytes
        table = [
            ("dropped at half once", {"fault": "reset", "at": 0.5, "times": 1}, True, "some"),
            ("server ignores Range", {"fault": "reset", "at": 0.5, "times": 1, "ranges": False},
             True, "some"),
            ("entity changed between attempts",
             {"fault": "reset", "at": 0.5, "times": 1, "etag": "per-request"}, True, "some"),
            ("503 with Retry-After: 1 once", {"status": 503, "retry_after": 1, "times": 1},
             False, "none"),
        ]
        for name, fault, ranged, kept in table:
            with self.subTest(name):
                self.routes[INSTALLER] = {"file": "installer", **fault}
                result = self.install()
                self.assertInstalled(result)
                retries = self.retries(result)
                self.assertEqual([k for _, k in retries], [1], result.log_pairs)
                got = retries[0][0]
                self.assertTrue(0 < got < PADDING if kept == "some" else got == 0, got)
                requests = self.installer_requests()[-2:]
                self.assertNotIn("range=", requests[0])
                if ranged:
                    self.assertRegex(requests[1], rf" range=bytes={got}- if-range=\S")
                else:
                    self.assertNotIn("range=", requests[1])
                # One destination for the whole transfer, whatever the retries did.
                destinations = [t for _, t in result.log_pairs
                                if t.startswith("Download destination") and t.endswith("/installer")]
                self.assertEqual(len(destinations), 1, result.log_pairs)

    def test_slow_servers_time_out_and_the_retry_installs(self):
        # A body of one byte per 25 s never trips the 30 s no-data rule, and a header line a
        # second keeps the connection busy: the speed and header rules end the attempt.
        table = [("one header line a second", {"fault": "slowheaders", "interval": 1}, 29, 50),
                 ("one byte every 25 s", {"fault": "trickle", "chunk": 1, "interval": 25}, 59, 85)]
        for name, fault, earliest, latest in table:
            with self.subTest(name):
                self.routes[INSTALLER] = {"file": "installer", "times": 1, **fault}
                started = time.monotonic()
                result = self.install(timeout=120)
                took = time.monotonic() - started
                self.assertInstalled(result)
                self.assertEqual([k for _, k in self.retries(result)], [1])
                self.assertTrue(earliest <= took <= latest, took)


class FailedDownloads(InterruptedCase):
    def test_resets_on_every_attempt_fail_as_today_after_four_retries(self):
        self.routes[INSTALLER] = {"file": "installer", "fault": "reset", "at": 0.5}
        started = time.monotonic()
        result = self.install()
        took = time.monotonic() - started
        self.assertEqual(result.returncode, 11)
        self.assertEqual([k for _, k in self.retries(result)], [1, 2, 3, 4])
        self.assertEqual(result.log_pairs[-2:], [
            (LOG_ERR, "Download failure: The network connection was lost."), end(11)])
        self.assertIn("which cannot be found", result.stderr)
        self.assertIsNone(self.world.recorded_args(RECORD))
        self.assertEqual(len(self.installer_requests()), 5)
        # Waits of half to all of 1 + 2 + 4 + 8 s, and each attempt takes well under a second.
        self.assertTrue(7.5 <= took < 30, took)


if __name__ == "__main__":
    unittest.main()
