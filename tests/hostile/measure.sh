#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every hostile case of test_hostile on its own and prints its wall time and peak
# resident memory (the test process, so it includes writing the input and gtest itself):
#   tests/hostile/measure.sh [path/to/test_hostile]
# Informative only; no limit is enforced here.
set -euo pipefail
bin=${1:-$(dirname "$0")/../../build/tests/hostile/test_hostile}
[[ -x $bin ]] || { echo "no test program at $bin" >&2; exit 2; }
printf '%-52s %9s %12s  %s\n' case seconds "peak RSS KiB" result
"$bin" --gtest_list_tests | awk '/^[^ ]/ {suite=$1} /^  / {print suite $1}' |
while read -r name; do
    log=$(mktemp)
    if /usr/bin/time -f '%e %M' -o "$log.time" "$bin" --gtest_filter="$name" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
    fi
    grep -q '\[  SKIPPED \]' "$log" && result=skipped
    read -r seconds rss <"$log.time"
    printf '%-52s %9s %12s  %s\n' "${name#Inputs/Hostile.GivesARecordOrOneReaderError/}" \
        "$seconds" "$rss" "$result"
    rm -f "$log" "$log.time"
done
