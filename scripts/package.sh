#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of Pagewick: ./scripts/package.sh
# Writes build/pagewick_VERSION_ARCH.deb; install it with
#   sudo apt-get install ./build/pagewick_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-shlibdeps (dpkg-dev) works out the package's dependencies from the programs' libraries.
scripts/install-deps.sh dpkg-dev
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target pagewick pagewick-list pagewick-info pagewick_man_pages
cd build
cpack -G DEB
