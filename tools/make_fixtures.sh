#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the PDF files under tests/data/real and their README.md. Every file is made by a real
# PDF writer (Ghostscript's pdfwrite, then qpdf for encryption, linearization and cross-reference
# streams), so the reader is checked against bytes it was not written alongside. The output is
# deterministic and committed; run by hand from anywhere when the set changes.
# Needs: gs, qpdf, python3.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data/real"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.pdf

# Ghostscript takes the time it puts into its XMP packet from here; without it the packet's
# DocumentID changes from run to run. -dOmitID leaves out the trailer /ID, which is random.
SOURCE_DATE_EPOCH=1704132245
export SOURCE_DATE_EPOCH

gs_pdf() { # level input output
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dCompatibilityLevel="$1" -dOmitID \
        -sOutputFile="$3" "$2"
}

# UTF-16BE with byte order mark, as hexadecimal digits for a pdfmark string.
utf16() {
    python3 -c 'import sys; print("FEFF" + sys.argv[1].encode("utf-16-be").hex().upper())' "$1"
}

# A one-page document whose information strings are Japanese. Ghostscript writes them as literal
# strings with octal and backslash escapes (the author's second byte is a backslash).
cat >"$work/ja.ps" <<EOF
%!PS
[ /Title <$(utf16 '報告書 2024')>
  /Author <$(utf16 '山田 太郎')>
  /Subject <$(utf16 '月次報告')>
  /Keywords <$(utf16 '売上; 予算')>
  /Creator <$(utf16 '文書作成ツール')>
  /CreationDate (D:20240102030405+09'00')
  /ModDate (D:20240203040506+09'00')
  /DOCINFO pdfmark
<< /PageSize [595 842] >> setpagedevice
/Helvetica findfont 24 scalefont setfont
72 720 moveto (Report 2024) show
showpage
EOF
gs_pdf 1.4 "$work/ja.ps" "$out/ja-gs.pdf"

# Plain ASCII strings with escaped parentheses, each followed by a blank inside the string.
cat >"$work/ascii.ps" <<'EOF'
%!PS
[ /Title (Report \(v2\) final)
  /Author (J. Smith \(QA\))
  /Subject (Quarterly figures)
  /Keywords (report, v2, final)
  /Creator (make_fixtures.sh)
  /CreationDate (D:20231231235959Z)
  /ModDate (D:20240101000000Z)
  /DOCINFO pdfmark
/Helvetica findfont 20 scalefont setfont
72 720 moveto (Report \(v2\) final) show
showpage
EOF
gs_pdf 1.4 "$work/ascii.ps" "$out/ascii-parens-gs.pdf"

# Twelve pages at PDF 1.7; a date without time zone and a mixed Japanese and ASCII title.
cat >"$work/pages.ps" <<EOF
%!PS
[ /Title <$(utf16 '12ページの資料 (PDF 1.7)')>
  /Author (Pagewick fixtures)
  /Creator (Ghostscript pdfmark)
  /CreationDate (D:20240315120000)
  /ModDate (D:20240316131415)
  /DOCINFO pdfmark
/Helvetica findfont 36 scalefont setfont
1 1 12 { 72 720 moveto (Page ) show 3 string cvs show showpage } for
EOF
gs_pdf 1.7 "$work/pages.ps" "$out/pages12-v17-gs.pdf"

# name|source|qpdf arguments|encryption|user password|owner password|how it was made
cat >"$work/list" <<'EOF'
ja-rc4-40-empty.pdf|ja-gs.pdf|--allow-weak-crypto --encrypt "" owner 40 --|RC4-40||owner|qpdf --encrypt "" owner 40 (empty user password)
ja-rc4-40-user.pdf|ja-gs.pdf|--allow-weak-crypto --encrypt user owner 40 --|RC4-40|user|owner|qpdf --encrypt user owner 40
ja-rc4-128-user.pdf|ja-gs.pdf|--allow-weak-crypto --encrypt user owner 128 --use-aes=n --print=none --modify=none --|RC4-128|user|owner|qpdf --encrypt user owner 128 --use-aes=n --print=none --modify=none
ascii-rc4-128-empty.pdf|ascii-parens-gs.pdf|--allow-weak-crypto --encrypt "" owner 128 --use-aes=n --|RC4-128||owner|qpdf --encrypt "" owner 128 --use-aes=n
ja-aes128-user.pdf|ja-gs.pdf|--static-aes-iv --encrypt user owner 128 --use-aes=y --|AES-128|user|owner|qpdf --static-aes-iv --encrypt user owner 128 --use-aes=y
pages12-linearized.pdf|pages12-v17-gs.pdf|--linearize|none|||qpdf --linearize
ja-xrefstream.pdf|ja-gs.pdf|--object-streams=generate|none|||qpdf --object-streams=generate (cross-reference stream only)
EOF

while IFS='|' read -r name source args enc user owner how; do
    streams=--object-streams=disable
    case "$args" in *--object-streams=*) streams= ;; esac
    eval "qpdf --static-id $streams $args \"\$out/\$source\" \"\$out/\$name\""
done <"$work/list"

# Each file's last startxref must point at a table, except the one meant to have a stream.
python3 - "$out" <<'PY'
import os, re, sys
out = sys.argv[1]
for name in sorted(os.listdir(out)):
    if not name.endswith(".pdf"):
        continue
    data = open(os.path.join(out, name), "rb").read()
    offset = int(re.findall(rb"startxref\s+(\d+)", data)[-1])
    classic = data[offset:offset + 4] == b"xref"
    assert classic == (name != "ja-xrefstream.pdf"), name
    assert len(data) < 20000, name
PY
for f in "$out"/*.pdf; do qpdf --check --password=owner "$f" >/dev/null; done

{
    cat <<'EOF'
# Fixtures made by real PDF writers

Made by `tools/make_fixtures.sh` (Ghostscript's pdfwrite, then qpdf); do not edit by hand.
`tools/check_against_pdfinfo.py --fixtures` reads the table below for the passwords and the
encryption method, and compares what pagewick-info reads with poppler's pdfinfo.

Ghostscript writes every information string as a literal string: the Japanese ones are
UTF-16BE with byte order mark, with octal and backslash escapes. Its output has no `/ID`
(`-dOmitID`) and a fixed XMP time (`SOURCE_DATE_EPOCH`); qpdf's `--static-id` fixes the
identifier of the files it writes, and `--object-streams=disable` keeps classic tables.

| file | made by | encryption | user password | owner password |
| --- | --- | --- | --- | --- |
| `ja-gs.pdf` | gs pdfwrite, PDF 1.4, one page; Japanese Title, Author, Subject, Keywords, Creator; dates with +09'00' | none | | |
| `ascii-parens-gs.pdf` | gs pdfwrite, PDF 1.4, one page; Title `Report (v2) final`, Author `J. Smith (QA)`; dates in UTC | none | | |
| `pages12-v17-gs.pdf` | gs pdfwrite, PDF 1.7, 12 pages; mixed Japanese and ASCII Title; dates without zone | none | | |
EOF
    while IFS='|' read -r name source args enc user owner how; do
        printf '| `%s` | %s, from `%s` | %s | %s | %s |\n' "$name" "$how" "$source" "$enc" \
            "$user" "$owner"
    done <"$work/list"
} >"$out/README.md"

wc -c "$out"/*.pdf
