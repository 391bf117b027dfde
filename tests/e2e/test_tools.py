"""The vendor tools' refusals: each is one line on standard error naming the tool, exit
status 2, and nothing written. Run on the host: none of them needs the sandbox."""

import os
import plistlib
import shutil
import tempfile
import unittest

import shipping
from shipping import pki, run_tool

PLATFORM = "orvel/3/nai/macos10.6/x86"


def listing(top):
    """Every path under top, relative, sorted (links not followed)."""
    found = []
    for here, dirs, files in os.walk(top):
        found += [os.path.relpath(os.path.join(here, n), top) for n in dirs + files]
    return sorted(found)


class ToolCase(unittest.TestCase):
    TOOL = ""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="naib-tools-")
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def assertRefusals(self, cases):
        """cases: (args, phrase) or (args, phrase, environment added). Each run must refuse,
        and leave the work folder as it was."""
        for args, phrase, *env in cases:
            with self.subTest(args=args, env=env):
                before = listing(self.work)
                result = run_tool(self.TOOL, args, env={**os.environ, **env[0]} if env else None)
                self.assertEqual(result.returncode, 2, result.stdout + result.stderr)
                self.assertEqual(result.stdout, "")
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertTrue(lines[0].startswith(f"naib-{self.TOOL}: "), lines[0])
                self.assertIn(phrase, lines[0])
                self.assertEqual(listing(self.work), before, "a refusal writes nothing")


class Bundle(ToolCase):
    TOOL = "bundle"

    def test_refusals(self):
        package = shipping.make_package(self.path("Sample"))
        out = self.path("out")
        os.makedirs(os.path.join(out, "Install Taken.app"))
        open(os.path.join(out, "Install Packed.tar.gz"), "wb").close()
        escaping = shipping.make_package(self.path("Escaping"))
        os.symlink("../../Sample/Contents/payload", os.path.join(escaping, "Contents", "up"))
        absolute = shipping.make_package(self.path("Absolute"))
        os.symlink(self.path("Absolute", "Contents", "payload"),
                   os.path.join(absolute, "Contents", "abs"))
        program = ["--program", shipping.sandbox.build_output("NAIB_PROGRAM"), "--output", out]
        trees = self.runtime_trees()
        self.assertRefusals([
            (program + ["--runtime", trees["tampered"], package, "1.0"],
             "the program would reject " + os.path.join(trees["tampered"], PLATFORM, "installer")),
            (program + ["--runtime", trees["unsigned"], package, "1.0"],
             os.path.join(trees["unsigned"], PLATFORM, "installer.p7") + " is missing"),
            (program + ["--runtime", trees["link"], package, "1.0"], "is a symbolic link"),
            (program + ["--runtime", trees["folder"], package, "1.0"], "is not a regular file"),
            (program + ["--runtime", self.path("Missing"), package, "1.0"],
             "no download tree folder"),
            (program + ["--runtime", trees["tampered"], "--name", "Runtime", package, "1.0"],
             "cannot carry a runtime"),
            (program + [self.path("Missing"), "1.0"], "no application package folder"),
            (program + ["--name=", package, "1.0"], "unusable app name"),
            (program + ["--name", ".", package, "1.0"], "unusable app name"),
            (program + ["--name", "..", package, "1.0"], "unusable app name"),
            (program + ["--name", "a/b", package, "1.0"], "unusable app name"),
            (program + [package, ""], "unusable version"),
            (program + ["--name", "Taken", package, "1.0"], "exists (use --force"),
            (program + [escaping, "1.0"], "points outside the package"),
            (program + [absolute, "1.0"], "points outside the package"),
            (["--output", package, "--program", program[1], package, "1.0"],
             "must not be inside the package"),
            (program + ["--archive", "--name", "Packed", package, "1.0"],
             "Install Packed.tar.gz exists (use --force"),
            (program + ["--archive", package, "1.0"], "SOURCE_DATE_EPOCH \"1.7e9\" is not a number",
             {"SOURCE_DATE_EPOCH": "1.7e9"}),
            (program + [package], "expected PACKAGE and VERSION"),
            (program + ["--colour", package, "1.0"], "unknown option --colour"),
        ])

    def runtime_trees(self):
        """Download trees made by naib-publish, each then broken in one way."""
        good = self.path("trees", "good")
        shipping.checked("publish", ["--system", "10.6.8", "--crl", pki("crl-root.der"),
                                     pki("data.bin"), pki("sig-good.der"), good])
        trees = {}
        for name in ("tampered", "unsigned", "link", "folder"):
            trees[name] = self.path("trees", name)
            shutil.copytree(good, trees[name])
        shutil.copyfile(pki("data-tampered.bin"), os.path.join(trees["tampered"], PLATFORM, "installer"))
        os.unlink(os.path.join(trees["unsigned"], PLATFORM, "installer.p7"))
        os.unlink(os.path.join(trees["link"], PLATFORM, "installer"))
        os.symlink(os.path.join(good, PLATFORM, "installer"),
                   os.path.join(trees["link"], PLATFORM, "installer"))
        os.unlink(os.path.join(trees["folder"], PLATFORM, "installer.p7"))
        os.mkdir(os.path.join(trees["folder"], PLATFORM, "installer.p7"))
        return trees

    def test_the_bundle_and_force(self):
        package = shipping.make_package(self.path("Sample"))
        # Kept but for write access of group and others.
        os.chmod(os.path.join(package, "Contents", "payload"), 0o672)
        os.chmod(os.path.join(package, "Contents"), 0o777)
        program = shipping.sandbox.build_output("NAIB_PROGRAM")
        args = ["--program", program, "--output", self.work, "--name", "Other App", package]
        self.assertEqual(run_tool(self.TOOL, args + ["2.0"]).returncode, 0)
        again = run_tool(self.TOOL, args + ["2.1", "--force"])
        self.assertEqual(again.returncode, 0, again.stderr)
        app = self.path("Install Other App.app")
        self.assertEqual(again.stdout.strip(), app)
        with open(os.path.join(app, "Contents", "Info.plist"), "rb") as f:
            info = plistlib.load(f)
        self.assertEqual((info["CFBundleExecutable"], info["CFBundleName"], info["CFBundleVersion"]),
                         ("Install Other App", "Install Other App", "2.1"))
        exe = os.path.join(app, "Contents", "MacOS", "Install Other App")
        with open(exe, "rb") as f, open(program, "rb") as g:
            self.assertEqual(f.read(), g.read())
        self.assertTrue(os.access(exe, os.X_OK))
        modules = [n for n in os.listdir(os.path.dirname(os.path.realpath(program)))
                   if n.startswith("naib-") and n.endswith(".so")]
        for module in modules:
            self.assertTrue(os.path.isfile(os.path.join(app, "Contents", "MacOS", module)))
        copied = os.path.join(app, "Contents", "Resources", "Other App")
        self.assertEqual(listing(copied), listing(package))
        self.assertEqual(os.stat(os.path.join(copied, "Contents", "payload")).st_mode & 0o7777,
                         0o650)
        self.assertEqual(os.stat(os.path.join(copied, "Contents")).st_mode & 0o7777, 0o755)
        self.assertEqual([n for n in os.listdir(self.work) if n.startswith(".")], [],
                         "no staging folder is left")


