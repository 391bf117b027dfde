"""What a vendor ships, end to end: the bundle, the signature and the download tree made by
the vendor tools, and the real program installing from that tree in the sandbox; and
naib-verify's verdict beside the program's on the same files."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import sandbox
import shipping
from sandbox import LOG_NOTICE

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "http_server.py")
RECORD = "/run/records/runtime-installer.args"
PLATFORM_PATH = "orvel/3/nai/macos10.6/x86"
INSTALLER = ("#!/bin/sh\n"
             f"printf '%s\\0' \"$@\" > '{RECORD}'\n"
             "exit 0\n").encode()


class ShippedInstall(unittest.TestCase):
    def test_a_tree_made_by_the_tools_installs(self):
        with sandbox.World() as world, tempfile.TemporaryDirectory() as work:
            world.add_system_version(shipping.SYSTEM)
            shipment = shipping.ship(world, work, INSTALLER)
            requests = os.path.join(work, "requests.log")
            server = world.start_helper([sys.executable, SERVER, "--root", shipment.tree,
                                         "--log", requests, "--lifetime", "120"])
            result = world.run([shipment.exe, "-silent", "-allowDownload"], http_proxy=server,
                               timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            package = f"/Applications/Install {shipping.PACKAGE}.app/Contents/Resources/Sample"
            self.assertEqual(world.recorded_args(RECORD), ["-silent", package])
            self.assertIn((LOG_NOTICE, "Detached signature verified"), result.log_pairs)
            self.assertIn((LOG_NOTICE, "Cert chain validation succeeded"), result.log_pairs)
            self.assertEqual(result.tmp_files, [])
            # The program fetched exactly what naib-publish said it serves.
            with open(requests, encoding="utf-8") as f:
                requested = sorted(line.split()[1] for line in f)
            published = sorted("/" + url.split("/", 3)[3] for url in shipment.urls)
            self.assertEqual(requested, published)
            self.assertIn(f"/{PLATFORM_PATH}/installer.p7", published)
            # The package went in whole: modes and links kept.
            resources = world.host(package)
            self.assertEqual(os.stat(f"{resources}/Contents/MacOS/sample").st_mode & 0o777, 0o755)
            self.assertEqual(os.readlink(f"{resources}/Contents/run"), "MacOS/sample")


    def test_a_bundle_carrying_the_tree_installs_with_the_network_unplugged(self):
        with sandbox.World() as world, tempfile.TemporaryDirectory() as work:
            world.add_system_version(shipping.SYSTEM)
            shipment = shipping.ship(world, work, INSTALLER)
            shipping.checked("bundle", ["--program", sandbox.build_output("NAIB_PROGRAM"),
                                        "--output", world.host("/Applications"), "--force",
                                        "--runtime", shipment.tree,
                                        os.path.join(work, shipping.PACKAGE), shipping.VERSION])
            world.offline = True
            world.read_only = {"/Applications"}
            result = world.run([shipment.exe, "-silent", "-eulaAccepted"], timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            package = f"/Applications/Install {shipping.PACKAGE}.app/Contents/Resources/Sample"
            self.assertEqual(world.recorded_args(RECORD), ["-silent", "-eulaAccepted", package])
            runtime = f"/Applications/Install {shipping.PACKAGE}.app/Contents/Resources/Runtime"
            self.assertIn((LOG_NOTICE, "Using runtime installer carried in the bundle at "
                                       f"{runtime}/{PLATFORM_PATH}/installer"), result.log_pairs)
            self.assertIn((LOG_NOTICE, "Cert chain validation succeeded"), result.log_pairs)
            self.assertEqual(result.tmp_files, [])


class GivenAsAnArchive(unittest.TestCase):
    def test_unpacked_by_a_user_the_launcher_installs_and_the_archive_is_reproducible(self):
        with sandbox.World() as world, tempfile.TemporaryDirectory() as work:
            world.add_system_version(shipping.SYSTEM)
            shipment = shipping.ship(world, work, INSTALLER, ["--archive"])
            archive = f"/Applications/Install {shipping.PACKAGE}.tar.gz"
            unpacked = world.run(["/bin/sh", "-c", 'mkdir fresh && tar -xzf "$1" -C fresh',
                                  "sh", archive])
            self.assertEqual(unpacked.returncode, 0, unpacked.stderr)
            top = f"/home/user/fresh/Install {shipping.PACKAGE}"
            launcher = f"{top}/Install {shipping.PACKAGE}"
            program = f"{launcher}.app/Contents/MacOS/Install {shipping.PACKAGE}"
            for path in (launcher, program):
                self.assertEqual(os.stat(world.host(path)).st_mode & 0o7777, 0o755, path)

            # A double-click: the launcher, no arguments, the whole road from the download.
            server = world.start_helper([sys.executable, SERVER, "--root", shipment.tree,
                                         "--lifetime", "120"])
            result = world.run([launcher], http_proxy=server, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(world.recorded_args(RECORD),
                             ["-x1", f"{launcher}.app/Contents/Resources/{shipping.PACKAGE}"])
            self.assertEqual(result.log_pairs[0],
                             (LOG_NOTICE, "Bootstrapper begin with version 1.0.0.1 on Mac x86"))
            self.assertIn((LOG_NOTICE, "Detached signature verified"), result.log_pairs)
            self.assertEqual(result.log_pairs[-1], (LOG_NOTICE, "Bootstrapper end with exit code 0"))
            self.assertEqual(result.tmp_files, [])

            os.rename(world.host(f"{launcher}.app"), world.host(f"{top}/elsewhere.app"))
            missing = world.run([launcher])
            self.assertEqual(missing.returncode, 127)
            self.assertIn(f"cannot start {program}: No such file or directory", missing.stderr)

            # The same inputs again, into another folder: the same bytes.
            again = os.path.join(work, "again")
            os.makedirs(again)
            shipping.checked("bundle", ["--program", sandbox.build_output("NAIB_PROGRAM"),
                                        "--output", again, "--archive",
                                        os.path.join(work, shipping.PACKAGE), shipping.VERSION])
            with open(world.host(archive), "rb") as f, \
                    open(os.path.join(again, os.path.basename(archive)), "rb") as g:
                self.assertEqual(f.read(), g.read())


class VerifyAgreesWithTheProgram(unittest.TestCase):
    """The same installer, signature and revocation lists, judged by the program in the
    sandbox and by naib-verify, fetching the lists and given them as files."""

    CASES = [  # signer, the intermediate's list, the verdict both must reach
        ("signer-good", "crl-intermediate-before.der", 0),
        ("signer-revoked", "crl-intermediate.der", 13),
        ("signer-eku-prefix", "crl-intermediate-before.der", 13),
    ]

    def publish(self, world, signer, intermediate_crl):
        tree = os.path.join(world.root, "tree")
        platform = os.path.join(tree, PLATFORM_PATH)
        os.makedirs(platform)
        with open(os.path.join(platform, "installer"), "wb") as f:
            f.write(INSTALLER)
        # Signed with the openssl command line: naib-sign would refuse the bad signers.
        subprocess.run(["openssl", "smime", "-sign", "-binary", "-md", "sha256",
                        "-in", os.path.join(platform, "installer"),
                        "-signer", shipping.pki(f"{signer}.pem"),
                        "-inkey", shipping.pki(f"{signer}.key"),
                        "-certfile", shipping.pki("intermediate.pem"), "-outform", "DER",
                        "-out", os.path.join(platform, "installer.p7")],
                       check=True, capture_output=True)
        crls = os.path.join(world.root, "crls")
        os.makedirs(crls)
        for source, name in ((intermediate_crl, "intermediate.crl"), ("crl-root.der", "root.crl")):
            shutil.copyfile(shipping.pki(source), os.path.join(tree, name))
            shutil.copyfile(shipping.pki(source), os.path.join(crls, name))
        return platform, crls

    def test_verdicts_agree(self):
        for signer, intermediate_crl, expected in self.CASES:
            with self.subTest(signer=signer), sandbox.World() as world:
                world.add_system_version(shipping.SYSTEM)
                exe = world.add_bundle()
                platform, crls = self.publish(world, signer, intermediate_crl)
                server = world.start_helper([sys.executable, SERVER, "--root",
                                             os.path.join(world.root, "tree"), "--lifetime", "120"])
                program = world.run([exe, "-silent", "-allowDownload"], http_proxy=server,
                                    timeout=60)
                self.assertEqual(program.returncode, expected, program.stderr)

                # naib-verify in the same sandbox, fetching the lists through the proxy.
                verify = world.add_program(shipping.tool("verify"), "/home/user/naib-verify")
                world.write("/home/user/installer", INSTALLER)
                shutil.copyfile(os.path.join(platform, "installer.p7"),
                                world.host("/home/user/installer.p7"))
                fetched = world.run([verify, "installer", "installer.p7"], http_proxy=server)
                self.assertEqual(fetched.returncode, expected, fetched.stdout + fetched.stderr)
                self.assertEqual(fetched.tmp_files, [], "fetched lists are removed")
                if expected == 0:
                    self.assertIn("Revocation lists: 2 of 2 fetched", fetched.stdout)
                    self.assertIn("Verdict: accepted", fetched.stdout)
                    self.assertIn("signer: CN=Halvex Orvel,C=US,O=Halvex Systems Incorporated", fetched.stdout)

                given = shipping.run_tool("verify", [os.path.join(platform, "installer"),
                                                     os.path.join(platform, "installer.p7"),
                                                     "--crl", crls])
                self.assertEqual(given.returncode, expected, given.stdout + given.stderr)
                if signer == "signer-revoked":
                    self.assertIn("Verdict: rejected: certificate revoked", given.stdout)
                if signer == "signer-eku-prefix":
                    self.assertIn("did not contain the expected object ID", given.stdout)
                    self.assertIn("not verified", given.stdout)


if __name__ == "__main__":
    unittest.main()
