"""Runs the real program inside a bubblewrap sandbox and records what it does.

A World is a scratch directory that holds everything one scenario's program sees beside
the read-only system folders: the Library domains, a home, a temporary directory, the
installed bundle and whatever executables the scenario puts there. World.run() starts a
program inside bwrap with a controlled environment, a datagram socket of the harness
bound at /dev/log and a time limit, and returns a Result: exit status, standard output and
error, the system-log lines with their priorities, and the files left in $TMPDIR.

Paths given to a World are the paths the sandboxed program sees ("/Library/...");
World.host() maps them to the scratch directory.
"""

import os
import plistlib
import pty
import re
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
from typing import Callable, Dict, List, NamedTuple, Optional, Sequence

# Directories of the scenario, as the program sees them. Each is a directory of the world
# bound read-write at the same path inside the sandbox.
SCENARIO_DIRS = ("/Library", "/Network/Library", "/System/Library", "/Applications",
                 "/home/user", "/tmp", "/run/records", "/run/user/1000")
HOME = "/home/user"
TMPDIR = "/tmp"
RECORDS = "/run/records"
# $XDG_RUNTIME_DIR: private to the user (0700) as a login session makes it, and shared by
# every program started in the world, so two runs at once meet in it.
RUNTIME_DIR = "/run/user/1000"
BUNDLE_NAME = "Install Sample"
PACKAGE_NAME = "Sample"
FRAMEWORK = "Frameworks/Halvex Orvel.framework"
APP_INSTALLER = "Versions/1.0/Halvex Orvel Application Installer.app"

# Severities as the system log numbers them.
LOG_ERR, LOG_WARNING, LOG_NOTICE, LOG_DEBUG = 3, 4, 5, 7
LOG_USER = 1

_DEFAULT_TIMEOUT = 30.0

# What AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer print when a sanitizer
# build of the program finds a fault. Such a run fails its scenario whatever it returned,
# so a report can never pass for an expected exit status.
_SANITIZER_REPORT = re.compile(r"^==\d+==ERROR: \w+Sanitizer|^\S+:\d+:\d+: runtime error: ",
                               re.MULTILINE)


def _check_sanitizers(what: str, stderr: str) -> None:
    if _SANITIZER_REPORT.search(stderr):
        raise AssertionError(f"{what} reported a sanitizer fault\nstderr: {stderr}")


def _env_file() -> Dict[str, str]:
    """NAME=value lines of the file named by NAIB_E2E_ENV (written by the build)."""
    path = os.environ.get("NAIB_E2E_ENV")
    values: Dict[str, str] = {}
    if path and os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f:
                name, sep, value = line.rstrip("\n").partition("=")
                if sep:
                    values[name] = value
    return values


def build_output(name: str) -> str:
    """Path of a build output named in the environment (NAIB_PROGRAM, NAIB_LOGPROBE, ...),
    else in the NAIB_E2E_ENV file; raises when neither names it."""
    value = os.environ.get(name) or _env_file().get(name)
    if not value:
        raise RuntimeError(f"{name} is not set: run the suite through ctest, or set "
                           f"{name} (or NAIB_E2E_ENV) by hand")
    return value


class LogLine(NamedTuple):
    priority: int  # LOG_ERR ... LOG_DEBUG
    facility: int  # LOG_USER unless the program opened the log itself
    ident: str
    text: str


# glibc: "<PRI>Mmm dd hh:mm:ss ident[pid]: message", the [pid] only with LOG_PID.
_SYSLOG_RE = re.compile(r"<(\d{1,3})>[A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d (.*?)(?:\[\d+\])?: (.*)",
                        re.DOTALL)


def parse_syslog(datagram: bytes) -> LogLine:
    """Decodes one datagram that glibc's syslog wrote; raises ValueError otherwise."""
    text = datagram.decode("utf-8", errors="surrogateescape")
    m = _SYSLOG_RE.fullmatch(text)
    if not m:
        raise ValueError(f"not a syslog datagram: {text!r}")
    pri = int(m.group(1))
    return LogLine(pri & 7, pri >> 3, m.group(2), m.group(3).rstrip("\n"))


