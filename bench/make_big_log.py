#!/usr/bin/env python3
"""Writes a deterministic decode log of a given size (default 1 GiB) in the
column layout of WSJT-X's ALL.TXT, CR LF line ends, about one line in a
hundred a position report and the rest ordinary decodes.

    python3 bench/make_big_log.py OUT [BYTES]
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


def block(rng, lines):
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
        out.append(line(time, rng.randint(-24, 10), rng.uniform(-1, 2), rng.randint(200, 2900), message))
    return "".join(out).encode("ascii")


def main():
    path = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 1 << 30
    rng = random.Random(16004)
    blocks = [block(rng, 10000) for _ in range(8)]
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
