#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
cd "$build"
status=0
ctest --output-on-failure --timeout 600 "$@" || status=$?
# ctest lists skipped tests without their reasons; those that skip print one as "SKIPPED: ...".
if [ -f Testing/Temporary/LastTest.log ]; then
    awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
         /^SKIPPED: / { print "skipped " name ": " substr($0, 10) }' Testing/Temporary/LastTest.log
fi
exit "$status"
