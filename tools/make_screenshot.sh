#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the picture the AppStream description shows: the window listing a folder of the
# project's own fixture files, on a virtual screen.
#   tools/make_screenshot.sh [BUILD] [OUT]   (defaults: build, data/screenshots/main-window.png)
# Needs xvfb, xdotool and imagemagick (apt-get install xvfb xdotool imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-data/screenshots/main-window.png}
program=$build/src/app/pagewick
[[ -x $program ]] || { echo "build $program first" >&2; exit 2; }

top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
folder="$top/2024年度 報告書"
mkdir "$folder"
# Files from real writers, with Japanese, Chinese and Latin titles, protected and not.
for f in tex/pdflatex.pdf tex/lualatex-objstm.pdf text/ja-lualatex.pdf text/cjk-emoji-lualatex.pdf \
    text/latin-pdfdoc-pdflatex.pdf real/ja-gs.pdf real/ja-rc4-40-empty.pdf \
    real/pages12-linearized.pdf real/ja-aes128-user.pdf crypt/empty128.pdf; do
    cp "tests/data/$f" "$folder/$(basename "$f")"
done
mkdir "$folder/資料"
# A first start: no view kept from earlier runs, and none left behind.
export XDG_CONFIG_HOME="$top/config" XDG_CACHE_HOME="$top/cache"

mkdir -p "$(dirname "$out")"
# Inside the virtual screen: start the window, wait until it maps, give it a useful size and
# take the picture once the list is read.
export program folder out
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    LANG=ja_JP.UTF-8 "$program" "$folder" &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --name "^Pagewick" | head -n 1)
    xdotool windowmove --sync "$window" 0 0
    xdotool windowsize --sync "$window" 1100 420
    sleep 2
    # The screen cut to the window: a picture of the window by its id can keep an older size.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
    kill "$pid"
'
echo "wrote $out"
