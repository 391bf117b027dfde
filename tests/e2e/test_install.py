"""A first install on a machine without the runtime, end to end: the runtime installer and
its signature come from a local server (reached as the program's HTTP proxy), the
signature is checked against the test root and the revocation lists, and the installer
runs with the validated options and the package path. Every failure road tells the person,
logs its end, leaves no temporary file and exits with its code."""

import json
import os
import re
import subprocess
import sys
import unittest

import sandbox
from sandbox import LOG_ERR, LOG_NOTICE

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "http_server.py")
PACKAGE = "/Applications/Install Sample.app/Contents/Resources/Sample"
PLATFORM_PATH = "/orvel/3/nai/macos10.6/x86"
RECORD = "/run/records/runtime-installer.args"

BEGIN = (LOG_NOTICE, "Bootstrapper begin with version 1.0.0.1 on Mac x86")
NOT_INSTALLED = (LOG_NOTICE, "No installed runtime detected")
# The runtime's name is shown joined by a no-break space, so no line breaks inside it.
VALIDATION_FAILED = "Unable to validate the downloaded version of Halvex\u00a0Orvel."
SYSTEM_UNSUPPORTED = "is not available for your system"


def end(code):
    return (LOG_NOTICE if code == 0 else LOG_ERR, f"Bootstrapper end with exit code {code}")


def pki(name):
    return os.path.join(sandbox.build_output("NAIB_PKI"), name)


def installer_script(status):
    return ("#!/bin/sh\n"
            f"printf '%s\\0' \"$@\" > '{RECORD}'\n"
            f"exit {status}\n").encode()


def sign(data_path, signer, chain, out_path):
    subprocess.run(["openssl", "smime", "-sign", "-binary", "-md", "sha256", "-in", data_path,
                    "-signer", pki(f"{signer}.pem"), "-inkey", pki(f"{signer}.key"),
                    "-certfile", pki(chain), "-outform", "DER", "-out", out_path],
                   check=True, capture_output=True)


class InstallCase(unittest.TestCase):
    """A world with the program, a system version of 10.6.8 and a server that publishes a
    runtime installer signed by the good signer and current, empty revocation lists."""

    def setUp(self):
        self.world = sandbox.World()
        self.addCleanup(self.world.close)
        self.world.add_system_version("10.6.8")
        self.exe = self.world.add_bundle()
        self.srv = os.path.join(self.world.root, "srv")
        os.makedirs(self.srv)
        self.routes = {f"{PLATFORM_PATH}/installer": {"file": "installer"},
                       f"{PLATFORM_PATH}/installer.p7": {"file": "installer.p7"},
                       "/intermediate.crl": {"file": "intermediate.crl"},
                       "/root.crl": {"file": "root.crl"}}
        self.publish(installer_status=0, signer="signer-good")
        self.copy(pki("crl-intermediate-before.der"), "intermediate.crl")
        self.copy(pki("crl-root.der"), "root.crl")

    def copy(self, source, name):
        with open(source, "rb") as f, open(os.path.join(self.srv, name), "wb") as g:
            g.write(f.read())

    def publish(self, installer_status, signer, chain="intermediate.pem"):
        installer = os.path.join(self.srv, "installer")
        with open(installer, "wb") as f:
            f.write(installer_script(installer_status))
        sign(installer, signer, chain, os.path.join(self.srv, "installer.p7"))

    def serve(self, timeout=60):
        """Starts the server of the routes; self.requests names its request log."""
        routes = os.path.join(self.world.root, "routes.json")
        with open(routes, "w", encoding="utf-8") as f:
            json.dump(self.routes, f)
        self.requests = os.path.join(self.world.root, "requests.log")
        open(self.requests, "w").close()
        return self.world.start_helper([sys.executable, SERVER, "--root", self.srv, "--routes",
                                        routes, "--log", self.requests, "--lifetime",
                                        str(timeout + 60)])

    def install(self, args=("-silent", "-eulaAccepted", "-allowDownload"), timeout=60, env=None,
                server=None):
        """Runs the program with the server as its http_proxy, or, when server is given,
        with the proxy settings env gives it."""
        proxy = None if server else self.serve(timeout)
        result = self.world.run([self.exe] + list(args), http_proxy=proxy, timeout=timeout,
                                env=env)
        self.assertFalse(result.timed_out, result.stderr)
        self.assertEqual(result.tmp_files, [], "every road removes its temporary files")
        return result

    def requested(self):
        with open(self.requests, encoding="utf-8") as f:
            return [line.split()[1] for line in f]

    def assertLogMatches(self, result, expected):
        assert_log(self, result.log_pairs, expected)


