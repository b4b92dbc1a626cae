#!/usr/bin/env bash
# Measures the launcher's start-up against its anchor under Xvfb (see startbench.py).
#   bench/startbench/run.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-11}
"$root/tools/setup.sh"
cmake --build "$build" -j"$(nproc)" --target launcher runtree startanchor >/dev/null
exec xvfb-run -a -s "-screen 0 1024x768x24" /usr/bin/python3 "$root/bench/startbench/startbench.py" \
  "$build/run/Launcher/bin/release/launcher" "$build/run/Launcher/bin/release" \
  "$build/bench/startbench/startanchor" "$runs"
