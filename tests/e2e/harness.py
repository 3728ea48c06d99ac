"""Drives the real program on a private X server.

A Session starts everything a test needs itself: an Xvfb server on a free
display, optionally the openbox window manager, and the program in an empty
temporary working directory. Every process it starts is stopped by its PID when
the session ends, on failure too. Waits are for conditions with a time-out;
nothing sleeps for a fixed time to make a test pass, and nothing is retried.

Only the Python standard library and the command-line X tools are used: xdotool
for input, xwd for screen contents, xprop and xwininfo for window properties.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

from conditions import TIMEOUT, Failure, check, wait_for, wait_for_change  # noqa: F401
from xtools import OtherWindow, X, is_face_grey  # noqa: F401

SETTINGS = "taktell.cnf"
MAIN_TITLE = "^Morsello version 005 {90}$"  # as a regular expression for xdotool
SCREEN_W, SCREEN_H = 1920, 1080  # the private X server's screen


def spawn_logged(procs, what, args, log_path, cwd, env, pass_fds=(), stdout=None):
    """Starts a process in its own session, its output (only its stderr when
    `stdout` is given) in `log_path`, and adds it to `procs` to be stopped."""
    log = open(log_path, "w")
    proc = subprocess.Popen(args, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                            stdout=stdout or log, stderr=log if stdout else subprocess.STDOUT,
                            pass_fds=pass_fds, start_new_session=True)
    log.close()
    procs.append((what, proc))
    return proc


def start_xvfb(spawn):
    """Starts Xvfb on a free display through `spawn` (a session's, logging to
    xvfb.log) and returns the display's name once the server listens."""
    read_fd, write_fd = os.pipe()
    try:
        spawn("Xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                       "%dx%dx24" % (SCREEN_W, SCREEN_H), "-dpi", "96", "-nolisten", "tcp",
                       "-noreset"], "xvfb.log", pass_fds=(write_fd,))
    finally:
        os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        number = pipe.readline().strip()  # Xvfb writes it once it listens
    check(number.isdigit(), "Xvfb did not report a display; see xvfb.log")
    return ":" + number


def program_path():
    path = os.environ.get("MORSELLO_BIN", "")
    check(path and os.access(path, os.X_OK), "MORSELLO_BIN does not name the program: %r" % path)
    return path


def artifacts_dir(name):
    root = os.environ.get("MORSELLO_E2E_ARTIFACTS") or os.path.join(tempfile.gettempdir(),
                                                                     "morsello-e2e")
    path = os.path.join(root, name)
    os.makedirs(path, exist_ok=True)
    return path


