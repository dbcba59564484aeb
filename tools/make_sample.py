#!/usr/bin/env python3
"""Make samples/ALL.TXT and samples/wsjtx-2.7/ALL.TXT, made-up WSJT-X decode
logs for trying out our programs, and samples/jtdx-2.2/202503_ALL.TXT, the
second one's decodes as JTDX writes them.

The log covers one day of listening on 20 m FT8 while a small pico-balloon
flies from near Exeter south over the English Channel, east along it, then
north-east over Kent and the southern North Sea into the Netherlands.  The
balloon sends its position every ten minutes or so as a 13-character message
(latitude letters, "-", longitude letters); around it are the usual CQ calls
and QSO exchanges of other stations.  A few awkward lines are mixed in: date
separator lines, one corrupted position line with a "/" in the SNR columns
and one false decode whose latitude is out of range.

The second log is ALL.TXT as WSJT-X 2.0.1 to 3.x writes it on Linux (LF
line ends): one morning of 20 m FT8 and FT4 and 6 m Q65 while a balloon
crosses Britain from Cardigan Bay to north Norfolk.  Among the decodes are
our own transmissions ("Tx"), one of them the balloon's message, a false
decode with an impossible latitude, a decode with one character too many,
and a last line cut short.

Everything comes from fixed random seeds, so the files are the same on
every run.  To remake the samples, from the repository root:

    python3 tools/make_sample.py           # writes into samples/
    python3 tools/make_sample.py folder    # or into any other folder

Line layout of the first log (1-based columns), the fixed columns of the
first WSJT-X releases:
    1-4   time hhmm UTC
    11-14 SNR in dB, right-aligned
    16-20 DT in seconds, one decimal
    21-25 audio offset in Hz, right-aligned
    26-36 "  ~" padded with blanks
    37-   message text
Lines end with CR LF.
"""

import math
import random
import re
import sys
from pathlib import Path

SEED = 20240518
UNITS_PER_DEGREE = 600000
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXY"  # base-25 digits 0..24
HEMISPHERE_OFFSET = 12                 # added to the first digit for S / W
POSITION_RE = re.compile(r"^[A-Y]{6}-[A-Y]{6}$")


# ---------------------------------------------------------------------------
# Position messages
# ---------------------------------------------------------------------------

def encode_angle(angle):
    """Six letters for one angle in degrees (negative = south / west)."""
    v = math.floor(abs(angle) * UNITS_PER_DEGREE + 0.5)
    digits = []
    for _ in range(6):
        digits.append(v % 25)
        v //= 25
    if v:
        raise ValueError(f"angle {angle} does not fit in six letters")
    digits.reverse()
    if digits[0] >= HEMISPHERE_OFFSET:
        raise ValueError(f"angle {angle} is too large to encode")
    if angle < 0:
        digits[0] += HEMISPHERE_OFFSET
    return "".join(LETTERS[d] for d in digits)


def encode_position(lat, lon):
    return encode_angle(lat) + "-" + encode_angle(lon)


def decode_angle(letters):
    """Return (units, negative) for six letters, or None if not letters A-Y."""
    if len(letters) != 6 or any(c not in LETTERS for c in letters):
        return None
    digits = [ord(c) - ord("A") for c in letters]
    negative = digits[0] >= HEMISPHERE_OFFSET
    if negative:
        digits[0] -= HEMISPHERE_OFFSET
    v = 0
    for d in digits:
        v = v * 25 + d
    return v, negative


def decode_position(message):
    """(lat, lon) in degrees for a position message, or None if it is not one
    or its latitude is out of range."""
    if len(message) != 13 or message[6] != "-":
        return None
    lat = decode_angle(message[:6])
    lon = decode_angle(message[7:])
    if lat is None or lon is None:
        return None
    if lat[0] // UNITS_PER_DEGREE > 90:
        return None
    lat_deg = lat[0] / UNITS_PER_DEGREE * (-1 if lat[1] else 1)
    lon_deg = lon[0] / UNITS_PER_DEGREE * (-1 if lon[1] else 1)
    return lat_deg, lon_deg


