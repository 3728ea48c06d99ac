"""Drives morsello.exe under Wine on a private X server.

The Wine prefix is made once and kept in the build tree (about 700 MB, some
15 s to make); a stamp file says for which Wine and which COM1 link it was
made, and a prefix without a matching stamp is made anew. COM1 of the prefix
is a fixed path in the build tree where each test that keys puts the link of
its own socat pseudo-terminal.

Each case gets its own Xvfb and working directory. Every process a case starts
is stopped by its PID; the Wine processes that the program's start brings up
(wineserver and Wine's own services) end by themselves once the program has
ended, and the case waits for that with `wineserver -w`.

The X tools, waits and checks, the start of Xvfb and of logged processes, and
the session's context manager come from the Linux end-to-end harness; the
form's positions, colours and default settings from its mainform module.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402  (the path is set just above)
from harness import Failure, check, stop, wait_for  # noqa: E402,F401
from mainform import CLIENT_H, CLIENT_W  # noqa: E402,F401

TITLE_REGEX = "^Morsello version 005"
WINE_TIMEOUT = 60.0  # making a prefix, or Wine's first start in it


def exe_path():
    path = os.environ.get("MORSELLO_EXE", "")
    check(path and os.path.isfile(path), "MORSELLO_EXE does not name the program: %r" % path)
    return path


def state_dir():
    path = os.environ.get("MORSELLO_WINE_DIR", "")
    check(path, "MORSELLO_WINE_DIR is not set")
    os.makedirs(path, exist_ok=True)
    return path


def com1_link():
    return os.path.join(state_dir(), "com1")


def wine_env(display=None, home=None):
    env = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": home or os.environ.get("HOME", "/root"),
        "WINEPREFIX": os.path.join(state_dir(), "prefix"),
        "WINEDEBUG": "-all",
        # No .NET or Gecko installer at prefix creation: they are not needed.
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LC_ALL": "C.UTF-8",
    }
    if display:
        env["DISPLAY"] = display
    return env


def run_wine_tool(args, env, timeout=WINE_TIMEOUT):
    done = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout)
    if done.returncode != 0:
        raise Failure("%s failed (%d): %s" % (" ".join(args), done.returncode,
                                              done.stderr.decode(errors="replace")[-2000:]))
    return done.stdout.decode(errors="replace")


def wait_wineserver(env, timeout=30.0):
    """Until the prefix's wineserver has ended, with every Wine process in it."""
    run_wine_tool(["wineserver", "-w"], env, timeout)


def ensure_prefix():
    """The cached prefix, made anew when its stamp does not match."""
    env = wine_env()
    prefix = env["WINEPREFIX"]
    stamp_path = os.path.join(state_dir(), "prefix.stamp")
    version = run_wine_tool(["wine", "--version"], env).strip()
    stamp = "%s\nCOM1=%s\nManaged=N\n" % (version, com1_link())
    try:
        with open(stamp_path) as f:
            if f.read() == stamp and os.path.isdir(os.path.join(prefix, "drive_c")):
                return
    except FileNotFoundError:
        pass
    started = time.monotonic()
    shutil.rmtree(prefix, ignore_errors=True)
    if os.path.exists(stamp_path):
        os.remove(stamp_path)
    run_wine_tool(["wineboot", "--init"], env)
    # Without a window manager, Wine draws the frames itself; managed windows
    # would wait for a manager that never answers (window destruction stalls).
    run_wine_tool(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                   "/t", "REG_SZ", "/d", "N", "/f"], env)
    # A COM port is set in the registry; Wine rewrites dosdevices links itself.
    run_wine_tool(["wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/t",
                   "REG_SZ", "/d", com1_link(), "/f"], env)
    wait_wineserver(env, WINE_TIMEOUT)
    with open(stamp_path, "w") as f:
        f.write(stamp)
    print("made the Wine prefix in %.1f s" % (time.monotonic() - started))


class Window:
    """One top-level window of the program as X sees it: Wine draws the frame
    itself, so the X window holds the frame and the client area inside it."""

    def __init__(self, x, wid, client_w, client_h):
        self.x = x
        self.wid = wid
        left, top, width, height, state = x.geometry(wid)
        self.left, self.top, self.width, self.height, self.state = left, top, width, height, state
        self.border = (width - client_w) // 2
        self.caption = height - client_h - 2 * self.border
        check(self.border >= 0 and self.caption > 0,
              "window %d is %dx%d, no frame around a %dx%d client area" %
              (wid, width, height, client_w, client_h))
        self.client_w, self.client_h = client_w, client_h

    def client_origin(self):
        """The client area's top-left corner in the X window."""
        return self.border, self.border + self.caption

    def click(self, cx, cy):
        ox, oy = self.client_origin()
        self.x.xdotool("mousemove", "--window", self.wid, ox + cx, oy + cy, "click", "1")

    def click_frame(self, fx, fy):
        """A click at a position of the frame (the X window's own pixels)."""
        self.x.xdotool("mousemove", "--window", self.wid, fx, fy, "click", "1")

    def client_pixel(self, image, cx, cy):
        ox, oy = self.client_origin()
        return image.rgb(ox + cx, oy + cy)


