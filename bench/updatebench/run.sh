#!/usr/bin/env bash
# Update benchmark: a ~200 MB game package served by a loopback FTP server (pyftpdlib),
# updated by the launcher's own worker (download and unpack, through the updatebench
# driver) and, in the same run, by curl to a file followed by miniunzip of that file.
# Prints both times, their ratio and the worker's peak memory against the package size.
#
#   bench/updatebench/run.sh [build dir]      (default: ./build-update beside the repo)
#
# Environment: SIZE_MB (package size, default 200), ROUNDS (default 3; best time counts).
# Exits non-zero when an update fails or a limit is missed: at most 1.0x the time of
# curl + miniunzip, a peak resident memory of at most 0.2x the package, and a check of the
# installed game (verify) in at most 1.2x the time of `unzip -t` on the package.
#
# Then resume: a second server drops the package's download at about three quarters
# (150 MB of 200); the update fails, and the next one must fetch at most 55 MB and unpack
# a tree byte-identical to the clean update's.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-$repo/../build-update}
bench="$build/bench/updatebench/updatebench"
size_mb=${SIZE_MB:-200}
rounds=${ROUNDS:-3}

[ -x "$bench" ] || { echo "build the updatebench target first ($bench)" >&2; exit 2; }
for tool in /usr/bin/python3 /usr/bin/time curl miniunzip zip; do
  command -v "$tool" > /dev/null || { echo "missing $tool" >&2; exit 2; }
done

. "$here/ftpserver.sh"

# The package: mostly random (incompressible) data, a quarter of text that deflates, and
# a few small files, packed with Info-ZIP.
echo "making a ${size_mb} MB package..."
content="$work/content"
mkdir -p "$content/bin" "$content/data"
random_mb=$((size_mb * 3 / 4))
text_mb=$((size_mb - random_mb))
head -c $((random_mb / 3 * 1048576)) /dev/urandom > "$content/data/level1.pak"
head -c $((random_mb / 3 * 1048576)) /dev/urandom > "$content/data/level2.pak"
head -c $(((random_mb - random_mb / 3 * 2) * 1048576)) /dev/urandom > "$content/data/sound.pak"
head -c $((text_mb * 1048576 * 3 / 4)) /dev/urandom | base64 > "$content/data/script.txt"
for i in $(seq 1 20); do head -c 4096 /dev/urandom > "$content/bin/lib$i.dat"; done
printf '#!/bin/sh\necho game\n' > "$content/bin/Poker.sh" && chmod +x "$content/bin/Poker.sh"
mkdir -p "$work/srv/BoardGame/Poker"
(cd "$content" && zip -q -r "$work/srv/BoardGame/Poker/Poker.zip" .)
package="$work/srv/BoardGame/Poker/Poker.zip"
package_bytes=$(stat -c %s "$package")
echo "package: $package_bytes bytes"

# The server.
start_ftp_server ftp
url=$ftp_url

best_ref=""
best_ours=""
peak_kb=0
for round in $(seq 1 "$rounds"); do
  # Reference: curl to a file, then miniunzip of that file.
  rm -rf "$work/ref" "$work/run" && mkdir -p "$work/ref/out"
  sync # neither side pays for the other's write-back
  start=$(now)
  curl -s -S -o "$work/ref/Poker.zip" "$url/BoardGame/Poker/Poker.zip"
  miniunzip -o "$work/ref/Poker.zip" -d "$work/ref/out" > /dev/null
  end=$(now)
  ref=$(calc "$end - $start")

  # The launcher's worker, in the layout it expects: games lie three levels up.
  mkdir -p "$work/run/Launcher/bin/release"
  sync
  start=$(now)
  /usr/bin/time -v -o "$work/time.txt" "$bench" "$url" "$work/run/Launcher/bin/release" Poker \
    > "$work/bench.out" 2> "$work/bench.log" || {
    echo "the update failed:" >&2; cat "$work/bench.out" >&2; tail -5 "$work/bench.log" >&2; exit 1; }
  end=$(now)
  ours=$(calc "$end - $start")
  kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")

  # Same files as the reference unpacked, package gone, script still executable.
  diff -r -x .installed "$work/ref/out" "$work/run/Poker" > /dev/null || { echo "unpacked trees differ" >&2; exit 1; }
  [ ! -e "$work/run/Poker/Poker.zip" ] || { echo "package not deleted" >&2; exit 1; }
  [ -x "$work/run/Poker/bin/Poker.sh" ] || { echo "execute bit lost" >&2; exit 1; }

  printf 'round %d: curl+miniunzip %.2f s, update %.2f s, peak %d KiB\n' "$round" "$ref" "$ours" "$kb"
  if [ -z "$best_ref" ] || lt "$ref" "$best_ref"; then best_ref=$ref; fi
  if [ -z "$best_ours" ] || lt "$ours" "$best_ours"; then best_ours=$ours; fi
  if [ "$kb" -gt "$peak_kb" ]; then peak_kb=$kb; fi
