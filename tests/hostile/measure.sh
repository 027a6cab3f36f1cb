#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every hostile case of test_hostile on its own, the whole test held to 256 MiB of address
# space by prlimit, and prints what the read of the input cost: the reading child's processor
# time and peak resident memory (the test prints them), and whether the case passed:
#   tests/hostile/measure.sh [path/to/test_hostile]
# A case is within its budget when it passes (the child's address space is held to 256 MiB as
# well) and its processor time is at most 2 s.
set -euo pipefail
bin=${1:-$(dirname "$0")/../../build/tests/hostile/test_hostile}
[[ -x $bin ]] || { echo "no test program at $bin" >&2; exit 2; }
printf '%-48s %10s %10s  %s\n' case "cpu s" "peak MiB" result
status=0
"$bin" --gtest_list_tests | awk '/^[^ ]/ {suite=$1} /^  / {print suite $1}' |
while read -r name; do
    log=$(mktemp)
    if prlimit --as=268435456 "$bin" --gtest_filter="$name" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
    fi
    grep -q '\[  SKIPPED \]' "$log" && result=skipped
    read -r seconds peak < <(sed -n 's/.*processor \([0-9.]*\) s, peak resident \([0-9]*\) MiB.*/\1 \2/p' "$log" | tail -1)
    if [[ $result == ok ]] && awk -v s="${seconds:-0}" 'BEGIN { exit !(s > 2) }'; then
        result="over 2 s"
    fi
    printf '%-48s %10s %10s  %s\n' "${name##*/}" "${seconds:--}" "${peak:--}" "$result"
    rm -f "$log"
done
