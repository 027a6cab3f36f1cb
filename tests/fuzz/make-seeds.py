#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed corpus of every fuzz target into OUT/<target>/.

    tests/fuzz/make-seeds.py OUT [EXTRA_PDF_FOLDER...]

Seeds come from the PDF files under tests/data, from small files built here with exact
offsets (updates, hexadecimal and UTF-16 values, encryption dictionaries, damaged tails, and
small forms of the hostile inputs: tables of zero-width rows, object-stream bombs, streams
without endstream, objects without endobj, wide trailers, XMP entities, huge offsets), and
from PDF files up to MAX_PDF bytes in any extra folder named. Nothing is written into the
source tree.
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
             "abcdefghijklmnopqrstuvwxyz012345": 5, " ": 6}
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
    yield from hostile_pdfs(catalog, info, pages)
    yield from feature_pdfs(info)


def feature_pdfs(info):
    """Small forms of what the feature walks read: inherited and odd page boxes, a signature
    field whose blob is cut DER, name trees and action chains that loop, a linearization
    dictionary, an XMP packet with conformance declarations."""
    tree = (b"<< /Type /Pages /Kids [4 0 R 3 0 R 5 0 R] /Count 3 /MediaBox [0 0 595 842]"
            b" /Rotate 90 >>")
    catalog = (b"<< /Type /Catalog /Pages 3 0 R /AcroForm << /Fields [6 0 R 6 0 R] >>"
               b" /Names << /EmbeddedFiles 8 0 R /JavaScript 8 0 R >> /OpenAction 9 0 R"
               b" /MarkInfo << /Marked true >> /ViewerPreferences << /Direction /R2L >>"
               b" /PageLayout /TwoPageRight /Outlines << /First 2 0 R >> >>")
    objects = {
        1: catalog, 2: info, 3: tree,
        4: b"<< /Type /Page /Parent 3 0 R /CropBox [0 0 1e30 -5] /UserUnit 2"
           b" /Annots [10 0 R 10 0 R] /AA << /O 9 0 R >> >>",
        5: b"<< /Type /Page /MediaBox [0 0 420 595.5] /Rotate 7 >>",
        6: b"<< /FT /Sig /T (S) /Kids [6 0 R] /V 7 0 R /AA << /K 9 0 R >> >>",
        7: b"<< /Type /Sig /SubFilter /adbe.pkcs7.detached /ByteRange [0 10 20 999999]"
           b" /M (D:20240101120000+09'00') /Contents <3082ffff06092a864886f70d010702a0> >>",
        8: b"<< /Kids [8 0 R] /Names [(a) 2 0 R (b)] >>",
        9: b"<< /S /GoTo /Next [9 0 R 9 0 R] >>",
        10: b"<< /Type /Annot /Subtype /FileAttachment /A 9 0 R >>",
    }
    yield build(objects, b"/Size 11 /Root 1 0 R /Info 2 0 R")
    yield build({1: b"<< /Linearized 1 /L 10 /N 1 >>", 2: b"<< /Type /Catalog /Pages 3 0 R >>",
                 3: b"<< /Type /Pages /Kids [] /Count 0 >>"}, b"/Size 4 /Root 2 0 R")
    xmp = (b"<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/"
           b"02/22-rdf-syntax-ns#\"><rdf:Description pdfaid:part=\" 2 \" pdfaid:conformance=\"B\""
           b" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\" xmlns:pdfuaid=\"http://www.aiim"
           b".org/pdfua/ns/id/\"><pdfuaid:part>1</pdfuaid:part></rdf:Description></rdf:RDF>"
           b"</x:xmpmeta>")
    yield build({1: b"<< /Type /Catalog /Pages 3 0 R /Metadata 4 0 R >>",
                 3: b"<< /Type /Pages /Kids [] /Count 0 >>",
                 4: b"<< /Type /Metadata /Subtype /XML /Length %d >>\nstream\n" % len(xmp) +
                 xmp + b"\nendstream"}, b"/Size 5 /Root 1 0 R")


def stream(n, entries, data):
    return b"%d 0 obj\n<< %s /Length %d >>\nstream\n" % (n, entries, len(data)) + data + \
        b"\nendstream\nendobj\n"


