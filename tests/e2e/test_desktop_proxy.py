"""Downloads follow the desktop's proxy settings when no proxy environment variable is set:
the GNOME settings (org.gnome.system.proxy) come from a keyfile in the home, read through
GSettings' keyfile backend and GIO's proxy resolver, as on a GNOME desktop whose person
set a proxy but never exported http_proxy."""

import os
import sys
import unittest

import sandbox
from sandbox import LOG_ERR, LOG_NOTICE
from test_install import PACKAGE, RECORD, SERVER, InstallCase, end, verified_road_lines

DOWNLOAD_HOST = os.environ.get("NAIB_DOWNLOAD_HOST", "download.halvex.example").split(":")[0]
DESKTOP = {"XDG_CURRENT_DESKTOP": "GNOME", "GSETTINGS_BACKEND": "keyfile"}
NOT_FOUND = "Download failure: A server with the specified hostname could not be found."


def gvariant_strings(values):
    return "[" + ", ".join(f"'{v}'" for v in values) + "]"


def write_desktop_proxy(world, mode, http=None, ignore=(), pac=None):
    """The person's GNOME proxy settings: mode "none", "manual" (http: "host:port") or
    "auto" (pac: the configuration URL)."""
    lines = ["[system/proxy]", f"mode='{mode}'"]
    if ignore:
        lines.append(f"ignore-hosts={gvariant_strings(ignore)}")
    if pac:
        lines.append(f"autoconfig-url='{pac}'")
    if http:
        host, _, port = http.rpartition(":")
        lines += ["", "[system/proxy/http]", f"host='{host}'", f"port={port}"]
    world.write(f"{sandbox.HOME}/.config/glib-2.0/settings/keyfile", "\n".join(lines) + "\n")


def plain_server(world, name):
    """A fixture server that serves nothing; returns it and its request log."""
    log = os.path.join(world.root, f"{name}.log")
    open(log, "w").close()
    root = os.path.join(world.root, name)
    os.makedirs(root)
    return world.start_helper([sys.executable, SERVER, "--root", root, "--log", log,
                               "--lifetime", "120"]), log


def lines_of(path):
    with open(path, encoding="utf-8") as f:
        return f.read().splitlines()


class DesktopProxy(InstallCase):
    def test_a_manual_proxy_of_the_desktop_carries_the_whole_install(self):
        server = self.serve()
        write_desktop_proxy(self.world, "manual", http=server.address, ignore=["localhost"])
        result = self.install(env=DESKTOP, server=server)
        self.assertEqual(result.returncode, 0, result.stderr)
        forwarded = ["-silent", "-eulaAccepted", PACKAGE]
        self.assertLogMatches(result, verified_road_lines(forwarded))
        self.assertEqual(len(self.requested()), 4, "every URL, revocation lists too")

    def test_the_proxy_environment_wins_over_the_desktop(self):
        desktop, desktop_log = plain_server(self.world, "desktop-proxy")
        write_desktop_proxy(self.world, "manual", http=desktop.address)
        result = self.install(env=DESKTOP)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(self.requested()), 4)
        self.assertEqual(lines_of(desktop_log), [])


class DesktopDirect(unittest.TestCase):
    """Settings that send the download host direct. The host of the test build resolves
    nowhere, so a direct road ends in "cannot be found" after its retries; the three worlds
    run side by side to share that wait."""

    def test_ignored_host_mode_none_and_an_unusable_answer_go_direct(self):
        cases = {"ignored host": dict(mode="manual", ignore=["localhost", DOWNLOAD_HOST]),
                 "mode none": dict(mode="none"),
                 # Without a session bus the desktop's autoconfiguration helper never
                 # answers; the resolver's answer is of no use to a download.
                 "unusable answer": dict(mode="auto", pac="http://127.0.0.1:9/proxy.pac")}
        runs = {}
        for name, settings in cases.items():
            world = sandbox.World()
            self.addCleanup(world.close)
            world.add_system_version("10.6.8")
            exe = world.add_bundle()
            proxy, log = plain_server(world, "proxy")
            write_desktop_proxy(world, http=proxy.address, **settings)
            runs[name] = (world, log, world.start([exe, "-silent", "-allowDownload"],
                                                  env=DESKTOP))
        for name, (world, log, running) in runs.items():
            with self.subTest(name):
                result = running.result(timeout=90)
                self.assertEqual(result.returncode, 11, result.stderr)
                self.assertEqual(lines_of(log), [], "nothing went through the proxy")
                self.assertIn((LOG_ERR, NOT_FOUND), result.log_pairs)
                self.assertEqual(result.log_pairs[-1], end(11))
                notices = [(p, t) for p, t in result.log_pairs if t.startswith("Proxy settings")]
                if name == "unusable answer":
                    self.assertEqual(len(notices), 1, "one notice for five attempts")
                    self.assertEqual(notices[0][0], LOG_NOTICE)
                    self.assertRegex(notices[0][1], r"^Proxy settings not used: .*; connecting "
                                                    r"directly$")
                else:
                    self.assertEqual(notices, [])
                self.assertEqual(result.tmp_files, [])
                self.assertIsNone(world.recorded_args(RECORD))


if __name__ == "__main__":
    unittest.main()