class SyslogSocket:
    """A datagram socket bound at a host path, read by a thread so that a program that
    logs much never blocks on a full queue."""

    def __init__(self, path: str):
        self.path = path
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self._sock.bind(path)
        self._lines: List[LogLine] = []
        self._bad: List[bytes] = []
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self) -> None:
        while True:
            # Once asked to stop, only what is already queued is read: the program has
            # ended, and every line it sent is waiting.
            stopping = self._stop.is_set()
            ready, _, _ = select.select([self._sock], [], [], 0 if stopping else 0.02)
            if not ready:
                if stopping:
                    return
                continue
            data = self._sock.recv(65536)
            with self._lock:
                try:
                    self._lines.append(parse_syslog(data))
                except ValueError:
                    self._bad.append(data)

    def take(self, ident: Optional[str] = None) -> List[LogLine]:
        """Every line received so far (only those of ident when given), in order, and
        forgets them; the lines of other idents stay. Datagrams a program sent before it
        ended are all queued by then; the reader drains them first."""
        self._stop.set()
        self._thread.join()
        with self._lock:
            if self._bad:
                raise AssertionError(f"undecodable syslog datagrams: {self._bad!r}")
            lines = [l for l in self._lines if ident is None or l.ident == ident]
            self._lines = [l for l in self._lines if ident is not None and l.ident != ident]
        self._stop.clear()
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()
        return lines

    def lines(self) -> List[LogLine]:
        """The lines received so far, without taking them: for a scenario that waits for
        one while programs run."""
        with self._lock:
            return list(self._lines)

    def close(self) -> None:
        self._stop.set()
        self._thread.join()
        self._sock.close()


class Result(NamedTuple):
    # The program's exit status; 128 + n when signal n killed it (as bwrap reports it);
    # -9 when the time limit killed the sandbox.
    returncode: int
    stdout: str
    stderr: str
    log: List[LogLine]
    tmp_files: List[str]  # paths left under $TMPDIR, relative, directories end with "/"
    timed_out: bool

    @property
    def log_pairs(self) -> List[tuple]:
        """The system-log lines as (priority, text), in order."""
        return [(line.priority, line.text) for line in self.log]


class ScenarioTimeout(AssertionError):
    """A program in the sandbox outlived its time limit (a hang) and was killed."""


