#!/usr/bin/env bash
# The road of a player on an X display without a window manager, driven with xdotool:
# first look, log in as the demo player, open the customer page, press Matgo, accept the
# update, watch the stand-in game start, close it, check Matgo from its menu. Writes
# PREFIX.png, PREFIX-logged-in.png, PREFIX-notice.png, PREFIX-question.png, PREFIX-game.png,
# PREFIX-menu.png and PREFIX-repair.png. Called by run-demo.sh --headless with the services running.
#   demo/demo-walk.sh WORKDIR LAUNCHER PREFIX
set -u
workdir=$1
launcher=$2
prefix=$3

small_window() { # a visible window of the launcher other than the main one
  for w in $(xdotool search --onlyvisible --class launcher 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [ "$WIDTH" -lt 1024 ]; then echo "$w"; return 0; fi
  done
  return 1
}

(cd "$workdir" && exec "$launcher") & launcher_pid=$!

shoot() { # a picture of the whole screen, or the walk ends as failed
  if ! import -window root "$1"; then
    echo "demo-walk: could not write $1" >&2
    kill $launcher_pid; exit 1
  fi
}

sleep 4
shoot "$prefix.png"

dialog=$(xdotool search --name "Log in" | head -n 1)
if [ -z "$dialog" ]; then
  echo "demo-walk: no login dialog" >&2
  kill $launcher_pid; exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool mousemove $((X + 265)) $((Y + 85)) click 1
xdotool type --delay 30 demo
xdotool mousemove $((X + 265)) $((Y + 130)) click 1
xdotool type --delay 30 demo1234
xdotool mousemove $((X + 475)) $((Y + 105)) mousedown 1 sleep 0.2 mouseup 1
sleep 3
shoot "$prefix-logged-in.png"

# The operator's customer page, the first web page: the web engine is loaded now.
xdotool mousemove 384 58 mousedown 1 sleep 0.2 mouseup 1
sleep 2
shoot "$prefix-notice.png"
xdotool mousemove 128 58 mousedown 1 sleep 0.2 mouseup 1
sleep 0.5

# Matgo is behind on a fresh run tree: the launcher asks before updating.
xdotool mousemove 511 199 mousedown 1 sleep 0.2 mouseup 1
sleep 1
shoot "$prefix-question.png"
if box=$(small_window); then
  eval "$(xdotool getwindowgeometry --shell "$box")"
  xdotool mousemove $((X + WIDTH - 50)) $((Y + HEIGHT - 24)) mousedown 1 sleep 0.2 mouseup 1
fi
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name '^Matgo$' >/dev/null 2>&1 && break
  sleep 0.2
done
sleep 1
shoot "$prefix-game.png"

# The game closed, Matgo's menu, and its check: the result box. Not at once: a game that
# ends within 3 s of its update is taken as one that could not start.
sleep 2.5
xdotool mousemove 240 211 mousedown 1 sleep 0.2 mouseup 1 # "Leave the table"
sleep 1.5
xdotool mousemove 511 199 click 3
sleep 0.5
shoot "$prefix-menu.png"
xdotool mousemove 541 214 click 1
for _ in $(seq 1 50); do
  small_window >/dev/null && break
  sleep 0.2
done
sleep 0.5
shoot "$prefix-repair.png"
kill $launcher_pid
wait $launcher_pid 2>/dev/null
exit 0
