#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes N synthetic PDF files for the speed benchmark.

  make_corpus.py DIR N [--seed S] [--verify K] [--modern]
  make_corpus.py DIR N --links-from CORPUS

The same seed gives the same files, byte for byte. Every file has a classic cross-reference
table (no cross-reference streams, no object streams), a real page tree of 1-300 pages and an
information dictionary whose strings use the forms found in real files: plain and escaped
literals, hexadecimal strings, UTF-16BE with its byte-order mark (hexadecimal and literal), raw
Shift-JIS, EUC-JP and PDFDocEncoding bytes. Sizes spread log-uniformly from 2 KB to 2 MB (a
filler stream of random bytes makes up the size). About 10% are RC4-encrypted by qpdf with an
empty user password, and about 10% carry one or two incremental updates that add a new
information dictionary.

--modern writes the same documents as PDF 1.5 writers do: qpdf rewrites every file with a
cross-reference stream and object streams (--object-streams=generate), its streams compressed
and the filler stream left as it is (it is random bytes), deterministically (--static-id).

--verify K checks K files spread over the folder, and every encrypted or updated one among the
first K*10, with qpdf --check and pdfinfo; any complaint makes the exit status 1.
"""

import argparse
import concurrent.futures
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

WORDS = ["annual", "report", "minutes", "budget", "draft", "survey", "manual", "invoice", "plan",
         "review", "summary", "notes", "quarterly", "design", "proposal", "results", "index"]
NAMES = ["Ann Baker", "Kenji Sato", "Marta Olsen", "R. Iyer", "Li Wei", "J. Smith & Co."]
TOOLS = ["Paperline Writer 3.2", "DocuForge 1.1", "Quillset 7", "TypeMill PDF 0.9 (build 4411)"]
# 表 and ソ end in the byte 0x5C in Shift-JIS, which a literal must escape.
JAPANESE = ["会議資料", "見積書　第３版", "表示ソフトの説明", "年次報告書（概要）",
            "議事録・営業部", "能力開発計画", "ﾃｽﾄ文書"]
LATIN = ["Café crème", "Übersicht für Käufer", "Niño año", "Øresund façade", "Señor Müller"]
KEYS = ["Title", "Subject", "Author", "Keywords", "Producer", "Creator"]


def literal(data):
    """A literal string holding exactly these bytes."""
    for raw, escaped in ((b"\\", b"\\\\"), (b"(", b"\\("), (b")", b"\\)"), (b"\r", b"\\r"),
                         (b"\n", b"\\n")):
        data = data.replace(raw, escaped)
    return b"(" + data + b")"


def octal_literal(data):
    """A literal string with every byte outside printable ASCII as an octal escape."""
    out = b"".join(bytes([c]) if 0x20 <= c < 0x7F and c not in b"\\()" else b"\\%03o" % c
                   for c in data)
    return b"(" + out + b")"


def hex_string(data, rng):
    digits = data.hex()
    return b"<" + (digits.upper() if rng.random() < 0.7 else digits).encode() + b">"


def phrase(rng, count):
    return " ".join(rng.choice(WORDS) for _ in range(count)).capitalize()


def text_value(rng, key):
    """One information string in one of the string forms, as it is written in the file."""
    ascii_text = rng.choice(NAMES) if key == "Author" else (
        rng.choice(TOOLS) if key in ("Producer", "Creator") else phrase(rng, rng.randint(1, 6)))
    form = rng.choices(["ascii", "escaped", "hex", "utf16hex", "utf16lit", "utf16oct", "sjis",
                        "eucjp", "pdfdoc"], [30, 10, 6, 14, 6, 4, 14, 6, 10])[0]
    if form == "ascii":
        return literal(ascii_text.encode())
    if form == "escaped":
        # Escaped and balanced parentheses, a backslash, octal escapes (e acute, bullet).
        return b"(%s \\(draft %d\\) (rev. %d) a\\\\b caf\\351 \\200 \\t%s)" % (
            ascii_text.encode(), rng.randint(1, 9), rng.randint(1, 30), rng.choice(WORDS).encode())
    if form == "hex":
        return hex_string(ascii_text.encode(), rng)
    text = rng.choice(JAPANESE + LATIN) + " " + ascii_text
    if form == "utf16hex":
        return hex_string(b"\xfe\xff" + text.encode("utf-16-be"), rng)
    if form == "utf16lit":
        return literal(b"\xfe\xff" + text.encode("utf-16-be"))
    if form == "utf16oct":
        return octal_literal(b"\xfe\xff" + text.encode("utf-16-be"))
    if form == "sjis":
        return literal(rng.choice(JAPANESE).encode("cp932") + b" " + ascii_text.encode())
    if form == "eucjp":
        return literal(rng.choice(JAPANESE[:-1]).encode("euc_jp") + b" " + ascii_text.encode())
    # PDFDocEncoding agrees with Latin-1 for these letters; 0x84 is the em dash, 0x80 the bullet.
    return literal(rng.choice(LATIN).encode("latin-1") + b" \x84 \x80 " + ascii_text.encode())


def pdf_date(rng):
    t = (rng.randint(1994, 2024), rng.randint(1, 12), rng.randint(1, 28), rng.randint(0, 23),
         rng.randint(0, 59), rng.randint(0, 59))
    full = "%04d%02d%02d%02d%02d%02d" % t
    shape = rng.choices(["jst", "utc", "west", "none", "y", "ym", "ymd", "ymdhm"],
                        [50, 10, 10, 10, 5, 5, 5, 5])[0]
    zone = {"jst": "+09'00'", "utc": "Z", "west": "-05'00'"}.get(shape, "")
    cut = {"y": 4, "ym": 6, "ymd": 8, "ymdhm": 12}.get(shape, 14)
    return literal(("D:" + full[:cut] + zone).encode())


def info_dict(rng, eol, extra_keys=()):
    keys = [k for k in KEYS if rng.random() < 0.8] + ["CreationDate"] * (rng.random() < 0.9)
    keys += list(extra_keys)
    entries = [(k, pdf_date(rng) if k.endswith("Date") else text_value(rng, k)) for k in keys]
    style = rng.choice(["lines", "spaced", "compact"])
    if style == "compact":
        return b"<<" + b"".join(b"/%s%s" % (k.encode(), v) for k, v in entries) + b">>"
    if style == "spaced":
        return b"<< " + b" ".join(b"/%s %s" % (k.encode(), v) for k, v in entries) + b" >>"
    return b"<<" + eol + b"".join(b"/%s %s%s" % (k.encode(), v, eol) for k, v in entries) + b">>"


def xref_entry(offset, eol, free=False):
    ending = b"\r\n" if eol == b"\r\n" else b" " + eol
    return b"%010d %05d %s%s" % (offset, 65535 if free else 0, b"f" if free else b"n", ending)


class Writer:
    """Objects appended to a growing file, with their offsets remembered."""

    def __init__(self, version, eol):
        self.eol = eol
        self.data = bytearray(b"%%PDF-%s%s%%\xe2\xe3\xcf\xd3%s" % (version.encode(), eol, eol))
        self.offsets = {}

    def obj(self, number, body):
        self.offsets[number] = len(self.data)
        self.data += b"%d 0 obj%s%s%sendobj%s" % (number, self.eol, body, self.eol, self.eol)

    def stream(self, number, payload):
        self.offsets[number] = len(self.data)
        self.data += b"%d 0 obj%s<< /Length %d >>%sstream\r\n" % (
            number, self.eol, len(payload), self.eol)
        self.data += payload + b"%sendstream%sendobj%s" % (self.eol, self.eol, self.eol)

    def xref(self, subsections, trailer):
        """One cross-reference section over (first, [offsets or None for free]) subsections."""
        start = len(self.data)
        self.data += b"xref" + self.eol
        for first, offsets in subsections:
            self.data += b"%d %d%s" % (first, len(offsets), self.eol)
            for offset in offsets:
                self.data += xref_entry(offset or 0, self.eol, offset is None)
        self.data += b"trailer%s%s%sstartxref%s%d%s%%%%EOF%s" % (
            self.eol, trailer, self.eol, self.eol, start, self.eol, self.eol)
        return start


def trailer(rng, size, info, prev=None, file_id=None):
    parts = [b"/Size %d" % size, b"/Root 1 0 R", b"/Info %d 0 R" % info]
    if prev is not None:
        parts.append(b"/Prev %d" % prev)
    if file_id:
        parts.append(b"/ID [<%s> <%s>]" % (file_id, file_id))
    if rng.random() < 0.3:
        return b"<<" + b"".join(parts).replace(b" /", b"/") + b">>"
    return b"<< " + b" ".join(parts) + b" >>"


def page_tree(pages, fanout, first_number):
    """Numbers and bodies of a page tree whose root is object 2: [(number, body)]."""
    numbers = iter(range(first_number, first_number + 2 * pages + 2))
    leaves = [next(numbers) for _ in range(pages)]
    level = [(n, 1, None) for n in leaves]  # (number, leaf count, kids or None for a page)
    while len(level) > fanout:
        level = [(next(numbers), sum(c for _, c, _ in group), group)
                 for group in (level[i:i + fanout] for i in range(0, len(level), fanout))]
    root = (2, pages, level)
    bodies, parents = [], {}

    def walk(node):
        number, count, kids = node
        for kid in kids or ():
            parents[kid[0]] = number
            walk(kid)
        parent = b" /Parent %d 0 R" % parents[number] if number in parents else b""
        if kids is None:
            bodies.append((number, b"<< /Type /Page%s >>" % parent))
            return
        refs = b" ".join(b"%d 0 R" % k[0] for k in kids)
        extra = b"" if parent else b" /MediaBox [0 0 595 842] /Resources << >>"
        bodies.append((number, b"<< /Type /Pages%s /Kids [%s] /Count %d%s >>" % (
            parent, refs, count, extra)))

    walk(root)
    return sorted(bodies), max(n for n, _ in bodies)


def build(rng, encrypted):
    """The bytes of one document, and what it holds: (data, updates)."""
    eol = rng.choices([b"\n", b"\r\n", b"\r"], [70, 25, 5])[0]
    version = "1.%d" % rng.randint(2, 7)
    target = int(math.exp(rng.uniform(math.log(2048), math.log(2 * 1024 * 1024))))
    band = rng.choices([(1, 5), (6, 30), (31, 120), (121, 300)], [40, 30, 20, 10])[0]
    pages = rng.randint(*band)
    tree, last = page_tree(pages, rng.randint(4, 24), 4)
    info_number, filler_number = 3, last + 1
    size = filler_number + 1
    w = Writer(version, eol)
    w.obj(1, b"<< /Type /Catalog /Pages 2 0 R /PieceFiller %d 0 R >>" % filler_number)
    info = info_dict(rng, eol)
    info_first = rng.random() < 0.5
    if info_first:
        w.obj(info_number, info)
    for number, body in tree:
        w.obj(number, body)
    w.stream(filler_number, b"")
    room = target - len(w.data) - 250 - 20 * size - (0 if info_first else len(info))
    if room > 0:
        # Rewrite the filler at its size; the objects before it keep their offsets.
        del w.data[w.offsets[filler_number]:]
        w.stream(filler_number, rng.randbytes(room))
    if not info_first:
        w.obj(info_number, info)
    file_id = rng.randbytes(16).hex().upper().encode() if rng.random() < 0.6 else None
    offsets = [None] + [w.offsets[n] for n in range(1, size)]
    start = w.xref([(0, offsets)], trailer(rng, size, info_number, file_id=file_id))
    updates = 0 if encrypted or rng.random() >= 0.1 else rng.choice([1, 2])
    for _ in range(updates):
        # Updates as writers make them: a new object in a subsection of its own, the same after
        # the head of the free list, or the old number given a new body.
        shape = rng.choices(["new", "withfree", "reuse"], [50, 25, 25])[0]
        number = info_number if shape == "reuse" else size
        w.obj(number, info_dict(rng, eol, ["ModDate"]))
        subsections = [(number, [w.offsets[number]])]
        if shape == "withfree":
            subsections.insert(0, (0, [None]))
        size = max(size, number + 1)
        start = w.xref(subsections, trailer(rng, size, number, prev=start, file_id=file_id))
        info_number = number
    return bytes(w.data), updates


def encrypt(job):
    """qpdf rewrites plain into out: encrypted with bits when given, with cross-reference and
    object streams when modern."""
    plain, out, bits, modern = job
    layout = (["--object-streams=generate", "--compress-streams=y"] if modern else
              ["--object-streams=disable", "--compress-streams=n"])
    crypt = ["--encrypt", "", "owner", str(bits), "--"] if bits else []
    result = subprocess.run(
        ["qpdf", "--allow-weak-crypto", "--static-id", *layout, "--decode-level=none", *crypt,
         plain, out], capture_output=True, text=True)
    os.unlink(plain)
    return out, result.returncode, result.stderr.strip()


def verify(paths):
    """Complaints of qpdf --check and pdfinfo about the files, one line each."""
    problems = []
    for path in paths:
        check = subprocess.run(["qpdf", "--check", path], capture_output=True, text=True)
        if check.returncode != 0:
            problems.append("%s: qpdf --check %d: %s" % (
                path, check.returncode, (check.stderr or check.stdout).strip()[:300]))
        info = subprocess.run(["pdfinfo", path], capture_output=True, text=True)
        if info.returncode != 0 or info.stderr.strip():
            problems.append("%s: pdfinfo %d: %s" % (path, info.returncode,
                                                     info.stderr.strip()[:300]))
    return problems


def link_corpus(source, target, n):
    """A folder of n entries named as make_corpus names them, each a hard link to the next
    file of source in turn: as many entries as wanted for the disk space of source alone."""
    began = time.monotonic()
    files = sorted(e.path for e in os.scandir(source) if e.is_file())
    if not files:
        sys.exit("make_corpus.py: no files in %s" % source)
    os.makedirs(target, exist_ok=True)
    width = max(5, len(str(n)))
    for index in range(1, n + 1):
        os.link(files[(index - 1) % len(files)],
                os.path.join(target, "doc%0*d.pdf" % (width, index)))
    print("%d links to the %d files of %s in %s, %.1f s" % (
        n, len(files), source, target, time.monotonic() - began))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("dir")
    parser.add_argument("n", type=int)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--verify", type=int, default=0, metavar="K")
    parser.add_argument("--modern", action="store_true",
                        help="cross-reference and object streams, compressed (by qpdf)")
    parser.add_argument("--links-from", metavar="CORPUS",
                        help="N names hard-linked to the files of CORPUS in turn, for a folder "
                             "of many entries without their bytes")
    args = parser.parse_args()
    if args.n < 1:
        parser.error("N must be at least 1")
    if args.links_from:
        link_corpus(args.links_from, args.dir, args.n)
        return
    if not shutil.which("qpdf"):
        sys.exit("make_corpus.py: qpdf is needed for the encrypted files (package qpdf)")
    os.makedirs(args.dir, exist_ok=True)
    began = time.monotonic()
    width = max(5, len(str(args.n)))
    work = tempfile.mkdtemp(prefix="pagewick-corpus-")
    jobs, kinds, total = [], {"encrypted": [], "updated": []}, 0
    for index in range(1, args.n + 1):
        rng = random.Random("%d:%d" % (args.seed, index))
        encrypted = rng.random() < 0.1
        data, updates = build(rng, encrypted)
        name = os.path.join(args.dir, "doc%0*d.pdf" % (width, index))
        if encrypted or args.modern:
            plain = os.path.join(work, os.path.basename(name))
            with open(plain, "wb") as f:
                f.write(data)
            jobs.append((plain, name, rng.choice([40, 128]) if encrypted else None, args.modern))
            if encrypted:
                kinds["encrypted"].append(name)
            elif updates:
                kinds["updated"].append(name)
        else:
            with open(name, "wb") as f:
                f.write(data)
            total += len(data)
            if updates:
                kinds["updated"].append(name)
    failed = []
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        for out, code, message in pool.map(encrypt, jobs):
            # Exit status 3 is qpdf's "done, with warnings".
            if code not in (0, 3):
                failed.append("%s: qpdf %d: %s" % (out, code, message))
            elif os.path.exists(out):
                total += os.path.getsize(out)
    shutil.rmtree(work, ignore_errors=True)
    print("%d files (%d encrypted, %d updated), %.1f MiB in %s, %.1f s" % (
        args.n, len(kinds["encrypted"]), len(kinds["updated"]), total / 1048576, args.dir,
        time.monotonic() - began))
    if args.verify:
        names = sorted(os.listdir(args.dir))
        step = max(1, len(names) // args.verify)
        sample = {os.path.join(args.dir, n) for n in names[::step]}
        limit = os.path.join(args.dir, names[min(len(names), args.verify * 10) - 1])
        sample |= {p for p in kinds["encrypted"] + kinds["updated"] if p <= limit}
        failed += verify(sorted(sample))
        print("verified %d files with qpdf --check and pdfinfo" % len(sample))
    for line in failed:
        print(line, file=sys.stderr)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