def assert_log(case, pairs, expected):
    """expected: (priority, text or compiled pattern) in order."""
    case.assertEqual(len(pairs), len(expected), "\n".join(map(str, pairs)))
    for (priority, text), (want_priority, want) in zip(pairs, expected):
        case.assertEqual(priority, want_priority, text)
        if isinstance(want, re.Pattern):
            case.assertRegex(text, want)
        else:
            case.assertEqual(text, want)


def download_lines(kind, path):
    return [(LOG_NOTICE, re.compile(rf"^Begin {kind} download from http://[^/]+{re.escape(path)}$")),
            (LOG_NOTICE, re.compile(rf"^Download destination is /tmp/[^/]+/{re.escape(os.path.basename(path))}$")),
            (LOG_NOTICE, "Download success")]


CRL = re.compile(r"^Begin crl download from http://crl\.halvex\.example/(root|intermediate)\.crl$")
CRL_LINES = [(LOG_NOTICE, CRL), (LOG_NOTICE, re.compile(r"^Download destination is /tmp/")),
             (LOG_NOTICE, "Download success")] * 2
FETCH = ([BEGIN, NOT_INSTALLED] + download_lines("runtime", f"{PLATFORM_PATH}/installer") +
         download_lines("signature", f"{PLATFORM_PATH}/installer.p7"))


def runtime_installer_lines(args, status):
    command = '"Orvel Runtime Installer" ' + "".join(a + " " for a in args)
    outcome = ((LOG_NOTICE, "Subprocess Runtime Installer succeeded") if status == 0 else
               (LOG_ERR, f"Subprocess Runtime Installer failed ({status})"))
    return [(LOG_NOTICE, f"Launching subprocess with commandline {command}"), outcome]


def verified_road_lines(forwarded):
    """The log of a first install whose installer passes every check, runs with forwarded
    and succeeds."""
    return (FETCH + CRL_LINES + [
        (LOG_NOTICE, "Begin cert chain validation"),
        (LOG_NOTICE, "Cert chain validation succeeded"),
        (LOG_NOTICE, "Detached signature verified")] +
        runtime_installer_lines(forwarded, 0) + [end(0)])


class FirstInstall(InstallCase):
    def test_the_whole_road_runs_the_verified_installer_with_the_options(self):
        result = self.install()
        self.assertEqual(result.returncode, 0, result.stderr)
        forwarded = ["-silent", "-eulaAccepted", PACKAGE]
        self.assertLogMatches(result, verified_road_lines(forwarded))
        self.assertEqual(self.world.recorded_args(RECORD), forwarded)
        self.assertCountEqual(self.requested(), [f"{PLATFORM_PATH}/installer",
                                                 f"{PLATFORM_PATH}/installer.p7",
                                                 "/root.crl", "/intermediate.crl"])
        self.assertEqual(result.stderr, "", "a silent, successful install shows nothing")

    def test_without_options_the_installer_gets_x1_and_its_status_is_the_exit_code(self):
        self.publish(installer_status=7, signer="signer-good")
        result = self.install(args=())
        self.assertEqual(result.returncode, 7)
        self.assertEqual(self.world.recorded_args(RECORD), ["-x1", PACKAGE])
        self.assertEqual(result.log_pairs[-3:],
                         runtime_installer_lines(["-x1", PACKAGE], 7) + [end(7)])
        self.assertNotIn(VALIDATION_FAILED, result.stderr, "an installer's own failure shows no alert")
        # Standard error is a pipe here: the progress comes as plain lines, no escapes.
        self.assertIn("Installing Sample [", result.stderr)
        self.assertNotIn("\x1b", result.stderr)
        self.assertNotIn("\r", result.stderr)


