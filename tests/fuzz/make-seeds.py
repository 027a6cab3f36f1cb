#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed corpus of every fuzz target into OUT/<target>/.

    tests/fuzz/make-seeds.py OUT [EXTRA_PDF_FOLDER...]

Seeds come from the PDF files under tests/data, from small files built here with exact
offsets (updates, hexadecimal and UTF-16 values, encryption dictionaries, damaged tails),
and from PDF files up to MAX_PDF bytes in any extra folder named. Nothing is written into
the source tree.
"""

import codecs
import hashlib
import os
import sys
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
DATA = HERE.parent / "data"
MAX_PDF = 32 * 1024  # the -max_len of fuzz_pdfinfo; a cut file would lose its tail

# Index into the password table of fuzz_pdfinfo.cpp (the first input byte, bits 0-2).
PASSWORDS = {"": 0, "user": 1, "owner": 2, "same": 3, "sixsix": 4,
             "abcdefghijklmnopqrstuvwxyz012345": 5}
KEYS = ["/producer", "/creator", "/author", "/creationdate",
        "/moddate", "/title", "/subject", "/keywords"]


def put(folder, data):
    folder.mkdir(parents=True, exist_ok=True)
    (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)


def build(objects, trailer, header=b"%PDF-1.4", updates=()):
    """A file of objects {n: body} with one section, then one section per update."""
    out = bytearray(header + b"\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}

    def write_objects(objs):
        for n, body in objs.items():
            offsets[n] = len(out)
            out.extend(b"%d 0 obj\n%s\nendobj\n" % (n, body))

    def section(numbers, entries, prev):
        at = len(out)
        out.extend(b"xref\n")
        runs, start = [], None
        for n in sorted(numbers):
            if start is None or n != runs[-1][1] + 1:
                runs.append([n, n])
            else:
                runs[-1][1] = n
            start = n
        for first, last in runs:
            out.extend(b"%d %d\n" % (first, last - first + 1))
            for n in range(first, last + 1):
                if n == 0:
                    out.extend(b"0000000000 65535 f\r\n")
                else:
                    out.extend(b"%010d 00000 n\r\n" % offsets[n])
        extra = b" /Prev %d" % prev if prev is not None else b""
        out.extend(b"trailer\n<< %s%s >>\nstartxref\n%d\n%%%%EOF\n" % (entries, extra, at))
        return at

    write_objects(objects)
    prev = section([0] + list(objects), trailer, None)
    for objs, entries in updates:
        write_objects(objs)
        prev = section([0] + list(objs), entries, prev)
    return bytes(out)


def synthetic_pdfs():
    info = b"<< /Title (Report) /Author (Ann) /CreationDate (D:20050412153000+09'00') >>"
    catalog = b"<< /Type /Catalog /Pages 3 0 R >>"
    pages = b"<< /Type /Pages /Kids [] /Count 12 >>"
    base = {1: catalog, 2: info, 3: pages}
    yield build(base, b"/Size 4 /Root 1 0 R /Info 2 0 R")
    yield build(base, b"/Size 4 /Root 1 0 R /Info 2 0 R /ID [<0123456789ABCDEF0123456789ABCDEF>"
                b"<0123456789ABCDEF0123456789ABCDEF>]")
    yield build(base, b"/Size 4 /Root 1 0 R /Info 2 0 R",
                updates=[({4: b"<< /Title <FEFF30423044> /Producer (p) >>"},
                          b"/Size 5 /Root 1 0 R /Info 4 0 R")])
    yield build({1: b"<< /Type /Catalog /Pages << /Type /Pages /Count 3 >> >>",
                 2: b"<< /Title 5 0 R/Author (Ann)\n/Subject <FEFF0041>>>",
                 5: b"(Indirect)"}, b"/Size 6 /Root 1 0 R /Info 2 0 R")
    yield build({1: catalog, 2: b"<< /Title (\\376\\377\\000A\\000B) /Keywords (a\\) b) >>",
                 3: pages}, b"/Size 4 /Root 1 0 R /Info 2 0 R")
    yield build({1: catalog, 2: info, 3: pages,
                 4: b"<< /Filter /Standard /V 1 /R 2 /O (0123456789abcdef0123456789abcdef)"
                    b" /U (0123456789abcdef0123456789abcdef) /P -1340 /Length 40 >>"},
                b"/Size 5 /Root 1 0 R /Info 2 0 R /Encrypt 4 0 R /ID [<00><00>]")
    yield build({1: catalog, 2: info, 3: b"<< /Count 7 0 R >>", 7: b"42"},
                b"/Size 8 /Root 1 0 R /Info 2 0 R")
    # Damaged tails and chains.
    yield build(base, b"/Size 4 /Root 1 0 R /Info 2 0 R /Prev 0")
    yield build(base, b"/Size 4 /Root 99999999999 0 R /Info -5 0 R")
    yield b"%PDF-1.4\nstartxref 999999\n%%EOF\n"
    yield b"%PDF-1.4\ntrailer << /Root 1 0 R >>\nstartxref\n9\n%%EOF\n"
    # Cross-reference streams and object streams, with and without a PNG predictor.
    for predictor in (False, True):
        yield modern({1: catalog}, {2: info, 3: pages}, predictor)
    yield modern({1: catalog, 3: pages}, {2: info}, True, trailer=b"/Info 2 0 R /Prev 0")


def modern(direct, compressed, predictor, trailer=b"/Info 2 0 R"):
    """Objects direct in the body, compressed in object stream 10, and cross-reference
    stream 11 (rows of widths 1 4 2, Up-filtered under a PNG predictor when asked)."""
    out = bytearray(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
    rows = {0: (0, 0, 65535)}
    for n, body in direct.items():
        rows[n] = (1, len(out), 0)
        out += b"%d 0 obj\n%s\nendobj\n" % (n, body)
    header, body = b"", b""
    for k, (n, text) in enumerate(compressed.items()):
        header += b"%d %d " % (n, len(body))
        body += text + b"\n"
        rows[n] = (2, 10, k)
    data = zlib.compress(header + body)
    rows[10] = (1, len(out), 0)
    out += (b"10 0 obj\n<< /Type /ObjStm /N %d /First %d /Filter /FlateDecode /Length %d >>\n"
            b"stream\n" % (len(compressed), len(header), len(data))) + data + b"\nendstream\nendobj\n"
    at = len(out)
    rows[11] = (1, at, 0)
    raw, previous = b"", bytes(7)
    for n in range(12):
        t, a, b = rows.get(n, (0, 0, 0))
        row = bytes([t]) + a.to_bytes(4, "big") + b.to_bytes(2, "big")
        if predictor:
            raw += b"\x02" + bytes((x - y) & 0xFF for x, y in zip(row, previous))
            previous = row
        else:
            raw += row
    data = zlib.compress(raw)
    parms = b" /DecodeParms << /Predictor 12 /Columns 7 >>" if predictor else b""
    out += (b"11 0 obj\n<< /Type /XRef /Size 12 /W [1 4 2] /Root 1 0 R %s /Filter /FlateDecode"
            b"%s /Length %d >>\nstream\n" % (trailer, parms, len(data))) + data
    out += b"\nendstream\nendobj\nstartxref\n%d\n%%%%EOF\n" % at
    return bytes(out)


def pdf_files(extra):
    for path in sorted(DATA.rglob("*")):
        if path.suffix.lower() == ".pdf" and path.is_file():
            yield path.read_bytes()
    for folder in extra:
        for path in sorted(Path(folder).rglob("*")):
            if path.suffix.lower() == ".pdf" and path.is_file() and \
                    path.stat().st_size <= MAX_PDF:
                yield path.read_bytes()


def crypt_passwords():
    """The file name and its passwords from tests/data/crypt/params.tsv."""
    table = DATA / "crypt" / "params.tsv"
    result = {}
    if table.exists():
        rows = table.read_text().splitlines()
        head = rows[0].split("\t")
        for row in rows[1:]:
            cells = dict(zip(head, row.split("\t")))
            result[cells["file"]] = [cells.get("user", ""), cells.get("owner", "")]
    return result


def info_pieces(pdf):
    """The lines of a file that hold an information key, as ReadInfoText meets them."""
    for line in pdf.replace(b"\r", b"\n").split(b"\n"):
        lowered = line.lower()
        if any(key.encode() in lowered for key in KEYS):
            yield line[:512]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = Path(sys.argv[1])
    extra = sys.argv[2:]
    targets = {name: out / name for name in ("pdfinfo", "infotext", "text", "encoding",
                                                "pdfdate")}
    passwords = crypt_passwords()
    for path in sorted((DATA / "crypt").glob("*.pdf")):
        data = path.read_bytes()
        for password in set([""] + passwords.get(path.name, [])):
            mode = PASSWORDS.get(password, 0)
            put(targets["pdfinfo"], bytes([mode]) + data)
            put(targets["pdfinfo"], bytes([mode | 8]) + data)

    pdfs = list(synthetic_pdfs()) + list(pdf_files(extra))
    for pdf in pdfs:
        put(targets["pdfinfo"], bytes([0]) + pdf)
        put(targets["text"], pdf[-1024:])
        start = pdf.rfind(b"xref")
        if start >= 0:
            put(targets["text"], pdf[start:start + 2048])
        for piece in info_pieces(pdf):
            for key in range(len(KEYS)):
                if KEYS[key].encode() in piece.lower():
                    put(targets["infotext"], bytes([key, 0, 0, 2]) + piece)
                    put(targets["infotext"], bytes([key | 8, 0, 1, 2]) + piece)

    pieces = [b"/Title (Report)", b"/Title <FEFF00410042>>>", b"/Title 3 0 R",
              b"/Title 4 0 R/Author (Ann)", b"/Title 5 0 R", b"/Title 8 0 R", b"/Title 12 0 R",
              b"/Title 13 0 R", b"/Author (\\376\\377\\000A)", b"/Title (a\\) b)",
              b"/Title <FFFE4100>", b"/Title <FEFF001B6A61001B30423044>",
              b"/Title (\xe3\x81\x82\xe3\x81\x84\xe3\x81\x86\xe3\x81\x88)",
              b"/Title (\x82\xa0\x82\xa2)", b"/CreationDate (D:20050412153000+09'00')",
              b"/Title (\\101\\102\\12\\r\\n\\\\)", b"/Title (unclosed"]
    for piece in pieces:
        key = next((k for k in range(len(KEYS)) if KEYS[k].encode() in piece.lower()), 5)
        for mode in (0, 8):
            put(targets["infotext"], bytes([key | mode, 0, 0, 3]) + piece)

    for words in [b"a b,c,,d \"e \"\"f\" g", b"/Size 5 /Root 1 0 R\r\n/Info 2 0 R\n\r",
                  b"xref\n0 3\n0000000000 65535 f\r\n0000000010 00000 n\r\n", b"\x82\xa0 \x81",
                  b"-2147483648 2147483647 9223372036854775807 +0 -", b"(a\\)b) <41 42> (\\"]:
        put(targets["text"], words)

    sample = "日本語のテキスト、ｶﾀｶﾅ ABC 123"
    for codec in ("cp932", "euc_jp", "iso2022_jp", "utf-8", "utf-8-sig", "ascii"):
        put(targets["encoding"], sample.encode(codec, errors="ignore"))
    put(targets["encoding"], codecs.BOM_UTF16_LE + sample.encode("utf-16-le"))
    put(targets["encoding"], codecs.BOM_UTF16_BE + sample.encode("utf-16-be"))
    put(targets["encoding"], b"\xfe\xff\x00\x1bja\x00\x1b\x30\x42")
    put(targets["encoding"], b"\\376\\377\\000A\\060\\102")
    put(targets["encoding"], b"FEFF30423044")

    for date in [b"D:20050412153000+09'00'", b"20050412", b"2005", b"D:2005", b"D:200504",
                 b"D:20050412153000Z", b"D:99991231235959", b"D:00010101", b"  D:20240229",
                 b"D:20230229", b"D:2005041215300", b"D:20050412153000-05'30"]:
        put(targets["pdfdate"], date)
    counts = ", ".join(f"{name} {len(list(p.iterdir()))}" for name, p in targets.items())
    print(f"seeds in {out}: {counts}")


if __name__ == "__main__":
    main()
