#!/usr/bin/env python3
"""The Windows programs end to end, under wine, in a tmux pane.

    wine_e2e.py BUILD_WIN_BIN [LINUX_BIN]

BUILD_WIN_BIN holds log_lister.exe, log_tracker.exe, live_tracker.exe and
decode_sender.exe.
LINUX_BIN (default: build/bin of this source tree) holds the POSIX build of
the same programs and decode_sender: the POSIX programs give the expected
screens and files, run the same way in a tmux pane of their own, and
decode_sender plays WSJT-X for live_tracker on UDP port 16004 (loopback).

Each program runs with a fresh scratch folder as its working folder, in a
100x50 pane (100x620 for the replay of the sample log: wine's console buffer
is as tall as the pane and what scrolls out of it is gone); the screen is read back with its colours (tmux's capture-pane
-e), each cell's colour turned back into the Windows console palette index
(wine's console writes index 3 as SGR 36, 6 as 33, 8 as 90, 11 as 96, 7 as
the terminal's default colour).

Exit status: 0 when every test passes, 1 when one fails, 77 (skipped) when
wine, tmux or the POSIX build is missing.
"""

import difflib
import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import traceback

SKIP = 77
COLS, ROWS = 100, 50
PORT = 16004
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAMPLE = os.path.join(SOURCE_DIR, "samples", "ALL.TXT")

PRESS_ESC = "Press [esc] to finish"
ANY_KEY = "Any key to close this window..."
TERMINATED = "KML and .CSV File generation terminated"


class Abort(Exception):
    """Ends a test at once: what it waits for never came."""


# ---------------------------------------------------------------------------
# The screen as tmux shows it

def ansi_to_console(index):
    """Terminal palette index -> Windows console index (red and blue swap)."""
    return (index & 8) | ((index & 1) << 2) | (index & 2) | ((index & 4) >> 2)


SGR = re.compile(r"\x1b\[([0-9;:]*)m")


def parse_capture(text):
    """capture-pane -p -e output -> [(row text, colour per character)].

    The colour is the console palette index, 7 for the terminal's default
    foreground; the pen carries over from one row to the next as tmux only
    writes changes."""
    rows = []
    fg = 7
    for line in text.split("\n"):
        chars, colours = [], []
        pos = 0
        for m in SGR.finditer(line):
            for ch in line[pos:m.start()]:
                chars.append(ch)
                colours.append(fg)
            pos = m.end()
            params = [p for p in re.split("[;:]", m.group(1))] or ["0"]
            i = 0
            while i < len(params):
                p = int(params[i]) if params[i] else 0
                if p in (0, 39):
                    fg = 7
                elif 30 <= p <= 37:
                    fg = ansi_to_console(p - 30)
                elif 90 <= p <= 97:
                    fg = ansi_to_console(p - 90 + 8)
                elif p == 38 and i + 2 < len(params) and params[i + 1] == "5":
                    n = int(params[i + 2])
                    fg = ansi_to_console(n) if n < 16 else -1
                    i += 2
                elif p == 38 and i + 4 < len(params) and params[i + 1] == "2":
                    fg = -1
                    i += 4
                i += 1
        for ch in line[pos:]:
            chars.append(ch)
            colours.append(fg)
        row = "".join(chars)
        text_row = row.rstrip(" ")
        rows.append((text_row, colours[:len(text_row)]))
    if text.endswith("\n"):
        rows.pop()
    return rows


def colour_runs(colours):
    """[6, 6, 6, 7] -> "6x3 7x1"."""
    runs = []
    for c in colours:
        if runs and runs[-1][0] == c:
            runs[-1][1] += 1
        else:
            runs.append([c, 1])
    return " ".join(("?" if c < 0 else "%X" % c) + "x%d" % n for c, n in runs)


def show_rows(rows):
    return ["%s |%s" % (t, colour_runs(c)) if t else "" for t, c in rows]


def texts(rows):
    return [t for t, _ in rows]


def find_row(rows, text, start=0):
    for i in range(start, len(rows)):
        if text in rows[i][0]:
            return i
    return -1


def all_colour(colours, colour):
    return all(c == colour for c in colours)


# ---------------------------------------------------------------------------
# tmux and wine

