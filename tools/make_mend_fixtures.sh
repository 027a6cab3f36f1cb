#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the PDF files under tests/data/mends and their README.md: the quirks of real writers'
# files that the reader mends, each made by a real tool (Ghostscript's pdfwrite, qpdf) and then,
# where the quirk is damage, edited in place by the Python below (same length, so every offset
# stays right unless the quirk is that they are wrong). Deterministic; run by hand from anywhere
# when the set changes. Needs gs, qpdf, python3.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data/mends"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.pdf

# Ghostscript takes the time of its XMP packet from here; -dOmitID leaves out the random /ID.
SOURCE_DATE_EPOCH=1704132245
export SOURCE_DATE_EPOCH

cat >"$work/base.ps" <<'EOF'
%!PS
[ /Title (Mend fixture)
  /Author (Pagewick fixtures)
  /Subject (Real writers' quirks)
  /Keywords (header, password, date)
  /Creator (make_mend_fixtures.sh)
  /CreationDate (D:20240102030405Z)
  /ModDate (D:20240203040506Z)
  /DOCINFO pdfmark
<< /PageSize [300 300] >> setpagedevice
/Helvetica findfont 24 scalefont setfont
1 1 4 { 72 150 moveto (Page ) show 3 string cvs show showpage } for
EOF
gs_pdf() { # level output
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dCompatibilityLevel="$1" -dOmitID \
        -sOutputFile="$2" "$work/base.ps"
}
gs_pdf 1.4 "$work/base.pdf"
gs_pdf 1.2 "$work/base12.pdf"
qpdf --linearize --static-id "$work/base.pdf" "$work/linearized.pdf"
qpdf --static-id --static-aes-iv --encrypt " " owner 128 --use-aes=y -- "$work/base.pdf" \
    "$out/password-one-blank.pdf"
qpdf --static-id --allow-weak-crypto --encrypt "    " owner 128 --use-aes=n -- \
    "$work/base.pdf" "$out/password-four-blanks.pdf"
qpdf --static-id --static-aes-iv --encrypt user owner 128 --use-aes=y -- "$work/base.pdf" \
    "$work/aes.pdf"
# The catalog and page tree inside encrypted object streams: without the password not even the
# page count can be read.
qpdf --static-id --static-aes-iv --object-streams=generate --encrypt user owner 128 \
    --use-aes=y -- "$work/base.pdf" "$out/structure-encrypted.pdf"

python3 - "$work" "$out" <<'PY'
import sys
work, out = sys.argv[1], sys.argv[2]
read = lambda name: open(f"{work}/{name}", "rb").read()

def write(name, data):
    open(f"{out}/{name}", "wb").write(data)

def same_length(data, old, new):
    assert data.count(old) == 1, old
    assert len(new) <= len(old), new
    return data.replace(old, new + b" " * (len(old) - len(new)))

base = read("base.pdf")
# Bytes before the header, prepended by a tool that leaves the offsets as they were: a
# byte-order mark, and a printer's job ticket.
write("junk-byte-order-mark.pdf", b"\xef\xbb\xbf" + base)
write("junk-job-ticket.pdf",
      b'\x1b%-12345X@PJL JOB NAME="scan0042"\r\n@PJL ENTER LANGUAGE=PDF\r\n' + base)
# A NUL and a control byte right after the version digits, instead of the line end.
b12 = read("base12.pdf")
assert b12.startswith(b"%PDF-1.2\n")
write("header-nul.pdf", b"%PDF-1.2\x00" + b12[9:])
# Year 0000, as some writers put "no date".
write("date-year-0000.pdf",
      same_length(base, b"/CreationDate(D:20240102030405Z)", b"/CreationDate(D:00000101000000Z)"))
# One string's hexadecimal digits are no digits: only that string is lost.
write("producer-bad-hex.pdf",
      same_length(base, b"/Producer(GPL Ghostscript 10.00.0)", b"/Producer<zz>"))
# A linearized file whose startxref points into its first-page section, past the "xref"
# keyword; the trailer at the end of the file (the main section's) has no /Root.
lin = read("linearized.pdf")
at = lin.rindex(b"startxref\n")
first = int(lin[at + 10:].split(b"\n")[0])
assert lin[first:first + 4] == b"xref"
write("linearized-damaged.pdf", lin[:at] + b"startxref\n%d\n%%%%EOF\n" % (first + 9))
# AES-128 whose strings' crypt filter is not defined in /CF, or /CF missing altogether.
aes = read("aes.pdf")
write("crypt-filter-unknown.pdf", same_length(aes, b"/CF << /StdCF <<", b"/CF << /StdCX <<"))
write("crypt-filter-missing.pdf", same_length(aes, b"/CF << /StdCF <<", b"/CX << /StdCF <<"))
PY

cat >"$out/README.md" <<'EOF'
# Real writers' quirks that the reader mends

Made by `tools/make_mend_fixtures.sh` from Ghostscript's and qpdf's output, edited in place where
the quirk is damage; do not edit by hand. `tools/check_against_pdfinfo.py --fixtures` reads the
table below and compares what pagewick-info reads with poppler's pdfinfo. A password in
backquotes is taken as it stands, blanks included.

| file | made by | encryption | user password | owner password |
| --- | --- | --- | --- | --- |
| `junk-byte-order-mark.pdf` | gs pdfwrite, a UTF-8 byte-order mark put before the header | none | | |
| `junk-job-ticket.pdf` | gs pdfwrite, a PJL job ticket put before the header | none | | |
| `header-nul.pdf` | gs pdfwrite, PDF 1.2, the header's line end made a NUL | none | | |
| `date-year-0000.pdf` | gs pdfwrite, /CreationDate edited to D:00000101000000Z | none | | |
| `linearized-damaged.pdf` | qpdf --linearize, startxref edited to point 9 bytes into the first-page section | none | | |
| `password-one-blank.pdf` | qpdf --encrypt " " owner 128 --use-aes=y | AES-128 | ` ` | owner |
| `password-four-blanks.pdf` | qpdf --encrypt "    " owner 128 --use-aes=n | RC4-128 | `    ` | owner |
| `structure-encrypted.pdf` | qpdf --object-streams=generate --encrypt user owner 128 --use-aes=y: the catalog in an encrypted object stream | AES-128 | user | owner |

pdfinfo is no guide for the next three. It shows the lost string of the first as a NUL byte;
every other field agrees. It shows the AES data of the other two as text and calls them
unencrypted: they are protected, their method unknown (user password `user`, owner `owner`).

- `producer-bad-hex.pdf`: gs pdfwrite, /Producer edited to `<zz>`.
- `crypt-filter-unknown.pdf`: qpdf --encrypt user owner 128 --use-aes=y, the crypt filter
  /StdCF that /StrF and /StmF name renamed in /CF.
- `crypt-filter-missing.pdf`: the same, /CF renamed, so that no crypt filter is defined.
EOF
echo "wrote $(ls "$out"/*.pdf | wc -l) files to $out"
