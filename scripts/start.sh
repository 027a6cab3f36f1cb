#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Pagewick and starts it in the current folder: ./scripts/start.sh
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) it prints the list of the current
# folder instead, as the window would save it.
set -euo pipefail
folder=$(pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
# What the build prints goes to standard error, so that a printed list can be redirected whole.
scripts/install-deps.sh >&2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target pagewick pagewick-list pagewick-info >&2
cd "$folder"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "表示できる画面がありません（DISPLAY も WAYLAND_DISPLAY も未設定）。現在のフォルダの一覧を書き出します。" >&2
    echo "ウィンドウを見るには、デスクトップの端末から起動するか、xvfb-run -a $0 のように仮想画面で起動してください。" >&2
    status=0
    "$repo/build/src/cli/pagewick-list" --encoding utf8 || status=$?
    exit "$status"
fi
exec "$repo/build/src/app/pagewick"
