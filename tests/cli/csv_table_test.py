#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The UTF-8 table of pagewick-list read back by Python's csv module, as other programs read it.

Usage: csv_table_test.py PAGEWICK_LIST A_READABLE_PDF

Files whose names hold a comma, a quote, a blank at the start or end and a line break are
listed; every record must come back with 14 fields and every name exactly as on disk.
"""

import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile

CAPTIONS = ["名前", "タイトル", "サブタイトル", "作成者", "キーワード", "PDF変換", "作成日",
            "暗号", "頁数", "容量", "PDFVer.", "サイズ", "種類", "更新日時"]

PDF_NAMES = [
    "plain.pdf",
    "comma, in the name.pdf",
    'say "hi".pdf',
    '"quoted".pdf',
    " blank first.pdf",
    "line\nbreak.pdf",
    "cr lf\r\nbreak.pdf",
    "報告,書 2024.pdf",
]
# Listed under every type only: the blank at the end is past the extension.
OTHER_NAMES = ["blank last.txt "]


def run(lister, *arguments):
    done = subprocess.run([lister, *arguments], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          check=False)
    if done.returncode != 0:
        sys.exit(f"{arguments}: status {done.returncode}: {done.stderr.decode(errors='replace')}")
    return done.stdout


def check(condition, message):
    if not condition:
        print("FAILED:", message)
        check.failed = True


check.failed = False


def main():
    lister, pdf = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="pagewick-csv-") as folder:
        for name in PDF_NAMES:
            shutil.copyfile(pdf, os.path.join(folder, name))
        for name in OTHER_NAMES:
            with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
                f.write("text\n")
        os.mkdir(os.path.join(folder, "a, folder"))  # folders are not written

        table = run(lister, "--type", "all", "--format", "csv", folder)
        check(run(lister, "--type", "all", "--encoding", "utf8", folder) == table,
              "--encoding utf8 writes the same table as --format csv")
        check(table.startswith(b"\xef\xbb\xbf"), "the table starts with a byte-order mark")
        check(table.endswith(b"\r\n"), "the last record ends with CR LF")
        check(not table[3:].startswith(b" "), "no blanks before the header")

        # strict: a quote where RFC 4180 allows none is an error, not a guess.
        reader = csv.reader(io.StringIO(table.decode("utf-8-sig"), newline=""), strict=True)
        records = list(reader)
        check(records[0] == CAPTIONS, f"one header of the 14 captions: {records[0]}")
        for record in records[1:]:
            check(len(record) == 14, f"14 fields: {record}")
        names = [record[0] for record in records[1:]]
        check(sorted(names) == sorted(PDF_NAMES + OTHER_NAMES),
              f"the names exactly as on disk, once each: {names}")
        for record in records[1:]:
            if record[0] in PDF_NAMES:
                check(record[1] == "Report" and record[3] == "Ann" and record[12] == ".PDF",
                      f"the cells of a PDF row in place: {record}")

        # The same names under the default type, in the order the list has them: by name.
        pdf_only = list(csv.reader(io.StringIO(
            run(lister, "--format", "csv", folder).decode("utf-8-sig"), newline=""), strict=True))
        check([r[0] for r in pdf_only[1:]] == [r[0] for r in records[1:] if r[0] in PDF_NAMES],
              "the PDF rows in the same order under both types")
    return 1 if check.failed else 0


if __name__ == "__main__":
    sys.exit(main())
