#!/usr/bin/env python3
"""The programs of an ARM cross build end to end under qemu-user.

    arm_e2e.py ARM_BIN HOST_BIN [--cpu-without-neon CPU] -- EMULATOR...

ARM_BIN holds the cross build's programs and mark_scan_path; EMULATOR is
how they run here (qemu-aarch64 -L /usr/aarch64-linux-gnu); HOST_BIN holds
this machine's decode_sender, which plays WSJT-X for live_tracker. The
programs run with no terminal (setsid): answers as lines on stdin, what
they say on stdout, as a script would run them. What they list and track
for the bundled samples must be tests/golden/ byte for byte.

--cpu-without-neon: a processor that qemu emulates without NEON, on which
the scan must choose the plain path.

The live_tracker replay takes UDP port 16004: run in a network of our own
(tests/own_network.sh), which sets E2E_OWN_NETWORK; without it that test is
skipped, saying so.

Exit status: 0 when every test passes, 1 when one fails, 77 (skipped) when
the emulator cannot be run.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAMPLES = os.path.join(TOP, "samples")
GOLDEN = os.path.join(TOP, "tests", "golden")
SAMPLE = os.path.join(SAMPLES, "ALL.TXT")
WSJTX_27 = os.path.join(SAMPLES, "wsjtx-2.7", "ALL.TXT")
JTDX_22 = os.path.join(SAMPLES, "jtdx-2.2", "202503_ALL.TXT")


class Failed(Exception):
    pass


def read(path):
    with open(path, "rb") as f:
        return f.read()


def golden(name):
    return read(os.path.join(GOLDEN, name))


def report_lines(transcript):
    """The report lines of a transcript (each ends "Hz hhmm ")."""
    return b"".join(line for line in transcript.splitlines(keepends=True) if b"Hz " in line)


def same(got, expected, what):
    if got != expected:
        raise Failed("%s differs from what was expected:\n--- got\n%s\n--- expected\n%s"
                     % (what, got.decode(errors="replace"), expected.decode(errors="replace")))


class Run:
    """One program under the emulator with no terminal, in folder `cwd`."""

    def __init__(self, emulator, program, args, cwd):
        self.out = os.path.join(cwd, "stdout.txt")
        with open(self.out, "wb") as out:
            self.process = subprocess.Popen(["setsid", "-w"] + emulator + [program] + args, cwd=cwd,
                                            stdin=subprocess.PIPE, stdout=out, stderr=subprocess.STDOUT)

    def say(self, text):
        self.process.stdin.write(text.encode())
        self.process.stdin.flush()

    def transcript(self):
        return read(self.out)

    def wait_for(self, text, timeout=60):
        deadline = time.monotonic() + timeout
        while text.encode() not in self.transcript():
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise Failed("no %r on stdout:\n%s" % (text, self.transcript().decode(errors="replace")))
            time.sleep(0.1)

    def wait_quiet(self, quiet, timeout=60):
        """Until no report line has come for `quiet` seconds."""
        deadline = time.monotonic() + timeout
        last, since = report_lines(self.transcript()), time.monotonic()
        while time.monotonic() - since < quiet and time.monotonic() < deadline:
            time.sleep(0.2)
            now = report_lines(self.transcript())
            if now != last:
                last, since = now, time.monotonic()

    def end(self, timeout=60):
        """Closes stdin, which ends the closing wait; the exit status."""
        self.process.stdin.close()
        status = self.process.wait(timeout=timeout)
        if status != 0:
            raise Failed("exit status %d:\n%s" % (status, self.transcript().decode(errors="replace")))
        return self.transcript()


def test_scan_path(env, d):
    got = subprocess.run(env.emulator + [env.program("mark_scan_path")], capture_output=True, timeout=60)
    same(got.stdout, b"neon\n", "the scan of the emulated processor")
    if env.cpu_without_neon:
        emulator = env.emulator[:1] + ["-cpu", env.cpu_without_neon] + env.emulator[1:]
        got = subprocess.run(emulator + [env.program("mark_scan_path")], capture_output=True, timeout=60)
        same(got.stdout, b"plain\n", "the scan of " + env.cpu_without_neon)


def test_log_lister(env, d):
    for log, listing in ((SAMPLE, "sample-reports.txt"), (WSJTX_27, "wsjtx-2.7-reports.txt"),
                         (JTDX_22, "wsjtx-2.7-reports.txt")):
        same(Run(env.emulator, env.program("log_lister"), [log], d).end(), golden(listing),
             "log_lister " + os.path.relpath(log, TOP))


def test_log_tracker_one_pass(env, d):
    tracks = {}
    for log, name, listing in ((SAMPLE, "sample", "sample-reports.txt"),
                               (WSJTX_27, "wsjtx", "wsjtx-2.7-reports.txt"),
                               (JTDX_22, "jtdx", "wsjtx-2.7-reports.txt")):
        run = Run(env.emulator, env.program("log_tracker"), [log], d)
        run.say("n\n%s\n" % name)
        transcript = run.end()
        what = "log_tracker " + os.path.relpath(log, TOP)
        same(report_lines(transcript), golden(listing), what + ": report lines")
        tracks[name] = read(os.path.join(d, name.upper() + ".KML"))
    same(tracks["sample"], golden("sample-track.kml"), "the track of samples/ALL.TXT")
    same(tracks["jtdx"], tracks["wsjtx"], "the track of JTDX's log beside WSJT-X's")


def test_log_tracker_follows(env, d):
    """Follow mode: the sample written into ALL.TXT in two parts."""
    lines = read(SAMPLE).splitlines(keepends=True)
    half = len(lines) // 2
    log = os.path.join(d, "ALL.TXT")
    open(log, "wb").close()
    run = Run(env.emulator, env.program("log_tracker"), [], d)
    run.say("\nfollow\n")
    run.wait_for("Press [esc] to finish")
    time.sleep(1.5)  # the first look at the log is taken
    for part in (lines[:half], lines[half:]):
        with open(log, "ab") as f:
            f.write(b"".join(part))
        run.wait_quiet(3.0)  # follow mode looks about once a second
    run.say("\x1b")
    transcript = run.end()
    same(report_lines(transcript), golden("sample-reports.txt"), "log_tracker following: report lines")
    same(read(os.path.join(d, "FOLLOW.KML")), golden("sample-track.kml"), "log_tracker following: track")


def test_live_tracker_replay(env, d):
    """The sample sent by this machine's decode_sender as WSJT-X sends it."""
    if not os.environ.get("E2E_OWN_NETWORK"):
        print("SKIP live_tracker replay: no network of its own (tests/own_network.sh needs root and unshare)")
        return
    run = Run(env.emulator, env.program("live_tracker"), [], d)
    run.say("live\n")
    run.wait_for("Press [esc] to finish")
    time.sleep(0.5)
    sent = subprocess.run([os.path.join(env.host_bin, "decode_sender"), "--log", SAMPLE, "--interval", "2"],
                          capture_output=True, text=True, timeout=120)
    if sent.returncode != 0:
        raise Failed("decode_sender: " + sent.stdout + sent.stderr)
    expected = golden("sample-live.csv")
    deadline = time.monotonic() + 60
    while read(os.path.join(d, "LIVE.CSV")) != expected and time.monotonic() < deadline:
        time.sleep(0.2)
    run.say("\x1b")
    transcript = run.end()
    same(read(os.path.join(d, "LIVE.CSV")), expected, "live_tracker's table")
    same(read(os.path.join(d, "LIVE.KML")), golden("sample-track.kml"), "live_tracker's track")
    shown = [line.rstrip() for line in transcript.splitlines()]
    for row in golden("sample-live-reports.txt").splitlines():
        if row.rstrip() not in shown:
            raise Failed("live_tracker did not show %r:\n%s" % (row, transcript.decode()))


