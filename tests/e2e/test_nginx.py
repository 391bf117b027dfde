"""The download tree served by nginx, the reference for what real static web servers and
CDNs send: a vendor's tree made by the vendor tools, installed from in the sandbox; a
transfer dropped halfway and resumed against nginx's own validators; and an answer that
nginx sends gzip-encoded although the program asked for no encoding."""

import gzip
import os
import re
import sys
import tempfile
import unittest

import sandbox
import shipping
from sandbox import LOG_NOTICE

SUPPORT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support")
NGINX = os.path.join(SUPPORT, "nginx_server.py")
RELAY = os.path.join(SUPPORT, "cutting_relay.py")
RECORD = "/run/records/runtime-installer.args"
INSTALLER_PATH = "/orvel/3/nai/macos10.6/x86/installer"
PACKAGE = f"/Applications/Install {shipping.PACKAGE}.app/Contents/Resources/Sample"


def installer(padding):
    """A runtime installer that records its arguments, with padding bytes after its end
    that the shell never reads: a realistic size for a transfer to be cut in."""
    script = f"#!/bin/sh\nprintf '%s\\0' \"$@\" > '{RECORD}'\nexit 0\n".encode()
    return script + bytes((i * 7 + i // 251) % 256 for i in range(padding))


class NginxServes(unittest.TestCase):
    def setUp(self):
        self.world = sandbox.World()
        self.addCleanup(self.world.close)
        work = tempfile.TemporaryDirectory()
        self.addCleanup(work.cleanup)
        self.work = work.name
        self.world.add_system_version(shipping.SYSTEM)

    def serve(self, body, gzip_static=False):
        """Ships body as the runtime installer and starts nginx on the tree."""
        self.shipment = shipping.ship(self.world, self.work, body)
        if gzip_static:
            source = os.path.join(self.shipment.tree, INSTALLER_PATH.lstrip("/"))
            with open(source, "rb") as f, gzip.open(source + ".gz", "wb") as g:
                g.write(f.read())
        self.access = os.path.join(self.work, "access.log")
        argv = [sys.executable, NGINX, "--root", self.shipment.tree, "--log", self.access]
        return self.world.start_helper(argv + (["--gzip-static"] if gzip_static else []))

    def install(self, proxy):
        result = self.world.run([self.shipment.exe, "-silent", "-allowDownload"],
                                http_proxy=proxy, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.world.recorded_args(RECORD), ["-silent", PACKAGE])
        self.assertIn((LOG_NOTICE, "Detached signature verified"), result.log_pairs)
        self.assertEqual(result.tmp_files, [])
        return result

    def requests(self, path):
        """nginx's access-log fields of every request for path, in order."""
        with open(self.access, encoding="utf-8") as f:
            lines = [line.split(" ", 2) for line in f.read().splitlines()]
        return [dict(re.findall(r"([a-z-]+)=(\S*)", rest)) for _, p, rest in lines if p == path]

    def test_a_first_install_from_the_vendors_tree(self):
        nginx = self.serve(installer(1 << 20))
        self.install(nginx)
        with open(self.access, encoding="utf-8") as f:
            served = sorted(line.split()[1] for line in f)
        self.assertEqual(served, sorted("/" + url.split("/", 3)[3] for url in self.shipment.urls))
        self.assertEqual([r["status"] for r in self.requests(INSTALLER_PATH)], ["200"])

    def test_a_drop_at_half_resumes_with_range_and_if_range_of_nginx_etag(self):
        body = installer(4 << 20)
        nginx = self.serve(body)
        relay = self.world.start_helper([sys.executable, RELAY, "--upstream", nginx.address,
                                         "--cut", INSTALLER_PATH, "--at", "0.5"])
        result = self.install(relay)
        retry = re.compile(r"Download interrupted after (\d+) bytes, retrying \(1 of 4\)")
        retries = [retry.fullmatch(t) for _, t in result.log_pairs
                   if t.startswith("Download interrupted")]
        self.assertEqual(len(retries), 1)
        # The reset throws away what was still on its way: at most half arrived.
        kept = int(retries[0].group(1))
        self.assertTrue(0 < kept <= len(body) // 2, kept)
        first, second = self.requests(INSTALLER_PATH)
        self.assertEqual(second["status"], "206")
        self.assertEqual(second["range"], f"bytes={kept}-")
        self.assertEqual(second["if-range"], first["etag"])
        self.assertRegex(first["etag"], r'^"[0-9a-f]+-[0-9a-f]+"$', "nginx's own strong tag")

    def test_a_gzip_encoded_answer_installs_what_was_signed(self):
        nginx = self.serve(installer(1 << 20), gzip_static=True)
        self.install(nginx)
        (request,) = self.requests(INSTALLER_PATH)
        self.assertEqual((request["status"], request["encoding"]), ("200", "gzip"))


if __name__ == "__main__":
    unittest.main()
