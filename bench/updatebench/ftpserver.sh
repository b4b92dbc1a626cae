# Sourced by the update benchmarks: a loopback FTP server (the tests' pyftpdlib fixture)
# and a work folder, both gone when the script exits.
#   start_ftp_server NAME [FIXTURE OPTIONS...]   serves $work/srv, logs to $work/NAME.log,
#                                                sets $ftp_url to its address
#   now, calc EXPR, lt A B                       time stamps and figures for the results
work=$(mktemp -d)
server_pids=()
cleanup() {
  for pid in "${server_pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

start_ftp_server() {
  local name=$1; shift
  /usr/bin/python3 "$repo/tests/support/ftp_fixture.py" --root "$work/srv" \
    --log "$work/$name.log" "$@" > "$work/$name.port" 2> "$work/$name.err" &
  server_pids+=($!)
  for _ in $(seq 1 100); do
    grep -q '^PORT ' "$work/$name.port" 2> /dev/null && break
    sleep 0.1
  done
  local port
  port=$(awk '/^PORT/ {print $2}' "$work/$name.port")
  [ -n "$port" ] || { echo "the FTP server did not start" >&2; cat "$work/$name.err" >&2; exit 1; }
  ftp_url="ftp://u:p@127.0.0.1:$port"
}

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
lt() { awk "BEGIN { exit !($1 < $2) }"; }
