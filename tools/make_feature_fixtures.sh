#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the PDF files under tests/data/features: paper sizes, rotation, crop boxes and mixed
# sizes from pdfLaTeX (geometry), a right-to-left document with bookmarks, a form, a script and
# attachments from pdfLaTeX, a PDF/A-2B file from Ghostscript, restricted files from qpdf with
# each permission off, and files signed by poppler's pdfsig with a test certificate made here
# by NSS's certutil, then changed by an incremental update appended by this script. Run by
# hand; the output is committed, and tests/pdf/features_test.cpp reads what each should give.
# Needs: pdflatex with geometry, hyperref, embedfile and attachfile (Debian texlive-latex-base,
# texlive-latex-recommended, texlive-latex-extra), Ghostscript, qpdf, pdfsig (poppler-utils),
# certutil (libnss3-tools), python3.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data/features"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.pdf "$out"/*.der

SOURCE_DATE_EPOCH=1704132245
FORCE_SOURCE_DATE=1
export SOURCE_DATE_EPOCH FORCE_SOURCE_DATE

# tex NAME GEOMETRY-OPTIONS PREAMBLE BODY: a document of empty pages (no fonts embedded).
tex() {
    cat >"$work/$1.tex" <<EOF
\\documentclass{article}
\\usepackage[$2]{geometry}
\\pagestyle{empty}
$3
\\begin{document}
$4
\\end{document}
EOF
    (cd "$work" && pdflatex -interaction=batchmode "$1.tex" >/dev/null &&
        pdflatex -interaction=batchmode "$1.tex" >/dev/null)
    cp "$work/$1.pdf" "$out/$1.pdf"
}

page='\null'
tex b4-jis b4j '' "$page"
tex b5-jis b5j '' "$page"
tex hagaki 'paperwidth=100mm,paperheight=148mm' '' "$page"
tex a3-landscape 'a3paper,landscape' '' "$page"
# A4, then an A3 landscape page: the page size changes at the second page.
tex mixed-a4-a3 a4paper '' "$page\\newpage\\pdfpagewidth=420mm\\pdfpageheight=297mm$page"
# A4 turned by /Rotate 90 (shown landscape), and A4 cropped to A5.
tex a4-rotated a4paper '\pdfpageattr{/Rotate 90}' "$page"
tex a4-cropped-a5 a4paper '\pdfpageattr{/CropBox [0 0 419.53 595.28]}' "$page"
# Right to left, opening two pages at a time, with bookmarks.
tex r2l-b5 b5j '\usepackage[pdfdirection=R2L,pdfpagelayout=TwoPageRight,bookmarks]{hyperref}' \
    '\pdfbookmark[1]{One}{one}\null\newpage\pdfbookmark[1]{Two}{two}\null'
# A form with a text field, a script run when the page opens, and two attachments (one embedded, one an
# annotation on the page).
printf 'attached\n' >"$work/note.txt"
tex form-script-attachments a4paper \
    '\usepackage{hyperref}\usepackage{embedfile}\usepackage{attachfile}
\pdfpageattr{/AA << /O << /S /JavaScript /JS (this.zoom = 100;) >> >>}' \
    '\embedfile{note.txt}\begin{Form}\TextField[name=who,width=4cm]{}\end{Form}
\attachfile{note.txt}'
# Tagged as far as the catalog goes (pdfLaTeX writes no structure tree by itself).
tex a4-marked a4paper '\pdfcatalog{/MarkInfo << /Marked true >>}' "$page"

# PDF/A-2B by Ghostscript. Its definition file (10.00) fails to open the sRGB profile here and
# says so, so the file lacks its output intent; it still declares PDF/A-2B in its XMP, which
# is what the reader reads.
gslib=$(dirname "$(find /usr/share/ghostscript -name PDFA_def.ps | head -1)")
icc=$(readlink -f "$gslib/../iccprofiles/srgb.icc")
sed "s|(srgb.icc)|($icc)|" "$gslib/PDFA_def.ps" >"$work/PDFA_def.ps"
gs -q -dBATCH -dNOPAUSE --permit-file-read="$icc" -dPDFA=2 -dPDFACompatibilityPolicy=1 \
    -sColorConversionStrategy=RGB -sDEVICE=pdfwrite -sOutputFile="$out/pdfa-2b-gs.pdf" \
    "$work/PDFA_def.ps" "$out/b5-jis.pdf" 2>/dev/null | grep -v '^$' >&2 || true

# Each permission off alone (AES-256, revision 6), and all off at revision 2 (RC4 40-bit).
base="$out/a3-landscape.pdf"
for perm in print=none print=low extract=n modify-other=n annotate=n form=n assemble=n; do
    name=${perm%%=*}
    [[ $perm == print=low ]] && name=print-high
    qpdf --encrypt "" owner 256 --"$perm" -- "$base" "$out/restricted-$name.pdf"