def check_codec():
    """The worked example must come out right before we trust the rest."""
    assert encode_angle(51.5) == "DECPAA"
    assert encode_angle(-1.25) == "MBXAAA"
    assert encode_position(51.5, -1.25) == "DECPAA-MBXAAA"
    lat, lon = decode_position("DECPAA-MBXAAA")
    assert abs(lat - 51.5) < 1e-9 and abs(lon + 1.25) < 1e-9
    assert decode_position("YDCPAA-MBXAAA") is None


# ---------------------------------------------------------------------------
# Log lines
# ---------------------------------------------------------------------------

def hhmm(minutes):
    minutes %= 24 * 60
    return f"{minutes // 60:02d}{minutes % 60:02d}"


def decode_line(minutes, snr, dt, freq, message):
    line = (f"{hhmm(minutes)}      {snr:>4d} {dt:>5.1f}{freq:>5d}"
            + "  ~".ljust(11) + message)
    assert line[36:] == message and len(line[:36]) == 36
    return line


def check_ordinary(message):
    """Ordinary traffic must never look like a position."""
    assert not (len(message) >= 7 and message[6] == "-"), message
    assert not POSITION_RE.match(message[:13]), message


# ---------------------------------------------------------------------------
# Other stations
# ---------------------------------------------------------------------------

# Made-up callsigns with locators that fit their prefixes.
STATIONS = [
    ("G4ABC", "IO91"), ("M0XYZ", "IO92"), ("G3XQP", "IO80"),
    ("M7TST", "IO81"), ("2E0ABC", "IO93"), ("G0KQR", "IO83"),
    ("GW4DEF", "IO71"), ("GM3JKL", "IO85"), ("EI5GHJ", "IO63"),
    ("PA3ABC", "JO22"), ("PD1XYZ", "JO21"), ("PA0QRM", "JO32"),
    ("ON4XX", "JO20"), ("F5XYZ", "JN18"), ("F4ABC", "IN94"),
    ("DL1ABC", "JO40"), ("DK7QRS", "JO62"), ("DJ2TU", "JN48"),
    ("OZ1ABC", "JO55"), ("SM5ABC", "JO89"), ("LA9XYZ", "JP40"),
    ("EA4ZZ", "IN80"), ("EA8QRT", "IL18"), ("CT1XYZ", "IM58"),
    ("I2ABC", "JN45"), ("OE3XYZ", "JN78"), ("SP5ABC", "KO02"),
    ("OK1XYZ", "JO70"), ("K1ABC", "FN42"), ("W3XYZ", "FM19"),
    ("VE3ABC", "FN03"), ("JA1XYZ", "PM95"), ("VK2ABC", "QF56"),
    ("LU5XYZ", "GF05"), ("ZS6ABC", "KG44"), ("UA3XYZ", "KO85"),
]

# FT8 free text is at most 13 characters.
FREE_TEXT = [
    "TNX QSO 73 GL", "PSE QSY 14076", "GL ES 73 OM", "TU 73 GL",
    "QRZ NEW ANT", "HI FROM DEVON",
]


def report(rng):
    return rng.randint(-22, 3)


def fmt_report(r, roger=False):
    text = f"{r:+03d}"
    return ("R" + text) if roger else text


def qso_messages(rng, a, b):
    """One QSO as (caller, text) pairs, cut short now and then."""
    (ca, ga), (cb, gb) = a, b
    cq = rng.choice(["CQ", "CQ", "CQ", "CQ DX", "CQ EU", "CQ POTA"])
    seq = [
        (ca, f"{cq} {ca} {ga}"),
        (cb, f"{ca} {cb} {gb}"),
        (ca, f"{cb} {ca} {fmt_report(report(rng))}"),
        (cb, f"{ca} {cb} {fmt_report(report(rng), roger=True)}"),
        (ca, f"{cb} {ca} {rng.choice(['RR73', 'RR73', 'RRR'])}"),
        (cb, f"{ca} {cb} 73"),
    ]
    if rng.random() < 0.2:
        seq.append((ca, rng.choice(FREE_TEXT)))
    start = 0 if rng.random() < 0.7 else rng.randint(1, 2)
    stop = len(seq) if rng.random() < 0.75 else rng.randint(start + 2, len(seq))
    return seq[start:stop]