class Program:
    def __init__(self, proc, x, log_path):
        self.proc = proc
        self.x = x
        self.log_path = log_path
        self.wid = None

    @property
    def pid(self):
        return self.proc.pid

    def alive(self):
        return self.proc.poll() is None

    def log(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def wait_window(self, other_than=None, timeout=TIMEOUT):
        """Waits for a main window (one other than `other_than`, after a rebuild)
        and makes it the one the other methods act on."""
        def found():
            if not self.alive():
                raise Failure("program ended (%s) before its window appeared; log:\n%s" %
                              (self.proc.returncode, self.log()))
            ids = [w for w in self.x.find_windows(self.pid, MAIN_TITLE) if w != other_than]
            return ids[-1] if ids else None

        self.wid = wait_for(found, "the main window", timeout)
        return self.wid

    def wait_drawn(self, wid=None, timeout=TIMEOUT):
        """Until the main window shows its white background and the grey face of
        the "Spara" button: the form has been painted."""
        wid = wid or self.wid

        def painted():
            img = self.x.capture(wid)
            return img.rgb(3, 3) == (255, 255, 255) and is_face_grey(img.rgb(130, 710))

        wait_for(painted, "the main window to be painted", timeout)

    def wait_exit(self, timeout=TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("program still running after %.1f s" % timeout)

    def click(self, x, y, wid=None):
        """A left click at client coordinates of the window."""
        self.x.xdotool("mousemove", "--window", wid or self.wid, x, y, "click", "1")

    def key(self, *names):
        self.x.xdotool("key", "--delay", "20", *names)

    def type(self, text):
        self.x.xdotool("type", "--delay", "20", text)


class SessionBase:
    """What the Linux and the Wine session share: a context manager that starts
    its services in `_start` and stops them in `close`, on failure too, and
    the settings file in its working directory `workdir`."""

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, kind, value, tb):
        self.passed = kind is None
        self.close()
        return False

    def settings_path(self):
        return os.path.join(self.workdir, SETTINGS)

    def read_settings(self):
        try:
            with open(self.settings_path(), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None


class Session(SessionBase):
    """A private X server (and window manager) for one test; a context manager."""

    def __init__(self, name, window_manager=False):
        self.name = name
        self.window_manager = window_manager
        self.procs = []  # (what, Popen), stopped in reverse order
        self.windows = []  # OtherWindow, closed at the end
        self.cleanups = []  # callables run at the end, before the processes stop
        self.artifacts = artifacts_dir(name)
        self.home = tempfile.mkdtemp(prefix="morsello-home-")
        self.workdir = tempfile.mkdtemp(prefix="morsello-work-")
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home}
        self.x = None
        self.passed = False

    def _start(self):
        self._start_x()
        if self.window_manager:
            self._start_window_manager()

    def _spawn(self, what, args, log_name, cwd=None, env=None, pass_fds=(), stdout=None):
        return spawn_logged(self.procs, what, args, os.path.join(self.artifacts, log_name),
                            cwd or self.home, env or self.env, pass_fds, stdout)

    def _start_x(self):
        self.env["DISPLAY"] = start_xvfb(self._spawn)
        self.x = X(self.env["DISPLAY"], self.env)

    def _start_window_manager(self):
        # openbox can lose a map request made while it starts up, and it tells
        # nobody when start-up is over. It does frame the windows already on
        # the screen once it is ready: a probe window mapped before it starts
        # shows when that moment has come.
        probe = self._spawn("xlogo", ["xlogo", "-geometry", "40x40+0+0"], "xlogo.log")
        wid = wait_for(lambda: self.x.find_windows(None, "^xlogo$"), "the probe window")[0]
        self._spawn("openbox", ["openbox", "--sm-disable"], "openbox.log")
        wait_for(lambda: "=" in self.x.prop(wid, "_NET_FRAME_EXTENTS"),
                 "openbox to frame the probe window")
        stop(probe)

    def launch(self):
        """Starts the program in the session's working directory. Of the test's
        own environment only sanitizer options reach it."""
        log_path = os.path.join(self.artifacts, "morsello.log")
        env = dict(self.env, **{k: v for k, v in os.environ.items()
                                if k.split("_")[0] in ("ASAN", "UBSAN", "LSAN")})
        proc = self._spawn("morsello", [program_path()], "morsello.log", cwd=self.workdir,
                           env=env)
        return Program(proc, self.x, log_path)

    def other_window(self):
        window = OtherWindow(self.x)
        self.windows.append(window)
        return window

    def close(self):
        for window in self.windows:
            window.close()
        self.windows = []
        for cleanup in reversed(self.cleanups):
            cleanup()
        self.cleanups = []
        for what, proc in reversed(self.procs):
            stop(proc)
        self.procs = []
        if not self.passed:
            kept = os.path.join(self.artifacts, "workdir")
            shutil.rmtree(kept, ignore_errors=True)
            shutil.copytree(self.workdir, kept)
            print("logs and working directory in %s" % self.artifacts, file=sys.stderr)
        shutil.rmtree(self.workdir, ignore_errors=True)
        shutil.rmtree(self.home, ignore_errors=True)


def stop(proc):
    """Ends one process we started, by its PID: TERM, then KILL."""
    if proc.poll() is not None:
        return
    try:
        os.kill(proc.pid, signal.SIGTERM)
        proc.wait(3)
    except subprocess.TimeoutExpired:
        os.kill(proc.pid, signal.SIGKILL)
        proc.wait(3)
    except ProcessLookupError:
        pass


def settings_line(key, value):
    return (key.ljust(9) + value).encode("utf-8") + b"\r\n"


def settings_value(content, key):
    """The value of `key` in a settings file's bytes, or None."""
    for line in content.split(b"\r\n"):
        if line[:9].rstrip(b" ") == key.encode():
            return line[9:].decode("utf-8")
    return None


def run_cases(cases):
    """Runs the cases named on the command line (or all); exit code 0 on
    success. "--list" prints the names, one a line, for CTest."""
    if sys.argv[1:] == ["--list"]:
        print("\n".join(cases))
        return
    names = sys.argv[1:] or list(cases)
    failed = 0
    for name in names:
        check(name in cases, "no case %r; known: %s" % (name, ", ".join(cases)))
        started = time.monotonic()
        try:
            cases[name]()
            print("PASS %s (%.2f s)" % (name, time.monotonic() - started))
        except Exception as e:  # report every failure, then fail the run
            failed += 1
            traceback.print_exc()
            print("FAIL %s: %s" % (name, e))
    sys.exit(1 if failed else 0)
