#!/usr/bin/env bash
# Builds every fuzz target with clang (libFuzzer, ASan, UBSan) and runs each in turn.
#   fuzz/run.sh [SECONDS] [TARGET...]   (default 300 seconds each, every target)
# SECONDS 0 only replays the seed corpora once, without fuzzing: a quick, repeatable check
# that the targets build and every seed (regressions included) still passes.
# Each target starts from its seed corpus in fuzz/corpus/<target>; what it finds on the
# way goes to $FUZZ_BUILD/corpus/<target>, a crashing input to $FUZZ_BUILD/findings.
# Memory and time per input are bounded: an input that makes a target hold more than
# 512 MiB or take more than 10 s counts as a finding.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
seconds=${1:-300}
shift || true
out=${FUZZ_BUILD:-$root/build-fuzz}
"$root/tools/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLAUNCHER_FUZZ=ON -DLAUNCHER_TESTS=OFF >/dev/null
cmake --build "$out" --target fuzzers -j"$(nproc)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(cd "$here/corpus" && ls))
fi
mkdir -p "$out/findings"
export QT_QPA_PLATFORM=offscreen
status=0
for target in "${targets[@]}"; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  # A replay reads the checked-in seeds alone, not what earlier rounds found.
  inputs=("$corpus" "$here/corpus/$target")
  if [ "$seconds" -eq 0 ]; then inputs=("$here/corpus/$target"); fi
  log="$out/$target.log"
  # The window's web pages and fonts keep memory that LeakSanitizer cannot see held
  # (WebKit, fontconfig): leaks are left to the sanitizer run of the tests there.
  extra=()
  leaks=1
  if [ "$target" = fuzz-loginreply ]; then extra=(-detect_leaks=0); leaks=0; fi
  if [ "$seconds" -eq 0 ]; then
    extra+=(-runs=0)
    echo "== $target: the seed corpus once"
  else
    extra+=(-max_total_time="$seconds")
    echo "== $target: $seconds s"
  fi
  if ASAN_OPTIONS=detect_leaks=$leaks "$out/fuzz/$target" -max_len=65536 -rss_limit_mb=2048 \
       -malloc_limit_mb=512 -timeout=10 -print_final_stats=1 "${extra[@]}" \
       -artifact_prefix="$out/findings/$target-" "${inputs[@]}" \
       >"$log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$log" || tail -n 3 "$log"
  else
    status=1
    echo "FINDING in $target (see $log):"
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -n 8
  fi
done
exit "$status"
