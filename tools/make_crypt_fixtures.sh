#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the encrypted fixture PDFs under tests/data/crypt and the table params.tsv that the
# crypto tests read. The encryption is done by qpdf, so the security handler is checked against
# files it did not write. Run by hand from anywhere; the output is committed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data/crypt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# A one-page document with an information dictionary; the xref offsets are computed.
python3 - "$work/plain.pdf" <<'PY'
import sys
objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
        b"<< /Title (Report) /Author (Ann) >>"]
pdf = bytearray(b"%PDF-1.4\n")
offsets = []
for number, body in enumerate(objs, 1):
    offsets.append(len(pdf))
    pdf += b"%d 0 obj\n%s\nendobj\n" % (number, body)
xref = len(pdf)
pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
for offset in offsets:
    pdf += b"%010d 00000 n \n" % offset
pdf += b"trailer\n<< /Size %d /Root 1 0 R /Info 4 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
    len(objs) + 1, xref)
open(sys.argv[1], "wb").write(pdf)
PY
qpdf --check "$work/plain.pdf" >/dev/null

long_user=abcdefghijklmnopqrstuvwxyz012345 # exactly 32 characters

# name|key length|user password|owner password ("|" because a tab would merge empty fields)
cat >"$work/list" <<EOF
empty40|40||owner
empty128|128||owner
user40|40|user|owner
user128|128|user|owner
six128|128|sixsix|owner
long128|128|$long_user|owner
same40|40|same|same
EOF

printf 'file\tlength\tR\tP\tO\tU\tID\tuser\towner\tkey\tinfo_obj\tinfo_gen\ttitle\n' \
    >"$out/params.tsv"

while IFS='|' read -r name bits user owner; do
    pdf="$out/$name.pdf"
    extra=""
    [ "$bits" = 128 ] && extra="--use-aes=n"
    qpdf --static-id --allow-weak-crypto --object-streams=disable \
        --encrypt "$user" "$owner" "$bits" $extra -- "$work/plain.pdf" "$pdf"
    qpdf --show-encryption --show-encryption-key --password="$owner" "$pdf" >"$work/report"
    python3 - "$pdf" "$work/report" "$name" "$bits" "$user" "$owner" >>"$out/params.tsv" <<'PY'
import re, sys

pdf_path, report_path, name, bits, user, owner = sys.argv[1:]
data = open(pdf_path, "rb").read()
report = open(report_path).read()

ESCAPES = {ord("n"): 10, ord("r"): 13, ord("t"): 9, ord("b"): 8, ord("f"): 12}

def read_string(text, at):
    """The bytes of the PDF string that starts at text[at], hexadecimal or literal."""
    if text[at:at + 1] == b"<":
        end = text.index(b">", at)
        digits = re.sub(rb"\s", b"", text[at + 1:end])
        if len(digits) % 2:
            digits += b"0"
        return bytes.fromhex(digits.decode())
    assert text[at:at + 1] == b"("
    result, depth, k = bytearray(), 1, at + 1
    while True:
        c = text[k]
        k += 1
        if c == ord("\\"):
            e = text[k]
            k += 1
            if e in ESCAPES:
                result.append(ESCAPES[e])
            elif 0x30 <= e <= 0x37:
                digits = bytes([e])
                while len(digits) < 3 and 0x30 <= text[k] <= 0x37:
                    digits += bytes([text[k]])
                    k += 1
                result.append(int(digits, 8) & 0xFF)
            elif e == 13:
                if text[k] == 10:
                    k += 1
            elif e != 10:
                result.append(e)
            continue
        if c == ord("("):
            depth += 1
        elif c == ord(")"):
            depth -= 1
            if depth == 0:
                return bytes(result)
        result.append(c)

def entry_string(text, key):
    m = re.search(rb"/" + key + rb"\s*([<(])", text)
    return read_string(text, m.start(1))

def object_body(number, generation):
    m = re.search(rb"(?<!\d)%d %d obj(.*?)endobj" % (number, generation), data, re.S)
    return m.group(1)

trailer = data[data.rindex(b"trailer"):]
info_obj, info_gen = map(int, re.search(rb"/Info (\d+) (\d+) R", trailer).groups())
enc_obj, enc_gen = map(int, re.search(rb"/Encrypt (\d+) (\d+) R", trailer).groups())
enc = object_body(enc_obj, enc_gen)
first_id = read_string(trailer, re.search(rb"/ID\s*\[\s*([<(])", trailer).start(1))
P = int(re.search(rb"/P (-?\d+)", enc).group(1))
R = int(re.search(rb"/R (\d+)", enc).group(1))
length = int(re.search(rb"/Length (\d+)", enc).group(1))
key = re.search(r"Encryption key = ([0-9a-f]+)", report).group(1)

# What qpdf says about the file must agree with what was read from its bytes.
assert int(re.search(r"^P = (-?\d+)", report, re.M).group(1)) == P
assert int(re.search(r"^R = (\d+)", report, re.M).group(1)) == R
assert length == int(bits)

fields = [name + ".pdf", str(length), str(R), str(P), entry_string(enc, b"O").hex(),
          entry_string(enc, b"U").hex(), first_id.hex(), user, owner, key, str(info_obj),
          str(info_gen), entry_string(object_body(info_obj, info_gen), b"Title").hex()]
print("\t".join(fields))
PY
done <"$work/list"

wc -c "$out"/*.pdf
