"""Offline bundles: the bundle carries the published download tree under
Contents/Resources/Runtime, and a machine without the runtime installs from it with the
network unplugged. Every scenario runs in a sandbox with loopback only and no server, the
bundle bound read-only and its carried installer without execute bits; what the bundle
carries is checked exactly like a download, and every road leaves nothing behind."""

import os
import re
import unittest

import sandbox
from sandbox import LOG_ERR, LOG_NOTICE
from test_install import (BEGIN, NOT_INSTALLED, PACKAGE, RECORD, VALIDATION_FAILED, assert_log,
                          end, installer_script, pki, runtime_installer_lines, sign)

RUNTIME = "/Applications/Install Sample.app/Contents/Resources/Runtime"
INSTALLER = f"{RUNTIME}/orvel/3/nai/macos10.6/x86/installer"
UPDATE_DISABLED_MARKER = "/home/user/Library/Application Support/Halvex/Orvel/updateDisabled"
CURRENT_LISTS = {"root.crl": "crl-root.der", "intermediate.crl": "crl-intermediate-before.der"}


def using(what, path):
    return (LOG_NOTICE, f"Using {what} carried in the bundle at {path}")


CARRIED = [BEGIN, NOT_INSTALLED, using("runtime installer", INSTALLER),
           using("signature", INSTALLER + ".p7")]
CARRIED_LISTS = [using("revocation list", f"{RUNTIME}/{name}")
                 for name in ("root.crl", "intermediate.crl")]
VERIFIED = [(LOG_NOTICE, "Begin cert chain validation"),
            (LOG_NOTICE, "Cert chain validation succeeded"),
            (LOG_NOTICE, "Detached signature verified")]
SILENT = ["-silent", "-eulaAccepted", "-allowDownload"]
FORWARDED = ["-silent", "-eulaAccepted", PACKAGE]

# name, how the world differs, arguments, exit status, the installer's arguments (None:
# it never ran), the whole install log (strings are exact, patterns match).
SCENARIOS = [
    ("everything carried", {}, SILENT, 0, FORWARDED,
     CARRIED + CARRIED_LISTS + VERIFIED + runtime_installer_lines(FORWARDED, 0) + [end(0)]),
    # No arguments at all would allow downloads; these two leave them disallowed.
    ("no -allowDownload, progress shown", {}, ["-eulaAccepted", "-desktopShortcut"], 0,
     ["-eulaAccepted", "-desktopShortcut", PACKAGE],
     CARRIED + CARRIED_LISTS + VERIFIED +
     runtime_installer_lines(["-eulaAccepted", "-desktopShortcut", PACKAGE], 0) + [end(0)]),
    ("installer changed by one byte", {"tamper": True}, SILENT, 13, None,
     CARRIED + [(LOG_ERR, "Detached signature validation failed"), end(13)]),
    ("signer revoked by a carried current list",
     {"signer": "signer-revoked",
      "lists": {**CURRENT_LISTS, "intermediate.crl": "crl-intermediate.der"}},
     SILENT, 13, None,
     CARRIED + CARRIED_LISTS +
     [(LOG_NOTICE, "Begin cert chain validation"), (LOG_NOTICE, "Cert revocation found"),
      (LOG_ERR, "Cert chain validation failed"), (LOG_NOTICE, "Cert revocation found"), end(13)]),
    # The out-of-date list does revoke the signer; used after the failed fetch, it is
    # ignored as out of date, and the check passes open.
    ("carried list out of date, fetch fails",
     {"signer": "signer-revoked",
      "lists": {**CURRENT_LISTS, "intermediate.crl": "crl-intermediate-expired.der"}},
     SILENT, 0, FORWARDED,
     CARRIED + [CARRIED_LISTS[0],
                (LOG_NOTICE, "Begin crl download from http://crl.halvex.example/intermediate.crl")] +
     [(LOG_NOTICE, f"Download interrupted after 0 bytes, retrying ({n} of 4)") for n in range(1, 5)] +
     [(LOG_ERR, re.compile(r"^Download failure: ")), CARRIED_LISTS[1]] +
     VERIFIED + runtime_installer_lines(FORWARDED, 0) + [end(0)]),
    ("only the installer carried: no runtime", {"carry": ("installer",)}, ["-silent"], 10, None,
     [BEGIN, NOT_INSTALLED,
      (LOG_ERR, "Unable to download runtime installer without -allowDownload"), end(10)]),
    ("too old runtime, updates disabled", {"runtime": "1.0.0.0"}, ["-silent"], 15, None,
     [BEGIN, (LOG_NOTICE, re.compile(r"^Installed runtime \(1\.0\.0\.0\) located at ")),
      (LOG_ERR, "Cannot complete installation because runtime updates are disabled on this "
                "machine"), end(15)]),
]


class OfflineBundle(unittest.TestCase):
    def carrying_world(self, signer="signer-good", lists=None, carry=("installer", "installer.p7"),
                       tamper=False, runtime=None):
        world = sandbox.World()
        self.addCleanup(world.close)
        world.offline = True
        world.read_only = {"/Applications"}
        world.add_system_version("10.6.8")
        exe = world.add_bundle()
        installer = world.write(INSTALLER, installer_script(0), mode=0o644)
        sign(world.host(installer), signer, "intermediate.pem", world.host(INSTALLER + ".p7"))
        for name in {"installer", "installer.p7"} - set(carry):
            os.unlink(world.host(f"{os.path.dirname(INSTALLER)}/{name}"))
        for name, source in (CURRENT_LISTS if lists is None else lists).items():
            with open(pki(source), "rb") as f:
                world.write(f"{RUNTIME}/{name}", f.read())
        if tamper:  # one byte: "exit 0" becomes "exit 1"
            world.write(INSTALLER, installer_script(0).replace(b"exit 0", b"exit 1"), mode=0o644)
        if runtime:
            world.add_runtime(runtime)
            world.write(UPDATE_DISABLED_MARKER, "")
        return world, exe

    def test_scenarios(self):
        for name, changes, args, status, ran, log in SCENARIOS:
            with self.subTest(name):
                world, exe = self.carrying_world(**changes)
                result = world.run([exe] + args, timeout=60)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(world.recorded_args(RECORD), ran)
                assert_log(self, result.log_pairs, log)
                self.assertEqual(result.tmp_files, [], "every road removes its temporary files")
                self.assertEqual(VALIDATION_FAILED in result.stderr, status == 13)
                if "-silent" not in args:
                    self.assertIn("Installing Sample [", result.stderr)


if __name__ == "__main__":
    unittest.main()
