#!/usr/bin/env bash
# Many-files update benchmark: a game of 2,000 files of 25 KB in 40 folders, served by a
# loopback FTP server (pyftpdlib), updated by the launcher's own worker (the updatebench
# driver) and, in the same run, mirrored by `lftp -c mirror` over one connection.
# Prints both times (best of ROUNDS) and their ratio; exits non-zero when an update fails,
# the trees differ or the ratio is above the limit.
#
#   bench/updatebench/manyfiles.sh [build dir]      (default: ./build beside this script's repo)
#
# Environment: FOLDERS (default 40), FILES per folder (default 50), KB per file (default 25),
# ROUNDS (default 3).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-$repo/build}
bench="$build/bench/updatebench/updatebench"
folders=${FOLDERS:-40}
files=${FILES:-50}
kb=${KB:-25}
rounds=${ROUNDS:-3}
limit=1.0

[ -x "$bench" ] || { echo "build the updatebench target first ($bench)" >&2; exit 2; }
for tool in /usr/bin/python3 lftp; do
  command -v "$tool" > /dev/null || { echo "missing $tool (tools/setup.sh installs it)" >&2; exit 2; }
done

. "$here/ftpserver.sh"

echo "making $((folders * files)) files of $kb KB in $folders folders..."
/usr/bin/python3 - "$work/srv/BoardGame/Poker" "$folders" "$files" "$kb" <<'PY'
import os, sys
root, folders, files, kb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
for d in range(folders):
    folder = os.path.join(root, "data%02d" % d)
    os.makedirs(folder)
    for f in range(files):
        with open(os.path.join(folder, "part%03d.dat" % f), "wb") as out:
            out.write(os.urandom(kb * 1000))
PY
start_ftp_server ftp
url=$ftp_url

best_ref=""
best_ours=""
for round in $(seq 1 "$rounds"); do
  # Each side starts with nothing of the other's left to write back.
  rm -rf "$work/ref" "$work/run"
  sync
  start=$(now)
  lftp -c "open $url; mirror BoardGame/Poker $work/ref" > /dev/null
  end=$(now)
  ref=$(calc "$end - $start")

  mkdir -p "$work/run/Launcher/bin/release"
  sync
  start=$(now)
  "$bench" "$url" "$work/run/Launcher/bin/release" Poker > "$work/bench.out" 2> "$work/bench.log" || {
    echo "the update failed:" >&2; cat "$work/bench.out" >&2; tail -5 "$work/bench.log" >&2; exit 1; }
  end=$(now)
  ours=$(calc "$end - $start")
  diff -r -x .installed "$work/ref" "$work/run/Poker" > /dev/null || { echo "the trees differ" >&2; exit 1; }

  printf 'round %d: lftp mirror %.2f s, update %.2f s\n' "$round" "$ref" "$ours"
  if [ -z "$best_ref" ] || lt "$ref" "$best_ref"; then best_ref=$ref; fi
  if [ -z "$best_ours" ] || lt "$ours" "$best_ours"; then best_ours=$ours; fi
done

ratio=$(calc "$best_ours / $best_ref")
printf 'lftp mirror        %.2f s (best of %d)\n' "$best_ref" "$rounds"
printf 'launcher update    %.2f s (best of %d)\n' "$best_ours" "$rounds"
printf 'time ratio         %s (limit %s)\n' "$ratio" "$limit"
if lt "$limit" "$ratio"; then
  echo "FAIL: the many-files update is slower than ${limit}x lftp's mirror"
  exit 1
fi
echo "within the limit"
