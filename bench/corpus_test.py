#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Holds the benchmark's corpus to what the measurements assume of it.

  corpus_test.py PAGEWICK_LIST PAGEWICK_IOFLOOR

A small corpus must come out the same twice from one seed and differently from another; every
file must pass qpdf --check and pdfinfo, and its classic cross-reference sections must hold
20-byte entries that point at their objects (qpdf and pdfinfo repair such faults silently); the
lister must read every file without complaint, give the page count that a walk of the page tree
finds and tell encrypted files as pdfinfo does; the I/O floor must count every file. Exit
status 77 (skipped) when qpdf or pdfinfo is missing.
"""

import csv
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
N = 60
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def generate(folder, seed, verify=False):
    argv = [sys.executable, os.path.join(HERE, "make_corpus.py"), folder, str(N), "--seed",
            str(seed)] + (["--verify", str(N)] if verify else [])
    result = subprocess.run(argv, capture_output=True, text=True)
    check(result.returncode == 0, "make_corpus.py seed %d: %s" % (seed, result.stderr[-2000:]))
    return result.stdout


def same_tree(a, b):
    names = sorted(os.listdir(a))
    if names != sorted(os.listdir(b)):
        return False
    match, mismatch, errors = filecmp.cmpfiles(a, b, names, shallow=False)
    return not mismatch and not errors


ENTRY = re.compile(rb"(\d{10}) (\d{5}) ([nf])(?:\r\n| \n| \r)")


def xref_offsets(data, name):
    """Object offsets from the classic sections, newest first along /Prev, and the trailer of
    the newest; every entry must be 20 bytes and every in-use one must point at its object."""
    offsets, newest, start, seen = {}, None, None, set()
    found = re.findall(rb"startxref\s+(\d+)", data[-1024:])
    start = int(found[-1]) if found else -1
    while start >= 0 and start not in seen:
        seen.add(start)
        check(data[start:start + 4] == b"xref", "%s: no xref keyword at %d" % (name, start))
        pos = start + 4
        while True:
            header = re.compile(rb"\s*(\d+) (\d+)[ \t]*(?:\r\n|\n|\r)").match(data, pos)
            if not header:
                break
            pos = header.end()
            for number in range(int(header[1]), int(header[1]) + int(header[2])):
                entry = ENTRY.match(data, pos)
                check(entry is not None, "%s: bad xref entry %r" % (name, data[pos:pos + 20]))
                if entry is None:
                    return offsets, newest or b""
                pos = entry.end()
                offset = int(entry[1])
                if entry[3] == b"n" and number not in offsets:
                    offsets[number] = offset
                    check(re.match(rb"%d %d obj" % (number, int(entry[2])), data[offset:]),
                          "%s: object %d is not at %d" % (name, number, offset))
        trailer = data[pos:data.find(b"startxref", pos)]
        newest = trailer if newest is None else newest
        prev = re.search(rb"/Prev (\d+)", trailer)
        start = int(prev[1]) if prev else -1
    return offsets, newest or b""


def page_count(path):
    """The pages of the file counted by walking its page tree, checking /Count and /Parent."""
    name = os.path.basename(path)
    with open(path, "rb") as f:
        data = f.read()
    offsets, trailer = xref_offsets(data, name)

    def body(number):
        at = offsets.get(number, 0)
        return data[at:data.find(b"endobj", at)]

    def ref(text, key):
        found = re.search(rb"/%s (\d+) 0 R" % key, text)
        return int(found[1]) if found else None

    def walk(number, parent, depth):
        node = body(number)
        check(ref(node, b"Parent") == parent, "%s: object %d has the wrong parent" % (
            name, number))
        if re.search(rb"/Type /Page(?![s\w])", node):
            return 1
        kids = re.search(rb"/Kids \[([^\]]*)\]", node)
        check(kids and depth < 20, "%s: page tree node %d has no kids" % (name, number))
        leaves = sum(walk(int(k), number, depth + 1)
                     for k in re.findall(rb"(\d+) 0 R", kids[1] if kids else b""))
        count = re.search(rb"/Count (\d+)", node)
        check(count and int(count[1]) == leaves, "%s: /Count of %d is not %d" % (
            name, number, leaves))
        return leaves

    root = ref(trailer, b"Root")
    pages = ref(body(root), b"Pages") if root else None
    check(pages is not None, "%s: no catalog with /Pages" % name)
    return walk(pages, None, 0) if pages else 0


def pdfinfo_encrypted(path):
    out = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
    return re.search(r"^Encrypted:\s+yes", out, re.M) is not None


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    lister, iofloor = sys.argv[1:]
    if not (shutil.which("qpdf") and shutil.which("pdfinfo")):
        print("qpdf or pdfinfo is missing")
        return 77
    with tempfile.TemporaryDirectory() as work:
        first, again, other = (os.path.join(work, n) for n in ("a", "b", "c"))
        summary = generate(first, 7, verify=True)
        generate(again, 7)
        generate(other, 8)
        check(same_tree(first, again), "seed 7 gave different files on the second run")
        check(not same_tree(first, other), "seeds 7 and 8 gave the same files")
        counts = re.search(r"\((\d+) encrypted, (\d+) updated\)", summary)
        check(counts and int(counts[1]) > 0 and int(counts[2]) > 0,
              "no encrypted or no updated file among %d: %s" % (N, summary))

        names = sorted(os.listdir(first))
        check(names == ["doc%05d.pdf" % i for i in range(1, N + 1)], "file names %s" % names[:3])
        for name in names:
            path = os.path.join(first, name)
            check(1800 <= os.path.getsize(path) <= 2200 * 1024, "%s: size %d" % (
                name, os.path.getsize(path)))

        floor = subprocess.run([iofloor, first], capture_output=True, text=True)
        check(floor.returncode == 0 and floor.stdout.strip() == str(N),
              "pagewick-iofloor: %d %r %r" % (floor.returncode, floor.stdout, floor.stderr))

        listed = subprocess.run([lister, "--type", "pdf", "--format", "tsv", first],
                                capture_output=True, text=True, encoding="utf-8")
        check(listed.returncode == 0 and not listed.stderr,
              "pagewick-list %d: %s" % (listed.returncode, listed.stderr[:2000]))
        rows = list(csv.reader(listed.stdout.splitlines(), delimiter="\t",
                               quoting=csv.QUOTE_NONE))
        by_name = {row[0]: row for row in rows[1:] if row and row[0].endswith(".pdf")}
        check(sorted(by_name) == names, "pagewick-list listed %d of %d files" % (
            len(by_name), N))
        header = rows[0] if rows else []
        pages_col, crypt_col = header.index("頁数"), header.index("暗号")
        for name, row in sorted(by_name.items()):
            pages, encrypted = page_count(os.path.join(first, name)), pdfinfo_encrypted(
                os.path.join(first, name))
            check(row[pages_col] == str(pages), "%s: %s pages, page tree %d" % (
                name, row[pages_col], pages))
            check((row[crypt_col] != "無し") == encrypted, "%s: encryption %s, pdfinfo %s" % (
                name, row[crypt_col], encrypted))
    for message in failures:
        print(message)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
