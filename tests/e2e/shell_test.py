"""End-to-end tests of the main window and the settings file on Linux.

Each case starts its own X server (and window manager where it says so) and the
real program in an empty directory, drives it with real clicks and keys, and
reads back what the operator would see: the settings file, the window's
properties and its pixels. Run one case by name, or all without arguments.
"""

import fcntl
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402
from mainform import (CLIENT_H, CLIENT_W, DEFAULT_FILE, DEFAULTS, FETCH_TIME_BUTTON,  # noqa: E402
                      PORT_FIELD, SAVE_BUTTON, START_FIELD, TEXT_FIELD, TONE_FIELD, WHITE,
                      focus, hold_escape, started, wait_clock_changes)


def edit_field(program, point, text):
    program.click(*point)
    program.key("ctrl+a")
    program.type(text)


def save_and_wait(session, program):
    """Clicks "Spara"; once the main window has been built anew (which the
    save does after writing the file), returns the file's content."""
    old = program.wid
    program.click(*SAVE_BUTTON)
    program.wait_window(other_than=old)
    program.wait_drawn()
    return session.read_settings()


# ---------------------------------------------------------------- cases


def no_display():
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin")}
    workdir = tempfile.mkdtemp(prefix="morsello-nodisplay-")
    try:
        done = subprocess.run([h.program_path()], cwd=workdir, env=env, capture_output=True,
                              timeout=h.TIMEOUT)
        err = done.stderr.decode()
        h.check(done.returncode == 0, "exit code %d, want 0" % done.returncode)
        h.check("morsello: cannot open the X display (is DISPLAY set?)" in err,
                "stderr does not explain: %r" % err)
        h.check(os.listdir(workdir) == [], "files written without a display: %s" %
                os.listdir(workdir))
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


def display_lost():
    with h.Session("display_lost") as s:
        program = started(s)
        xvfb = next(proc for what, proc in s.procs if what == "Xvfb")
        h.stop(xvfb)
        code = program.wait_exit()
        h.check(code == 0, "exit code %d after the X server went away" % code)