class Traffic:
    """Ordinary decodes: each station keeps its own audio offset and signal."""

    def __init__(self, rng):
        self.rng = rng
        self.freq = {}
        self.snr = {}

    def station_signal(self, call):
        rng = self.rng
        if call not in self.freq:
            self.freq[call] = rng.randint(200, 2900)
            self.snr[call] = rng.randint(-21, 2)
        if rng.random() < 0.1:  # moved a little up or down the band
            self.freq[call] = min(2950, max(150, self.freq[call] + rng.randint(-60, 60)))
        snr = max(-24, min(5, self.snr[call] + rng.randint(-3, 3)))
        dt = round(rng.uniform(-0.3, 0.9) if rng.random() < 0.9 else rng.uniform(-1.5, 2.0), 1)
        return snr, dt or 0.0, self.freq[call]  # no "-0.0"

    def streams(self, count):
        """About `count` messages as separate QSOs and lone CQs, each a list
        of (caller, text) pairs in on-air order; no station in two at once."""
        rng = self.rng
        pool = rng.sample(STATIONS, len(STATIONS))
        streams = []
        total = 0
        while total < count and len(pool) >= 2:
            if rng.random() < 0.6:
                s = qso_messages(rng, pool.pop(), pool.pop())
            else:
                c, g = pool.pop()
                s = [(c, f"{rng.choice(['CQ', 'CQ', 'CQ DX'])} {c} {g}")]
            s = s[:count - total]
            streams.append(s)
            total += len(s)
        return streams

    def lines(self, first_minute, last_minute, count, fmt=None):
        """About `count` ordinary decode lines within [first, last] minutes,
        each QSO moving on a period or two at a time; `fmt` writes a line
        (the fixed columns when none is given)."""
        fmt = fmt or decode_line
        rng = self.rng
        timed = []
        for s in self.streams(count):
            span = len(s) // 2
            minute = rng.randint(first_minute, max(first_minute, last_minute - span))
            for call, text in s:
                timed.append((minute, len(timed), call, text))
                minute = min(last_minute, minute + rng.choice([0, 0, 1]))
        timed.sort()
        out = []
        for minute, _, call, text in timed:
            check_ordinary(text)
            snr, dt, freq = self.station_signal(call)
            out.append((minute, fmt(minute, snr, dt, freq, text)))
        return out


# ---------------------------------------------------------------------------
# The flight
# ---------------------------------------------------------------------------

# (report number, latitude, longitude) the track passes through.
WAYPOINTS = [
    (0, 50.72, -3.53),    # launch near Exeter
    (4, 50.18, -3.12),    # off Start Point
    (9, 49.60, -2.50),    # mid-Channel, south of the grid
    (13, 49.58, -1.55),   # drifting east along the Channel
    (17, 49.70, -0.45),
    (21, 50.12, 0.35),    # back onto the grid south of Sussex
    (25, 50.62, 0.80),
    (29, 51.18, 1.12),    # over Kent
    (32, 51.47, 1.62),    # off North Foreland
    (35, 51.68, 2.45),    # southern North Sea
    (38, 51.86, 3.50),
    (40, 52.02, 4.30),    # the Netherlands
]

LAUNCH_MINUTE = 9 * 60 + 4
CORRUPT_REPORT = 19     # this report's line reaches the log damaged
FALSE_DECODE_SLOT = 27  # a false decode with an impossible latitude


def track_point(i):
    for (i0, la0, lo0), (i1, la1, lo1) in zip(WAYPOINTS, WAYPOINTS[1:]):
        if i0 <= i <= i1:
            f = (i - i0) / (i1 - i0)
            return la0 + f * (la1 - la0), lo0 + f * (lo1 - lo0)
    raise ValueError(i)


