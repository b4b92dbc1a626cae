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

. "$here/ftpserver.sh"

game="$work/srv/BoardGame/Poker"
mkdir -p "$game" "$work/content"
head -c 10000000 /dev/urandom > "$work/content/game.bin"
(cd "$work/content" && zip -q -0 "$game/Poker.zip" game.bin)
head -c 8000000 /dev/urandom > "$game/data1.pak"
head -c 8000000 /dev/urandom > "$game/data2.pak"
head -c 4000000 /dev/urandom > "$game/data3.pak"

start_ftp_server ftp --rate 2000000
mkdir -p "$work/run/Launcher/bin/release"
"$driver" "$ftp_url" "$work/run/Launcher/bin/release" Poker 2> "${FIGURES_LOG:-$work/driver.log}"
