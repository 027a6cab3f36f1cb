#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes encrypted PDFs made by real tools under tests/data/crypt/tools and the table
# tools.tsv that the reader's tests read: qpdf (RC4, AES-128, AES-256 of revisions 5 and 6,
# metadata in clear), pdftk (RC4-128 and AES-128), Ghostscript (revision 3 with keys of 40 and
# 96 bits) and LibreOffice (its export with an open password). Every file carries the title
# "Report" and the producer "Fixture"; the title stands in an object of its own where the tool
# keeps it so, so that it is decrypted with that object's key.
# Needs qpdf, pdftk, gs, soffice and python3; a missing tool's files are left out, with a note.
# Run by hand from anywhere; the output is committed. AES-256 salts are random, so the files
# differ from run to run while the table stays the same.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data/crypt/tools"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.pdf

# A one-page document whose information dictionary holds the title by reference.
python3 - "$work/plain.pdf" <<'PY'
import sys
objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
        b"<< /Title 5 0 R /Producer (Fixture) >>",
        b"(Report)"]
pdf = bytearray(b"%PDF-1.4\n")
offsets = []
for number, body in enumerate(objs, 1):
    offsets.append(len(pdf))
    pdf += b"%d 0 obj\n%s\nendobj\n" % (number, body)
xref = len(pdf)
pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
for offset in offsets:
    pdf += b"%010d 00000 n \n" % offset
pdf += b"trailer\n<< /Size %d /Root 1 0 R /Info 4 0 R /ID [<00112233445566778899aabbccddeeff>" \
       b" <00112233445566778899aabbccddeeff>] >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
open(sys.argv[1], "wb").write(pdf)
PY

table="$out/tools.tsv"
printf 'file\tuser\towner\tmethod\tR\tbits\tmade by\n' >"$table"
row() { printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >>"$table"; }

qpdf_enc() { # name user owner bits [options...]
    name=$1 user=$2 owner=$3 bits=$4
    shift 4
    qpdf --static-id --static-aes-iv --allow-weak-crypto --object-streams=preserve \
        --encrypt "$user" "$owner" "$bits" "$@" -- "$work/plain.pdf" "$out/$name.pdf"
}

if command -v qpdf >/dev/null; then
    qpdf_enc qpdf-rc4-40-user user owner 40
    row qpdf-rc4-40-user.pdf user owner RC4 2 40 "qpdf --encrypt user owner 40"
    qpdf_enc qpdf-aes128-user user owner 128 --use-aes=y
    row qpdf-aes128-user.pdf user owner AESV2 4 128 "qpdf --encrypt user owner 128 --use-aes=y"
    qpdf_enc qpdf-aes128-empty "" owner 128 --use-aes=y
    row qpdf-aes128-empty.pdf "" owner AESV2 4 128 "qpdf --encrypt '' owner 128 --use-aes=y"
    qpdf_enc qpdf-aes128-clearmeta user owner 128 --use-aes=y --cleartext-metadata
    row qpdf-aes128-clearmeta.pdf user owner AESV2 4 128 \
        "qpdf --encrypt user owner 128 --use-aes=y --cleartext-metadata"
    qpdf_enc qpdf-aes256-user user owner 256
    row qpdf-aes256-user.pdf user owner AESV3 6 256 "qpdf --encrypt user owner 256"
    qpdf_enc qpdf-aes256-empty "" owner 256
    row qpdf-aes256-empty.pdf "" owner AESV3 6 256 "qpdf --encrypt '' owner 256"
    qpdf_enc qpdf-aes256-r5 user owner 256 --force-R5
    row qpdf-aes256-r5.pdf user owner AESV3 5 256 "qpdf --encrypt user owner 256 --force-R5"
    qpdf_enc qpdf-aes256-unicode "pässwört" "所有者" 256
    row qpdf-aes256-unicode.pdf "pässwört" "所有者" AESV3 6 256 \
        "qpdf --encrypt pässwört 所有者 256 (UTF-8)"
else
    echo "qpdf missing: its files are left out" >&2
fi

if command -v pdftk >/dev/null; then
    pdftk "$work/plain.pdf" output "$out/pdftk-rc4-128.pdf" encrypt_128bit \
        user_pw user owner_pw owner
    row pdftk-rc4-128.pdf user owner RC4 3 128 "pdftk encrypt_128bit"
    pdftk "$work/plain.pdf" output "$out/pdftk-aes128.pdf" encrypt_aes128 \
        user_pw user owner_pw owner
    row pdftk-aes128.pdf user owner AESV2 4 128 "pdftk encrypt_aes128"
else
    echo "pdftk missing: its files are left out" >&2
fi

if command -v gs >/dev/null; then
    for bits in 40 96; do
        gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEncryptionR=3 \
            -dKeyLength=$bits -sOwnerPassword=owner -sUserPassword=623 \
            -sOutputFile="$out/gs-rc4-r3-$bits.pdf" "$work/plain.pdf"
        row "gs-rc4-r3-$bits.pdf" 623 owner RC4 3 $bits \
            "gs pdfwrite -dEncryptionR=3 -dKeyLength=$bits"
    done
else
    echo "gs missing: its files are left out" >&2
fi

if command -v soffice >/dev/null; then
    printf 'Report\n' >"$work/report.txt"
    opts='{"EncryptFile":{"type":"boolean","value":"true"},"DocumentOpenPassword":{"type":"string","value":"user"},"PermissionPassword":{"type":"string","value":"owner"}}'
    if HOME="$work" timeout 120 soffice --headless --convert-to "pdf:writer_pdf_Export:$opts" \
        --outdir "$work" "$work/report.txt" >/dev/null 2>&1 && [ -f "$work/report.pdf" ]; then
        cp "$work/report.pdf" "$out/libreoffice-user.pdf"
        row libreoffice-user.pdf user owner "$(python3 - "$out/libreoffice-user.pdf" <<'PY'
import re, sys
d = open(sys.argv[1], "rb").read()
cfm = re.search(rb"/CFM\s*/(\w+)", d)
print(cfm.group(1).decode() if cfm else "RC4")
PY
)" "$(python3 -c 'import re,sys; print(re.search(rb"/R\s+(\d+)", open(sys.argv[1],"rb").read()).group(1).decode())' "$out/libreoffice-user.pdf")" \
            "$(python3 -c 'import re,sys; d=open(sys.argv[1],"rb").read(); m=re.search(rb"/V\s+5", d); print(256 if m else 128)' "$out/libreoffice-user.pdf")" \
            "LibreOffice Writer export with an open password (title: the file name)"
    else
        echo "soffice failed: its file is left out" >&2
    fi
else
    echo "soffice missing: its file is left out" >&2
fi

# What poppler's pdfinfo reads with the user password: the title and producer the reader must
# agree with (Ghostscript writes its own producer, LibreOffice no title).
python3 - "$table" <<'PY'
import subprocess, sys, os
path = sys.argv[1]
lines = open(path, encoding="utf-8").read().splitlines()
rows = [lines[0] + "\ttitle\tproducer"]
for line in lines[1:]:
    f = line.split("\t")
    pdf = os.path.join(os.path.dirname(path), f[0])
    text = subprocess.run(["pdfinfo", "-upw", f[1], pdf], capture_output=True,
                          check=True).stdout.decode()
    found = dict(l.split(":", 1) for l in text.splitlines() if ":" in l)
    rows.append(line + "\t" + found.get("Title", "").strip() + "\t" +
                found.get("Producer", "").strip())
open(path, "w", encoding="utf-8").write("\n".join(rows) + "\n")
PY

wc -c "$out"/*.pdf
