#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_install.sh BUILD PREFIX APP_ID [HELPER]
# Installs BUILD into PREFIX (emptied first) and checks the installed tree: the programs run,
# the preview helper (HELPER, its path below PREFIX, when it was built) draws a page,
# the menu entry, icon and AppStream file agree with each other, the manual pages name every
# option the programs' --help lists; the desktop's own validators judge the files when they are
# installed (desktop-file-utils, appstream, man-db).
set -uo pipefail
build=$1 prefix=$2 id=$3 helper=${4:-}
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null || {
    echo "FAIL: cmake --install" >&2
    exit 1
}

share=$prefix/share
desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
for f in bin/pagewick bin/pagewick-list bin/pagewick-info; do
    [[ -x $prefix/$f ]] || fail "$f is missing or not executable"
done
for f in "$share/pagewick/pagewick.htm" "$desktop" "$metainfo" \
    "$share/icons/hicolor/scalable/apps/$id.svg" "$share/icons/hicolor/48x48/apps/$id.png" \
    "$share/man/man1/pagewick.1.gz" "$share/man/man1/pagewick-list.1.gz" \
    "$share/man/man1/pagewick-info.1.gz" "$share/doc/pagewick/copyright" \
    "$share/doc/pagewick/changelog.gz"; do
    [[ -s $f ]] || fail "${f#"$prefix"/} is missing"
done

# The programs answer --version from the installed place, without a display.
for p in pagewick pagewick-list pagewick-info; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$p" --version 2>&1) ||
        fail "$p --version failed: $out"
    [[ $out == "$p "[0-9]* ]] || fail "$p --version printed: $out"
done

# The preview helper draws the first page of an A4 file: a PNG 90 pixels wide, 128 high.
if [[ -n $helper ]]; then
    fixture=$(dirname "$0")/../data/real/ja-gs.pdf
    size=$("$prefix/$helper" --size 128 --fd 3 3<"$fixture" </dev/null 2>/dev/null |
        od -An -tu1 -j16 -N8 | tr -s ' ')
    [[ $size == " 0 0 0 90 0 0 0 128" ]] || fail "$helper drew no 90x128 PNG (header:$size)"
fi

# The 48-pixel icon is 48 pixels: width and height are the PNG header's bytes 16 to 23.
size=$(od -An -tu1 -j16 -N8 "$share/icons/hicolor/48x48/apps/$id.png" 2>/dev/null | tr -s ' ')
[[ $size == " 0 0 0 48 0 0 0 48" ]] || fail "the PNG icon is not 48x48 (header:$size)"

if [[ -f $desktop ]]; then
    for line in "Exec=pagewick %f" "MimeType=inode/directory;" "Categories=Office;Viewer;" \
        "Icon=$id" "Type=Application"; do
        grep -qxF "$line" "$desktop" || fail "the desktop entry lacks '$line'"
    done
    for key in Name Comment; do
        grep -q "^$key=." "$desktop" || fail "the desktop entry has no English $key"
        grep -q "^$key\[ja\]=." "$desktop" || fail "the desktop entry has no Japanese $key"
    done
fi
if [[ -f $metainfo ]]; then
    grep -qF "<id>$id</id>" "$metainfo" || fail "the AppStream id is not $id"
    grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the AppStream file does not launch $id.desktop"
    grep -qF "<project_license>GPL-3.0-or-later</project_license>" "$metainfo" ||
        fail "the AppStream file does not name the licence"
fi

# Every option a program's --help names is described in its manual page.
for p in pagewick pagewick-list pagewick-info; do
    page=$share/man/man1/$p.1.gz
    [[ -f $page ]] || continue
    text=$(gzip -dc "$page" | sed 's/\\-/-/g')
    options=$("$prefix/bin/$p" --help | grep -oP -- '(?<![\w-])--?[a-z][a-z-]*' | sort -u)
    [[ -n $options ]] || fail "$p --help names no option"
    for o in $options; do
        grep -qP -- "(?<![\\w-])$o(?![\\w-])" <<<"$text" || fail "the manual page of $p does not describe $o"
    done
done

if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
    # Hints are advice (two main categories are asked for); errors and warnings are not.
    grep -E ': (error|warning):' <<<"$out" && fail "desktop-file-validate complained"
else
    echo "desktop-file-validate is not installed: not run"
fi
# The licence the package states is the one the sources carry.
grep -qx "License: GPL-3+" "$share/doc/pagewick/copyright" ||
    fail "the copyright file does not state GPL-3+"

if command -v appstreamcli >/dev/null; then
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli: $out"
else
    echo "appstreamcli is not installed: not run"
fi
if command -v man >/dev/null; then
    for p in pagewick pagewick-list pagewick-info; do
        page=$share/man/man1/$p.1.gz
        warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
        [[ -z $warnings ]] || fail "man -l $p: $warnings"
        rendered=$(MANWIDTH=80 man -E UTF-8 -l "$page" 2>/dev/null)
        grep -q "^NAME" <<<"$rendered" && grep -q "$p" <<<"$rendered" ||
            fail "man -l $p rendered no page"
    done
else
    echo "man is not installed: not run"
fi

[[ $failures -eq 0 ]] || exit 1
echo "installed tree under $prefix is complete"
