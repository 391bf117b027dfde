"""Downloads that must stay within bounds: a signature or revocation list larger than its
kind may be, and a temporary directory that is full, read-only or missing. Each URL that
goes over its cap fails on its own; the files only ever go into a private directory, and
every road leaves nothing behind."""

import os
import unittest

from sandbox import HOME, LOG_ERR, LOG_NOTICE, RECORDS
from test_install import PLATFORM_PATH, RECORD, InstallCase, end, installer_script, sign

TOO_LARGE = "Download failure: The resource exceeds the maximum size."
CANNOT_CREATE = "Download failure: The destination file could not be created."
CANNOT_WRITE = "Download failure: The destination file could not be written."
PROGRAM = "/Applications/Install Sample.app/Contents/MacOS/Install Sample"
LEFT_IN_TMP = f"{RECORDS}/tmp-after"


class LimitCase(InstallCase):
    def install(self, *args, **kwargs):
        if os.path.exists(self.world.host(RECORD)):
            os.remove(self.world.host(RECORD))
        return super().install(*args, **kwargs)

    def assertFailedDownload(self, result, line):
        self.assertEqual(result.returncode, 11, result.stderr)
        self.assertEqual(result.log_pairs[-2:], [(LOG_ERR, line), end(11)])
        self.assertIn("which cannot be found", result.stderr)
        self.assertIsNone(self.world.recorded_args(RECORD), "no installer runs")


class SizeCaps(LimitCase):
    def test_a_signature_over_one_mebibyte_fails_its_url(self):
        # Announced, or only found out while it streams in.
        for name, route in (("announced", {"bytes": (1 << 20) + 1}),
                            ("unannounced", {"bytes": 3 << 20, "fault": "nolength"})):
            with self.subTest(name):
                self.routes[f"{PLATFORM_PATH}/installer.p7"] = route
                self.assertFailedDownload(self.install(), TOO_LARGE)

    def test_an_oversized_revocation_list_fails_alone_and_the_check_passes_open(self):
        # A failed list cannot show a revocation: the install goes on with the other list.
        for name, route in (("40 MiB list", {"bytes": 40 << 20}),
                            ("gzip bomb", {"fault": "gzipbomb", "size": 1 << 30})):
            with self.subTest(name):
                self.routes["/intermediate.crl"] = route
                result = self.install()
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn((LOG_ERR, TOO_LARGE), result.log_pairs)
                self.assertIn((LOG_NOTICE, "Detached signature verified"), result.log_pairs)
                self.assertIsNotNone(self.world.recorded_args(RECORD))


class TemporaryDirectory(LimitCase):
    def setUp(self):
        super().setUp()
        installer = os.path.join(self.srv, "installer")
        with open(installer, "wb") as f:
            f.write(installer_script(0) + (b"#" * 1023 + b"\n") * 256)
        sign(installer, "signer-good", "intermediate.pem", os.path.join(self.srv, "installer.p7"))
        # Runs the program, then lists what it left in /tmp from inside the sandbox.
        self.exe = self.world.write(f"{RECORDS}/run-and-list",
                                    f'#!/bin/sh\n"{PROGRAM}" "$@"\nstatus=$?\n'
                                    f"ls -A /tmp > {LEFT_IN_TMP}\nexit $status\n", mode=0o755)

    def left_in_tmp(self):
        with open(self.world.host(LEFT_IN_TMP), encoding="utf-8") as f:
            return f.read().split()

    def destinations(self, result):
        return [t for _, t in result.log_pairs if t.startswith("Download destination is ")]

    def test_full_or_unwritable_temporary_directories_fail_and_leave_nothing(self):
        # The installer goes into memory, not the directory: the signature is what a full
        # one refuses (256 KiB, under its cap, over the directory's size).
        table = [("full", {"tmp_size": 64 << 10}, {"bytes": 256 << 10}, CANNOT_WRITE),
                 ("read-only /tmp and home", {"read_only": {"/tmp", HOME}}, None, CANNOT_CREATE)]
        for name, world, signature, line in table:
            with self.subTest(name):
                if signature:
                    self.routes[f"{PLATFORM_PATH}/installer.p7"] = signature
                self.world.tmp_size = world.get("tmp_size")
                self.world.read_only = world.get("read_only", set())
                result = self.install()
                self.assertFailedDownload(result, line)
                self.assertEqual(self.left_in_tmp(), [])
                self.assertEqual(sorted(os.listdir(self.world.host(HOME))), [])

    def test_an_unusable_tmpdir_falls_back_to_tmp_then_home(self):
        # TMPDIR names nothing: /tmp takes the private directory. /tmp read-only: home.
        table = [("missing TMPDIR", set(), "/tmp/naib-"),
                 ("read-only /tmp", {"/tmp"}, f"{HOME}/naib-")]
        for name, read_only, parent in table:
            with self.subTest(name):
                self.world.read_only = read_only
                result = self.install(env={"TMPDIR": "/run/records/no-such-dir"})
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIsNotNone(self.world.recorded_args(RECORD))
                for line in self.destinations(result):
                    self.assertTrue(line.startswith(f"Download destination is {parent}"), line)
                self.assertEqual(len(self.destinations(result)), 4)
                self.assertEqual(self.left_in_tmp(), [])
                self.assertEqual(sorted(os.listdir(self.world.host(HOME))), [])


if __name__ == "__main__":
    unittest.main()
