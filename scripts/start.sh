#!/usr/bin/env bash
# Builds Pagewick and starts it in the current folder: ./scripts/start.sh
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [[ -x build/src/app/pagewick ]]; then
    cd "$here" && exec "$OLDPWD/build/src/app/pagewick"
fi
echo "The window is not built yet. Until it is, read a PDF file's properties with:"
echo "  build/src/cli/pagewick-info [--password P] [--lenient] FILE..."