class Env:
    """Paths, the tmux server and the wine prefix of this run."""

    def __init__(self, win_bin, linux_bin):
        self.win_bin = win_bin
        self.linux_bin = linux_bin
        self.socket = "wine_e2e_%d" % os.getpid()
        self.scratch = tempfile.mkdtemp(prefix="wine_e2e_")
        self.prefix = os.path.join(self.scratch, "prefix")
        self.conf = os.path.join(self.scratch, "tmux.conf")
        # The server stays between panes: one that exits with its last
        # session would refuse the next pane started at that moment
        # ("server exited unexpectedly").
        with open(self.conf, "w") as f:
            f.write("set -g status off\nset -g exit-empty off\n")
        self.serial = 0
        self.env = dict(os.environ)
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("TMUX", None)
        self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")

    def tmux(self, *args, check=True):
        r = subprocess.run(["tmux", "-L", self.socket, "-f", self.conf] + list(args),
                           env=self.env, capture_output=True, text=True, timeout=20)
        if check and r.returncode != 0:
            raise Abort("tmux %s: %s" % (" ".join(args), r.stderr.strip()))
        return r.stdout

    def boot_wine(self):
        os.makedirs(self.prefix)
        subprocess.run(["wineboot", "-i"], env=self.env, capture_output=True, timeout=240)

    def new_dir(self):
        self.serial += 1
        d = os.path.join(self.scratch, "run%02d" % self.serial)
        os.makedirs(d)
        return d

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], env=self.env,
                       capture_output=True, timeout=20)
        if os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
        shutil.rmtree(self.scratch, ignore_errors=True)


