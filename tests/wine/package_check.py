#!/usr/bin/env python3
"""The Windows zip holds what a user without a compiler needs.

    package_check.py BUILD_WIN

Looks at the zip that `cpack -G ZIP` left in BUILD_WIN: the three programs,
decode_sender.exe, the sample log and README.txt, whose first screen tells
how to use them (WSJT-X's UDP port 16004), not how to build them.
Exit status 0 when it does, 1 when not, 77 (skipped) when no zip was made.
"""

import glob
import os
import sys
import zipfile

SKIP = 77
EXPECTED = {"live_tracker.exe", "log_tracker.exe", "log_lister.exe", "decode_sender.exe",
            "README.txt", "samples/ALL.TXT"}
FIRST_SCREEN_ROWS = 24


def main(argv):
    zips = glob.glob(os.path.join(argv[1], "wsjt-trackers-*-win64.zip"))
    if not zips:
        print("SKIP: no zip in %s (cpack -G ZIP)" % argv[1])
        return SKIP
    failures = []
    with zipfile.ZipFile(max(zips, key=os.path.getmtime)) as z:
        names = {n.split("/", 1)[1] for n in z.namelist() if not n.endswith("/")}
        if names != EXPECTED:
            failures.append("files: missing %s, not expected %s"
                            % (sorted(EXPECTED - names), sorted(names - EXPECTED)))
        readme = [n for n in z.namelist() if n.endswith("/README.txt")]
        if readme:
            first = z.read(readme[0]).decode("ascii").splitlines()[:FIRST_SCREEN_ROWS]
            text = "\n".join(first)
            for needed in ("16004", "live_tracker", "log_tracker", "log_lister"):
                if needed not in text:
                    failures.append("README.txt: %r not on its first screen" % needed)
            for building in ("cmake", "compile", "build"):
                if building in text.lower():
                    failures.append("README.txt: %r on its first screen" % building)
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
