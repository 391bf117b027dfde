"""The Debian package that cpack made (NAIB_DEB_DIR): its control fields, and the program
and tools unpacked into a scratch root, run from there."""

import filecmp
import glob
import gzip
import os
import shutil
import subprocess
import tarfile
import tempfile
import unittest

VERSION = os.environ.get("NAIB_VERSION", "")
COMMANDS = ["naib-bootstrapper", "naib-bundle", "naib-sign", "naib-verify", "naib-publish"]
PRIVATE = "usr/lib/naib-bootstrapper"


def run(argv, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, timeout=60, **kwargs)


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        cls.deb = os.path.join(os.environ["NAIB_DEB_DIR"], f"naib-bootstrapper_{VERSION}_{arch}.deb")
        cls.root = tempfile.mkdtemp(prefix="naib-deb-")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def path(self, relative):
        return os.path.join(self.root, relative)

    def field(self, name):
        return run(["dpkg-deb", "-f", self.deb, name]).stdout.strip()

    def test_control_fields(self):
        self.assertEqual(self.field("Package"), "naib-bootstrapper")
        self.assertEqual(self.field("Version"), VERSION)
        depends = self.field("Depends")
        for library in ("libc6", "libcurl4", "libplist3", "libssl3", "libglib2.0-0", "libarchive13"):
            self.assertIn(library, depends)
        # The window module is optional at run time: GTK may be recommended, never required.
        self.assertNotIn("gtk", depends)
        recommends = self.field("Recommends")
        for package in ("fonts-noto-cjk", "glib-networking", "gsettings-desktop-schemas"):
            self.assertIn(package, recommends)
        if os.environ.get("NAIB_WITH_GTK") == "ON":
            self.assertIn("libgtk-3-0", recommends)

    def test_installed_program_and_tools_run_from_the_scratch_root(self):
        version = run([self.path("usr/bin/naib-bootstrapper"), "-version"])
        self.assertEqual((version.returncode, version.stdout), (0, VERSION + "\n"))
        for command in COMMANDS[1:]:
            with self.subTest(command=command):
                result = run([self.path(f"usr/bin/{command}"), "--version"])
                self.assertEqual(result.stdout, f"{command} {VERSION}\n")
        for command in COMMANDS:
            with gzip.open(self.path(f"usr/share/man/man1/{command}.1.gz"), "rt") as page:
                self.assertTrue(page.read().startswith(f".TH {command.upper()} 1"), command)

    def test_the_installed_bundle_tool_wraps_the_installed_program(self):
        with tempfile.TemporaryDirectory() as work:
            os.makedirs(os.path.join(work, "Sample", "Contents"))
            result = run([self.path("usr/bin/naib-bundle"), "--output", work, "--archive",
                          os.path.join(work, "Sample"), "1.0"])
            self.assertEqual(result.returncode, 0, result.stderr)
            macos = os.path.join(work, "Install Sample.app", "Contents", "MacOS")
            program = os.path.join(macos, "Install Sample")
            self.assertTrue(filecmp.cmp(program, self.path(f"{PRIVATE}/naib-bootstrapper"),
                                        shallow=False))
            # Every bundle carries the program: it ships stripped.
            sections = run(["readelf", "--section-headers", "--wide", program])
            self.assertEqual(sections.returncode, 0, sections.stderr)
            self.assertNotIn(".debug_", sections.stdout)
            self.assertLess(os.path.getsize(program), 512 * 1024)
            modules = sorted(os.path.basename(p) for p in glob.glob(self.path(f"{PRIVATE}/naib-*.so")))
            self.assertEqual(sorted(n for n in os.listdir(macos) if n.endswith(".so")), modules)
            if os.environ.get("NAIB_WITH_GTK") == "ON":
                self.assertEqual(modules, ["naib-gtk-presenter.so"])
            # The installed launcher tops the archive, and stays small.
            launcher = self.path(f"{PRIVATE}/naib-launcher")
            with tarfile.open(os.path.join(work, "Install Sample.tar.gz")) as archive, \
                    open(launcher, "rb") as f:
                self.assertEqual(archive.extractfile("Install Sample/Install Sample").read(),
                                 f.read())
            self.assertLess(os.path.getsize(launcher), 100 * 1024)

    def test_the_installed_verifier_trusts_the_configured_root(self):
        pki = os.environ["NAIB_PKI"]
        result = run([self.path("usr/bin/naib-verify"), os.path.join(pki, "data.bin"),
                      os.path.join(pki, "sig-good.der"), "--crl", os.path.join(pki, "crl-root.der")])
        trusts_test_root = filecmp.cmp(os.environ["NAIB_TRUSTED_ROOT_DER"],
                                       os.path.join(pki, "root.der"), shallow=False)
        self.assertEqual(result.returncode, 0 if trusts_test_root else 13, result.stdout)


if __name__ == "__main__":
    unittest.main()