class Sign(ToolCase):
    TOOL = "sign"

    def test_refusals(self):
        data = self.path("installer")
        shutil.copyfile(pki("data.bin"), data)
        open(self.path("taken.p7"), "wb").close()
        fifo = self.path("fifo")
        os.mkfifo(fifo)

        def signer(name, key=None, chain="intermediate.pem"):
            return ["--cert", pki(f"{name}.pem"), "--key", pki(f"{key or name}.key"),
                    "--chain", pki(chain)]

        self.assertRefusals([
            (signer("signer-other-ou") + [data], "subject name did not match"),
            (signer("signer-no-eku") + [data], "did not contain the expected object ID"),
            (signer("signer-foreign", chain="foreign-root.pem") + [data],
             "would reject this signature: Error verifying code signature. "
             "self-signed certificate in certificate chain"),
            (signer("signer-expired") + [data], "would reject this signature"),
            (signer("signer-good", key="signer-revoked") + [data], "does not belong"),
            (signer("signer-good") + [self.path("absent")], "no such installer file"),
            (signer("signer-good") + ["--output", self.path("taken.p7"), data],
             "exists (use --force"),
            (["--cert", pki("signer-good.pem"), data], "--cert and --key are required"),
            (signer("signer-good") + [fifo], f"{fifo} is not a regular file"),
            (signer("signer-good") + ["--key", "/dev/zero", data], "/dev/zero is not a regular"),
            (signer("signer-good") + ["--force", "--output", data, data], "is one of the inputs"),
        ])


