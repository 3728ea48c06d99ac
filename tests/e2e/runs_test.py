"""End-to-end tests of the commands around a run on Linux: port discovery,
clock fill with the timed run it prepares, and the information window.

What the program does is read from what an operator or a device would notice:
message boxes and windows that appear and go, the settings file, the bytes on
a socat pseudo-terminal pair standing for the keying device, and pixels.
"""

import fcntl
import os
import shutil
import sys
import termios
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402
import mainform as f  # noqa: E402
import pulse  # noqa: E402
from keying_line import KeyingLine, key_spans  # noqa: E402

FOUND_TITLE = "^Hittade port $"


# ---------------------------------------------------------------- port discovery


def candidate_devices():
    """The devices the discovery tries, in its order: COM1 to COM20 are
    /dev/ttyS0 to /dev/ttyS19; then the usual places of USB serial adapters."""
    return (["/dev/ttyS%d" % n for n in range(20)] + ["/dev/ttyACM%d" % n for n in range(10)] +
            ["/dev/ttyUSB%d" % n for n in range(10)])


def opens(path):
    """Whether this process can open the device for exclusive use as a serial
    port at 9600 baud, 8 data bits, no parity (what a probe asks), found out
    here without the program; the device's settings are put back."""
    try:
        fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    except OSError:
        return False
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        old = termios.tcgetattr(fd)
        new = list(old)
        new[2] = (new[2] & ~(termios.CSIZE | termios.PARENB)) | termios.CS8
        new[4] = new[5] = termios.B9600
        termios.tcsetattr(fd, termios.TCSANOW, new)
        now = termios.tcgetattr(fd)
        termios.tcsetattr(fd, termios.TCSANOW, old)
        return now[5] == termios.B9600 and now[2] & termios.CSIZE == termios.CS8
    except (OSError, termios.error):
        return False
    finally:
        os.close(fd)


def boxes_of_one_discovery(program):
    """Presses "Hämta anslutna portar" and closes every "Hittade port " box
    with Enter as it comes; returns how many came. The discovery is over when
    the main loop runs again, which the clock label shows (it stands still
    while a box is up)."""
    program.click(*f.FIND_PORTS_BUTTON)
    count = 0
    while True:
        baseline = f.clock_pixels(program)
        changes = [0]

        def box_or_main_loop():
            boxes = program.x.find_windows(program.pid, FOUND_TITLE)
            if boxes:
                return boxes[0]
            nonlocal baseline
            now = f.clock_pixels(program)
            if now != baseline:
                baseline = now
                changes[0] += 1
            return "main loop" if changes[0] >= 2 else None

        seen = h.wait_for(box_or_main_loop, "a box or the main loop after box %d" % count)
        if seen == "main loop":
            return count
        count += 1
        program.x.xdotool("mousemove", "--window", seen, 5, 5)
        program.key("Return")
        h.wait_for(lambda: seen not in program.x.find_windows(program.pid, FOUND_TITLE),
                   "box %d to close on Enter" % count)


