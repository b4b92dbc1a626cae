#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   tools/test.sh [CTEST ARGS...]             plain build in $BUILD_DIR (default build/)
#   tools/test.sh --sanitize [CTEST ARGS...]  ASan and UBSan build in build-asan/, whole suite,
#                                             leaks checked against tools/lsan.supp
#   tools/test.sh --tsan [CTEST ARGS...]      ThreadSanitizer build in build-tsan/, the update
#                                             tests (the only code with a worker thread)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=plain
case "${1:-}" in
--sanitize) mode=asan; shift ;;
--tsan) mode=tsan; shift ;;
esac
"$root/tools/setup.sh"
case "$mode" in
plain)
    build=${BUILD_DIR:-$root/build}
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build" -j"$(nproc)"
    ;;
asan)
    build=${ASAN_BUILD_DIR:-$root/build-asan}
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAUNCHER_SANITIZE=ON
    cmake --build "$build" -j"$(nproc)"
    # Any report fails the test that caused it; leaks too, except the suppressed ones.
    export ASAN_OPTIONS=detect_leaks=1
    export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    ;;
tsan)
    build=${TSAN_BUILD_DIR:-$root/build-tsan}
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAUNCHER_TSAN=ON
    update_tests=(TestFtpThread TestPackageInstaller TestFtpDownloadView)
    cmake --build "$build" -j"$(nproc)" --target runtree "${update_tests[@]}"
    # A report fails the test at its end (exit code 66), after its fixtures were stopped.
    export TSAN_OPTIONS=second_deadlock_stack=1:suppressions=$root/tools/tsan.supp
    set -- -R "^($(IFS='|'; echo "${update_tests[*]}"))\$" "$@"
    ;;
esac
cd "$build"
status=0
ctest --output-on-failure --timeout 600 "$@" || status=$?
# ctest lists skipped tests without their reasons; those that skip print one as "SKIPPED: ...".
if [ -f Testing/Temporary/LastTest.log ]; then
    awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
         /^SKIPPED: / { print "skipped " name ": " substr($0, 10) }' Testing/Temporary/LastTest.log
fi
exit "$status"
