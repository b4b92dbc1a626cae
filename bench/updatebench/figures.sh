#!/usr/bin/env bash
# Are the progress panel's figures true? A 30 MB game in four files from a loopback FTP
# server throttled to 2 MB/s (pyftpdlib's ThrottledDTPHandler); the driver compares the
# speed shown 5 s into the download with the real rate (limit 15 %) and the time left
# shown at the halfway point with the real remaining time (limit 25 %), and checks that
# the bar never goes back.
#
#   bench/updatebench/figures.sh [build dir]      (default: ./build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-$repo/build}
driver="$build/bench/updatebench/updatefigures"
[ -x "$driver" ] || { echo "build the updatefigures target first ($driver)" >&2; exit 2; }

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

game="$work/srv/BoardGame/Poker"
mkdir -p "$game" "$work/content"
head -c 10000000 /dev/urandom > "$work/content/game.bin"
(cd "$work/content" && zip -q -0 "$game/Poker.zip" game.bin)
head -c 8000000 /dev/urandom > "$game/data1.pak"
head -c 8000000 /dev/urandom > "$game/data2.pak"
head -c 4000000 /dev/urandom > "$game/data3.pak"

/usr/bin/python3 "$repo/tests/support/ftp_fixture.py" --root "$work/srv" --log "$work/ftp.log" \
  --rate 2000000 > "$work/port" 2> "$work/ftp.err" &
server_pid=$!
for _ in $(seq 1 100); do
  grep -q '^PORT ' "$work/port" 2> /dev/null && break
  sleep 0.1
done
port=$(awk '/^PORT/ {print $2}' "$work/port")
[ -n "$port" ] || { echo "the FTP server did not start" >&2; cat "$work/ftp.err" >&2; exit 1; }
mkdir -p "$work/run/Launcher/bin/release"
"$driver" "ftp://u:p@127.0.0.1:$port" "$work/run/Launcher/bin/release" Poker 2> "${FIGURES_LOG:-$work/driver.log}"
