#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the core (no Qt) with AddressSanitizer and UBSan and runs its tests:
#   scripts/test-sanitize.sh [ctest arguments...]
# Uses the "asan" preset with PAGEWICK_GUI=OFF in build-asan-core, so it does not disturb a
# full build-asan. Any sanitizer report fails the test that made it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset asan -B build-asan-core -DPAGEWICK_GUI=OFF >/dev/null
cmake --build build-asan-core -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan-core --output-on-failure --no-tests=error -j"$(nproc)" "$@"
