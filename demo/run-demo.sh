#!/usr/bin/env bash
# Builds everything, starts the bundled operator service (web on 127.0.0.1:80 and :2356,
# FTP on 127.0.0.1:2121 serving the stand-in games) and runs the launcher from the run
# tree. The services stop when the launcher closes.
#
#   demo/run-demo.sh                      the launcher on your display
#   demo/run-demo.sh --headless [PNG]     under Xvfb: logs in, updates and starts Matgo,
#                                          writes screenshots and stops
#
# Extra options after "--" go to the operator service (for example
#   demo/run-demo.sh -- --set-version matgoVer=2.0.0).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
headless=0
shot="$build/demo-screenshot.png"
service_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --headless) headless=1; if [ $# -gt 1 ] && [[ "$2" != --* ]]; then shot=$2; shift; fi ;;
    --) shift; service_args=("$@"); break ;;
    *) echo "usage: $0 [--headless [PNG]] [-- service options]" >&2; exit 2 ;;
  esac
  shift
done

if [ -z "${DEMO_INSIDE:-}" ]; then
  "$root/tools/setup.sh"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target launcher runtree demogames
  if [ "$(id -u)" -ne 0 ]; then
    # Port 80 needs privileges: run the services and the launcher together in a private
    # user and network namespace where we are root and loopback is our own.
    if ! unshare --user --map-root-user --net true 2>/dev/null; then
      echo "run-demo: port 80 needs root, and user namespaces are not available here." >&2
      echo "run-demo: run this command as root (sudo $0)." >&2
      exit 1
    fi
    args=(); [ $headless -eq 1 ] && args+=(--headless "$shot")
    exec env DEMO_INSIDE=1 BUILD_DIR="$build" unshare --user --map-root-user --net \
      "$0" "${args[@]}" -- "${service_args[@]}"
  fi
fi
if [ -n "${DEMO_INSIDE:-}" ]; then
  ip link set lo up
fi

demo="$build/demo"
mkdir -p "$demo"
pids=()
stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap stop EXIT

start_service() { # name, command...: starts it and waits for its "ready" line
  local name=$1; shift
  local log="$demo/$name.log"
  "$@" > "$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do
    grep -q '^ready' "$log" 2>/dev/null && return 0
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  echo "run-demo: $name did not start; see $log" >&2
  cat "$log" >&2
  exit 1
}

start_service operator /usr/bin/python3 "$root/demo/operator/operator_service.py" \
  --host 127.0.0.1 --db "$demo/operator.db" "${service_args[@]}"
start_service ftp /usr/bin/python3 "$root/demo/operator/ftp_server.py" \
  --host 127.0.0.1 --port 2121 --root "$build/ftp" --user player --password play

workdir="$build/run/Launcher/bin/release"
echo "run-demo: log in as demo / demo1234 (see README for more accounts)"
if [ $headless -eq 1 ]; then
  # Under Xvfb: the first look, a login as the demo player, an update and the game.
  mkdir -p "$(dirname "$shot")"
  xvfb-run -a -s "-screen 0 1024x768x24" "$root/demo/demo-walk.sh" "$workdir" \
    "$workdir/launcher" "${shot%.png}"
  echo "run-demo: screenshots written to ${shot%.png}{,-logged-in,-notice,-question,-game,-menu,-repair}.png"
else
  "$workdir/launcher" || true
fi
