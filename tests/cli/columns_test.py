#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""pagewick-list --columns over files made by real tools: the optional columns' cells in the
CSV table, sorting by them, and the code page 932 list keeping its own columns.

    columns_test.py PAGEWICK_LIST FEATURE_FIXTURES_DIR
"""

import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile

FILES = ["a3-landscape.pdf", "b5-jis.pdf", "hagaki.pdf", "mixed-a4-a3.pdf", "a4-rotated.pdf",
         "restricted-print.pdf", "signed-then-updated.pdf", "pdfa-2b-gs.pdf", "r2l-b5.pdf"]
# name: paper, permissions, signatures, changed after signing, PDF/A, binding
EXPECTED = {
    "a3-landscape.pdf": ["A3 横", "", "", "", "", ""],
    "b5-jis.pdf": ["B5 (JIS) 縦", "", "", "", "", ""],
    "hagaki.pdf": ["はがき 縦", "", "", "", "", ""],
    "mixed-a4-a3.pdf": ["A4 縦 混在", "", "", "", "", ""],
    "a4-rotated.pdf": ["A4 横", "", "", "", "", ""],
    "restricted-print.pdf": ["A3 横", "印刷×", "", "", "", ""],
    "signed-then-updated.pdf": ["A4 縦", "", "1", "あり", "", ""],
    "pdfa-2b-gs.pdf": ["B5 (JIS) 縦", "", "", "", "2B", ""],
    "r2l-b5.pdf": ["B5 (JIS) 縦", "", "", "", "", "右綴じ"],
}


def run(lister, *args):
    done = subprocess.run([lister, *args], capture_output=True)
    return done.returncode, done.stdout, done.stderr.decode("utf-8", "replace")


def main():
    lister, fixtures = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        for name in FILES:
            shutil.copy(os.path.join(fixtures, name), folder)
        # Captions and ids alike, sorted by the paper's area, largest first.
        status, out, err = run(lister, "--format", "csv", "--columns",
                               "name,用紙,permissions,署名,changed-after-signing,pdfa,綴じ",
                               "--sort", "-paper", folder)
        if status != 0:
            failures.append("csv: exit %d %s" % (status, err))
        rows = list(csv.reader(io.StringIO(out.decode("utf-8-sig"))))
        if rows and rows[0] != ["名前", "用紙", "権限", "署名", "署名後の変更", "PDF/A", "綴じ"]:
            failures.append("header %r" % rows[0])
        for row in rows[1:]:
            if EXPECTED.get(row[0]) != row[1:]:
                failures.append("%s: %r, expected %r" % (row[0], row[1:], EXPECTED.get(row[0])))
        # A3 (two files) first, はがき last; A4 横 before A4 縦 … 混在 by the text.
        order = [row[0] for row in rows[1:]]
        if order[:2] != ["a3-landscape.pdf", "restricted-print.pdf"] or order[-1] != "hagaki.pdf":
            failures.append("order by paper: %r" % order)
        # The list in code page 932 keeps its 14 columns.
        status, out, err = run(lister, folder)
        header = out.split(b"\r\n")[1]
        if status != 0 or header.count(b",") != 13:
            failures.append("list header %r (exit %d)" % (header, status))
    for f in failures:
        print("FAIL", f)
    print("%d passed, %d failed" % (0 if failures else 1, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
