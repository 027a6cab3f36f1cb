#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_licence_lines.sh SOURCE_DIR
# Every source file names its licence in its first lines (after a #! line), so that a file
# copied out of the project still says under which terms.
set -uo pipefail
cd "$1" || exit 1
missing=$(find src tests tools bench scripts cmake .ci -type f \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.py' -o -name '*.cmake' \
    -o -name CMakeLists.txt -o -path .ci/run \) -not -path 'tests/data/*' -print0 |
    xargs -0 grep -L -m1 'SPDX-License-Identifier: GPL-3.0-or-later')
[[ -z $missing ]] || { echo "no licence line in:"; echo "$missing"; exit 1; }
