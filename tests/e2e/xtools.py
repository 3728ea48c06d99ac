"""The X server as the tests see it: command-line tools bound to one display
(xdotool, xwd, xprop, xwininfo, convert), the pixels of a window, and the few
libX11 calls those tools lack, through ctypes.
"""

import ctypes
import os
import struct
import subprocess

from conditions import TIMEOUT, Failure, check, wait_for


class Image:
    """Pixels of an xwd dump (ZPixmap, 24 or 32 bits per pixel)."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, _, fmt, _, width, height = fields[:6]
        byte_order, bpp, bytes_per_line = fields[7], fields[11], fields[12]
        self.masks = fields[14:17]
        ncolors = fields[19]
        check(fmt == 2 and bpp in (24, 32), "unexpected xwd format %d/%d bpp" % (fmt, bpp))
        self.width, self.height = width, height
        self.bpp, self.stride = bpp // 8, bytes_per_line
        self.order = "little" if byte_order == 0 else "big"
        self.pixels = data[header_size + 12 * ncolors:]

    def rgb(self, x, y):
        at = y * self.stride + x * self.bpp
        value = int.from_bytes(self.pixels[at:at + self.bpp], self.order)
        out = []
        for mask in self.masks:
            shift = (mask & -mask).bit_length() - 1
            out.append((value & mask) >> shift)
        return tuple(out)


class X:
    """Command-line X tools bound to one display."""

    def __init__(self, display, env):
        self.display = display
        # xdotool reads the text to type in the locale's encoding.
        self.env = dict(env, LC_ALL="C.UTF-8")

    def run(self, *args, check_rc=True, timeout=TIMEOUT):
        done = subprocess.run(list(args), env=self.env, capture_output=True, timeout=timeout)
        if check_rc and done.returncode != 0:
            raise Failure("%s failed (%d): %s" % (" ".join(args), done.returncode,
                                                   done.stderr.decode(errors="replace")))
        return done.stdout.decode(errors="replace")

    def xdotool(self, *args):
        return self.run("xdotool", *[str(a) for a in args])

    def find_windows(self, pid, name_regex):
        """Visible windows of process `pid` whose name matches; any process's
        when pid is None (xlogo does not tell its PID)."""
        owner = ["--pid", str(pid)] if pid is not None else []
        out = self.run("xdotool", "search", "--all", "--onlyvisible", *owner, "--name",
                       name_regex, check_rc=False)
        return [int(w) for w in out.split()]

    def geometry(self, wid):
        """Absolute client position, size and map state from xwininfo."""
        info = {}
        for line in self.run("xwininfo", "-id", str(wid)).splitlines():
            key, _, value = line.strip().partition(":")
            info[key] = value.strip()
        return (int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"]),
                int(info["Width"]), int(info["Height"]), info.get("Map State", ""))

    def prop(self, wid, name):
        return self.run("xprop", "-id", str(wid), name, check_rc=False).strip()

    def root_prop(self, name):
        return self.run("xprop", "-root", name, check_rc=False).strip()

    def capture(self, wid):
        return Image(self.run_bytes("xwd", "-id", str(wid), "-silent"))

    def run_bytes(self, *args):
        done = subprocess.run(list(args), env=self.env, capture_output=True, timeout=TIMEOUT)
        check(done.returncode == 0, "%s failed: %s" % (args[0], done.stderr.decode()))
        return done.stdout

    def screenshot(self, wid, png_path):
        """Saves the window's contents as PNG; returns the Image too."""
        raw = self.run_bytes("xwd", "-id", str(wid), "-silent")
        xwd_path = png_path + ".xwd"
        with open(xwd_path, "wb") as f:
            f.write(raw)
        self.run("convert", "xwd:" + xwd_path, "png:" + png_path)
        os.remove(xwd_path)
        return Image(raw)

    def send_close_request(self, wid):
        """What a click on the close box makes a window manager send: a
        WM_PROTOCOLS client message with WM_DELETE_WINDOW."""
        dpy = Xlib.open(self.display)
        try:
            protocols = Xlib.lib.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
            delete = Xlib.lib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
            ev = Xlib.ClientMessage(type=33, window=wid, message_type=protocols, format=32)
            ev.data[0] = delete
            ev.data[1] = 0  # CurrentTime
            check(Xlib.lib.XSendEvent(dpy, wid, 0, 0, ctypes.byref(ev)), "XSendEvent failed")
            Xlib.lib.XSync(dpy, 0)
        finally:
            Xlib.lib.XCloseDisplay(dpy)


class Xlib:
    """The few libX11 calls the tools above lack, through ctypes."""

    lib = ctypes.CDLL("libX11.so.6")
    lib.XOpenDisplay.restype = ctypes.c_void_p
    lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    lib.XInternAtom.restype = ctypes.c_ulong
    lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    lib.XDefaultRootWindow.restype = ctypes.c_ulong
    lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    lib.XCreateSimpleWindow.restype = ctypes.c_ulong
    lib.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    lib.XStoreName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_char_p]
    lib.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 12)]  # an XEvent is 24 longs

    @staticmethod
    def open(display):
        dpy = Xlib.lib.XOpenDisplay(display.encode())
        check(dpy, "cannot open display %s" % display)
        return dpy


class OtherWindow:
    """A plain window of another program that takes the focus and ignores
    every key (unlike xlogo, which quits on some). Lives until close()."""

    def __init__(self, x):
        self.dpy = Xlib.open(x.display)
        root = Xlib.lib.XDefaultRootWindow(self.dpy)
        self.wid = Xlib.lib.XCreateSimpleWindow(self.dpy, root, 0, 0, 200, 200, 0, 0, 0xffffff)
        Xlib.lib.XStoreName(self.dpy, self.wid, b"other program")
        Xlib.lib.XMapWindow(self.dpy, self.wid)
        Xlib.lib.XSync(self.dpy, 0)
        wait_for(lambda: x.geometry(self.wid)[4] == "IsViewable", "the other program's window")

    def close(self):
        if self.dpy:
            Xlib.lib.XCloseDisplay(self.dpy)
            self.dpy = None


def is_face_grey(rgb):
    return rgb[0] == rgb[1] == rgb[2] and 150 <= rgb[0] < 255