def flight(rng):
    """Report slots as (minute, lat, lon, snr, dt, freq)."""
    slots = []
    minute = LAUNCH_MINUTE
    for i in range(WAYPOINTS[-1][0] + 1):
        lat, lon = track_point(i)
        if 0 < i < WAYPOINTS[-1][0]:
            lat += rng.gauss(0, 0.012)
            lon += rng.gauss(0, 0.018)
        lat, lon = round(lat, 5), round(lon, 5)
        # Strong close to home, fading as it goes east.
        snr = round(4 - 24 * i / WAYPOINTS[-1][0] + rng.gauss(0, 2.5))
        snr = max(-24, min(5, snr))
        dt = round(rng.uniform(0.1, 1.2), 1)
        # The transmitter's audio offset wanders slowly as it warms and cools.
        freq = round(1500 + 60 * math.sin(i / 6.5) + rng.randint(-8, 8))
        slots.append((minute, lat, lon, snr, dt, freq))
        minute += rng.choice([9, 10, 10, 10, 10, 11])
    return slots


# ---------------------------------------------------------------------------
# The whole log
# ---------------------------------------------------------------------------

def build_log():
    rng = random.Random(SEED)
    traffic = Traffic(rng)
    lines = []

    # The evening before: the receiver was already running.
    lines.append("2024-05-17 2131  14.074 MHz  FT8")
    lines += [l for _, l in traffic.lines(21 * 60 + 31, 23 * 60 + 58, 9)]

    # Midnight.
    lines.append("------ 18/05/2024 ------")
    lines += [l for _, l in traffic.lines(0, 40, 5)]
    lines.append("2024-05-18 0852  14.074 MHz  FT8")
    lines += [l for _, l in traffic.lines(8 * 60 + 52, LAUNCH_MINUTE - 1, 6)]

    slots = flight(rng)
    for n, (minute, lat, lon, snr, dt, freq) in enumerate(slots):
        message = encode_position(lat, lon)
        back = decode_position(message)
        assert back is not None
        assert abs(back[0] - lat) <= 1 / UNITS_PER_DEGREE, (lat, back)
        assert abs(back[1] - lon) <= 1 / UNITS_PER_DEGREE, (lon, back)

        pos_line = decode_line(minute, snr, dt, freq, message)
        if n == CORRUPT_REPORT:
            pos_line = pos_line[:12] + "/" + pos_line[13:]

        end = slots[n + 1][0] - 1 if n + 1 < len(slots) else minute + 9
        batch = traffic.lines(minute, end, rng.randint(8, 15))
        if n == FALSE_DECODE_SLOT:
            fake_minute = rng.randint(minute + 2, end)
            fake = decode_line(fake_minute, -24, 2.1, 2317, "YDKQWB-CHPANE")
            assert decode_position("YDKQWB-CHPANE") is None
            batch.append((fake_minute, fake))
            batch.sort(key=lambda t: t[0])
        # The balloon goes in among the decodes of its own minute.
        same = [k for k, (m, _) in enumerate(batch) if m == minute]
        at = rng.choice(same + [len(same)]) if same else 0
        batch.insert(at, (minute, pos_line))
        lines += [l for _, l in batch]

    # Balloon gone; a little more traffic into the evening.
    last = slots[-1][0] + 10
    lines += [l for _, l in traffic.lines(last, last + 25, 7)]
    lines.append("2024-05-18 1914  14.074 MHz  FT8")
    lines += [l for _, l in traffic.lines(19 * 60 + 14, 23 * 60 + 50, 8)]
    lines.append("------ 19/05/2024 ------")
    lines += [l for _, l in traffic.lines(0, 12, 4)]

    return "".join(l + "\r\n" for l in lines).encode("ascii")


# ---------------------------------------------------------------------------
# Today's log: ALL.TXT as WSJT-X 2.0.1 to 3.x writes it
# ---------------------------------------------------------------------------

TODAY_SEED = 20250309
TODAY_DATE = "250309"
# (label, dial MHz, seconds at which its periods start)
FT8 = ("FT8", 14.074, [0, 15, 30, 45])
FT4 = ("FT4", 14.080, [0, 7, 15, 22, 30, 37, 45, 52])
Q65 = ("Q65-30A", 50.275, [0, 30])
OUR_CALL, OUR_GRID = "G4TRK", "IO83"

