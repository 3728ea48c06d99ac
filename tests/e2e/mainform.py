"""The main window as the tests on both platforms drive it: where its controls
are, its colours, the default settings file, a settings file written before
the start, and the one sign that the main loop is running again after an
action (its clock label changes).
"""

import time

import harness as h

CLIENT_W, CLIENT_H = 1280, 800  # the main window's client area

# Client coordinates of the controls (their position plus a few pixels inside).
SAVE_BUTTON = (170, 710)
TEST_BUTTON = (300, 710)
COUNTED_BUTTON = (430, 710)
TIMED_BUTTON = (560, 710)
INFO_BUTTON = (690, 710)
QUIT_BUTTON = (1080, 710)
FIND_PORTS_BUTTON = (455, 260)
PORT_FIELD = (330, 260)
TONE_FIELD = (330, 290)
TEXT_FIELD = (600, 350)
START_FIELD = (330, 560)
FETCH_TIME_BUTTON = (505, 560)
CLOCK_LABEL = (950, 30, 300, 40)
CLOSE_INFO_BUTTON = (300, 560)  # client coordinates in the information window

WHITE = (255, 255, 255)  # the main window's background, and the edit fields'
LIGHT_BLUE = (173, 216, 230)  # the information window's background
BANNER_BLUE = (100, 100, 255)
HINT_GREY = (100, 100, 100)

# The settings file a first start writes, in its order.
DEFAULTS = [("TK001", "800"), ("TK002", "50"), ("TK003", "TEST DE N0CALL ="), ("TK004", "4000"),
            ("TK005", "2000"), ("TK006", "73"), ("TK007", "1000"), ("TK008", "COM1"),
            ("TK009", "2025-11-27 15:21"), ("TK010", "2025-11-30 09:30")]
DEFAULT_FILE = b"".join(h.settings_line(k, v) for k, v in DEFAULTS)

ESCAPE_HOLD_S = 0.3  # longer than the 250 ms between two keyboard examinations


def settings(port, **values):
    """The ten settings for a run: a quiet tone-only default with no carrier
    and no pauses, keying on `port`; keyword arguments TK001=... override."""
    base = dict(DEFAULTS, TK003="E", TK004="0", TK005="0", TK006="1", TK007="0", TK008=port)
    base.update(values)
    return b"".join(h.settings_line(k, base[k]) for k in sorted(base))


def write_settings(session, content):
    with open(session.settings_path(), "wb") as f:
        f.write(content)


def started(session):
    """The program, its main window shown and painted."""
    program = session.launch()
    program.wait_window()
    program.wait_drawn()
    return program


def clock_pixels(program, wid=None):
    h.check(program.alive(), "the program ended (exit code %s)" % program.proc.returncode)
    img = program.x.capture(wid or program.wid)
    x, y, w, hgt = CLOCK_LABEL
    return tuple(img.rgb(x + i, y + j) for j in range(0, hgt, 2) for i in range(0, w, 2))


def wait_clock_changes(program, count, wid=None):
    """Until the clock label has changed `count` times. During a run nothing
    refreshes the clock after the last character has begun, so two changes
    seen after that (a second or more apart) mean a loop that refreshes it,
    the main loop or the information window's, is running again."""
    seen = clock_pixels(program, wid)
    for n in range(count):
        seen = h.wait_for_change(lambda: clock_pixels(program, wid), seen,
                                 "clock change %d of %d" % (n + 1, count), timeout=3)


def focus(program, wid=None, window_manager=False):
    """The input focus to the window; with a window manager, as its active one."""
    program.x.xdotool("windowactivate" if window_manager else "windowfocus", "--sync",
                      wid or program.wid)


def hold_escape(program):
    program.x.xdotool("keydown", "Escape")
    time.sleep(ESCAPE_HOLD_S)  # the length of the key press, not a wait for a result
    program.x.xdotool("keyup", "Escape")
