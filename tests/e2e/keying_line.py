"""The keying device as the tests see it: a socat pseudo-terminal pair.

The program opens one end (`port`, a link in the test's temporary directory,
written as the keying port into the settings file); a reader thread takes every
byte that arrives at the other end (`peer`) with its CLOCK_MONOTONIC time, so
that key edges can be compared with their nominal times.
"""

import os
import threading

from conditions import check, wait_for
from fd_reader import FdReader


class KeyingLine:
    def __init__(self, session, name="ardu"):
        self.port = os.path.join(session.home, name)
        self.peer = os.path.join(session.home, name + "-peer")
        # socat and the reader run ahead of other work (where allowed), so that
        # a busy machine delays the measurement less than the program.
        session._spawn("socat", ["nice", "-n", "-15", "socat", "-d", "-d",
                                 "pty,raw,echo=0,link=" + self.port,
                                 "pty,raw,echo=0,link=" + self.peer], "socat.log")
        wait_for(lambda: os.path.exists(self.port) and os.path.exists(self.peer),
                 "socat's pseudo-terminal links")
        self._fd = os.open(self.peer, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        self._events = []  # (monotonic ns, byte value)
        self._lock = threading.Lock()
        self._reader = FdReader(self._fd, self._take, 256, priority=-15)
        session.cleanups.append(self.close)

    def _take(self, t, data):
        with self._lock:
            self._events.extend((t, b) for b in data)

    def events(self):
        """Every byte so far as (monotonic ns, byte)."""
        with self._lock:
            return list(self._events)

    def count(self):
        with self._lock:
            return len(self._events)

    def data(self):
        return bytes(b for _, b in self.events())

    def wait_bytes(self, n, what=None, timeout=10.0):
        """Until at least `n` bytes have arrived; returns the events."""
        wait_for(lambda: self.count() >= n, what or "%d bytes on the keying line" % n, timeout)
        return self.events()

    def close(self):
        if self._fd is not None:
            self._reader.close()
            os.close(self._fd)
            self._fd = None


def key_spans(events):
    """The line's key-down spans as (down ns, up ns), after checking that the
    bytes alternate "1", "0" from a "1" and end key-up."""
    data = bytes(b for _, b in events)
    check(data == b"10" * (len(data) // 2) and len(data) % 2 == 0,
          "the line does not alternate 1, 0 from a 1 and end on 0: %r" % data)
    return [(events[i][0], events[i + 1][0]) for i in range(0, len(events), 2)]
