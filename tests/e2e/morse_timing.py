"""What a message should look like on the keying line, written down
independently of the program: the International Morse code of the characters
the tests send, and this program's spacing (the element gap U follows every
element, the character gap 3U every character and the word gap 7U every space,
so the silences are U, 4U and 11U).
"""

CODE = {
    "A": ".-", "B": "-...", "C": "-.-.", "D": "-..", "E": ".", "F": "..-.", "G": "--.",
    "H": "....", "I": "..", "J": ".---", "K": "-.-", "L": ".-..", "M": "--", "N": "-.",
    "O": "---", "P": ".--.", "Q": "--.-", "R": ".-.", "S": "...", "T": "-", "U": "..-",
    "V": "...-", "W": ".--", "X": "-..-", "Y": "-.--", "Z": "--..",
    "0": "-----", "1": ".----", "2": "..---", "3": "...--", "4": "....-", "5": ".....",
    "6": "-....", "7": "--...", "8": "---..", "9": "----.",
    "=": "-...-", "/": "-..-.", "?": "..--..", "+": ".-.-.", ".": ".-.-.-", ",": "--..--",
}


def schedule(text, u):
    """The key-down spans of one message as (down, up) in units of
    milliseconds from the first key-down, and the message's length up to the
    end of its last character gap (the pause between transmissions follows)."""
    spans, t = [], 0
    for c in text:
        if c == " ":
            t += 7 * u
            continue
        for element in CODE[c]:
            length = u if element == "." else 3 * u
            spans.append((t, t + length))
            t += length + u
        t += 3 * u
    first = spans[0][0]
    return [(a - first, b - first) for a, b in spans], t - first


def element_count(text):
    return sum(len(CODE[c]) for c in text if c != " ")


def compare(spans_ns, text, u):
    """Measured key-down spans (monotonic ns) against the nominal ones, element
    by element: a list of dicts with the measured and nominal length of each
    key-down and of the silence after it (None after the last), in ms."""
    nominal, _ = schedule(text, u)
    rows = []
    for i, ((down, up), (n_down, n_up)) in enumerate(zip(spans_ns, nominal)):
        row = {"down_ms": (up - down) / 1e6, "nominal_down_ms": n_up - n_down,
               "gap_ms": None, "nominal_gap_ms": None}
        if i + 1 < len(spans_ns) and i + 1 < len(nominal):
            row["gap_ms"] = (spans_ns[i + 1][0] - up) / 1e6
            row["nominal_gap_ms"] = nominal[i + 1][0] - n_up
        rows.append(row)
    return rows


def edge_errors_ms(spans_ns, text, u):
    """Every key edge's distance from its nominal time, the nominal schedule
    laid at the first key-down: [(which, error ms)], which = "down" or "up"."""
    nominal, _ = schedule(text, u)
    origin = spans_ns[0][0]
    out = []
    for (down, up), (n_down, n_up) in zip(spans_ns, nominal):
        out.append(("down", (down - origin) / 1e6 - n_down))
        out.append(("up", (up - origin) / 1e6 - n_up))
    return out