def port_discovery():
    """One box per device that opens, compared with what this machine has;
    a device held by another program is left out."""
    with h.Session("port_discovery") as s:
        f.write_settings(s, f.settings(""))  # no keying port: nothing is held
        program = f.started(s)
        expected = [d for d in candidate_devices() if opens(d)]
        print("devices that open here: %s" % (expected or "none"))
        got = boxes_of_one_discovery(program)
        h.check(got == len(expected), "%d boxes for the %d devices that open: %s" %
                (got, len(expected), expected))
        if expected:
            held = os.open(expected[0], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
            try:
                fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
                got = boxes_of_one_discovery(program)
            finally:
                os.close(held)
            h.check(got == len(expected) - 1, "%d boxes with %s held by another program" %
                    (got, expected[0]))
        h.check(program.alive(), "the program ended after the discovery")


# ---------------------------------------------------------------- clock fill, timed run


def minute_stamp(t):
    return time.strftime("%Y-%m-%d %H:%M", time.localtime(t))


def clock_fill_and_timed_run():
    """"Hämta aktuell dag/tid" and "Spara" store the current minute as start
    and stop; "Tid start/stopp" then sends the message once, at once. The
    keying port is typed in, so it is saved in capitals and found again by
    matching the path's components regardless of case."""
    with h.Session("clock_fill_and_timed_run") as s:
        pulse.PulseServer(s)  # the save and the timed run beep
        line = KeyingLine(s)
        f.write_settings(s, f.settings("", TK002="20", TK003="E", TK009="2000-01-01 00:00",
                                       TK010="2000-01-01 00:01"))
        program = f.started(s)
        program.click(*f.PORT_FIELD)
        program.key("ctrl+a")
        program.type(line.port)
        # Not in the last seconds of a minute, so that the stop minute cannot
        # be passed before the first transmission (a precondition).
        h.wait_for(lambda: time.localtime().tm_sec < 57, "a minute with time left", 5)
        before = time.time()
        program.click(*f.FETCH_TIME_BUTTON)
        old = program.wid
        program.click(*f.SAVE_BUTTON)
        program.wait_window(other_than=old)
        program.wait_drawn()
        after = time.time()
        content = s.read_settings()
        stamps = {minute_stamp(before), minute_stamp(after)}
        for key in ("TK009", "TK010"):
            value = h.settings_value(content, key)
            h.check(value in stamps, "%s saved as %r, want one of %s" % (key, value, stamps))
        h.check(h.settings_value(content, "TK009") == h.settings_value(content, "TK010"),
                "start and stop differ: %r" % content)
        saved_port = h.settings_value(content, "TK008")
        h.check(saved_port == line.port.upper(), "port saved as %r" % saved_port)

        pressed = time.monotonic_ns()
        program.click(*f.TIMED_BUTTON)
        events = line.wait_bytes(2, "the timed message", timeout=5)
        first = (events[0][0] - pressed) / 1e6
        # The 500 ms beep comes first, then no wait: the start minute is now.
        h.check(first < 3000, "the message began %.0f ms after the press" % first)
        f.wait_clock_changes(program, 2)  # the run is over, the main loop is back
        events = line.events()
        h.check(len(events) == 2, "more than one message: %r" % line.data())
        down = (key_spans(events)[0][1] - events[0][0]) / 1e6
        print("first byte %.0f ms after the press; key-down %.2f ms" % (first, down))
        h.check(abs(down - 20) <= 8, "the dot was %.2f ms down" % down)


# ---------------------------------------------------------------- information window


def information_window():
    with h.Session("information_window") as s:
        program = f.started(s)
        main = program.wid
        program.click(*f.INFO_BUTTON)
        info = program.wait_window(other_than=main)
        program.wid = main
        x, y, w, hgt, state = s.x.geometry(info)
        h.check((w, hgt) == (600, 600), "information window %dx%d" % (w, hgt))
        h.check((x, y) == ((1920 - 600) // 2, (1080 - 600) // 2), "not centred: %d,%d" % (x, y))
        h.check(s.x.geometry(main)[4] == "IsViewable", "the main window is gone behind it")
        h.wait_for(lambda: s.x.capture(info).rgb(5, 5) == f.LIGHT_BLUE,
                   "the information window to be painted")
        # The clock label keeps running, so the window's own loop is going
        # round; once it has changed, the labels are on screen too.
        f.wait_clock_changes(program, 1)
        path = os.path.join(s.artifacts, "screenshot-info.png")
        img = s.x.screenshot(info, path)
        # Outside the labels (x 40 to 590), which show the dialog face.
        for point in ((5, 5), (594, 594), (20, 120), (300, 330), (595, 120), (300, 500)):
            h.check(img.rgb(*point) == f.LIGHT_BLUE, "background at %s is %s" %
                    (point, img.rgb(*point)))
        title = [img.rgb(i, j) for i in range(230, 530) for j in range(30, 60)]
        h.check(any(b > r + 60 and b > g + 60 for r, g, b in title), "no blue title text")
        h.check(h.is_face_grey(img.rgb(585, 75)), "a label's background is %s" %
                (img.rgb(585, 75),))
        table = [img.rgb(i, j) for i in range(40, 590) for j in range(100, 180)]
        h.check(sum(max(p) < 100 for p in table) > 500, "no dark text in the Morse table")
        if os.environ.get("MORSELLO_UPDATE_SCREENSHOT") == "1":
            docs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs")
            shutil.copyfile(path, os.path.join(docs, "screenshot-info.png"))

        # Neither its close box nor Escape closes it.
        s.x.send_close_request(info)
        f.focus(program, info)
        f.hold_escape(program)
        f.wait_clock_changes(program, 2)
        h.check(program.alive(), "the program ended")
        h.check(info in s.x.find_windows(program.pid, h.MAIN_TITLE),
                "the close box or Escape closed the information window")

        program.click(*f.CLOSE_INFO_BUTTON, wid=info)
        h.wait_for(lambda: info not in s.x.find_windows(program.pid, h.MAIN_TITLE),
                   "the information window to close")
        program.wait_window(other_than=main)
        h.check(program.wid != info, "the information window came back")
        program.wait_drawn()
        h.wait_for(lambda: main not in s.x.find_windows(program.pid, h.MAIN_TITLE),
                   "the old main window to go")
        h.check(program.alive(), "the program ended with the information window")
        f.focus(program)
        f.hold_escape(program)
        h.check(program.wait_exit() == 0, "exit code %s after Escape" % program.proc.returncode)


CASES = {fn.__name__: fn for fn in (port_discovery, clock_fill_and_timed_run,
                                     information_window)}

if __name__ == "__main__":
    h.run_cases(CASES)