def hostile_pdfs(catalog, info, pages):
    """Small forms of the inputs made to cost memory or time, and of the real-file mends."""
    head = b"%PDF-1.5\n1 0 obj\n" + catalog + b"\nendobj\n2 0 obj\n" + info + \
        b"\nendobj\n3 0 obj\n" + pages + b"\nendobj\n"
    # A cross-reference stream of zero-width rows, deflated twice.
    rows = zlib.compress(zlib.compress(bytes(4096)))
    at = len(head)
    yield head + stream(4, b"/Type /XRef /W [0 1 0] /Size 4096 /Root 1 0 R "
                        b"/Filter [/FlateDecode /FlateDecode]", rows) + \
        b"startxref\n%d\n%%%%EOF\n" % at
    # Object streams that inflate far beyond their objects, in a file to recover.
    bomb = zlib.compress(b"2 0 " + info + b" " * 200000)
    yield b"%PDF-1.5\n1 0 obj\n" + catalog + b"\nendobj\n3 0 obj\n" + pages + \
        b"\nendobj\n" + stream(5, b"/Type /ObjStm /N 1 /First 4 /Filter /FlateDecode", bomb) + \
        b"trailer\n<< /Root 1 0 R /Info 2 0 R >>\n%%EOF\n"
    # Object streams without endstream, and objects without endobj.
    yield head + b"".join(b"%d 0 obj\n<< /Type /ObjStm /N 1 /First 4 /Length 40 >>\nstream\n"
                          b"xxxx\n" % (10 + k) for k in range(40)) + \
        b"trailer\n<< /Root 1 0 R /Info 2 0 R >>\n%%EOF\n"
    yield build({1: catalog, 2: info, 3: pages}, b"/Size 4 /Root 1 0 R /Info 2 0 R") \
        .replace(b"endobj", b"      ")
    # A trailer of many keys, an XMP packet with entities, an object-stream offset of 2^63-1.
    keys = b" ".join(b"/K%d %d" % (k, k) for k in range(300))
    yield build({1: catalog, 2: info, 3: pages}, keys + b" /Size 4 /Root 1 0 R /Info 2 0 R")
    xmp = (b"<!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
           b"<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/"
           b"02/22-rdf-syntax-ns#\"><rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/"
           b"\"><dc:title><rdf:Alt><rdf:li>&b;</rdf:li></rdf:Alt></dc:title></rdf:Description>"
           b"</rdf:RDF></x:xmpmeta>")
    yield build({1: b"<< /Type /Catalog /Pages 3 0 R /Metadata 4 0 R >>", 3: pages,
                 4: b"<< /Type /Metadata /Subtype /XML /Length %d >>\nstream\n" % len(xmp) +
                 xmp + b"\nendstream"}, b"/Size 5 /Root 1 0 R")
    yield modern({1: catalog, 3: pages}, {2: info}, False).replace(
        b"2 0 <<", b"2 9223372036854775807 <<")
    # Real-file mends: junk before the header, a bad hexadecimal digit, an unknown crypt
    # filter, a /Prev that names its own section.
    plain = build({1: catalog, 2: b"<< /Title (Report) /Producer <zz> >>", 3: pages},
                  b"/Size 4 /Root 1 0 R /Info 2 0 R")
    yield b"\xef\xbb\xbf" + plain
    yield b"\x1b%-12345X@PJL JOB\r\n" + plain
    yield build({1: catalog, 2: info, 3: pages,
                 4: b"<< /Filter /Standard /V 4 /R 4 /StrF /StdCF /StmF /StdCF /CF << /Other "
                    b"<< /CFM /AESV2 >> >> /O <00> /U <00> /P -4 >>"},
                b"/Size 5 /Root 1 0 R /Info 2 0 R /Encrypt 4 0 R /ID [<00><00>]")
    looped = build({1: catalog, 2: info, 3: pages}, b"/Size 4 /Root 1 0 R /Prev 0000000000")
    section = looped.rfind(b"xref")
    yield looped.replace(b"/Prev 0000000000", b"/Prev %010d" % section)


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
    """The lines of a file that hold an information key."""
    for line in pdf.replace(b"\r", b"\n").split(b"\n"):
        lowered = line.lower()
        if any(key.encode() in lowered for key in KEYS):
            yield line[:512]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = Path(sys.argv[1])
    extra = sys.argv[2:]
    targets = {name: out / name for name in ("pdfinfo", "object", "structure", "encoding",
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
        put(targets["structure"], pdf)
        start = pdf.rfind(b"trailer")
        if start >= 0:
            put(targets["object"], pdf[start + 7:start + 2048])
        for piece in info_pieces(pdf):
            put(targets["object"], b"<< " + piece + b" >>")

    for value in [b"<< /Title (Report) /Title (Again) /title (lower) >>",
                  b"<< /Title <FEFF00410042>>>", b"<< /Title 3 0 R /Author (Ann) >>",
                  b"<< /Author (\\376\\377\\000A) /Producer <zz> >>", b"(a\\) b)",
                  b"<FFFE4100>", b"<FEFF001B6A61001B30423044>",
                  b"(\xe3\x81\x82\xe3\x81\x84\xe3\x81\x86\xe3\x81\x88)",
                  b"(\x82\xa0\x82\xa2)", b"(\\101\\102\\12\\r\\n\\\\)", b"(unclosed",
                  b"[1 2 3 R 4 0 R /N#20ame 1.5 -.5 true null]", b"12 0 obj << /A [[[[ >> endobj",
                  b"<< /K1 1 /K2 << /K3 [ (x) <41> ] >> >>"]:
        put(targets["object"], value)

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
                 b"D:00000101000000Z", b"D:00000229",
                 b"D:20230229", b"D:2005041215300", b"D:20050412153000-05'30"]:
        put(targets["pdfdate"], date)
    counts = ", ".join(f"{name} {len(list(p.iterdir()))}" for name, p in targets.items())
    print(f"seeds in {out}: {counts}")


if __name__ == "__main__":
    main()
