#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs every test: ./scripts/test.sh [ctest arguments...]
# A full run (no arguments) then builds the reader core with AddressSanitizer and UBSan and
# runs its tests again (scripts/test-sanitize.sh); PAGEWICK_SKIP_SANITIZE=1 leaves that out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
if [[ $# -eq 0 && ${PAGEWICK_SKIP_SANITIZE:-0} != 1 ]]; then
    scripts/test-sanitize.sh
fi
