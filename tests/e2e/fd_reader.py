"""A thread that drains a non-blocking file descriptor as data arrives and
hands each chunk on with the CLOCK_MONOTONIC time it was seen ready, for the
keying line and the audio recording alike.
"""

import os
import select
import threading
import time


class FdReader:
    """Calls `take(t_ns, data)` for every chunk read from `fd` until close().
    With `priority`, the thread runs at that nice value where allowed, so that a
    busy machine delays the measurement less than the program."""

    def __init__(self, fd, take, chunk, priority=None):
        self._fd, self._take, self._chunk, self._priority = fd, take, chunk, priority
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        if self._priority is not None:
            try:
                os.setpriority(os.PRIO_PROCESS, threading.get_native_id(), self._priority)
            except OSError:
                pass
        while not self._stop.is_set():
            ready, _, _ = select.select([self._fd], [], [], 0.05)
            if not ready:
                continue
            t = time.monotonic_ns()
            try:
                data = os.read(self._fd, self._chunk)
            except BlockingIOError:
                continue
            except OSError:  # the other side went away
                return
            if not data:  # no writer (yet): the descriptor reads as at its end
                time.sleep(0.005)
                continue
            self._take(t, data)

    def close(self):
        """Stops the thread; the descriptor stays open, for its owner to close."""
        self._stop.set()
        self._thread.join(2)
