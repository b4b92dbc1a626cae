#!/usr/bin/env bash
# Takes a picture of the launcher as a player first sees it: the main window with the
# login dialog over it, on a virtual X display.
#   demo/screenshot.sh [output.png] [build directory]
# Defaults: build/screenshot.png in the project, and the build directory "build".
# SCALE=2 takes it on a screen scaled by 2 (QT_SCALE_FACTOR), as on a high-density one.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/build/screenshot.png}"
build="${2:-$root/build}"
workdir="$build/run/Launcher/bin/release"
launcher="$workdir/launcher"

if [ ! -x "$launcher" ]; then
  echo "screenshot: no launcher at $launcher; build the 'launcher' target first" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"

# Inside the virtual display: start the launcher from its run tree, wait until its
# windows are mapped, take the picture of the whole screen, end the launcher.
inner=$(cat <<'INNER'
set -euo pipefail
cd "$WORKDIR"
"$LAUNCHER" &
pid=$!
for _ in $(seq 1 100); do
  if xwininfo -root -children 2>/dev/null | grep -q "${WIDTH}x"; then
    break
  fi
  sleep 0.1
done
sleep 1 # let the first paint finish
import -window root "$OUT"
kill "$pid"
wait "$pid" 2>/dev/null || true
INNER
)

scale=${SCALE:-1}
WORKDIR="$workdir" LAUNCHER="$launcher" OUT="$out" WIDTH=$((1024 * scale)) \
  QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 $((1280 * scale))x$((900 * scale))x24" \
  bash -c "$inner"
echo "screenshot: $out"