class RejectedInstaller(InstallCase):
    def assertRejected(self, result, code=13):
        self.assertEqual(result.returncode, code, result.stderr)
        self.assertIn(VALIDATION_FAILED, result.stderr)
        self.assertIsNone(self.world.recorded_args(RECORD), "a rejected installer never runs")

    def test_an_installer_changed_after_signing_is_never_run(self):
        with open(os.path.join(self.srv, "installer"), "ab") as f:
            f.write(b"# appended by someone else\n")
        result = self.install()
        self.assertRejected(result)
        self.assertLogMatches(result, FETCH + [(LOG_ERR, "Detached signature validation failed"),
                                               end(13)])

    def test_a_signer_with_the_wrong_usage_is_rejected(self):
        self.publish(installer_status=0, signer="signer-eku-prefix")
        result = self.install()
        self.assertRejected(result)
        self.assertLogMatches(result, FETCH + [(LOG_ERR, "Detached signature validation failed"),
                                               end(13)])

    def test_a_revoked_signer_is_rejected_after_the_revocation_check(self):
        self.publish(installer_status=0, signer="signer-revoked")
        self.copy(pki("crl-intermediate.der"), "intermediate.crl")
        result = self.install()
        self.assertRejected(result)
        self.assertLogMatches(result, FETCH + CRL_LINES + [
            (LOG_NOTICE, "Begin cert chain validation"), (LOG_NOTICE, "Cert revocation found"),
            (LOG_ERR, "Cert chain validation failed"), (LOG_NOTICE, "Cert revocation found"),
            end(13)])

    def test_a_missing_revocation_list_does_not_turn_a_revocation_into_a_system_message(self):
        self.publish(installer_status=0, signer="signer-revoked")
        self.copy(pki("crl-intermediate.der"), "intermediate.crl")
        self.routes["/root.crl"] = {"status": 404}
        result = self.install()
        self.assertRejected(result)
        self.assertNotIn(SYSTEM_UNSUPPORTED, result.stderr)


class FailedDownload(InstallCase):
    def test_no_installer_for_this_system_shows_the_requirements_dialog(self):
        for missing in ("installer", "installer.p7"):
            with self.subTest(missing=missing):
                self.routes[f"{PLATFORM_PATH}/{missing}"] = {"status": 404}
                result = self.install()
                self.assertEqual(result.returncode, 11)
                self.assertIn(SYSTEM_UNSUPPORTED, result.stderr)
                self.assertIn("system requirements", result.stderr)
                self.assertEqual(result.log_pairs[-2][0], LOG_ERR)
                self.assertTrue(result.log_pairs[-2][1].startswith("Download failure: "))
                self.assertEqual(result.log_pairs[-1], end(11))
                self.assertIsNone(self.world.recorded_args(RECORD))
                self.routes[f"{PLATFORM_PATH}/{missing}"] = {"file": missing}

    def test_a_server_error_shows_the_runtime_not_found_alert(self):
        self.routes[f"{PLATFORM_PATH}/installer"] = {"status": 500}
        result = self.install()
        self.assertEqual(result.returncode, 11)
        self.assertIn("which cannot be found", result.stderr)
        self.assertEqual(self.requested(), [f"{PLATFORM_PATH}/installer"],
                         "the signature is never asked for after the installer failed")
        self.assertEqual(result.log_pairs[-2][0], LOG_ERR)
        self.assertTrue(result.log_pairs[-2][1].startswith("Download failure: "))


if __name__ == "__main__":
    unittest.main()
