#!/usr/bin/env python3
"""The time from a Decode datagram's arrival at live_tracker to its point
whole in the track (the KML file moved in place with it) and in the table
(the CSV file), for a steady stream and for bursts, as a median and a 99th
percentile.

    python3 bench/live_latency.py LIVE_TRACKER [--rate PER_SECOND] [--seconds S]
                                  [--burst COUNT] [--bursts N]

The tracker runs without a terminal (in a session of its own, its answers
and its Esc from a pipe), in a folder that goes at the end. The datagrams
are sent to it on the loopback interface, where one arrives as its send
returns: the time just before the send is taken as its arrival. The files
are watched with inotify: at each file moved in place, its lines are
counted, and the time after that is the moment those points are known to
be whole in it (an upper bound, the watcher's own delay included). Each
datagram is a decode of its own (its time and audio offset differ), a
position report that the tracker adds to both files.
"""
import argparse
import ctypes
import multiprocessing
import os
import select
import socket
import struct
import subprocess
import tempfile
import time

PORT = 16004
MAGIC, SCHEMA, DECODE = 0xADBCCBDA, 2, 2
MESSAGE = "DECPAA-MBXAAA"
IN_MOVED_TO = 0x80
KML_EMPTY_LINES, KML_POINT_LINES = 13, 41  # the empty document; lines - 41 points after
CSV_HEAD_LINES = 1


def text(s):
    b = s.encode()
    return struct.pack(">I", len(b)) + b


def decode_datagram(i):
    """Decode number i: a time and an audio offset of its own."""
    time_ms = (i * 15000) % 86400000
    offset = 200 + i // 5760
    # Id, new, time, SNR, DT, audio offset, mode, message, low confidence, off air.
    return (struct.pack(">III", MAGIC, SCHEMA, DECODE) + text("WSJT-X") + b"\x01" +
            struct.pack(">IidI", time_ms, -10, 0.2, offset) + text("~") + text(MESSAGE) + b"\x00\x00")


def watch(folder, names, ready, stopping, results):
    """In a process of its own (the sender's pauses take no time from it):
    counts the points of each file in `names` at each move in place, and
    puts {name: [(nanoseconds, points), ...]} in `results` once `stopping`
    is set."""
    libc = ctypes.CDLL(None, use_errno=True)
    fd = libc.inotify_init1(os.O_CLOEXEC)
    if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_MOVED_TO) < 0:
        raise OSError(ctypes.get_errno(), "inotify")
    seen = {name: [] for name in names}
    ready.set()
    while not stopping.is_set():
        if not select.select([fd], [], [], 0.1)[0]:
            continue
        data = os.read(fd, 65536)
        moved, at = set(), 0
        while at < len(data):
            _, mask, _, length = struct.unpack_from("iIII", data, at)
            name = data[at + 16:at + 16 + length].rstrip(b"\0").decode()
            at += 16 + length
            if mask & IN_MOVED_TO and name in seen:
                moved.add(name)
        for name in moved:
            try:
                with open(os.path.join(folder, name), "rb") as f:
                    lines = f.read().count(b"\n")
            except OSError:
                continue
            if name.endswith(".KML"):
                count = 0 if lines <= KML_EMPTY_LINES else lines - KML_POINT_LINES
            else:
                count = lines - CSV_HEAD_LINES
            seen[name].append((time.perf_counter_ns(), count))
    results.put(seen)


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(p / 100 * len(values)))]


def latencies(sent, seen):
    """For each datagram sent (its arrival), the time until a state that
    holds its point was seen."""
    out, j = [], 0
    for k, arrival in enumerate(sent):
        while j < len(seen) and seen[j][1] < k + 1:
            j += 1
        if j == len(seen):
            break
        out.append((seen[j][0] - arrival) / 1e6)
    return out


def run(tracker, name, pattern):
    """Starts the tracker, sends by `pattern` (a list of pauses in seconds
    before each datagram), ends it; returns the arrivals and what was seen."""
    folder = tempfile.mkdtemp()
    kml, csv = name + ".KML", name + ".CSV"
    ready, stopping, results = multiprocessing.Event(), multiprocessing.Event(), multiprocessing.Queue()
    watcher = multiprocessing.Process(target=watch, args=(folder, [kml, csv], ready, stopping, results))
    watcher.start()
    ready.wait()
    proc = subprocess.Popen([os.path.abspath(tracker)], cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    proc.stdin.write((name + "\n").encode())
    proc.stdin.flush()
    deadline = time.time() + 10
    while not os.path.exists(os.path.join(folder, kml)) and time.time() < deadline:
        time.sleep(0.01)
    time.sleep(0.3)
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sent = []
    datagrams = [decode_datagram(i) for i in range(len(pattern))]
    next_at = time.perf_counter()
    for pause, datagram in zip(pattern, datagrams):
        next_at += pause
        if next_at - time.perf_counter() > 0.002:
            time.sleep(next_at - time.perf_counter() - 0.001)
        while time.perf_counter() < next_at:
            pass
        sent.append(time.perf_counter_ns())
        sock.sendto(datagram, ("127.0.0.1", PORT))
    time.sleep(1.0)
    proc.stdin.write(b"\x1b")
    proc.stdin.flush()
    time.sleep(0.5)
    proc.stdin.write(b"x")
    proc.stdin.close()
    proc.wait(timeout=20)
    stopping.set()
    seen = results.get()
    watcher.join()
    for f in (kml, csv):
        try:
            os.remove(os.path.join(folder, f))
        except OSError:
            pass
    os.rmdir(folder)
    return sent, seen[kml], seen[csv]


def report(title, sent, kml, csv):
    for label, seen in (("KML", kml), ("CSV", csv)):
        ms = latencies(sent, seen)
        if not ms:
            print("  %-34s %s: no point seen" % (title, label))
            continue
        print("  %-34s %s: %5d of %5d points   median %6.2f ms   99th percentile %6.2f ms   most %6.2f ms" %
              (title, label, len(ms), len(sent), percentile(ms, 50), percentile(ms, 99), max(ms)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tracker")
    parser.add_argument("--rate", type=float, default=50)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--burst", type=int, default=100)
    parser.add_argument("--bursts", type=int, default=5)
    args = parser.parse_args()
    steady = [1 / args.rate] * int(args.rate * args.seconds)
    report("steady, %g a second for %g s:" % (args.rate, args.seconds), *run(args.tracker, "STEADY", steady))
    bursts = ([2.0] + [0] * (args.burst - 1)) * args.bursts
    report("%d bursts of %d back to back:" % (args.bursts, args.burst), *run(args.tracker, "BURST", bursts))


if __name__ == "__main__":
    main()
