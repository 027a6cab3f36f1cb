#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the 48-pixel PNG of Pagewick's icon from its SVG (data/icons). Both are committed and
# installed into the hicolor theme; run by hand when the SVG changes.
# Needs: rsvg-convert (package librsvg2-bin).
set -eu
icons=$(cd "$(dirname "$0")/../data/icons" && pwd)
rsvg-convert --width 48 --height 48 --format png \
    --output "$icons/org.pagewick.Pagewick-48.png" "$icons/org.pagewick.Pagewick.svg"