done
# qpdf keeps the accessibility bit on for AES; revision 3 (RC4 128-bit) can turn it off.
qpdf --allow-weak-crypto --encrypt "" owner 128 --use-aes=n --accessibility=n -- "$base" \
    "$out/restricted-accessibility.pdf"
qpdf --allow-weak-crypto --encrypt "" owner 40 --print=n --modify=n --extract=n --annotate=n \
    -- "$base" "$out/restricted-all-r2.pdf"
qpdf --linearize "$out/b5-jis.pdf" "$out/b5-jis-linearized.pdf"

# Two empty signature fields (pdfsig's own new fields carry a visible appearance with a
# whole font, some 480 KB; signing an existing field adds only the signature).
tex sig-fields a4paper '' '\pdfannot reserveobjnum \edef\one{\the\pdflastannot}%
\pdfannot reserveobjnum \edef\two{\the\pdflastannot}%
\pdfannot useobjnum \one width 0pt height 0pt depth 0pt {/Subtype /Widget /FT /Sig /T (First) /F 132}%
\pdfannot useobjnum \two width 0pt height 0pt depth 0pt {/Subtype /Widget /FT /Sig /T (Second) /F 132}%
\pdfcatalog{/AcroForm << /Fields [\one\space 0 R \two\space 0 R] /SigFlags 3 >>}\null'
mv "$out/sig-fields.pdf" "$work/sig-fields.pdf"

# A self-signed test certificate in a fresh NSS database, then one field signed and both (each
# signature appended as an update).
nss="$work/nss"
mkdir "$nss"
certutil -N -d "sql:$nss" --empty-password
head -c 64 /dev/urandom >"$work/noise"
certutil -S -d "sql:$nss" -n signer -s "CN=Pagewick Test Signer,O=Pagewick" -x -t "CT,C,C" \
    -k rsa -g 2048 -Z SHA256 -v 240 -z "$work/noise" --keyUsage digitalSignature >/dev/null 2>&1
sign() { # in out field
    pdfsig -nssdir "sql:$nss" -nick signer -sign "$3" -reason fixture "$1" "$2" \
        2>&1 | grep -v NSS_Shutdown >&2 || true
}
sign "$work/sig-fields.pdf" "$out/signed.pdf" First
sign "$out/signed.pdf" "$out/signed-twice.pdf" Second

# An incremental update after the signature: a new information dictionary in a section of its
# own, as an editor appends it.
python3 - "$out/signed.pdf" "$out/signed-then-updated.pdf" <<'EOF'
import re
import sys

data = open(sys.argv[1], "rb").read()
prev = int(re.findall(rb"startxref\s+(\d+)", data)[-1])
trailer = re.findall(rb"trailer\s*<<(.*?)>>\s*startxref", data, re.S)
size_match = re.findall(rb"/Size (\d+)", data)
size = int(size_match[-1])
root = re.findall(rb"/Root (\d+ \d+ R)", data)[-1]
if not data.endswith(b"\n"):
    data += b"\n"
offset = len(data)
data += b"%d 0 obj\n<< /Title (Changed after signing) >>\nendobj\n" % size
xref = len(data)
data += b"xref\n%d 1\n%010d 00000 n \n" % (size, offset)
data += b"trailer\n<< /Size %d /Root %s /Info %d 0 R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n" % (
    size + 1, root, size, prev, xref)
open(sys.argv[2], "wb").write(data)
EOF
# An RFC 3161 time-stamp token, as a document time-stamp's /Contents holds it, from a test
# time-stamping authority made here with openssl.
tsa="$work/tsa"
mkdir "$tsa"
cat >"$tsa/tsa.cnf" <<EOF
[ req ]
distinguished_name = dn
prompt = no
[ dn ]
CN = Pagewick Test TSA
[ ext ]
extendedKeyUsage = critical,timeStamping
[ tsa_config ]
serial = $tsa/serial
signer_cert = $tsa/tsa.pem
signer_key = $tsa/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
ess_cert_id_alg = sha256
EOF
echo 01 >"$tsa/serial"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tsa/tsa.key" -out "$tsa/tsa.pem" -days 3650 \
    -config "$tsa/tsa.cnf" -extensions ext 2>/dev/null
printf 'the signed bytes\n' >"$tsa/data"
openssl ts -query -data "$tsa/data" -sha256 -cert -no_nonce -out "$tsa/query.tsq"
openssl ts -reply -config "$tsa/tsa.cnf" -section tsa_config -queryfile "$tsa/query.tsq" \
    -token_out -out "$out/timestamp-token.der" 2>/dev/null

ls -l "$out"