class WineProgram:
    def __init__(self, proc, x, log_path):
        self.proc = proc
        self.x = x
        self.log_path = log_path

    def alive(self):
        return self.proc.poll() is None

    def log(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()[-3000:]

    def windows(self, name_regex=TITLE_REGEX):
        return self.x.find_windows(self.proc.pid, name_regex)

    def wait_window(self, client_w=CLIENT_W, client_h=CLIENT_H, other_than=(),
                    name_regex=TITLE_REGEX, timeout=harness.TIMEOUT):
        """A shown window of the given client size that is none of `other_than`."""
        def found():
            if not self.alive():
                raise Failure("program ended (%s) before its window appeared; log:\n%s" %
                              (self.proc.returncode, self.log()))
            for wid in self.windows(name_regex):
                if wid in other_than:
                    continue
                try:
                    w = Window(self.x, wid, client_w, client_h)
                except Failure:
                    continue  # another window, or not yet at its size
                if w.state == "IsViewable" and w.width == client_w + 2 * w.border:
                    return w
            return None

        return wait_for(found, "a %dx%d window named %r" % (client_w, client_h, name_regex),
                        timeout)

    def wait_gone(self, wid, timeout=harness.TIMEOUT):
        wait_for(lambda: wid not in self.windows(".*"), "window %d to close" % wid, timeout)

    def wait_exit(self, timeout=harness.TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("program still running after %.1f s" % timeout)

    def key(self, *names):
        self.x.xdotool("key", "--delay", "30", *names)

    def type(self, text):
        self.x.xdotool("type", "--delay", "30", text)

    def hold_escape(self, seconds=0.6):
        """Escape held across at least two examinations of the main loop (its
        timer passes every 250 ms), then released: a short tap between two
        examinations is not seen, by design."""
        self.x.xdotool("keydown", "Escape")
        time.sleep(seconds)
        self.x.xdotool("keyup", "Escape")


class WineSession(harness.SessionBase):
    """A private X server and working directory for one case; a context manager."""

    def __init__(self, name):
        self.name = name
        self.procs = []  # (what, Popen), stopped in reverse order
        self.artifacts = harness.artifacts_dir(name)
        self.home = tempfile.mkdtemp(prefix="morsello-wine-home-")
        self.workdir = tempfile.mkdtemp(prefix="morsello-wine-work-")
        self.env = None
        self.x = None
        self.passed = False

    def _start(self):
        ensure_prefix()
        self._start_x()

    def spawn(self, what, args, log_name, cwd=None, pass_fds=(), stdout=None):
        # Before the X server is up, Wine's environment without a display.
        return harness.spawn_logged(self.procs, what, args,
                                    os.path.join(self.artifacts, log_name), cwd or self.home,
                                    self.env or wine_env(), pass_fds, stdout)

    def _start_x(self):
        self.env = wine_env(harness.start_xvfb(self.spawn), self.home)
        self.x = harness.X(self.env["DISPLAY"], self.env)

    def launch(self):
        log_path = os.path.join(self.artifacts, "morsello.log")
        proc = self.spawn("morsello.exe", ["wine", exe_path()], "morsello.log", cwd=self.workdir)
        return WineProgram(proc, self.x, log_path)

    def write_settings(self, values):
        """A settings file with the ten values of `values` (TK001 first)."""
        with open(self.settings_path(), "wb") as f:
            for i, value in enumerate(values):
                f.write(harness.settings_line("TK%03d" % (i + 1), value))

    def screenshot(self, window, name):
        return self.x.screenshot(window.wid, os.path.join(self.artifacts, name + ".png"))

    def close(self):
        # The program and socat first; Wine's own processes still need the X
        # server to end cleanly, so it goes last.
        for what, proc in reversed(self.procs[1:]):
            stop(proc)
        if self.env:
            try:
                wait_wineserver(self.env)
            except (Failure, subprocess.TimeoutExpired) as e:
                print("wineserver did not end: %s" % e, file=sys.stderr)
        for what, proc in self.procs[:1]:
            stop(proc)
        self.procs = []
        if self.passed:
            shutil.rmtree(self.workdir, ignore_errors=True)
        else:
            print("working directory kept: %s; logs in %s" % (self.workdir, self.artifacts),
                  file=sys.stderr)
        shutil.rmtree(self.home, ignore_errors=True)
