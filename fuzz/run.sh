#!/usr/bin/env bash
# Builds the archive fuzzer with clang (libFuzzer, ASan, UBSan) and runs it.
#   fuzz/run.sh [SECONDS]   (default 300)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
"$root/tools/setup.sh"
seconds=${1:-300}
out=${FUZZ_BUILD:-$root/build-fuzz}
mkdir -p "$out/corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" -I"$root/archive" $(pkg-config --cflags minizip) \
  "$here/FuzzArchive.cpp" "$root/archive/MemoryFile.cpp" "$root/archive/Console.cpp" \
  "$root/archive/Seed.cpp" $(pkg-config --libs minizip) -o "$out/fuzz-archive"
# Seed the corpus with real zip images (plain, marked with a leading 0 byte).
if [ -z "$(ls -A "$out/corpus")" ]; then
  tmp=$(mktemp -d)
  (cd "$root/assets/res" && zip -q -r "$tmp/a.zip" script) || true
  printf 'small text\n' > "$tmp/t.txt"; (cd "$tmp" && zip -q b.zip t.txt && zip -q -0 c.zip t.txt)
  for z in "$tmp"/*.zip; do { printf '\0'; cat "$z"; } > "$out/corpus/$(basename "$z")"; done
  rm -rf "$tmp"
fi
"$out/fuzz-archive" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
  "$out/corpus" 2>&1 | tail -n 20
