#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the PDF files under tests/data/text: document properties in every string form the
# reader decodes, made by real writers. LaTeX's hyperref writes the Info dictionary (UTF-16 with
# a mark from LuaLaTeX, PDFDocEncoding bytes from pdfLaTeX with pdfencoding=auto) and, with
# \DocumentMetadata, an XMP packet; qpdf then puts raw Japanese bytes (Shift-JIS, EUC-JP, JIS),
# which no current writer produces but old Japanese ones did, into a copy, and removes the Info
# dictionary from another so that only XMP is left. Deterministic but for the dates of the XMP
# packet, which LaTeX takes from the clock; run by hand when the set
# changes. Needs: lualatex and pdflatex with hyperref and \DocumentMetadata (LaTeX 2022 or
# later; no Japanese fonts, as every page is empty), qpdf, python3.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data/text"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.pdf

# TeX takes its dates and the trailer /ID from here.
SOURCE_DATE_EPOCH=1704132245
FORCE_SOURCE_DATE=1
export SOURCE_DATE_EPOCH FORCE_SOURCE_DATE

# latex ENGINE NAME PREAMBLE-LINES HYPERREF-OPTIONS HYPERSETUP: an empty one-page document.
latex() {
    cat >"$work/$2.tex" <<TEX
$3
\\documentclass{article}
\\usepackage[$4]{hyperref}
\\hypersetup{$5}
\\begin{document}\\thispagestyle{empty}\\null\\end{document}
TEX
    (cd "$work" && "$1" -interaction=batchmode "$2.tex" >/dev/null)
    cp "$work/$2.pdf" "$out/$2.pdf"
}

latex lualatex ja-lualatex "" "" \
    "pdftitle={日本語の報告書}, pdfauthor={山田 太郎}, pdfsubject={月次報告}, pdfkeywords={売上; 予算}"
latex lualatex cjk-emoji-lualatex "" "" \
    "pdftitle={简体中文文档}, pdfauthor={한국어 작성자}, pdfsubject={Emoji 😀 🎉}, pdfkeywords={繁體中文; 한글}"
latex pdflatex latin-pdfdoc-pdflatex "" "pdfencoding=auto" \
    "pdftitle={Café Müller — Niño © ® ™}, pdfauthor={José Núñez}, pdfsubject={Straße – naïve}, pdfkeywords={crème brûlée}"
latex lualatex xmp-lualatex "\\DocumentMetadata{pdfversion=2.0}" "" \
    "pdftitle={XMPだけの文書 Café}, pdfauthor={Jane Roe, 山田 太郎}, pdfsubject={Only XMP 😀}, pdfkeywords={xmp, 한글}"

# qpdf's JSON names strings "u:text" (text) or "b:hex" (raw bytes); the Info dictionary of a
# copy is replaced by one of raw byte strings, or dropped.
edit() { # input output python-expression-on-(info, trailer)
    qpdf --json-output=2 --json-stream-data=none "$1" "$work/in.json"
    python3 - "$work/in.json" "$work/edit.json" "$3" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
objects = doc["qpdf"][1]
trailer = objects["trailer"]["value"]
info_key = "obj:" + trailer["/Info"]
info = objects[info_key]["value"]
hexed = lambda text, codec: "b:" + text.encode(codec).hex()
exec(sys.argv[3])
doc["qpdf"][1] = {info_key: {"value": info}, "trailer": {"value": trailer}}
json.dump(doc, open(sys.argv[2], "w"), ensure_ascii=False)
PY
    qpdf --static-id "$1" --update-from-json="$work/edit.json" "$2"
}

edit "$out/ja-lualatex.pdf" "$out/raw-bytes-qpdf.pdf" '
info["/Title"] = hexed("日本語のタイトル", "euc_jp")
info["/Author"] = hexed("山田 太郎", "iso2022_jp")
info["/Subject"] = hexed("月次報告（テスト）", "cp932")
info["/Keywords"] = "b:" + "4e69f16f20a9208485921819"  # Niño © —–™˘ˇ in PDFDocEncoding
'
edit "$out/xmp-lualatex.pdf" "$out/xmp-only-qpdf.pdf" '
del trailer["/Info"]
'
rm "$out/xmp-lualatex.pdf"
