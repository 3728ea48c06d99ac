"""End-to-end tests of the keying engine on Linux: what the real program puts
on a serial line and into the sound server while it sends.

The keying device is a socat pseudo-terminal pair, its link written as the
keying port into the settings file before the start; the side tone goes to a
private PulseAudio whose pipe sink the test records. The bytes are timed as
they arrive; the recording is decoded by multimon-ng, which knows nothing of
this program.
"""

import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as h  # noqa: E402
import mainform as f  # noqa: E402
import morse_timing as mt  # noqa: E402
import pulse  # noqa: E402
from keying_line import KeyingLine, key_spans  # noqa: E402

TEXT = "TEST DE N0CALL ="
U = 50
# Each key-down and each silence: this is a 2-core virtual machine whose
# wake-ups are now and then 3 to 4 ms late, and the program's waits keep to
# their schedule as long as they are less than 5 ms behind (clock.cpp), so one
# edge can be that much late without anything being wrong.
TOLERANCE_MS = 8.0
# What stays when the noise above averages out: a bias of every wait, or a
# schedule that slips a little at every character, would show here.
MEDIAN_TOLERANCE_MS = 1.5
TOTAL_TOLERANCE = 0.005  # of the message's nominal length
TONE_HZ = 800
TONE_TOLERANCE_HZ = 5.0