def _children_of(pid: int) -> List[int]:
    """The host processes whose parent is pid (read from /proc, racing with their ends)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", encoding="utf-8", errors="replace") as f:
                stat = f.read()
        except OSError:
            continue
        # The name in parentheses may hold blanks; the parent's pid is the 2nd field after it.
        if int(stat.rpartition(")")[2].split()[1]) == pid:
            found.append(int(entry))
    return found


def _argv0_of(pid: int) -> Optional[str]:
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().split(b"\0")[0].decode(errors="surrogateescape")
    except OSError:
        return None


class Running:
    """A program started by World.start(): wait for what it does, send it signals, then
    collect its Result."""

    def __init__(self, world: "World", process: subprocess.Popen, argv0: str,
                 terminal: Optional[int]):
        self.world = world
        self.process = process
        self._argv0 = argv0
        # The install-log name of the program (glibc's default: its argument 0's last
        # component); with other programs of the world running beside it, its lines are
        # told apart from theirs by it.
        self.ident = os.path.basename(argv0)
        self.beside_others = False
        self._terminal = terminal  # the pseudo-terminal's master, or None
        self._terminal_output = bytearray()
        self._reader = None
        if terminal is not None:
            self._reader = threading.Thread(target=self._read_terminal, daemon=True)
            self._reader.start()

    def _read_terminal(self) -> None:
        while True:
            try:
                data = os.read(self._terminal, 65536)
            except OSError:  # EIO once every holder of the other side has closed it
                return
            if not data:
                return
            self._terminal_output += data

    def wait_until(self, condition: Callable[[], bool], timeout: float = 20.0,
                   what: str = "the condition") -> None:
        """Returns once condition() holds; fails the scenario when the program ends first
        or timeout seconds pass."""
        deadline = time.monotonic() + timeout
        while not condition():
            if self.process.poll() is not None:
                raise AssertionError(f"the program ended ({self.process.returncode}) "
                                     f"before {what}")
            if time.monotonic() > deadline:
                raise AssertionError(f"{what} did not happen within {timeout}s")
            time.sleep(0.02)

    def terminal_output(self) -> str:
        """What the program wrote to its terminal so far (terminal runs only)."""
        return bytes(self._terminal_output).decode(errors="replace")

    def pid(self, timeout: float = 20.0) -> int:
        """The host pid of the program: the process in the sandbox whose argument 0 is the
        one it was started with (after any wrapper exec'd it)."""
        found: List[int] = []

        def look() -> bool:
            todo, seen = [self.process.pid], []
            while todo:
                pid = todo.pop()
                seen.append(pid)
                todo += _children_of(pid)
            found[:] = [p for p in seen[1:] if _argv0_of(p) == self._argv0]
            return bool(found)

        self.wait_until(look, timeout, f"a process {self._argv0!r}")
        return found[0]

    def send_signal(self, signum: int) -> None:
        os.kill(self.pid(), signum)

    def result(self, timeout: float = _DEFAULT_TIMEOUT, allow_timeout: bool = False) -> Result:
        """Waits for the program as World.run() does and returns what it did; with a
        terminal, Result.stderr is what was written to it."""
        timed_out = False
        try:
            out, err = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            timed_out = True
            os.killpg(self.process.pid, signal.SIGKILL)
            out, err = self.process.communicate()
        if self._reader is not None:
            self._reader.join(5)
            os.close(self._terminal)
            err = bytes(self._terminal_output)
        if self in self.world._running:
            self.world._running.remove(self)
        log = self.world._syslog.take(self.ident if self.beside_others else None)
        result = Result(self.process.returncode, out.decode(errors="replace"),
                        (err or b"").decode(errors="replace"), log, self.world.tmp_files(),
                        timed_out)
        if timed_out and not allow_timeout:
            raise ScenarioTimeout(f"{self._argv0} still ran after {timeout}s and was killed\n"
                                  f"stderr: {result.stderr!r}\nlog: {result.log_pairs!r}")
        _check_sanitizers(self._argv0, result.stderr)
        return result


class Helper:
    """A process of the harness (a local HTTP server, say) that runs beside the sandbox.
    It announces where it listens as the first line of its standard output,
    "host:port" or "port"; the rest of its output is kept in `output`."""

    def __init__(self, argv: Sequence[str], env: Optional[Dict[str, str]], timeout: float):
        self.process = subprocess.Popen(list(argv), stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, env=env,
                                        start_new_session=True)
        self.output: List[str] = []
        ready, _, _ = select.select([self.process.stdout], [], [], timeout)
        first = self.process.stdout.readline().decode().strip() if ready else ""
        if not first:
            self.stop()
            raise RuntimeError(f"helper {argv[0]} announced no address within {timeout}s")
        self.address = first if ":" in first else f"127.0.0.1:{first}"
        self._drain = threading.Thread(target=self._read_rest, daemon=True)
        self._drain.start()

    def _read_rest(self) -> None:
        for raw in self.process.stdout:
            self.output.append(raw.decode(errors="replace").rstrip("\n"))

    @property
    def url(self) -> str:
        return f"http://{self.address}"

    def stop(self) -> None:
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
        if self.process.stdout:
            self.process.stdout.close()


def _system_binds() -> List[str]:
    """Read-only binds of the host's system folders, keeping merged-/usr symlinks."""
    args = ["--ro-bind", "/usr", "/usr", "--ro-bind", "/etc", "/etc"]
    for top in ("/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"):
        if os.path.islink(top):
            args += ["--symlink", os.readlink(top), top]
        elif os.path.isdir(top):
            args += ["--ro-bind", top, top]
    return args


class World:
    """One scenario's sandbox. Use as a context manager; everything is removed on exit."""

    def __init__(self, uid: int = 1000):
        self.root = tempfile.mkdtemp(prefix="naib-e2e-")
        self.uid = uid
        for d in SCENARIO_DIRS:
            os.makedirs(self.host(d))
        os.chmod(self.host(RUNTIME_DIR), 0o700)
        self._syslog = SyslogSocket(os.path.join(self.root, "log.sock"))
        self._helpers: List[Helper] = []
        self._running: List[Running] = []  # started and not collected yet
        # Scenario directories the program may read but not change (bound read-only).
        self.read_only: set = set()
        # When set, $TMPDIR is a fresh tmpfs of this many bytes instead of the world's
        # directory: what the program leaves there is gone with the sandbox, so a scenario
        # looks at it from inside (Result.tmp_files stays empty).
        self.tmp_size: Optional[int] = None
        # When true, the sandbox gets a network of its own with loopback only: a machine
        # with the network unplugged, where every request fails at once.
        self.offline = False

    def __enter__(self) -> "World":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def close(self) -> None:
        for helper in self._helpers:
            helper.stop()
        self._syslog.close()
        shutil.rmtree(self.root, ignore_errors=True)

    # ---- the world's files -------------------------------------------------------------

    def host(self, path: str) -> str:
        """The host path of a path under one of the scenario directories."""
        if not any(path == d or path.startswith(d + "/") for d in SCENARIO_DIRS):
            raise ValueError(f"{path} is not under a scenario directory")
        return os.path.join(self.root, path.lstrip("/"))

    def write(self, path: str, content, mode: int = 0o644) -> str:
        """Writes a file (str or bytes) at a sandbox path, making its directories."""
        host = self.host(path)
        os.makedirs(os.path.dirname(host), exist_ok=True)
        with open(host, "wb") as f:
            f.write(content.encode() if isinstance(content, str) else content)
        os.chmod(host, mode)
        return path

    def write_plist(self, path: str, values: dict, binary: bool = False) -> str:
        fmt = plistlib.FMT_BINARY if binary else plistlib.FMT_XML
        return self.write(path, plistlib.dumps(values, fmt=fmt))

    def add_script(self, path: str, exit_status: int = 0, body: str = "") -> str:
        """A shell script at path that records its arguments (see recorded_args), runs
        body, and exits with exit_status. Returns the sandbox path of its record."""
        record = f"{RECORDS}/{os.path.basename(path)}.args"
        self.write(path, "#!/bin/sh\n"
                         f"printf '%s\\0' \"$@\" > '{record}'\n"
                         f"{body}\n"
                         f"exit {exit_status}\n", mode=0o755)
        return record

    def recorded_args(self, record: str) -> Optional[List[str]]:
        """The arguments a script of add_script was run with; None when it never ran."""
        host = self.host(record)
        if not os.path.exists(host):
            return None
        with open(host, "rb") as f:
            data = f.read()
        return [a.decode(errors="surrogateescape") for a in data.split(b"\0")[:-1]]

    def add_app(self, app_path: str, exit_status: int = 0, body: str = "",
                info: Optional[dict] = None) -> str:
        """An application bundle whose executable is a recording script; returns the
        record's sandbox path."""
        name = os.path.splitext(os.path.basename(app_path))[0]
        self.write_plist(f"{app_path}/Contents/Info.plist",
                         {"CFBundleExecutable": name, **(info or {})})
        return self.add_script(f"{app_path}/Contents/MacOS/{name}", exit_status, body)

    def add_runtime(self, version: Optional[str] = "2.5.1.8090", domain: str = "/Library",
                    installer_status: Optional[int] = 0, body: str = "") -> Optional[str]:
        """The runtime framework in a Library domain with its bundle version (None: no
        version key) and, unless installer_status is None, an Application Installer that
        records its arguments and exits with that status. Returns the record path."""
        framework = f"{domain}/{FRAMEWORK}"
        info = {"CFBundleIdentifier": "example.halvex.orvel.framework"}
        if version is not None:
            info["CFBundleVersion"] = version
        self.write_plist(f"{framework}/Resources/Info.plist", info)
        if installer_status is None:
            return None
        return self.add_app(f"{framework}/{APP_INSTALLER}", installer_status, body)

    def add_system_version(self, product_version: str) -> str:
        return self.write_plist("/System/Library/CoreServices/SystemVersion.plist",
                                {"ProductName": "Mac OS X", "ProductVersion": product_version})

    def add_bundle(self, program: Optional[str] = None, version: Optional[str] = "1.0.0.1",
                   package: str = "dir", name: str = BUNDLE_NAME) -> str:
        """The bundle "<name>.app" under /Applications around a copy of the program
        (default: the program under test) and every naib-*.so beside it. version is its
        CFBundleVersion (None: no Info.plist at all); package is "dir", "absent" or "file"
        for the application package in its resources. Returns the executable's sandbox
        path."""
        program = program or build_output("NAIB_PROGRAM")
        app = f"/Applications/{name}.app"
        exe = f"{app}/Contents/MacOS/{name}"
        os.makedirs(os.path.dirname(self.host(exe)), exist_ok=True)
        shutil.copy2(program, self.host(exe))
        here = os.path.dirname(os.path.realpath(program))
        for entry in sorted(os.listdir(here)):
            if entry.startswith("naib-") and entry.endswith(".so"):
                shutil.copy2(os.path.join(here, entry),
                             os.path.join(os.path.dirname(self.host(exe)), entry))
        if version is not None:
            self.write_plist(f"{app}/Contents/Info.plist",
                             {"CFBundleExecutable": name, "CFBundleVersion": version,
                              "CFBundleIdentifier": "example.sample.installer"})
        package_name = name[len("Install "):] if name.startswith("Install ") else name
        resources = f"{app}/Contents/Resources"
        os.makedirs(self.host(resources), exist_ok=True)
        if package == "dir":
            self.write(f"{resources}/{package_name}/Contents/payload", "sample payload\n")
        elif package == "file":
            self.write(f"{resources}/{package_name}", "not a directory\n")
        elif package != "absent":
            raise ValueError(f"package must be dir, absent or file, not {package}")
        return exe

    def add_program(self, program: str, path: str) -> str:
        """A copy of a host program (a probe, say) at a sandbox path."""
        os.makedirs(os.path.dirname(self.host(path)), exist_ok=True)
        shutil.copy2(program, self.host(path))
        return path

    def logged(self, ident: str, text: str) -> bool:
        """True once a running program named ident has logged text."""
        return any(l.ident == ident and l.text == text for l in self._syslog.lines())

    def log_texts(self) -> List[str]:
        """What running programs have logged so far, in order."""
        return [l.text for l in self._syslog.lines()]

    def tmp_files(self) -> List[str]:
        """Everything under $TMPDIR, relative, sorted; directories end with "/"."""
        top = self.host(TMPDIR)
        found = []
        for here, dirs, files in os.walk(top):
            rel = os.path.relpath(here, top)
            prefix = "" if rel == "." else rel + "/"
            found += [prefix + d + "/" for d in dirs] + [prefix + f for f in files]
        return sorted(found)

    # ---- processes ---------------------------------------------------------------------

    def start_helper(self, argv: Sequence[str], env: Optional[Dict[str, str]] = None,
                     timeout: float = 10.0) -> Helper:
        """Starts a helper process on the host (stopped when the world closes)."""
        helper = Helper(argv, env, timeout)
        self._helpers.append(helper)
        return helper

    def environment(self, extra: Optional[Dict[str, Optional[str]]] = None) -> Dict[str, str]:
        """The program's whole environment: a small fixed base, sanitizer settings of the
        host, then extra (a value of None removes the name)."""
        env = {"PATH": "/usr/bin:/bin", "HOME": HOME, "TMPDIR": TMPDIR, "USER": "user",
               "LOGNAME": "user", "LANG": "en_US.UTF-8", "XDG_RUNTIME_DIR": RUNTIME_DIR}
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if name in os.environ:
                env[name] = os.environ[name]
        for name, value in (extra or {}).items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        return env

    def bwrap_argv(self, argv: Sequence[str]) -> List[str]:
        args = ["bwrap", "--die-with-parent", "--new-session", "--unshare-user",
                "--uid", str(self.uid), "--gid", str(self.uid), "--unshare-pid",
                "--unshare-ipc", "--unshare-uts", "--hostname", "sandbox"]
        if self.offline:
            args.append("--unshare-net")
        args += _system_binds()
        args += ["--proc", "/proc", "--dev", "/dev"]
        for d in SCENARIO_DIRS:
            if d == TMPDIR and self.tmp_size is not None:
                args += ["--perms", "1777", "--size", str(self.tmp_size), "--tmpfs", d]
            else:
                args += ["--ro-bind" if d in self.read_only else "--bind", self.host(d), d]
        args += ["--bind", self._syslog.path, "/dev/log", "--chdir", HOME, "--"]
        return args + list(argv)

    def start(self, argv: Sequence[str], env: Optional[Dict[str, Optional[str]]] = None,
              http_proxy: Optional[Helper] = None, terminal: bool = False,
              program: Optional[str] = None) -> Running:
        """Starts argv in the sandbox as run() does, without waiting: the Running object
        waits for conditions, signals the program and collects the Result. Standard input
        is empty, or, with terminal, standard input and standard error are one
        pseudo-terminal (not the controlling terminal: a "Ctrl-C" is a SIGINT sent to the
        program). program is argument 0 of the program to signal when argv starts it
        through a wrapper (default: argv[0]).

        Programs started while others of the world still run share its directories (its
        $XDG_RUNTIME_DIR too) and its log; each Result then holds the lines of its own
        ident only, so give them different names (two bundles, say)."""
        extra = dict(env or {})
        if http_proxy is not None:
            extra.setdefault("http_proxy", http_proxy.url)
            extra.setdefault("no_proxy", "")
        if not self._running:
            self._syslog.take()  # lines of an earlier run are not this run's
        master = None
        streams = {"stdin": subprocess.DEVNULL, "stderr": subprocess.PIPE}
        if terminal:
            master, slave = pty.openpty()
            streams = {"stdin": slave, "stderr": slave}
        try:
            process = subprocess.Popen(self.bwrap_argv(argv), stdout=subprocess.PIPE,
                                       env=self.environment(extra), start_new_session=True,
                                       **streams)
        finally:
            if terminal:
                os.close(slave)
        running = Running(self, process, program or argv[0], master)
        if self._running:
            for other in self._running + [running]:
                other.beside_others = True
        self._running.append(running)
        return running

    def run(self, argv: Sequence[str], env: Optional[Dict[str, Optional[str]]] = None,
            timeout: float = _DEFAULT_TIMEOUT, http_proxy: Optional[Helper] = None,
            stdin: bytes = b"", allow_timeout: bool = False) -> Result:
        """Runs argv (argv[0] a sandbox path) in the sandbox and waits at most timeout
        seconds. A program still running then is killed, and the scenario fails with
        ScenarioTimeout, unless allow_timeout, when the result says timed_out.
        http_proxy points the program's proxy settings at a helper. Standard input is a
        pipe holding stdin, never a terminal."""
        extra = dict(env or {})
        if http_proxy is not None:
            extra.setdefault("http_proxy", http_proxy.url)
            extra.setdefault("no_proxy", "")
        self._syslog.take()  # lines of an earlier run are not this run's
        process = subprocess.Popen(self.bwrap_argv(argv), stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   env=self.environment(extra), start_new_session=True)
        timed_out = False
        try:
            out, err = process.communicate(stdin, timeout=timeout)
        except subprocess.TimeoutExpired:
            timed_out = True
            os.killpg(process.pid, signal.SIGKILL)
            out, err = process.communicate()
        result = Result(process.returncode, out.decode(errors="replace"),
                        err.decode(errors="replace"), self._syslog.take(), self.tmp_files(),
                        timed_out)
        if timed_out and not allow_timeout:
            raise ScenarioTimeout(f"{list(argv)} still ran after {timeout}s and was killed\n"
                                  f"stdout: {result.stdout!r}\nstderr: {result.stderr!r}\n"
                                  f"log: {result.log_pairs!r}")
        _check_sanitizers(str(list(argv)), result.stderr)
        return result
