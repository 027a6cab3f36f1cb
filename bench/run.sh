#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The speed benchmark: builds the release programs, makes (or reuses) a corpus, warms the page
# cache and prints one table of median wall time, files per second, peak memory and the ratio
# to the I/O floor for each tool. See bench/README.md.
#
#   bench/run.sh [--runs R] [--slow-runs R] [--tools list,window,shown,exiftool,pdfinfo,floor,floor2]
#                [--seed S] [--latency-ms MS] [--modern] [--hog] N|DIR
#
# N makes the corpus of N files under /tmp/pagewick-bench-N (kept for later runs; another seed
# gets a folder of its own, and so does --modern, the same documents with cross-reference and
# object streams); DIR measures an existing folder. --latency-ms reads the corpus
# through pagewick-latencyfs, which makes every request to it wait MS milliseconds. --hog keeps a
# busy loop on every processor while the tools run, and counts their threads.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build="$root/build-bench"
runs=5
slow_runs=
tools=list,window,shown,exiftool,pdfinfo,floor,floor2
seed=1
latency=
modern=
hog=

usage() {
    sed -n '7,8p' "$0" | sed 's/^# *//' >&2
    exit 2
}

while [ $# -gt 1 ]; do
    if [ "$1" = --modern ] || [ "$1" = --hog ]; then
        [ "$1" = --modern ] && modern=--modern || hog=--hog
        shift
        continue
    fi
    case "$1" in
    --runs) runs=$2 ;;
    --slow-runs) slow_runs=$2 ;;
    --tools) tools=$2 ;;
    --seed) seed=$2 ;;
    --latency-ms) latency=$2 ;;
    *) usage ;;
    esac
    shift 2
done
[ $# -eq 1 ] || usage
target=$1
if [ -n "$latency" ] && ! [[ $latency =~ ^[0-9]+(\.[0-9]+)?$ ]]; then
    usage
fi

"$root/scripts/install-deps.sh" time libimage-exiftool-perl fuse3 libfuse3-dev
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
programs=(pagewick-list pagewick-iofloor pagewick-bench-scan)
[ -z "$latency" ] || programs+=(pagewick-latencyfs)
cmake --build "$build" -j2 --target "${programs[@]}" >/dev/null

if [[ $target =~ ^[0-9]+$ ]]; then
    dir=/tmp/pagewick-bench-$target
    [ "$seed" = 1 ] || dir=$dir-seed$seed
    [ -z "$modern" ] || dir=$dir-modern
    if [ ! -d "$dir" ]; then
        # Made aside and moved in place, so a broken-off run leaves no half corpus behind.
        rm -rf "$dir.partial"
        python3 "$here/make_corpus.py" "$dir.partial" "$target" --seed "$seed" $modern
        mv "$dir.partial" "$dir"
    fi
elif [ -d "$target" ]; then
    dir=$target
else
    usage
fi

for tool in exiftool pdfinfo; do
    if [[ ,$tools, == *,$tool,* ]] && ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed (packages libimage-exiftool-perl, poppler-utils);" \
            "it is left out" >&2
    fi
done

# The corpus itself is read from a warm cache; on the latency mount only the delay is added.
find "$dir" -maxdepth 1 -type f -exec cat {} + >/dev/null

if [ -n "$latency" ]; then
    mnt=$(mktemp -d /tmp/pagewick-latency.XXXXXX)
    unmount() {
        # A tool killed on the way may hold the mount a moment longer: try again, then let go.
        fusermount3 -u "$mnt" 2>/dev/null || { sleep 1 && fusermount3 -u "$mnt" 2>/dev/null; } ||
            fusermount3 -uz "$mnt" || true
        rmdir "$mnt" 2>/dev/null || true
    }
    trap unmount EXIT
    trap 'exit 130' INT TERM
    "$build/bench/pagewick-latencyfs" --latency-ms "$latency" "$dir" "$mnt"
    # Two costs only the first tool would pay, both of this setup and not of a share: the file
    # system starts a thread whenever a request finds none idle, and the kernel looks up names
    # it has never seen one at a time a folder. Every name is looked up once, on many threads,
    # before the tools run; each later request still waits the delay (nothing is cached).
    python3 -c 'import os, sys
from concurrent.futures import ThreadPoolExecutor
names = os.listdir(sys.argv[1])
with ThreadPoolExecutor(128) as pool:
    list(pool.map(lambda n: os.stat(os.path.join(sys.argv[1], n)), names))' "$mnt"
    dir=$mnt
fi

python3 "$here/measure.py" --bin "$build" --runs "$runs" ${slow_runs:+--slow-runs "$slow_runs"} \
    --tools "$tools" ${latency:+--latency-ms "$latency"} $hog "$dir"