def test_run(session, text, u, **values):
    """Starts the program on a keying line and presses "Testa slingan"; returns
    the program, the line and the key-down spans of the whole message, taken
    once the main loop runs again (so nothing more is still to come)."""
    line = KeyingLine(session)
    f.write_settings(session, f.settings(line.port, TK001=str(TONE_HZ), TK002=str(u),
                                         TK003=text, **values))
    program = f.started(session)
    program.click(*f.TEST_BUTTON)
    _, total = mt.schedule(text, u)
    want = 2 * mt.element_count(text)
    line.wait_bytes(want, timeout=total / 1000 + 5)
    f.wait_clock_changes(program, 2)
    events = line.events()
    h.check(len(events) == want, "%d bytes on the line for %d elements: %r" %
            (len(events), want // 2, line.data()))
    return program, line, key_spans(events)


def median_abs(values):
    ordered = sorted(abs(v) for v in values)
    return ordered[len(ordered) // 2]


def timing_report(rows):
    lines = ["key-down ms (nominal)   silence after ms (nominal)"]
    for r in rows:
        gap = "" if r["gap_ms"] is None else "%8.2f (%d)" % (r["gap_ms"], r["nominal_gap_ms"])
        lines.append("%8.2f (%d)   %s" % (r["down_ms"], r["nominal_down_ms"], gap))
    return "\n".join(lines)


def keying():
    """A test run keys the whole text in order: dots U and dashes 3U down, and
    silences of U inside a character, 4U between characters, 11U at a space."""
    with h.Session("keying") as s:
        pulse.PulseServer(s)
        program, line, spans = test_run(s, TEXT, U)
        rows = mt.compare(spans, TEXT, U)
        report = timing_report(rows)
        with open(os.path.join(s.artifacts, "timing.txt"), "w") as out:
            out.write(report + "\n")
        errors = [r["down_ms"] - r["nominal_down_ms"] for r in rows] + \
            [r["gap_ms"] - r["nominal_gap_ms"] for r in rows if r["gap_ms"] is not None]
        nominal_total = mt.schedule(TEXT, U)[0][-1][1]  # first key-down to last key-up
        total = (spans[-1][1] - spans[0][0]) / 1e6
        print("key-down and silence errors ms: min %.2f median |e| %.2f max %.2f; "
              "message %.1f ms for %d (%+.3f %%)" %
              (min(errors), median_abs(errors), max(errors), total, nominal_total,
               100 * (total - nominal_total) / nominal_total))
        bad = [i for i, r in enumerate(rows)
               if abs(r["down_ms"] - r["nominal_down_ms"]) > TOLERANCE_MS or
               (r["gap_ms"] is not None and
                abs(r["gap_ms"] - r["nominal_gap_ms"]) > TOLERANCE_MS)]
        h.check(not bad, "elements %s off by more than %.0f ms:\n%s" % (bad, TOLERANCE_MS, report))
        h.check(median_abs(errors) <= MEDIAN_TOLERANCE_MS,
                "the median error is %.2f ms:\n%s" % (median_abs(errors), report))
        h.check(abs(total - nominal_total) <= TOTAL_TOLERANCE * nominal_total,
                "the message took %.1f ms, nominal %d" % (total, nominal_total))
        h.check(program.alive(), "the program ended after the test run")


def audio():
    """The side tone of a test run, recorded from the sound server, reads back
    as the text to an independent decoder, at the tone frequency, one burst per
    element, each burst and each silence as long as the schedule says."""
    with h.Session("audio") as s:
        server = pulse.PulseServer(s)
        _, _, spans = test_run(s, TEXT, U)
        # The sound server writes in real time: wait until it has written past
        # the last key-up, with some silence after it for the decoder.
        at = server.sample_time_ns()
        h.wait_for(lambda: at(server.samples()) > spans[-1][1] + 300e6,
                   "the recording to pass the end of the message")
        samples = server.snapshot()
        decoded = pulse.decode_morse(server.recording)
        print("decoded: %r" % decoded)
        h.check(decoded == TEXT, "multimon-ng read %r, want %r" % (decoded, TEXT))

        found = pulse.bursts(samples)
        lengths = [(end - start) * 1000 / pulse.RATE for start, end in found]
        nominal = [b - a for a, b in mt.schedule(TEXT, U)[0]]
        h.check(len(found) == len(nominal), "%d tone bursts for %d elements: %s" %
                (len(found), len(nominal), ["%.1f" % v for v in lengths]))
        errors = [got - want for got, want in zip(lengths, nominal)]
        off = [(i, round(got, 2), want) for i, (got, want) in enumerate(zip(lengths, nominal))
               if abs(got - want) > TOLERANCE_MS]
        h.check(not off, "bursts of the wrong length (index, ms, nominal): %s" % off)
        h.check(median_abs(errors) <= MEDIAN_TOLERANCE_MS,
                "the median burst length error is %.2f ms: %s" %
                (median_abs(errors), ["%.1f" % v for v in lengths]))
        schedule = mt.schedule(TEXT, U)[0]
        silences = [(found[i + 1][0] - found[i][1]) * 1000 / pulse.RATE
                    for i in range(len(found) - 1)]
        nominal_silences = [schedule[i + 1][0] - schedule[i][1]
                            for i in range(len(schedule) - 1)]
        off = [(i, round(got, 2), want) for i, (got, want)
               in enumerate(zip(silences, nominal_silences)) if abs(got - want) > TOLERANCE_MS]
        h.check(not off, "silences of the wrong length (index, ms, nominal): %s" % off)
        freqs = [pulse.frequency(samples, b) for b in found]
        print("burst length error ms: min %.2f median |e| %.2f max %.2f; tone %.2f to %.2f Hz" %
              (min(errors), median_abs(errors), max(errors), min(freqs), max(freqs)))
        wrong = [(i, round(v, 2)) for i, v in enumerate(freqs)
                 if abs(v - TONE_HZ) > TONE_TOLERANCE_HZ]
        h.check(not wrong, "bursts not at %d Hz: %s" % (TONE_HZ, wrong))


def counted_run():
    """"Kör n antal TX" with a count of 3 keys the text three times, each
    message followed by the pause between transmissions; then "Avsluta" ends
    the program with 0."""
    u, pause = 20, 200
    with h.Session("counted_run") as s:
        pulse.PulseServer(s)
        line = KeyingLine(s)
        f.write_settings(s, f.settings(line.port, TK002=str(u), TK003="E", TK005=str(pause),
                                       TK006="3"))
        program = f.started(s)
        program.click(*f.COUNTED_BUTTON)
        line.wait_bytes(6, timeout=5)
        f.wait_clock_changes(program, 2)  # the run is over and the main loop is back
        events = line.events()
        h.check(len(events) == 6, "%d bytes for 3 transmissions of E: %r" %
                (len(events), line.data()))
        spans = key_spans(events)
        downs = [(b - a) / 1e6 for a, b in spans]
        # Between two messages: the element gap, the character gap, the pause,
        # and the pump step before the next message (a repaint at most).
        silences = [(spans[i + 1][0] - spans[i][1]) / 1e6 for i in range(2)]
        print("key-downs ms %s, silences ms %s" % (["%.2f" % v for v in downs],
                                                   ["%.2f" % v for v in silences]))
        h.check(all(abs(v - u) <= TOLERANCE_MS for v in downs), "key-downs %s ms" % downs)
        nominal = u + 3 * u + pause
        h.check(all(nominal - TOLERANCE_MS <= v <= nominal + 30 for v in silences),
                "silences between the messages %s ms, nominal %d" % (silences, nominal))
        program.click(*f.QUIT_BUTTON)
        h.check(program.wait_exit() == 0, "exit code %s after Avsluta" % program.proc.returncode)
        h.check(len(line.events()) == 6, "bytes after the run: %r" % line.data())


CASES = {fn.__name__: fn for fn in (keying, audio, counted_run)}

if __name__ == "__main__":
    h.run_cases(CASES)
