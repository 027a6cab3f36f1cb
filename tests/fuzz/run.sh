#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets and runs one of them, or all one after another:
#   tests/fuzz/run.sh TARGET SECONDS     TARGET: pdfinfo object structure encoding pdfdate
#   tests/fuzz/run.sh all SECONDS
# Build folder build-fuzz (clang, -DPAGEWICK_FUZZ=ON); corpora, logs and crash files under
# build-fuzz/fuzz-run/TARGET/. Seeds come from tests/data and, when it lies beside the
# checkout, the shared PDF corpus (set PAGEWICK_SEED_PDFS to another folder, or to nothing).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)

targets=(pdfinfo object structure encoding pdfdate)
[[ $# -eq 2 ]] || { echo "usage: $0 {${targets[*]}|all} SECONDS" >&2; exit 2; }
which=${1#fuzz_}
seconds=$2
if [[ $which == all ]]; then
    selected=("${targets[@]}")
else
    [[ " ${targets[*]} " == *" $which "* ]] || { echo "unknown target: $1" >&2; exit 2; }
    selected=("$which")
fi

# libFuzzer comes with the compiler runtime, which plain "clang" only recommends.
scripts/install-deps.sh clang libclang-rt-14-dev
build=$root/build-fuzz
if [[ ! -f $build/CMakeCache.txt ]]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPAGEWICK_GUI=OFF -DPAGEWICK_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j2 --target "${selected[@]/#/fuzz_}"

extra=${PAGEWICK_SEED_PDFS-$root/../shared/corpus}
seeds=$build/fuzz-seeds
rm -rf "$seeds"
python3 tests/fuzz/make-seeds.py "$seeds" ${extra:+"$extra"}

# Largest input per target: a whole small PDF file, one object, one string.
declare -A max_len=([pdfinfo]=32768 [object]=4096 [structure]=32768 [encoding]=2048 [pdfdate]=64)
declare -A dict=([pdfinfo]=pdf.dict [object]=pdf.dict [structure]=pdf.dict)

# Memory: the sanitizers and libFuzzer take about 31 MiB before the first input, and the
# sanitizer allocator keeps freed blocks mapped, so loading the seeds alone lifts the
# high-water mark to about 60 MiB. The corpus kept in memory grows with every run: one of
# 11 MiB (1,700 inputs) took a run of the structure target to 131 MiB, with no input above 41.
# The RSS limit is therefore 256 MiB; a single allocation above 64 MiB is a finding of its own
# (-malloc_limit_mb). The reader's own peak is measured without sanitizers
# (tests/hostile/measure.sh). The default quarantine (256 MiB) would fill the limit by itself;
# a small one still catches use after free of recent blocks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=4:malloc_context_size=20:allocator_release_to_os_interval_ms=100:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# One in-process worker, one target at a time: the machine is shared. (-jobs=1 would only
# fork one child and move its output to fuzz-0.log.)
status=0
for t in "${selected[@]}"; do
    work=$build/fuzz-run/$t
    mkdir -p "$work/corpus" "$work/crashes"
    args=(-max_total_time="$seconds" -timeout=2 -rss_limit_mb=256 -malloc_limit_mb=64 -max_len="${max_len[$t]}"
          -print_final_stats=1 -artifact_prefix="$work/crashes/")
    [[ -n ${dict[$t]:-} ]] && args+=(-dict="$root/tests/fuzz/${dict[$t]}")
    echo "== fuzz_$t for ${seconds}s (log $work/log.txt)"
    if ! "$build/tests/fuzz/fuzz_$t" "${args[@]}" "$work/corpus" "$seeds/$t" \
        >"$work/log.txt" 2>&1; then
        status=1
        echo "fuzz_$t stopped with a finding; see $work/log.txt and $work/crashes/"
    fi
    grep -E '^#[0-9]+.*(DONE|cov:)' "$work/log.txt" | tail -1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
        "$work/log.txt" || true
done
exit $status
