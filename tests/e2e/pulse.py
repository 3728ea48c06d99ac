"""A private PulseAudio for one test, and what the test hears from it.

The daemon runs with its own runtime directory and socket, and plays into a
pipe sink: it writes the mixed output, 16-bit mono at 48 kHz, into a FIFO at
the pace of the system clock. A reader thread keeps that FIFO drained into a
raw recording and notes, for each read, the CLOCK_MONOTONIC time and how many
samples had arrived by then, so the recording can be laid against the keying
bytes. (A null sink's monitor loses the first second or two of a stream; the
pipe sink loses nothing.)

The recording is then decoded by an independent Morse decoder (multimon-ng,
fed through sox at its 22050 Hz input rate) and cut into tone bursts.
"""

import array
import os
import re
import subprocess
import threading

from conditions import check, wait_for
from fd_reader import FdReader

RATE = 48000
# The sink mixes one stream at full volume without dither: silence is exact
# zeros, and the tone's samples are zero only where the sine is.
QUIET_RUN = RATE // 500  # 2 ms of zeros end a burst (a sine crosses zero every 0.6 ms)


class PulseServer:
    """Starts the daemon and the recording; the program launched afterwards
    from the same session plays into it (miniaudio finds it by PULSE_SERVER)."""

    def __init__(self, session):
        self.dir = os.path.join(session.home, "pulse")
        os.makedirs(self.dir, mode=0o700)
        os.chmod(self.dir, 0o700)  # PulseAudio insists on a private runtime directory
        self.socket = os.path.join(self.dir, "native")
        self.fifo = os.path.join(self.dir, "cw.fifo")
        self.recording = os.path.join(session.artifacts, "capture.raw")
        os.mkfifo(self.fifo)
        session.env["XDG_RUNTIME_DIR"] = self.dir
        session.env["PULSE_SERVER"] = "unix:" + self.socket
        self.env = dict(session.env)

        # Open the reading end first: then nothing the sink writes is lost.
        self._fd = os.open(self.fifo, os.O_RDONLY | os.O_NONBLOCK)
        self._out = open(self.recording, "wb")
        self._marks = []  # (monotonic ns, samples received by then)
        self._samples = 0
        self._lock = threading.Lock()
        self._reader = FdReader(self._fd, self._take, 1 << 16)
        session.cleanups.append(self.close)

        session._spawn("pulseaudio", [
            "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
            "--use-pid-file=no", "--log-target=stderr",
            "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + self.socket,
            "-L", "module-pipe-sink sink_name=cw file=%s format=s16le rate=%d channels=1 "
            "use_system_clock_for_timing=yes" % (self.fifo, RATE)], "pulseaudio.log")
        wait_for(lambda: self._pactl("info").returncode == 0, "PulseAudio to answer")
        done = self._pactl("set-default-sink", "cw")
        check(done.returncode == 0, "pactl set-default-sink: %s" % done.stderr.decode())
        # The sink writes silence while nothing plays: once it flows, it runs.
        wait_for(lambda: self.samples() > RATE // 10, "the pipe sink to write")

    def _pactl(self, *args):
        return subprocess.run(["pactl", *args], env=self.env, capture_output=True, timeout=5)

    def _take(self, t, data):
        self._out.write(data)
        with self._lock:
            self._samples += len(data) // 2
            self._marks.append((t, self._samples))

    def samples(self):
        with self._lock:
            return self._samples

    def marks(self):
        with self._lock:
            return list(self._marks)

    def close(self):
        if self._fd is not None:
            self._reader.close()
            os.close(self._fd)
            self._out.close()
            self._fd = None

    def snapshot(self):
        """The samples recorded so far, as an array of signed 16-bit values."""
        self._out.flush()
        with open(self.recording, "rb") as f:
            data = f.read()
        return array.array("h", data[:len(data) // 2 * 2])

    def sample_time_ns(self):
        """A function from sample index to CLOCK_MONOTONIC time: when the sink
        mixed that sample for output. It writes each block at the start of the
        stretch of time the block covers, in real time, so sample i is due at
        t0 + i / RATE; a read at time t that begins with sample n bounds t0 from
        above by t - n / RATE, and the smallest bound is the one least delayed
        by this reader."""
        marks = self.marks()
        check(len(marks) > 1, "nothing recorded")
        t0 = min(t - before * 1e9 / RATE
                 for (t, _), (_, before) in zip(marks[1:], marks[:-1]))
        return lambda i: t0 + i * 1e9 / RATE


def bursts(samples):
    """Every stretch of tone as (first sample, end sample), in samples. A tone
    starts from the zero sample at the start of its period, one before the
    first non-zero one."""
    out, start, last_loud = [], None, None
    for i, v in enumerate(samples):
        if v:
            if start is None:
                start = max(0, i - 1)
            last_loud = i
        elif start is not None and i - last_loud >= QUIET_RUN:
            out.append((start, last_loud + 1))
            start = None
    if start is not None:
        out.append((start, last_loud + 1))
    return out


def frequency(samples, burst):
    """The tone's frequency in a burst from its rising zero crossings, whole
    periods only, first and last crossing included."""
    first, end = burst
    rising = [i for i in range(first + 1, end) if samples[i - 1] < 0 <= samples[i]]
    check(len(rising) >= 2, "burst %s too short to measure" % (burst,))
    return (len(rising) - 1) * RATE / (rising[-1] - rising[0])


def decode_morse(recording, extra_options=()):
    """The text multimon-ng reads from a raw recording, whitespace collapsed."""
    sox = subprocess.Popen(["sox", "-t", "raw", "-r", str(RATE), "-e", "signed", "-b", "16",
                            "-c", "1", recording, "-t", "raw", "-r", "22050", "-"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    done = subprocess.run(["multimon-ng", "-q", "-t", "raw", "-a", "MORSE_CW",
                           *extra_options, "-"], stdin=sox.stdout, capture_output=True,
                          timeout=60)
    sox.stdout.close()
    sox.wait(10)
    check(done.returncode == 0, "multimon-ng failed: %s" % done.stderr.decode(errors="replace"))
    text = done.stdout.decode(errors="replace")
    return re.sub(r"\s+", " ", text).strip()