class Pane:
    """A program in a tmux pane of its own: 'win' runs NAME.exe under wine,
    'linux' the POSIX build's NAME."""

    def __init__(self, env, kind, name, args, cwd, rows=ROWS):
        self.env = env
        self.kind = kind
        self.name = name
        env.serial += 1
        self.session = "s%d" % env.serial
        if kind == "win":
            argv = ["wine", os.path.join(env.win_bin, name + ".exe")] + args
        else:
            argv = [os.path.join(env.linux_bin, name)] + args
        # The shell keeps the pane open after the program, with nothing more
        # on its screen, and notes the exit status.
        self.status_file = os.path.join(env.scratch, self.session + ".status")
        command = "%s; echo $? >%s; exec sleep 900" % (
            " ".join(shlex.quote(a) for a in argv), shlex.quote(self.status_file))
        env.tmux("new-session", "-d", "-s", self.session, "-x", str(COLS), "-y", str(rows),
                 "-c", cwd, command)
        self.label = "%s %s %s" % (kind, name, " ".join(args))

    def capture(self):
        return parse_capture(self.env.tmux("capture-pane", "-p", "-e", "-t", self.session))

    def dump(self):
        rows = self.capture()
        while rows and not rows[-1][0]:
            rows.pop()
        return "screen of %s (text |colour x cells):\n%s" % (self.label, "\n".join(
            "%3d %s" % (i, r) for i, r in enumerate(show_rows(rows))))

    def cursor(self):
        x, y = self.env.tmux("display-message", "-p", "-t", self.session,
                             "#{cursor_x} #{cursor_y}").split()
        return int(y), int(x)

    def status(self):
        """None while the program runs, else its exit status."""
        try:
            with open(self.status_file) as f:
                text = f.read()
        except OSError:
            return None
        return int(text) if text.endswith("\n") else None

    def keys(self, *keys):
        self.env.tmux("send-keys", "-t", self.session, *keys)

    def type(self, text):
        """Types `text`; a "\b" in it is the Backspace key."""
        for i, part in enumerate(text.split("\b")):
            if i > 0:
                self.keys("BSpace")
            if part:
                self.env.tmux("send-keys", "-t", self.session, "-l", part)

    def wait_for(self, pred, what, timeout=20.0):
        end = time.monotonic() + timeout
        while True:
            rows = self.capture()
            if pred(rows):
                return rows
            if time.monotonic() > end:
                raise Abort("%s never came (%.0f s)\n%s" % (what, timeout, self.dump()))
            time.sleep(0.1)

    def wait_text(self, text, timeout=20.0):
        return self.wait_for(lambda rows: find_row(rows, text) >= 0, repr(text), timeout)

    def wait_quiet(self, quiet=1.0, timeout=30.0):
        """Waits until the screen has not changed for `quiet` seconds."""
        end = time.monotonic() + timeout
        last, since = None, time.monotonic()
        while time.monotonic() < end:
            rows = self.capture()
            if rows != last:
                last, since = rows, time.monotonic()
            elif time.monotonic() - since >= quiet:
                return rows
            time.sleep(0.1)
        raise Abort("the screen kept changing for %.0f s\n%s" % (timeout, self.dump()))

    def wait_exit(self, timeout=10.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            s = self.status()
            if s is not None:
                time.sleep(0.2)  # the last of its output reaches the screen
                return s
            time.sleep(0.1)
        return None

    def close(self):
        self.env.tmux("kill-session", "-t", self.session, check=False)


# ---------------------------------------------------------------------------
# Checks

MAX_DIFF_LINES = 80


def diff_lines(expected, actual):
    lines = list(difflib.unified_diff(expected, actual, "expected", "actual", lineterm="", n=2))
    if len(lines) > MAX_DIFF_LINES:
        lines = lines[:MAX_DIFF_LINES] + ["... %d more diff lines" % (len(lines) - MAX_DIFF_LINES)]
    return "\n".join(lines)


class Test:
    def __init__(self, name):
        self.name = name
        self.failures = []

    def fail(self, message):
        self.failures.append(message)

    def equal(self, actual, expected, what):
        if actual == expected:
            return True
        if isinstance(expected, list) and isinstance(actual, list):
            diff = diff_lines([str(x) for x in expected], [str(x) for x in actual])
            self.fail("%s differs:\n%s" % (what, diff))
        elif isinstance(expected, bytes) and isinstance(actual, bytes):
            diff = diff_lines([repr(x) for x in expected.splitlines(True)],
                              [repr(x) for x in actual.splitlines(True)])
            self.fail("%s differs (%d bytes expected, %d got):\n%s"
                      % (what, len(expected), len(actual), diff or "(line ends only)"))
        else:
            self.fail("%s: expected %r, got %r" % (what, expected, actual))
        return False

    def true(self, cond, what):
        if not cond:
            self.fail(what)
        return cond


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        return ("<%s>" % e.strerror).encode()


def names_in(folder):
    out = set()
    for root, dirs, files in os.walk(folder):
        for n in dirs + files:
            out.add(os.path.relpath(os.path.join(root, n), folder))
    return out


CLOCK_NAME = re.compile(r"\d{6}_\d{4}")


def masked(rows):
    """The default file names come from the clock: mask them."""
    return [(CLOCK_NAME.sub("yymmdd_hhmm", t), c) for t, c in rows]


def same_screen(t, win_rows, linux_rows, what):
    """The Windows screen shows the same text in the same colours as the
    POSIX one."""
    return t.equal(show_rows(masked(win_rows)), show_rows(masked(linux_rows)),
                   what + " (Windows vs POSIX screen; text |colour x cells)")


def key_wait_then_exit(t, pane, code, key="x"):
    """The closing wait: still there after a while, ends on a key."""
    time.sleep(0.7)
    if not t.true(pane.status() is None,
                  "%s ended without waiting for a key\n%s" % (pane.label, pane.dump())):
        return
    pane.type(key)
    t.equal(pane.wait_exit(), code, "%s exit status after the key" % pane.label)


# ---------------------------------------------------------------------------
# log_lister

def linux_lister_lines(env, path):
    """The report lines the POSIX log_lister prints for `path`, with no
    terminal (as plain lines on its stdout)."""
    r = subprocess.run(["setsid", os.path.join(env.linux_bin, "log_lister"), path],
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    lines = r.stdout.decode("utf-8", "replace").split("\n")
    while lines and lines[-1] == "":
        lines.pop()
    return [l.rstrip(" ") for l in lines]


def test_lister_sample_as_argument(t, env):
    expected = linux_lister_lines(env, SAMPLE)
    t.equal(len(expected), 40, "report lines of the POSIX log_lister on the sample")
    d = env.new_dir()
    shutil.copy(SAMPLE, os.path.join(d, "sample.txt"))
    pane = Pane(env, "win", "log_lister", ["sample.txt"], d)
    try:
        rows = pane.wait_text(expected[-1][:40])
        rows = pane.wait_quiet(0.5)
        t.equal(texts(rows[:len(expected) + 1]), expected + [""],
                "rows 0-40 of log_lister.exe sample.txt")
        for i in range(len(expected)):
            t.true(all_colour(rows[i][1], 7), "row %d not all in colour 7: %s"
                   % (i, colour_runs(rows[i][1])))
        key_wait_then_exit(t, pane, 0)
    finally:
        pane.close()


def test_lister_prompt_takes_default(t, env):
    screens = {}
    for kind in ("linux", "win"):
        d = env.new_dir()
        shutil.copy(SAMPLE, os.path.join(d, "ALL.TXT"))
        pane = Pane(env, kind, "log_lister", [], d)
        try:
            pane.wait_text("Source file  [ALL.TXT]")
            time.sleep(0.3)
            if kind == "win":
                t.equal(pane.capture()[0][0], "Source file  [ALL.TXT]", "row 0")
                t.equal(pane.cursor(), (0, 24), "cursor (row, column) after the question")
            pane.keys("Enter")
            pane.wait_text("1542   DEWOFA-AGPDAA")
            screens[kind] = pane.wait_quiet(0.5)
            if kind == "win":
                key_wait_then_exit(t, pane, 0, key=" ")
        finally:
            pane.close()
    same_screen(t, screens["win"], screens["linux"], "log_lister, Enter at the question")


def test_lister_typed_name_with_accents_and_backspace(t, env):
    """Keys beyond ASCII reach the line editor and the file name: "ete.txt"
    with accents, a CJK character typed and taken back."""
    screens = {}
    for kind in ("linux", "win"):
        d = env.new_dir()
        shutil.copy(SAMPLE, os.path.join(d, "\u00e9t\u00e9.txt"))
        pane = Pane(env, kind, "log_lister", [], d)
        try:
            pane.wait_text("Source file  [ALL.TXT]")
            pane.wait_quiet(0.3)
            pane.type("\b\b\u00e9t\u65e5\b\u00e9.txt")
            pane.wait_text("\u00e9t\u00e9.txt")
            pane.keys("Enter")
            pane.wait_text("1542   DEWOFA-AGPDAA")
            screens[kind] = pane.wait_quiet(0.5)
            if kind == "win":
                key_wait_then_exit(t, pane, 0, key="q")
        finally:
            pane.close()
    same_screen(t, screens["win"], screens["linux"], "log_lister, name typed with accents")


def test_lister_missing_sources_end_after_a_key(t, env):
    cases = [(["nofile.txt"], None, "nofile.txt Does not exist"),
             ([], "", "ALL.TXT Does not exist"),
             (["folder"], None, "folder Is not a file")]
    for args, typed, message in cases:
        d = env.new_dir()
        os.mkdir(os.path.join(d, "folder"))
        pane = Pane(env, "win", "log_lister", args, d)
        try:
            if typed is not None:
                pane.wait_text("Source file")
                pane.type(typed)
                pane.keys("Enter")
            rows = pane.wait_text(message)
            t.true(find_row(rows, message) >= 0,
                   "%r not shown\n%s" % (message, pane.dump()))
            key_wait_then_exit(t, pane, 1)
        finally:
            pane.close()


# ---------------------------------------------------------------------------
# log_tracker

def tracker_batch(env, kind, source_args, files, answers):
    """Runs log_tracker and answers its questions; returns (pane, folder,
    the cursor (row, column) at each question)."""
    d = env.new_dir()
    for name, content in files.items():
        path = os.path.join(d, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if content is not None:
            with open(path, "wb") as f:
                f.write(content)
    pane = Pane(env, kind, "log_tracker", source_args, d)
    cursors = []
    try:
        for wait, text in answers:
            pane.wait_text(wait)
            pane.wait_quiet(0.3)
            cursors.append((wait, pane.cursor()))
            pane.type(text)
            pane.keys("Enter")
        return pane, d, cursors
    except Exception:
        pane.close()
        raise


def test_tracker_batch_sample_track(t, env):
    sample = read_bytes(SAMPLE)
    answers = [("Read incoming data in real time", "n"), ("Source file", ""),
               ("Destination (.KML) file", "sample")]
    results = {}
    for kind in ("linux", "win"):
        pane, d, cursors = tracker_batch(env, kind, [], {"ALL.TXT": sample}, answers)
        try:
            pane.wait_text("SAMPLE.KML Generated")
            rows = pane.wait_quiet(0.5)
            if kind == "win":
                will = find_row(rows, "Will generate  SAMPLE.KML")
                t.true(will >= 0 and all_colour(rows[will][1], 5),
                       "'Will generate  SAMPLE.KML' not in colour 5\n" + pane.dump())
                reports = [r for r in rows if 6 in r[1]]
                t.equal(len(reports), 40, "rows in colour 6")
                for text, colours in reports:
                    t.true(all_colour(colours, 6), "report row not all in colour 6: %s |%s"
                           % (text, colour_runs(colours)))
                t.equal(texts(reports), linux_lister_lines(env, SAMPLE),
                        "report rows (colour 6) of log_tracker.exe vs POSIX log_lister")
                key_wait_then_exit(t, pane, 0)
                t.equal(names_in(d), {"ALL.TXT", "SAMPLE.KML"}, "files in the folder")
            results[kind] = (rows, read_bytes(os.path.join(d, "SAMPLE.KML")), cursors)
        finally:
            pane.close()
    same_screen(t, results["win"][0], results["linux"][0], "log_tracker one pass")
    t.equal(results["win"][2], results["linux"][2],
            "cursor (row, column) at the questions, Windows vs POSIX")
    t.true(results["linux"][1].startswith(b"<?xml"), "POSIX log_tracker wrote no track")
    t.equal(results["win"][1], results["linux"][1], "SAMPLE.KML of log_tracker.exe vs POSIX")


SMALL_LOG = (b"2024-05-17 2131  14.074 MHz  FT8\r\n"
             b"2148        -6   0.4  709  ~        DL1ABC JA1XYZ -02\r\n"
             b"2150       -12   0.3 1505  ~        DECPAA-MBXAAA\r\n"
             b"2151        -9   0.1 1510  ~        YAAAAA-AAAAAA\r\n"
             b"2153      /  3   0.8 1505  ~        DFGKAA-AATFAA\r\n"
             b"2154         5   0.8 1505  ~        DFGKAA-AATFAA\r\n"
             b"------ 18/05/2024 ------\r\n"
             b"0017       -20   0.1 1507  ~        OCAUAA-JHGCAA\r\n")


def test_tracker_destination_answers(t, env):
    """A name in a subfolder given with '/' (typed with a slip taken back by
    Backspace) keeps its own extension; the file name is taken in capitals,
    on Windows (whose file names ignore case) the folder too; a folder that
    does not exist ends the program with status 1 after the closing wait."""
    cases = [("sub/t1.trkk\b", "sub/T1.TRK", "SUB/T1.TRK", 0),
             ("nofolder/x", "nofolder/X.KML", "NOFOLDER/X.KML", 1)]
    for answer, linux_made, win_made, code in cases:
        results = {}
        for kind in ("linux", "win"):
            made = win_made if kind == "win" else linux_made
            pane, d, _ = tracker_batch(env, kind, ["small.log"],
                                    {"small.log": SMALL_LOG, "sub/keep": b""},
                                    [("Read incoming data in real time", "n"),
                                     ("Destination (.KML) file", answer)])
            try:
                if code == 0:
                    pane.wait_text(made + " Generated")
                    rows = pane.wait_quiet(0.5)
                    if kind == "win":
                        key_wait_then_exit(t, pane, 0)
                else:
                    pane.wait_text(made + " Cannot be created")
                    rows = pane.wait_quiet(0.5)
                    if kind == "win":
                        key_wait_then_exit(t, pane, 1)
                if kind == "win":  # the names told apart, the rest the same
                    rows = [(text.replace(win_made, linux_made), c) for text, c in rows]
                results[kind] = (rows, names_in(d),
                                 read_bytes(os.path.join(d, linux_made)) if code == 0 else b"")
            finally:
                pane.close()
        same_screen(t, results["win"][0], results["linux"][0], "answer %r" % answer)
        t.equal(results["win"][1], results["linux"][1], "files after answer %r" % answer)
        t.equal(results["win"][2], results["linux"][2], "%s of answer %r" % (linux_made, answer))


# ---------------------------------------------------------------------------
# live_tracker

def port_free():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind(("0.0.0.0", PORT))
        return True
    except OSError:
        return False
    finally:
        s.close()


HOST_ROW = re.compile(r"Host name \S+$")
LISTEN_ROW = re.compile(r"Listening for broadcasts to \d{1,3}(\.\d{1,3}){3}:16004\.\.\.$")


def live_run(t, env, kind, answer, sender_args, other_key, rows):
    """Starts live_tracker in a pane of `rows` rows, answers the question,
    lets decode_sender play, then Esc and a key. Returns (screen rows before
    the closing key, folder, CSV read before Esc, exit status)."""
    if not port_free():
        raise Abort("UDP port %d is taken by another program" % PORT)
    d = env.new_dir()
    pane = Pane(env, kind, "live_tracker", [], d, rows)
    try:
        pane.wait_text("Destination (.KML) file")
        time.sleep(0.2)
        pane.type(answer)
        pane.keys("Enter")
        pane.wait_text(PRESS_ESC)
        time.sleep(0.3)
        sent = subprocess.run([os.path.join(env.linux_bin, "decode_sender")] + sender_args,
                              capture_output=True, text=True, timeout=60)
        if sent.returncode != 0 or "datagrams sent" not in sent.stdout + sent.stderr:
            raise Abort("decode_sender %s: %s%s" % (sender_args, sent.stdout, sent.stderr))
        pane.wait_quiet(1.0, timeout=60)
        csv_name = os.path.join(d, answer.upper() + ".CSV")
        csv_before_esc = read_bytes(csv_name)
        if other_key:
            pane.type("x")
            time.sleep(1.0)
            t.true(find_row(pane.capture(), TERMINATED) < 0 and pane.status() is None,
                   "%s: a key other than Esc ended the run\n%s" % (kind, pane.dump()))
        pane.keys("Escape")
        pane.wait_text(ANY_KEY, timeout=10)
        screen = pane.wait_quiet(0.5)
        time.sleep(0.5)
        still = pane.status() is None
        t.true(still, "%s live_tracker ended without a key after Esc\n%s" % (kind, pane.dump()))
        status = None
        if still:
            pane.type("k")
            status = pane.wait_exit()
        return screen, d, csv_before_esc, status
    finally:
        pane.close()


def compare_live(t, env, answer, sender_args, other_key=False, rows=ROWS):
    linux = live_run(t, env, "linux", answer, sender_args, other_key, rows)
    win = live_run(t, env, "win", answer, sender_args, other_key, rows)
    t.equal(win[3], 0, "live_tracker.exe exit status after the closing key")
    rows_w, rows_l = win[0], linux[0]
    # The host's name and address rows may differ between the systems: each
    # must have its shape, the rest must be the same.
    for rows, kind in ((rows_w, "win"), (rows_l, "linux")):
        h, l = find_row(rows, "Host name"), find_row(rows, "Listening for broadcasts")
        if t.true(h >= 0 and l >= 0, "%s: no host or address row" % kind):
            t.true(HOST_ROW.match(rows[h][0]) and LISTEN_ROW.match(rows[l][0]),
                   "%s: host rows %r %r" % (kind, rows[h][0], rows[l][0]))
            if kind == "win":
                t.true(all_colour(rows[h][1], 8) and all_colour(rows[l][1], 8),
                       "host rows not in colour 8: %s / %s"
                       % (colour_runs(rows[h][1]), colour_runs(rows[l][1])))
    notes = []
    for pattern in ("Host name", "Listening for broadcasts"):
        w, l = find_row(rows_w, pattern), find_row(rows_l, pattern)
        if w >= 0 and l >= 0:
            if rows_w[w][0] != rows_l[l][0]:
                notes.append("NOTE %r (Windows) vs %r (POSIX)" % (rows_w[w][0], rows_l[l][0]))
            rows_w = rows_w[:w] + [("<%s>" % pattern, [])] + rows_w[w + 1:]
            rows_l = rows_l[:l] + [("<%s>" % pattern, [])] + rows_l[l + 1:]
    for n in notes:
        print("    " + n)
    same_screen(t, rows_w, rows_l, "live_tracker screen")
    kml, csv = answer.upper() + ".KML", answer.upper() + ".CSV"
    for name in (kml, csv):
        t.equal(read_bytes(os.path.join(win[1], name)), read_bytes(os.path.join(linux[1], name)),
                "%s of live_tracker.exe vs POSIX" % name)
    t.equal(win[2], read_bytes(os.path.join(linux[1], csv)),
            "%s of live_tracker.exe before Esc vs POSIX at the end" % csv)
    t.equal(names_in(win[1]), {kml, csv}, "files in the folder")
    return win[0]


def test_live_one_message(t, env):
    rows = compare_live(t, env, "one", ["--message", "DECPAA-MBXAAA", "--time", "12:34"],
                        other_key=True)
    press = find_row(rows, PRESS_ESC)
    will = find_row(rows, "Will generate  ONE.KML And  ONE.CSV")
    t.true(will >= 0 and all_colour(rows[will][1], 5),
           "'Will generate' row missing or not in colour 5")
    if press >= 0:
        report = rows[press + 2]
        t.true(report[0].startswith("12:34  DECPAA-MBXAAA  "), "report row %r" % report[0])
        t.true(all_colour(report[1], 6), "report row not in colour 6: " + colour_runs(report[1]))
        t.equal(rows[press + 3][0], TERMINATED, "row after the report")


def test_live_sample_replay(t, env):
    # The console's buffer is as tall as the pane, and what scrolls out of it
    # is gone: a pane tall enough for the whole run.
    rows = compare_live(t, env, "flight", ["--log", SAMPLE, "--interval", "20"], rows=620)
    press, end = find_row(rows, PRESS_ESC), find_row(rows, TERMINATED)
    if not t.true(0 <= press < end, "no rows between %r and %r" % (PRESS_ESC, TERMINATED)):
        return
    loop = rows[press + 2:end]
    reports = [r for r in loop if r[1] and r[1][0] == 6]
    decodes = [r for r in loop if r[1] and r[1][0] == 3]
    t.equal(len(reports), 40, "report rows (colour 6)")
    t.true(len(decodes) > 400, "only %d decode rows (colour 3)" % len(decodes))
    t.equal(len(reports) + len(decodes), len(loop), "rows in neither colour 6 nor 3")
    for text, colours in reports + decodes:
        t.true(all_colour(colours, colours[0]), "row in several colours: %s |%s"
               % (text, colour_runs(colours)))
    lister = linux_lister_lines(env, SAMPLE)
    t.equal([r[0][7:22] for r in reports], [l[7:22] for l in lister],
            "messages of the report rows vs the log's reports")


def test_live_port_in_use_is_told(t, env):
    held = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        held.bind(("0.0.0.0", PORT))
    except OSError:
        held.close()
        raise Abort("UDP port %d is taken by another program" % PORT)
    try:
        d = env.new_dir()
        pane = Pane(env, "win", "live_tracker", [], d)
        try:
            rows = pane.wait_text("UDP port 16004 Is in use by another program")
            t.true(find_row(rows, "Host name") >= 0 and find_row(rows, "Destination") < 0
                   and find_row(rows, "Listening") < 0,
                   "expected 'Host name', then the line, no question\n" + pane.dump())
            key_wait_then_exit(t, pane, 1)
            t.equal(names_in(d), set(), "files in the folder")
        finally:
            pane.close()
    finally:
        held.close()


def test_live_shares_the_group_and_shows_each_decode_once(t, env):
    """Another program in WSJT-X's group 224.0.0.1 first (a sharing
    listener of the test's own), then live_tracker.exe: a datagram sent to
    the group on loopback reaches both; the same decode twice is shown and
    tracked once."""
    if not port_free():
        raise Abort("UDP port %d is taken by another program" % PORT)
    other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        other.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        other.bind(("0.0.0.0", PORT))
        other.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                         socket.inet_aton("224.0.0.1") + socket.inet_aton("127.0.0.1"))
        other.settimeout(5)
        d = env.new_dir()
        pane = Pane(env, "win", "live_tracker", [], d)
        try:
            pane.wait_text("Destination (.KML) file")
            pane.type("share")
            pane.keys("Enter")
            pane.wait_text(PRESS_ESC)
            time.sleep(0.3)
            for args in (["--message", "DECPAA-MBXAAA", "--time", "12:34", "--count", "2"],
                         ["--message", "CQ END"]):
                sent = subprocess.run([os.path.join(env.linux_bin, "decode_sender"),
                                       "--host", "224.0.0.1"] + args,
                                      capture_output=True, text=True, timeout=30)
                if sent.returncode != 0:
                    raise Abort("decode_sender %s: %s%s" % (args, sent.stdout, sent.stderr))
            rows = pane.wait_text("CQ END")
            press = find_row(rows, PRESS_ESC)
            t.true(press >= 0 and rows[press + 2][0].startswith("12:34  DECPAA-MBXAAA  ")
                   and rows[press + 3][0] == "CQ END" and rows[press + 4][0] == "",
                   "one report row, then CQ END\n" + pane.dump())
            heard = 0
            try:
                while heard < 3:
                    other.recv(65536)
                    heard += 1
            except socket.timeout:
                pass
            t.equal(heard, 3, "datagrams the other listener got")
            pane.keys("Escape")
            pane.wait_text(ANY_KEY, timeout=10)
            key_wait_then_exit(t, pane, 0)
            t.equal(read_bytes(os.path.join(d, "SHARE.CSV")),
                    b"Time, Lat , Long\r\n12:34 , +0051.50000, +000-1.25000\r\n",
                    "SHARE.CSV")
        finally:
            pane.close()
    finally:
        other.close()


# ---------------------------------------------------------------------------
# decode_sender

def wine_type(env, cwd, name):
    """`cmd /c type NAME` under wine: a reader that shares reading only.
    For the instant of a move that puts a state in place, the file that
    takes the name is still open for the move (with the right to delete
    it), and such a reader's open meets a sharing violation, as on Windows:
    the look is tried again, as a reader that refreshes would. Returns the
    status, the text, the errors and how many times it met the violation."""
    for tries in range(10):
        r = subprocess.run(["wine", "cmd", "/c", "type", name], cwd=cwd, env=env.env,
                           capture_output=True, timeout=60)
        if r.returncode == 0 or b"Sharing violation" not in r.stderr:
            break
        time.sleep(0.01)
    return r.returncode, r.stdout, r.stderr, tries


def track_points(kml):
    """The coordinate lines of a track's path."""
    opening = b"\n     <coordinates>\r\n"
    start = kml.find(opening)
    end = kml.find(b"\n        </coordinates>\r\n")
    if start < 0 or end < start:
        return []
    return kml[start + len(opening):end + 1].splitlines()


def test_live_files_open_for_readers_that_share_reading_only(t, env):
    """While live_tracker.exe takes the sample's reports, `cmd /c type`
    (which shares reading only) opens the KML and the CSV again and again,
    tried again at the rare instant of a move: each time a whole document, the first points or rows of the final ones;
    at the end the two files alone are in the folder."""
    if not port_free():
        raise Abort("UDP port %d is taken by another program" % PORT)
    d = env.new_dir()
    kml, csv = "SHARED.KML", "SHARED.CSV"
    seen = {kml: [], csv: []}
    pane = Pane(env, "win", "live_tracker", [], d)
    try:
        pane.wait_text("Destination (.KML) file")
        time.sleep(0.2)
        pane.type("shared")
        pane.keys("Enter")
        pane.wait_text(PRESS_ESC)
        time.sleep(0.3)
        sender = subprocess.Popen([os.path.join(env.linux_bin, "decode_sender"), "--log", SAMPLE,
                                   "--interval", "20"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            while sender.poll() is None:
                for name in seen:
                    seen[name].append(wine_type(env, d, name))
        finally:
            sender.wait(timeout=60)
        pane.wait_quiet(1.0, timeout=60)
        pane.keys("Escape")
        pane.wait_text(ANY_KEY, timeout=10)
        pane.type("k")
        t.equal(pane.wait_exit(), 0, "live_tracker.exe exit status after the closing key")
    finally:
        pane.close()
    final = {name: read_bytes(os.path.join(d, name)) for name in seen}
    partial = 0
    shared_out = 0
    for name, looks in seen.items():
        for code, out, err, tries in looks:
            shared_out += tries > 0
            if not t.true(code == 0, "cmd /c type %s: status %d, %r" % (name, code, err[-200:])):
                continue
            if name == csv:
                t.true(final[csv].startswith(out) and out.endswith(b"\r\n") and len(out) >= 18,
                       "%s as typed is not its first whole rows: %r" % (csv, out[-200:]))
                continue
            points = track_points(out)
            t.true(out.endswith(b"   </kml>\r\n") and points == track_points(final[kml])[:len(points)],
                   "%s as typed is not a whole track of its first points: %r" % (kml, out[-300:]))
            partial += 0 < len(points) < len(track_points(final[kml]))
    t.true(partial >= 1, "no look at the track during the run (%d looks)" % len(seen[kml]))
    looks = len(seen[kml]) + len(seen[csv])
    t.true(shared_out * 10 <= looks, "%d of %d looks met a sharing violation" % (shared_out, looks))
    t.equal(names_in(d), {kml, csv}, "files in the folder")


def sent_datagrams(env, argv, cwd):
    """Runs a decode_sender with a port of our own on the loopback added;
    returns its exit status, what it printed (the port as PORT) and the
    datagrams that arrived, in order."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
        r = subprocess.run(argv + ["--port", str(port)], cwd=cwd, env=env.env,
                           capture_output=True, timeout=120)
        got = []
        s.settimeout(1.0)
        try:
            while True:
                got.append(s.recv(65536))
        except socket.timeout:
            pass
    printed = r.stdout.decode("utf-8", "replace").replace(":%d" % port, ":PORT").strip()
    return r.returncode, printed, got


def test_sender_sends_what_the_posix_one_sends(t, env):
    d = env.new_dir()
    with open(SAMPLE, "rb") as f:
        head = b"".join(f.readlines()[:60])
    with open(os.path.join(d, "log.txt"), "wb") as f:
        f.write(head)
    for args in (["--message", "DECPAA-MBXAAA", "--message", "CQ K1ABC FN42", "--time", "12:34",
                  "--snr", "-7", "--dt", "0.4", "--freq", "1505", "--heartbeats"],
                 ["--log", "log.txt", "--interval", "5"]):
        linux = sent_datagrams(env, [os.path.join(env.linux_bin, "decode_sender")] + args, d)
        win = sent_datagrams(env, ["wine", os.path.join(env.win_bin, "decode_sender.exe")] + args, d)
        what = "decode_sender " + " ".join(args)
        t.equal(linux[0], 0, what + ": POSIX exit status")
        t.true(len(linux[2]) > 1, what + ": POSIX sender sent %d datagrams" % len(linux[2]))
        t.equal(win[0], 0, what + ": decode_sender.exe exit status")
        t.equal(win[1], linux[1], what + ": what decode_sender.exe printed")
        t.equal(win[2], linux[2], what + ": datagrams of decode_sender.exe vs POSIX")


# ---------------------------------------------------------------------------

TESTS = [
    ("log_lister", [test_lister_sample_as_argument, test_lister_prompt_takes_default,
                    test_lister_typed_name_with_accents_and_backspace,
                    test_lister_missing_sources_end_after_a_key]),
    ("log_tracker", [test_tracker_batch_sample_track, test_tracker_destination_answers]),
    ("live_tracker", [test_live_one_message, test_live_sample_replay,
                      test_live_port_in_use_is_told,
                      test_live_shares_the_group_and_shows_each_decode_once,
                      test_live_files_open_for_readers_that_share_reading_only]),
    ("decode_sender", [test_sender_sends_what_the_posix_one_sends]),
]


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    win_bin = os.path.abspath(argv[1])
    linux_bin = os.path.abspath(argv[2] if len(argv) > 2
                                else os.path.join(SOURCE_DIR, "build", "bin"))
    for tool in ("wine", "wineboot", "wineserver", "tmux", "setsid"):
        if shutil.which(tool) is None:
            print("SKIP: %s is not installed" % tool)
            return SKIP
    for name in ("log_lister", "log_tracker", "live_tracker", "decode_sender"):
        if not os.access(os.path.join(linux_bin, name), os.X_OK):
            print("SKIP: the POSIX build's %s is missing in %s (cmake --build build)"
                  % (name, linux_bin))
            return SKIP
    missing = [n for n in ("log_lister", "log_tracker", "live_tracker", "decode_sender")
               if not os.path.isfile(os.path.join(win_bin, n + ".exe"))]
    if missing:
        print("FAIL: missing in %s: %s" % (win_bin, ", ".join(n + ".exe" for n in missing)))
        return 1

    def stop(signum, frame):
        raise SystemExit("stopped by signal %d" % signum)
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)

    print("Windows programs: %s\nPOSIX programs:   %s" % (win_bin, linux_bin))
    started = time.monotonic()
    env = Env(win_bin, linux_bin)
    failed = []
    try:
        env.boot_wine()
        print("wine prefix ready in %.1f s" % (time.monotonic() - started))
        for group, tests in TESTS:
            print("[%s]" % group)
            for fn in tests:
                name = fn.__name__[len("test_"):]
                t = Test(name)
                t0 = time.monotonic()
                try:
                    fn(t, env)
                except Abort as e:
                    t.fail(str(e))
                except Exception:
                    t.fail(traceback.format_exc())
                took = time.monotonic() - t0
                if t.failures:
                    failed.append("%s/%s" % (group, name))
                    print("FAIL %s (%.1f s)" % (name, took))
                    for f in t.failures:
                        print("    " + f.replace("\n", "\n    "))
                else:
                    print("PASS %s (%.1f s)" % (name, took))
                sys.stdout.flush()
    finally:
        env.close()
    print("%d failed: %s" % (len(failed), ", ".join(failed)) if failed else "all passed",
          "(%.0f s)" % (time.monotonic() - started))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
