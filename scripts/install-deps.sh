#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, and only those that are missing:
#   scripts/install-deps.sh [more packages...]
# (the benchmark and the fuzz targets name the few more they need).
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config libgtest-dev
    qt6-base-dev libgl-dev qt6-qpa-plugins libssl-dev libpoppler-qt6-dev
    xdg-utils fonts-ipafont-gothic fonts-noto-cjk fonts-noto-color-emoji adwaita-icon-theme
    qt6-translations-l10n zlib1g-dev libexpat1-dev libicu-dev qpdf poppler-utils python3
    desktop-file-utils appstream man-db libimage-exiftool-perl
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