def first_start():
    with h.Session("first_start") as s:
        t0 = time.monotonic()
        program = s.launch()
        program.wait_window()
        mapped = time.monotonic() - t0
        program.wait_drawn()
        painted = time.monotonic() - t0
        content = s.read_settings()
        h.check(content == DEFAULT_FILE, "default settings file differs:\n%r\nwant\n%r" %
                (content, DEFAULT_FILE))
        h.check(len(content) == 181, "default file has %d bytes" % len(content))
        x, y, w, hgt, state = s.x.geometry(program.wid)
        h.check((w, hgt) == (CLIENT_W, CLIENT_H), "client area %dx%d" % (w, hgt))
        h.check((x, y) == ((h.SCREEN_W - CLIENT_W) // 2, (h.SCREEN_H - CLIENT_H) // 2),
                "not centred without a frame: %d,%d" % (x, y))
        report = "window mapped after %.0f ms, painted after %.0f ms" % (mapped * 1000,
                                                                         painted * 1000)
        with open(os.path.join(s.artifacts, "startup.txt"), "w") as f:
            f.write(report + "\n")
        print(report)


def save_field():
    with h.Session("save_field") as s:
        program = started(s)
        edit_field(program, TONE_FIELD, "700")
        content = save_and_wait(s, program)
        want = DEFAULT_FILE.replace(b"TK001    800\r\n", b"TK001    700\r\n")
        h.check(content == want, "saved file:\n%r\nwant\n%r" % (content, want))
        h.check(program.alive(), "program ended after the save")


def upper_case_fields():
    with h.Session("upper_case_fields") as s:
        program = started(s)
        edit_field(program, PORT_FIELD, "/dev/ttyacm0")
        edit_field(program, TEXT_FIELD, "åäö test ÿ")
        edit_field(program, START_FIELD, "abc")  # an ordinary field keeps lower case
        content = save_and_wait(s, program)
        for key, want in (("TK008", "/DEV/TTYACM0"), ("TK003", "ÅÄÖ TEST Ÿ"), ("TK009", "abc")):
            got = h.settings_value(content, key)
            h.check(got == want, "%s saved as %r, want %r" % (key, got, want))

        # Pasted text turns into capitals too: copy from an ordinary field.
        edit_field(program, START_FIELD, "com7 ä")
        program.key("ctrl+a", "ctrl+c")
        program.click(*PORT_FIELD)
        program.key("ctrl+a", "ctrl+v")
        content = save_and_wait(s, program)
        got = h.settings_value(content, "TK008")
        h.check(got == "COM7 Ä", "pasted port saved as %r" % got)


def tab_order():
    with h.Session("tab_order") as s:
        program = started(s)
        # Back from the first field wraps to the last button, forward wraps
        # back to the first field (which then has its text selected).
        program.click(*PORT_FIELD)
        program.key("shift+Tab", "Tab")
        program.type("/dev/x")
        program.key("Tab")  # the tone field follows
        program.type("650")
        content = save_and_wait(s, program)
        for key, want in (("TK008", "/DEV/X"), ("TK001", "650")):
            got = h.settings_value(content, key)
            h.check(got == want, "%s saved as %r, want %r" % (key, got, want))
        # The button before the first field is "Avsluta": Space presses it.
        focus(program)
        program.click(*PORT_FIELD)
        program.key("shift+Tab", "space")
        h.check(program.wait_exit() == 0, "exit code after Avsluta")


def tab_order_after_refill():
    with h.Session("tab_order_after_refill") as s:
        program = started(s)
        # "Hämta aktuell dag/tid" creates the start and stop fields anew; they
        # keep their places in the Tab order: before the start field comes the
        # count field. The events queue up, so each click sees the effect of
        # the one before.
        program.click(*FETCH_TIME_BUTTON)
        program.click(*START_FIELD)
        program.key("shift+Tab")
        program.type("9")
        content = save_and_wait(s, program)
        h.check(h.settings_value(content, "TK006") == "9", "count field: %r" %
                h.settings_value(content, "TK006"))
        stamp = h.settings_value(content, "TK009")
        h.check(re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d", stamp) and stamp != DEFAULTS[8][1],
                "start field not filled from the clock: %r" % stamp)


def message_boxes_when_settings_locked():
    with h.Session("message_boxes_when_settings_locked") as s:
        # Another program holds the settings file: each of the ten lookups
        # shows a box, and nothing is written.
        with open(s.settings_path(), "wb") as f:
            f.write(DEFAULT_FILE)
        holder = open(s.settings_path(), "rb")
        fcntl.flock(holder, fcntl.LOCK_EX)
        try:
            program = s.launch()
            shown = []

            def next_box():
                ids = [w for w in s.x.find_windows(program.pid, "^Information$") if w not in shown]
                return ids[-1] if ids else None

            for n in range(10):
                box = h.wait_for(next_box, "message box %d" % (n + 1))
                shown.append(box)
                _, _, w, hgt, _ = s.x.geometry(box)
                if n == 0:
                    img = s.x.screenshot(box, os.path.join(s.artifacts, "message-box.png"))
                    h.check(img.rgb(3, 3) != WHITE, "box without the dialog face")
                program.x.xdotool("mousemove", "--window", box, 5, 5)
                # Every way out closes it: OK, Enter, Escape, the close box.
                way = n % 4
                if way == 0:
                    program.click(w // 2, hgt - 22, box)
                elif way == 1:
                    program.key("Return")
                elif way == 2:
                    program.key("Escape")
                else:
                    s.x.send_close_request(box)
            program.wait_window()
            program.wait_drawn()
            h.check(next_box() is None, "an eleventh box")
        finally:
            holder.close()
        h.check(s.read_settings() == DEFAULT_FILE, "the locked file was changed")
        h.check(program.alive(), "program ended")


def escape_ends():
    with h.Session("escape_ends") as s:
        program = started(s)
        focus(program)
        hold_escape(program)
        code = program.wait_exit(timeout=3)
        h.check(code == 0, "exit code %d after Escape" % code)
        h.check(s.read_settings() == DEFAULT_FILE, "Escape changed the settings file")


def escape_not_foreground(mode="focus"):
    """Escape pressed and released while another program is in front is not
    seen; in front is the window with the input focus ("focus"), the window
    under the pointer while the focus follows it ("pointer", the X server's
    default), or the window the manager calls active ("wm")."""
    name = "escape_not_foreground" + ("" if mode == "focus" else "_" + mode)
    with h.Session(name, window_manager=mode == "wm") as s:
        program = started(s)
        other = s.other_window()

        def bring_forward(wid):
            if mode == "pointer":
                program.x.xdotool("mousemove", "--window", wid, 20, 20)
            else:
                program.x.xdotool("windowactivate" if mode == "wm" else "windowfocus", "--sync",
                                  wid)

        bring_forward(other.wid)
        hold_escape(program)
        wait_clock_changes(program, 2)
        h.check(program.alive(), "Escape in another program's window ended the program")
        # The same key press with the main window in front ends it.
        bring_forward(program.wid)
        hold_escape(program)
        h.check(program.wait_exit(timeout=3) == 0, "exit code after Escape")


def escape_not_foreground_pointer():
    escape_not_foreground("pointer")


def escape_not_foreground_wm():
    escape_not_foreground("wm")


def close_box_ignored():
    with h.Session("close_box_ignored") as s:
        program = started(s)
        # The request really closes a window that honours it.
        other = s._spawn("xlogo", ["xlogo"], "xlogo.log")
        other_wid = h.wait_for(lambda: s.x.find_windows(None, "^xlogo$"), "xlogo")[0]
        s.x.send_close_request(other_wid)
        h.check(other.wait(h.TIMEOUT) == 0, "xlogo did not close on the request")

        s.x.send_close_request(program.wid)
        wait_clock_changes(program, 2)
        h.check(program.alive(), "the close box ended the program")
        h.check(s.x.geometry(program.wid)[4] == "IsViewable", "the main window was hidden")


def close_box_with_window_manager():
    with h.Session("close_box_with_window_manager", window_manager=True) as s:
        program = started(s)
        other = s._spawn("xlogo", ["xlogo"], "xlogo.log")
        other_wid = h.wait_for(lambda: s.x.find_windows(None, "^xlogo$"), "xlogo")[0]
        focus(program, other_wid, window_manager=True)
        program.key("alt+F4")
        h.check(other.wait(h.TIMEOUT) == 0, "alt+F4 did not close xlogo")

        focus(program, window_manager=True)
        program.key("alt+F4")
        wait_clock_changes(program, 2)
        h.check(program.alive(), "alt+F4 ended the program")
        h.check(s.x.geometry(program.wid)[4] == "IsViewable", "the main window was hidden")


def frame_with_window_manager():
    with h.Session("frame_with_window_manager", window_manager=True) as s:
        program = started(s)

        def centred_with_frame():
            extents = s.x.prop(program.wid, "_NET_FRAME_EXTENTS")
            if "=" not in extents:
                return None
            left, right, top, bottom = (int(v) for v in extents.split("=")[1].split(","))
            x, y, w, hgt, _ = s.x.geometry(program.wid)
            outer = (x - left, y - top, w + left + right, hgt + top + bottom)
            want = ((h.SCREEN_W - outer[2]) // 2, (h.SCREEN_H - outer[3]) // 2)
            return outer[:2] == want and (w, hgt) == (CLIENT_W, CLIENT_H)

        h.wait_for(centred_with_frame, "the framed window centred on the screen")
        actions = s.x.prop(program.wid, "_NET_WM_ALLOWED_ACTIONS")
        for action in ("_NET_WM_ACTION_CLOSE", "_NET_WM_ACTION_MOVE"):
            h.check(action in actions, "%s missing: %s" % (action, actions))
        for action in ("_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE"):
            h.check(action not in actions, "%s allowed: %s" % (action, actions))

        def active():
            return s.x.root_prop("_NET_ACTIVE_WINDOW").endswith("# " + hex(program.wid))

        h.wait_for(active, "the main window to be the active one")
        # A rebuild opens the window centred again, and in front.
        save_and_wait(s, program)
        h.wait_for(centred_with_frame, "the rebuilt window centred on the screen")
        h.wait_for(active, "the rebuilt window to be the active one")


def screenshot():
    with h.Session("screenshot") as s:
        program = started(s)
        wait_clock_changes(program, 1)  # the clock label is on screen too
        path = os.path.join(s.artifacts, "screenshot-main.png")
        img = s.x.screenshot(program.wid, path)
        for point in ((3, 3), (1276, 796), (60, 400), (700, 250)):
            h.check(img.rgb(*point) == WHITE, "background at %s is %s" % (point, img.rgb(*point)))
        for point in ((122, 252), (122, 592), (318, 268)):  # caption labels: dialog face
            h.check(h.is_face_grey(img.rgb(*point)),
                    "caption at %s is %s" % (point, img.rgb(*point)))
        for point in ((365, 262), (1210, 352), (410, 592)):  # inside the edit fields
            h.check(img.rgb(*point) == WHITE, "field at %s is %s" % (point, img.rgb(*point)))
        banner = [img.rgb(x, y) for x in range(400, 700) for y in range(32, 58)]
        h.check(any(b > r + 60 and b > g + 60 for r, g, b in banner), "no blue banner text")
        captions = [img.rgb(x, y) for x in range(120, 200) for y in range(282, 298)]
        h.check(any(max(p) < 100 for p in captions), "no dark caption text for 'Ton i Hertz'")
        if os.environ.get("MORSELLO_UPDATE_SCREENSHOT") == "1":
            docs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs")
            shutil.copyfile(path, os.path.join(docs, "screenshot-main.png"))


CASES = {f.__name__: f for f in (
    no_display, display_lost, first_start, save_field, upper_case_fields, tab_order,
    tab_order_after_refill, message_boxes_when_settings_locked, escape_ends,
    escape_not_foreground, escape_not_foreground_pointer, escape_not_foreground_wm,
    close_box_ignored, close_box_with_window_manager, frame_with_window_manager, screenshot)}

if __name__ == "__main__":
    h.run_cases(CASES)