# The balloon's way across Britain: Cardigan Bay, mid Wales, the Midlands,
# Lincolnshire, out over the Wash to north Norfolk.
TODAY_WAYPOINTS = [
    (0, 52.42, -4.10),    # launch near Aberystwyth
    (6, 52.55, -3.05),    # over mid Wales
    (12, 52.70, -1.95),   # the Midlands
    (18, 52.98, -0.95),   # near Grantham
    (24, 53.12, 0.10),    # the Lincolnshire coast
    (30, 52.98, 1.10),    # over north Norfolk
]
TODAY_LAUNCH = 10 * 60 + 2


def all_txt_line(minute, second, mode, rxtx, snr, dt, freq, message):
    """yyMMdd_hhmmss, dial MHz %10.3f, Rx or Tx, the mode label padded to 6
    (a longer one written whole), SNR %4d, DT %5.1f, audio %5d, message."""
    label, mhz, _ = mode
    return "%s_%s%02d%10.3f %s %-6s%4d%5.1f%5d %s" % (
        TODAY_DATE, hhmm(minute), second, mhz, rxtx, label, snr, dt, freq, message)


def today_point(i):
    for (i0, la0, lo0), (i1, la1, lo1) in zip(TODAY_WAYPOINTS, TODAY_WAYPOINTS[1:]):
        if i0 <= i <= i1:
            f = (i - i0) / (i1 - i0)
            return la0 + f * (la1 - la0), lo0 + f * (lo1 - lo0)
    raise ValueError(i)


def build_today_log():
    """Returns the log's bytes and its reports as (hhmm, snr, freq, message)."""
    rng = random.Random(TODAY_SEED)
    traffic = Traffic(rng)
    mode_of = {}

    def fmt(minute, snr, dt, freq, text):
        # Each QSO stays on its mode; now and then a decode carries a tag.
        key = text.split()[1] if text.startswith("CQ") else " ".join(sorted(text.split()[:2]))
        mode = mode_of.setdefault(key, rng.choice([FT8, FT8, FT8, FT4, Q65]))
        tag = rng.choice(["", "", "", "", "", "", "  a1", "  a3", " ?"])
        return all_txt_line(minute, rng.choice(mode[2]), mode, "Rx", snr, dt, freq, text + tag)

    lines = []
    reports = []
    lines += [l for _, l in traffic.lines(9 * 60 + 40, TODAY_LAUNCH - 1, 10, fmt)]
    last = TODAY_WAYPOINTS[-1][0]
    minute = TODAY_LAUNCH
    for i in range(last + 1):
        lat, lon = today_point(i)
        if 0 < i < last:
            lat += rng.gauss(0, 0.01)
            lon += rng.gauss(0, 0.015)
        message = encode_position(round(lat, 5), round(lon, 5))
        assert decode_position(message) is not None
        snr = max(-24, min(8, round(2 - 14 * i / last + rng.gauss(0, 2.5))))
        dt = round(rng.uniform(0.1, 1.1), 1)
        freq = round(1480 + 50 * math.sin(i / 5.0) + rng.randint(-6, 6))
        # The balloon beacons on FT8; every fifth report on FT4, and twice
        # on 6 m Q65, whose long label moves the columns.
        mode = Q65 if i in (9, 21) else FT4 if i % 5 == 3 else FT8
        second = mode[2][1]
        tag = " ?" if i == 14 else ""  # a low-confidence decode is still a report
        batch = traffic.lines(minute, minute + 8, rng.randint(6, 12), fmt)
        at = rng.randint(0, len(batch))
        batch.insert(at, (minute, all_txt_line(minute, second, mode, "Rx", snr, dt,
                                               freq, message + tag)))
        reports.append((hhmm(minute), snr, freq, message))
        if i == 7:  # we tried the balloon's message on the air ourselves
            batch.append((minute + 1, all_txt_line(minute + 1, 0, FT8, "Tx", 0, 0.0, 1500,
                                                   message)))
        if i == 11:  # a false decode in the shape of a position message
            batch.append((minute + 2, all_txt_line(minute + 2, 30, FT8, "Rx", -24, 2.1, 2317,
                                                   "YDKQWB-CHPANE")))
        if i == 16:  # a decode with one character too many
            batch.append((minute + 3, all_txt_line(minute + 3, 15, FT8, "Rx", -20, 0.4, freq,
                                                   message + "W")))
        if i == 25:  # an ordinary CQ of ours
            batch.append((minute + 1, all_txt_line(minute + 1, 15, FT8, "Tx", 0, 0.0, 1500,
                                                   f"CQ {OUR_CALL} {OUR_GRID}")))
        batch.sort(key=lambda t: t[0])
        lines += [l for _, l in batch]
        minute += rng.choice([9, 10, 10, 11])
    lines += [l for _, l in traffic.lines(minute, minute + 20, 8, fmt)]
    # WSJT-X stopped while it wrote its last line.
    lines.append(all_txt_line(minute + 21, 0, FT8, "Rx", -12, 0.4, 1503, "DECPAA-MB"))
    return "".join(l + "\n" for l in lines).encode("ascii"), reports


