"""The sandbox itself: what a program inside it sees, and what the harness records."""

import os
import plistlib
import sys
import tempfile
import time
import unittest

import sandbox

# A helper that announces its port, then answers every request (proxied or not) with
# the request line it received.
ECHO_SERVER = r"""
import http.server, sys
class Echo(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = self.requestline.encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        print("served", self.path, flush=True)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Echo)
print(server.server_port, flush=True)
server.serve_forever()
"""


def processes_running(cmdline_part):
    """Process ids of the host whose NUL-separated command line contains cmdline_part."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if cmdline_part.encode() in f.read():
                    found.append(int(pid))
        except OSError:
            pass
    return found


class Sandbox(unittest.TestCase):
    def setUp(self):
        self.world = sandbox.World()
        self.addCleanup(self.world.close)

    def test_program_sees_the_scenario_and_a_read_only_system(self):
        self.world.write("/Library/marker", "local\n")
        self.world.write("/System/Library/marker", "system\n")
        os.environ["DISPLAY"] = ":99"  # the host's display never leaks in
        self.addCleanup(os.environ.pop, "DISPLAY")
        script = ("cat /Library/marker /System/Library/marker; "
                  "echo \"home=$HOME tmp=$TMPDIR lang=$LANG display=${DISPLAY-unset}\"; "
                  "[ -t 0 ] && echo tty || echo notty; "
                  "touch /usr/naib-probe 2>/dev/null && echo usr-writable; "
                  "echo left > \"$TMPDIR/left.txt\"; mkdir \"$TMPDIR/d\"; "
                  "[ -S /dev/log ] && echo log-socket; id -u")
        result = self.world.run(["/bin/sh", "-c", script], env={"LANG": "de_DE.UTF-8"})
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.splitlines(), [
            "local", "system", "home=/home/user tmp=/tmp lang=de_DE.UTF-8 display=unset",
            "notty", "log-socket", "1000"])
        self.assertEqual(result.tmp_files, ["d/", "left.txt"])
        self.assertFalse(os.path.exists("/usr/naib-probe"))

    def test_time_limit_kills_a_hung_program(self):
        started = time.monotonic()
        result = self.world.run(["/bin/sh", "-c", "echo started; exec sleep 60"], timeout=1,
                                allow_timeout=True)
        self.assertTrue(result.timed_out)
        self.assertLess(time.monotonic() - started, 15)
        self.assertEqual(result.stdout, "started\n")
        with self.assertRaisesRegex(sandbox.ScenarioTimeout, "(?s)still ran after 1s.*hanging"):
            self.world.run(["/bin/sh", "-c", "echo hanging; sleep 61.5 & wait"], timeout=1)
        # The kill reaches the sandbox's children too.
        self.assertEqual(processes_running("sleep\x0061.5"), [])
        quick = self.world.run(["/bin/sh", "-c", "exit 7"])
        self.assertEqual((quick.timed_out, quick.returncode), (False, 7))

    def test_a_sanitizer_report_fails_the_run_whatever_its_status(self):
        for report in ("==7==ERROR: AddressSanitizer: heap-use-after-free on address 0x1",
                       "==7==ERROR: LeakSanitizer: detected memory leaks",
                       "src/a.cpp:12:5: runtime error: signed integer overflow"):
            with self.subTest(report=report), self.assertRaisesRegex(AssertionError, "sanitizer"):
                self.world.run(["/bin/sh", "-c", f"echo '{report}' >&2; exit 0"])
        plain = self.world.run(["/bin/sh", "-c", "echo 'runtime error: in a message' >&2"])
        self.assertEqual(plain.returncode, 0)

    def test_helper_is_reached_through_http_proxy(self):
        helper = self.world.start_helper([sys.executable, "-c", ECHO_SERVER])
        self.assertRegex(helper.address, r"^127\.0\.0\.1:\d+$")
        result = self.world.run(["curl", "-sS", "http://download.halvex.example/r.dmg"],
                                http_proxy=helper)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, "GET http://download.halvex.example/r.dmg HTTP/1.1")
        deadline = time.monotonic() + 5
        while not helper.output and time.monotonic() < deadline:
            time.sleep(0.01)
        self.assertEqual(helper.output, ["served http://download.halvex.example/r.dmg"])

    def test_scripts_record_their_arguments_and_exit_with_their_status(self):
        record = self.world.add_runtime("2.0.0.1", domain="/Network/Library",
                                        installer_status=42)
        app = f"/Network/Library/{sandbox.FRAMEWORK}/{sandbox.APP_INSTALLER}"
        with open(self.world.host(f"{app}/Contents/Info.plist"), "rb") as f:
            executable = plistlib.load(f)["CFBundleExecutable"]
        args = ["-silent", "", "two words", "line\nbreak", "%s"]
        self.assertIsNone(self.world.recorded_args(record))
        result = self.world.run([f"{app}/Contents/MacOS/{executable}", *args])
        self.assertEqual(result.returncode, 42, result.stderr)
        self.assertEqual(self.world.recorded_args(record), args)


class Bundle(unittest.TestCase):
    def test_bundle_carries_the_program_its_modules_and_the_scenario_contents(self):
        with tempfile.TemporaryDirectory() as build, sandbox.World() as world:
            program = os.path.join(build, "prog")
            with open(program, "w") as f:
                f.write("#!/bin/sh\necho ran \"$0\"\n")
            os.chmod(program, 0o755)
            for name in ("naib-presenter-gtk.so", "other.so"):
                open(os.path.join(build, name), "w").close()

            exe = world.add_bundle(program, version="3.2.1.0")
            app = "/Applications/Install Sample.app"
            self.assertEqual(exe, f"{app}/Contents/MacOS/Install Sample")
            self.assertEqual(sorted(os.listdir(world.host(f"{app}/Contents/MacOS"))),
                             ["Install Sample", "naib-presenter-gtk.so"])
            with open(world.host(f"{app}/Contents/Info.plist"), "rb") as f:
                self.assertEqual(plistlib.load(f)["CFBundleVersion"], "3.2.1.0")
            self.assertTrue(os.path.isdir(world.host(f"{app}/Contents/Resources/Sample")))
            self.assertEqual(world.run([exe]).stdout, f"ran {exe}\n")

            world2 = self.extra_world()
            exe2 = world2.add_bundle(program, version=None, package="file")
            contents = os.path.dirname(os.path.dirname(world2.host(exe2)))
            self.assertFalse(os.path.exists(os.path.join(contents, "Info.plist")))
            self.assertTrue(os.path.isfile(os.path.join(contents, "Resources/Sample")))
            world3 = self.extra_world()
            exe3 = world3.add_bundle(program, package="absent")
            self.assertEqual(os.listdir(os.path.join(
                os.path.dirname(os.path.dirname(world3.host(exe3))), "Resources")), [])

    def extra_world(self):
        world = sandbox.World()
        self.addCleanup(world.close)
        return world


class SyslogDecoding(unittest.TestCase):
    def test_glibc_datagrams_are_decoded_and_others_refused(self):
        line = sandbox.parse_syslog(b"<11>Dec  7 05:27:01 Install Sample: a: b\nc")
        self.assertEqual(line, sandbox.LogLine(3, 1, "Install Sample", "a: b\nc"))
        with_pid = sandbox.parse_syslog(b"<29>Dec 17 05:27:01 tool[12]: started")
        self.assertEqual(with_pid, sandbox.LogLine(5, 3, "tool", "started"))
        for bad in (b"no header", b"<13>yesterday tool: x"):
            with self.assertRaises(ValueError):
                sandbox.parse_syslog(bad)


if __name__ == "__main__":
    unittest.main()