class Publish(ToolCase):
    TOOL = "publish"

    def setUp(self):
        super().setUp()
        self.installer = self.path("installer")
        shutil.copyfile(pki("data.bin"), self.installer)
        self.signature = self.path("installer.p7")
        shutil.copyfile(pki("sig-good.der"), self.signature)
        self.tree = self.path("tree")

    def args(self, *options, installer=None, signature=None, tree=None):
        return list(options) + [installer or self.installer, signature or self.signature,
                                tree or self.tree]

    def test_refusals(self):
        tampered = self.path("tampered")
        shutil.copyfile(pki("data-tampered.bin"), tampered)
        revoked = self.path("revoked.p7")
        shutil.copyfile(pki("sig-revoked.der"), revoked)
        os.makedirs(os.path.join(self.tree, "orvel/3/nai/macos10.6/x86"))
        open(os.path.join(self.tree, "orvel/3/nai/macos10.6/x86/installer"), "wb").close()
        system = ["--system", "10.7"]
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        # A folder of the tree that leads out of it.
        linked = self.path("linked")
        os.makedirs(self.path("outside"))
        os.makedirs(linked)
        os.symlink("../outside", os.path.join(linked, "orvel"))
        self.assertRefusals([
            (self.args(), "no --system given"),
            (self.args(*system, "--arch", "arm"), "unknown architecture \"arm\""),
            (self.args("--system", "ten.six"), "\"ten.six\" is not a system version"),
            (self.args("--system", "../../etc"), "\"../../etc\" is not a system version"),
            (self.args("--system", "99999999999999999999.1"), "is not a system version"),
            (self.args(*system, installer=tampered), "would reject this signature"),
            (self.args(*system, "--crl", pki("crl-intermediate.der"), signature=revoked),
             "would reject this signature: certificate revoked"),
            (self.args(*system, "--crl", pki("crl-foreign.der")), "answers no distribution point"),
            (self.args(*system, "--crl", pki("crl-intermediate-badsig.der")),
             "answers no distribution point"),
            (self.args(*system, "--crl", pki("crl-intermediate.der"),
                       "--crl", pki("crl-intermediate-before.der")), "two revocation lists for"),
            (self.args(*system, "--crl", pki("crl-not-a-crl.html")), "not a revocation list"),
            (self.args(*system, "--crl", self.path("absent.crl")), "no such file"),
            (self.args(*system, "--crl", fifo), f"{fifo} is not a regular file"),
            (self.args(*system, tree=linked), f"{linked}/orvel is a symbolic link"),
            (self.args("--system", "10.6.8"), "exists (use --force"),
        ])

    def test_layout_and_urls(self):
        result = run_tool(self.TOOL, self.args("--system", "10.6.8", "--system", "10.6.3",
                                               "--system", "10.7", "--arch", "x86", "--arch", "ppc",
                                               "--crl", pki("crl-intermediate-before.der")))
        self.assertEqual(result.returncode, 0, result.stderr)
        host = os.environ.get("NAIB_DOWNLOAD_HOST") or "download.halvex.example"
        paths = [f"orvel/3/nai/macos{v}/{a}/{f}" for v in ("10.6", "10.7")
                 for a in ("x86", "ppc") for f in ("installer", "installer.p7")]
        self.assertEqual(result.stdout.split(),
                         [f"http://{host}/{p}" for p in paths] +
                         ["http://crl.halvex.example/intermediate.crl"])
        self.assertEqual(sorted(p for p in listing(self.tree)
                                if os.path.isfile(os.path.join(self.tree, p))),
                         sorted(paths + ["intermediate.crl"]))
        with open(os.path.join(self.tree, paths[1]), "rb") as f, open(self.signature, "rb") as g:
            self.assertEqual(f.read(), g.read())
        self.assertIn("warning: no revocation list given for http://crl.halvex.example/root.crl",
                      result.stderr)


class Verify(ToolCase):
    TOOL = "verify"

    def test_refusals(self):
        data, sig = pki("data.bin"), pki("sig-good.der")
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        self.assertRefusals([
            ([data], "expected FILE and SIGNATURE"),
            ([data, self.path("absent.p7")], "no such file"),
            ([data, sig, "--crl", self.path("absent")], "no such revocation list file or folder"),
            ([data, sig, "--crl"], "--crl needs a value"),
            ([fifo, sig], f"{fifo} is not a regular file"),
            ([data, "/dev/zero"], "/dev/zero is not a regular file"),
            ([data, sig, "--crl", fifo], f"{fifo} is not a regular file"),
        ])


if __name__ == "__main__":
    unittest.main()