WSJTX_LINE = re.compile(r"^(\d{6})_(\d{6}) +([\d.]+) (Rx|Tx) (\S+) *(-?\d+) *(-?\d+\.\d) *(\d+) (.*)$")
JTDX_HEADER_VERSION = " JTDX v2.2.159000000"


def jtdx_log(today):
    """The same decodes as JTDX 2.2 writes them into its yyyyMM_ALL.TXT: the
    date yyyyMMdd, "_", then its decoder's line, trimmed: hhmmss (hhmm for
    JT65, which stands in for Q65, a mode JTDX lacks), SNR %4d, DT %5.1f,
    audio %5d, blank, mode symbol, one blank, the message; free text and AP
    decodes padded to 26 and marked ("." free text, "*" AP, "?" doubtful).
    A header line before the first decode and at each change of band or
    mode; our transmissions as JTDX logs them."""
    out = []
    header = None
    for line in today.decode("ascii").split("\n")[:-1]:
        m = WSJTX_LINE.match(line)
        assert m, line
        date, hhmmss, mhz, rxtx, label = "20" + m[1], m[2], float(m[3]), m[4], m[5]
        snr, dt, freq, text = int(m[6]), float(m[7]), int(m[8]), m[9]
        mode = label if label in ("FT8", "FT4") else "JT65"
        if (mhz, mode) != header:
            out.append(f"{date}_{hhmmss}  {mhz:g} MHz  {mode}" + (JTDX_HEADER_VERSION if header else ""))
            header = (mhz, mode)
        if rxtx == "Tx":
            out.append(f"{date}_{hhmmss}.000(0)  Transmitting {mhz:g} MHz  {mode}:  {text}")
            continue
        mark = ""
        for tag, jtdx_mark in (("  a1", "*"), ("  a3", "*"), (" ?", "?")):
            if text.endswith(tag):
                text, mark = text[: -len(tag)], jtdx_mark
        if not mark and re.match(r"^[A-Y]{6}-", text) and len(text) >= 13:
            mark = "."  # free text
        time = hhmmss if mode != "JT65" else hhmmss[:4]
        symbol = {"FT8": "~", "FT4": ":", "JT65": "#"}[mode]
        message = text.ljust(26) + mark if mark else text
        out.append(f"{date}_{time}{snr:4d}{dt:5.1f}{freq:5d} {symbol} {message}")
    return "".join(l + "\n" for l in out).encode("ascii")


def write(out, data):
    out.parent.mkdir(parents=True, exist_ok=True)
    with open(out, "wb") as f:
        f.write(data)
    lines = data.count(b"\n")
    print(f"wrote {out} ({lines} lines)")


def main(argv):
    check_codec()
    if len(argv) > 2:
        sys.exit("usage: make_sample.py [output-folder]")
    root = Path(__file__).resolve().parent.parent
    folder = Path(argv[1]) if len(argv) == 2 else root / "samples"
    write(folder / "ALL.TXT", build_log())
    today, _ = build_today_log()
    write(folder / "wsjtx-2.7" / "ALL.TXT", today)
    write(folder / "jtdx-2.2" / "202503_ALL.TXT", jtdx_log(today))


if __name__ == "__main__":
    main(sys.argv)
