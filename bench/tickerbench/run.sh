#!/usr/bin/env bash
# Idle cost of the logged-in launcher next to the start-up benchmark's anchor: CPU load and
# resident size with ordinary notices, then the CPU load with a 1 MB notice in every refresh
# reply (see tickerbench.py). Runs the operator service and the launcher in a private network
# namespace, so the fixed ports on 127.0.0.1 are our own.
#   bench/tickerbench/run.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-20}
if [ -z "${TICKERBENCH_INSIDE:-}" ]; then
  "$root/tools/setup.sh"
  cmake --build "$build" -j"$(nproc)" --target launcher runtree startanchor >/dev/null
  namespace=(unshare --net)
  [ "$(id -u)" -ne 0 ] && namespace=(unshare --user --map-root-user --net)
  exec env TICKERBENCH_INSIDE=1 "${namespace[@]}" "$0" "$build" "$seconds"
fi
ip link set lo up
exec xvfb-run -a -s "-screen 0 1024x768x24" /usr/bin/python3 \
  "$root/bench/tickerbench/tickerbench.py" "$build/run/Launcher/bin/release/launcher" \
  "$build/run/Launcher/bin/release" "$root/demo/operator/operator_service.py" \
  "$build/bench/startbench/startanchor" "$seconds"