done

# Verify the installed game (every unpacked file read and its CRC-32 checked), next to
# `unzip -t` of the package (every entry inflated and its CRC-32 checked).
best_verify=""
best_test=""
for round in $(seq 1 "$rounds"); do
  start=$(now)
  unzip -tq "$work/ref/Poker.zip" > /dev/null
  end=$(now)
  test_time=$(calc "$end - $start")
  start=$(now)
  "$bench" "$url" "$work/run/Launcher/bin/release" Poker repair > "$work/verify.out" 2> /dev/null || {
    echo "the verification failed:" >&2; cat "$work/verify.out" >&2; exit 1; }
  end=$(now)
  verify_time=$(calc "$end - $start")
  grep -q '^damaged 0$' "$work/verify.out" || { echo "a whole game found damaged" >&2; exit 1; }
  printf 'round %d: unzip -t %.2f s, verify %.2f s\n' "$round" "$test_time" "$verify_time"
  if [ -z "$best_test" ] || lt "$test_time" "$best_test"; then best_test=$test_time; fi
  if [ -z "$best_verify" ] || lt "$verify_time" "$best_verify"; then best_verify=$verify_time; fi
done

# Resume after a broken link.
cut_bytes=$((package_bytes * 3 / 4))
start_ftp_server cut --cut-after "$cut_bytes"
cut_url=$ftp_url
rm -rf "$work/run" && mkdir -p "$work/run/Launcher/bin/release"
if "$bench" "$cut_url" "$work/run/Launcher/bin/release" Poker > "$work/cut1.out" 2> "$work/cut1.log"; then
  echo "FAIL: the cut-off update claimed success" >&2; exit 1
fi
first_sent=$(awk '$1 == "SENT" && $2 == "RETR" {s += $3} END {print s + 0}' "$work/cut.log")
"$bench" "$cut_url" "$work/run/Launcher/bin/release" Poker > "$work/cut2.out" 2> "$work/cut2.log" || {
  echo "FAIL: the resumed update failed" >&2; tail -5 "$work/cut2.log" >&2; exit 1; }
all_sent=$(awk '$1 == "SENT" && $2 == "RETR" {s += $3} END {print s + 0}' "$work/cut.log")
second_sent=$((all_sent - first_sent))
identical=yes
diff -r -x .installed "$work/ref/out" "$work/run/Poker" > /dev/null || identical=no
printf 'resume             cut at %d bytes; the second attempt fetched %d bytes (%s MB, limit 55); tree identical: %s\n' \
  "$first_sent" "$second_sent" "$(calc "$second_sent / 1000000")" "$identical"

time_limit=1.0
memory_limit=0.2
ratio=$(calc "$best_ours / $best_ref")
memory_ratio=$(calc "$peak_kb * 1024 / $package_bytes")
verify_limit=1.2
verify_ratio=$(calc "$best_verify / $best_test")
printf 'package            %d bytes (%s MiB)\n' "$package_bytes" "$(calc "$package_bytes / 1048576")"
printf 'curl + miniunzip   %.2f s (best of %d)\n' "$best_ref" "$rounds"
printf 'launcher update    %.2f s (best of %d)\n' "$best_ours" "$rounds"
printf 'time ratio         %s (limit %s)\n' "$ratio" "$time_limit"
printf 'peak memory        %d KiB = %s x package (limit %s)\n' "$peak_kb" "$memory_ratio" "$memory_limit"
printf 'unzip -t           %.2f s (best of %d)\n' "$best_test" "$rounds"
printf 'launcher verify    %.2f s (best of %d)\n' "$best_verify" "$rounds"
printf 'verify ratio       %s (limit %s)\n' "$verify_ratio" "$verify_limit"

status=0
[ "$second_sent" -le 55000000 ] || { echo "FAIL: the resumed update fetched more than 55 MB"; status=1; }
[ "$identical" = yes ] || { echo "FAIL: the resumed tree differs from a clean update"; status=1; }
lt "$time_limit" "$ratio" && { echo "FAIL: update slower than ${time_limit}x"; status=1; }
lt "$memory_limit" "$memory_ratio" && { echo "FAIL: peak memory above ${memory_limit}x"; status=1; }
lt "$verify_limit" "$verify_ratio" && { echo "FAIL: verify slower than ${verify_limit}x"; status=1; }
[ $status = 0 ] && echo "within every limit"
exit $status
