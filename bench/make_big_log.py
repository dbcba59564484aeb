#!/usr/bin/env python3
"""Writes a deterministic decode log of a given size (default 1 GiB), about
one line in a hundred a position report and the rest ordinary decodes: in
the fixed columns with CR LF line ends, or with --wsjtx2 as WSJT-X 2.x
writes ALL.TXT on Linux (LF line ends, FT8, FT4, JT65, MSK144 and Q65
decodes, now and then a transmission), or with --jtdx as JTDX 2.2 writes
its yyyyMM_ALL.TXT on Linux (LF line ends, FT8, FT4 and JT65 decodes, free
text and AP decodes marked, now and then a header or a transmission).

    python3 bench/make_big_log.py OUT [BYTES] [--wsjtx2 | --jtdx]
"""
import random
import sys

LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXY"


def encode(angle):
    v = round(abs(angle) * 600000)
    digits = []
    for _ in range(6):
        digits.append(v % 25)
        v //= 25
    digits.reverse()
    if angle < 0:
        digits[0] += 12
    return "".join(LETTERS[d] for d in digits)


def line(time, snr, dt, offset, message):
    return "%s      %4d %5.1f%5d  ~        %s\r\n" % (time, snr, dt, offset, message)


MODES = ["FT8", "FT8", "FT8", "FT4", "JT65", "MSK144", "Q65-30A"]


def line_wsjtx2(time, snr, dt, offset, message, rng, i):
    rx = "Tx" if i % 50 == 13 else "Rx"
    mode = MODES[i % len(MODES)]
    tag = "  a1" if i % 37 == 5 else ""
    return "230614_%s%02d%10.3f %s %-6s%4d%5.1f%5d %s%s\n" % (
        time, (i % 4) * 15, 14.074, rx, mode, snr, dt, offset, message, tag)


JTDX_MODES = [("~", 6), ("~", 6), ("~", 6), (":", 6), ("#", 4)]


def line_jtdx(time, snr, dt, offset, message, rng, i):
    if i % 50 == 13:
        return "20230614_%s%02d.000(0)  Transmitting 14.074 MHz  FT8:  %s\n" % (
            time, (i % 4) * 15, message)
    if i % 200 == 31:
        return "20230614_%s%02d  14.074 MHz  FT8 JTDX v2.2.159000000\n" % (time, (i % 4) * 15)
    symbol, digits = JTDX_MODES[i % len(JTDX_MODES)]
    clock = time + ("%02d" % ((i % 4) * 15) if digits == 6 else "")
    mark = "." if message[6:7] == "-" else "*" if i % 37 == 5 else ""
    text = message.ljust(26) + mark if mark else message
    return "20230614_%s%4d%5.1f%5d %s %s\n" % (clock, snr, dt, offset, symbol, text)


def block(rng, lines, layout=None):
    calls = ["G4ABC", "M0XYZ", "PA3ABC", "DL1ABC", "EA8XYZ", "K1ABC", "OK1XYZ", "SP5ABC"]
    grids = ["IO91", "JO22", "JN45", "IO82", "FN42", "KO02"]
    out = []
    for i in range(lines):
        minute = (i // 10) % 1440
        time = "%02d%02d" % (minute // 60, minute % 60)
        if i % 100 == 57:
            lat = rng.uniform(49.5, 58.5)
            lon = rng.uniform(-6.0, 2.5)
            message = encode(lat) + "-" + encode(lon)
        else:
            a, b = rng.sample(calls, 2)
            kind = i % 4
            if kind == 0:
                message = "CQ %s %s" % (a, rng.choice(grids))
            elif kind == 1:
                message = "%s %s %s" % (a, b, rng.choice(grids))
            elif kind == 2:
                message = "%s %s %+03d" % (a, b, rng.randint(-24, 10))
            else:
                message = "%s %s RR73" % (a, b)
        fields = (time, rng.randint(-24, 10), rng.uniform(-1, 2), rng.randint(200, 2900), message)
        if layout == "--wsjtx2":
            out.append(line_wsjtx2(*fields, rng, i))
        elif layout == "--jtdx":
            out.append(line_jtdx(*fields, rng, i))
        else:
            out.append(line(*fields))
    return "".join(out).encode("ascii")


def main():
    args = [a for a in sys.argv[1:] if a not in ("--wsjtx2", "--jtdx")]
    layout = next((a for a in sys.argv[1:] if a in ("--wsjtx2", "--jtdx")), None)
    path = args[0]
    size = int(args[1]) if len(args) > 1 else 1 << 30
    rng = random.Random(16004)
    blocks = [block(rng, 10000, layout) for _ in range(8)]
    written = 0
    with open(path, "wb") as f:
        i = 0
        while written < size:
            b = blocks[i % len(blocks)]
            b = b[: size - written] if written + len(b) > size else b
            f.write(b)
            written += len(b)
            i += 1


if __name__ == "__main__":
    main()
