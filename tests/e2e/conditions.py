"""Waiting for conditions, and failing with a message: the base of the tests.

A test waits for what it expects to see, up to a time-out, polling; it never
sleeps a fixed time to let something happen, and it never retries to pass.
"""

import time

TIMEOUT = 10.0  # seconds for any single condition
POLL = 0.02


class Failure(AssertionError):
    pass


def wait_for(condition, what, timeout=TIMEOUT):
    """Polls `condition` until it returns something true; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(POLL)


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for_change(read, old, what, timeout=TIMEOUT):
    """Polls `read()` until it returns something other than `old`; returns it."""
    box = []

    def changed():
        value = read()
        if value != old:
            box.append(value)
            return True
        return False

    wait_for(changed, what, timeout)
    return box[0]
