#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the PDF files under tests/data/tex: documents with Japanese information strings made by
# the TeX engines (hyperref's pdfinfo), by dvipdfmx, and by qpdf rewriting them with object
# streams, linearized, and RC4-encrypted with object streams. The reader is held against the
# cross-reference streams and object streams these writers produce. Pages are left empty so
# that no font is embedded and the files stay small. Run by hand; the output is committed.
# Needs: pdflatex, lualatex, xelatex, latex and dvipdfmx (Debian texlive-latex-base,
# texlive-latex-recommended, texlive-luatex, texlive-xetex; dvipdfmx also needs
# texlive-fonts-recommended for a font hyperref names), qpdf.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data/tex"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.pdf

# Dates and trailer identifiers from here rather than from the clock.
SOURCE_DATE_EPOCH=1704132245
FORCE_SOURCE_DATE=1
export SOURCE_DATE_EPOCH FORCE_SOURCE_DATE

# doc NAME ENGINE-NAME PAGES [HYPERREF-DRIVER]: a document of PAGES empty pages whose title
# names the engine.
doc() {
    driver=${4:+,$4}
    {
        printf '\\documentclass{article}\n\\pagestyle{empty}\n'
        printf '\\usepackage[pdftitle={報告書 2024 %s},pdfauthor={山田 太郎},' "$2"
        printf 'pdfsubject={月次報告},pdfkeywords={売上; 予算}%s]{hyperref}\n' "$driver"
        printf '\\begin{document}\n'
        i=1
        while [ "$i" -le "$3" ]; do
            printf '\\null\\newpage\n'
            i=$((i + 1))
        done
        printf '\\end{document}\n'
    } >"$work/$1.tex"
}

run() { # engine name
    (cd "$work" && "$1" -interaction=batchmode "$2.tex" >/dev/null)
}

doc pdflatex pdfLaTeX 2
run pdflatex pdflatex
doc lualatex LuaLaTeX 3
run lualatex lualatex
doc xelatex XeLaTeX 4
run xelatex xelatex
doc dvipdfmx dvipdfmx 5 dvipdfmx
run latex dvipdfmx
(cd "$work" && dvipdfmx -q dvipdfmx.dvi)

for name in pdflatex lualatex xelatex dvipdfmx; do
    cp "$work/$name.pdf" "$out/$name.pdf"
    qpdf --static-id --object-streams=generate "$work/$name.pdf" "$out/$name-objstm.pdf"
    qpdf --static-id --linearize "$work/$name.pdf" "$out/$name-linearized.pdf"
done
qpdf --static-id --object-streams=generate --allow-weak-crypto \
    --encrypt "" owner 128 --use-aes=n -- "$work/lualatex.pdf" "$out/lualatex-objstm-rc4.pdf"
ls -l "$out"