class Env:
    def __init__(self, arm_bin, host_bin, cpu_without_neon, emulator):
        self.arm_bin, self.host_bin = arm_bin, host_bin
        self.cpu_without_neon, self.emulator = cpu_without_neon, emulator

    def program(self, name):
        return os.path.join(self.arm_bin, name)


def main(argv):
    split = argv.index("--")
    args, emulator = argv[1:split], argv[split + 1:]
    cpu_without_neon = None
    if "--cpu-without-neon" in args:
        at = args.index("--cpu-without-neon")
        cpu_without_neon = args[at + 1]
        del args[at:at + 2]
    env = Env(os.path.abspath(args[0]), os.path.abspath(args[1]), cpu_without_neon, emulator)
    if not emulator or shutil.which(emulator[0]) is None:
        print("SKIP: no emulator for the ARM programs (tools/install_deps.sh arm installs qemu-user)")
        return SKIP
    if not os.access(os.path.join(env.host_bin, "decode_sender"), os.X_OK):
        print("SKIP: this machine's decode_sender is missing in %s (cmake --build build)" % env.host_bin)
        return SKIP
    failures = 0
    for test in (test_scan_path, test_log_lister, test_log_tracker_one_pass, test_log_tracker_follows,
                 test_live_tracker_replay):
        d = tempfile.mkdtemp(prefix="arm_e2e_")
        start = time.monotonic()
        try:
            test(env, d)
            print("PASS %s (%.1f s)" % (test.__name__, time.monotonic() - start))
        except (Failed, subprocess.TimeoutExpired) as e:
            failures += 1
            print("FAIL", test.__name__, e)
        finally:
            shutil.rmtree(d, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
