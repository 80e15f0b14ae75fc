#!/usr/bin/env bash
# Takes screenshots of the desktop program's windows: the receiver simulator
# feeds NMEA sentences into a pty linked as COM2, orvik-gpstime runs under a
# private X display (Xvfb) with a window manager (twm) and a notification
# area (trayer), a LAN client stays connected, and each window is opened
# through the program's own menus and saved as a PNG.
#   scripts/screenshots.sh OUTPUT_DIR
# Writes OUTPUT_DIR/{desktop-start,icon-menu,status,connections,about,setup}.png (the
# whole screen) and OUTPUT_DIR/window-*.png (each window with its frame; the
# icon's menu with the notification area). The README shows the window-*.png
# kept in docs/.
# ORVIK_BUILD_DIR names an existing build to use instead of setting up and
# building build/. The program runs without CAP_SYS_TIME, so it can never
# set this clock.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: scripts/screenshots.sh OUTPUT_DIR}
mkdir -p "$out"
out=$(cd "$out" && pwd)
if [[ -n ${ORVIK_BUILD_DIR:-} ]]; then
  build_dir=$ORVIK_BUILD_DIR
  cmake --build "$build_dir" --target orvik-gpstime gpstime-sim gpstime-client >/dev/null
else
  "$root/scripts/setup.sh"
  build_dir=$root/build
  "$root/scripts/build.sh" "$build_dir" >/dev/null
fi
bin=$build_dir/bin

work=$(mktemp -d /tmp/orvik-screenshots.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

wait_for() {  # wait_for SECONDS COMMAND...: polls COMMAND every 0.2 s
  local tries=$(($1 * 5))
  shift
  for ((i = 0; i < tries; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.2; done
  echo "screenshots: gave up waiting for: $*" >&2
  return 1
}

# A private display; Xvfb picks a free number and writes it to fd 5.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 15 grep -q . "$work/display"
export DISPLAY=:$(head -1 "$work/display")

# Windows with a requested position keep it; the others are placed at once.
# Xvfb has only its built-in "fixed" font.
cat >"$work/twmrc" <<'TWMRC'
RandomPlacement
UsePPosition "on"
NoGrabServer
TitleFont "fixed"
ResizeFont "fixed"
MenuFont "fixed"
IconFont "fixed"
IconManagerFont "fixed"
NoTitle { "trayer" "panel" }
TWMRC
LC_ALL=C twm -f "$work/twmrc" >"$work/twm.log" 2>&1 &
pids+=($!)
trayer --edge bottom --align right --widthtype pixel --width 100 --heighttype pixel \
  --height 32 --transparent false 2>"$work/trayer.log" &
pids+=($!)
wait_for 10 xdotool search --classname trayer

"$bin/gpstime-sim" --dir "$work" --port 2 --protocol nmea --start-delay 3 --duration 120 \
  >"$work/sim.log" 2>&1 &
pids+=($!)
wait_for 10 test -L "$work/COM2"

# The real program listens on TCP port 1609; another one there would make
# its start-up fail (shown, but not the picture wanted here).
port_taken() { (exec 3<>/dev/tcp/127.0.0.1/1609) 2>/dev/null; }
if port_taken; then
  echo "screenshots: TCP port 1609 is in use; waiting up to 60 s for it" >&2
  wait_for 60 eval '! port_taken' || true
fi
(cd "$work" && exec setpriv --bounding-set -sys_time -- "$bin/orvik-gpstime") >"$work/program.log" 2>&1 &
program=$!
pids+=("$program")
sleep 0.5
"$root/scripts/check-no-clock-privilege.sh" "$program"

"$bin/gpstime-client" --host 127.0.0.1 --port 1609 --count 100 >"$work/client.log" 2>&1 &
pids+=($!)

# The notification-area icon: the program's mapped window named after it.
icon_window() {
  local w
  for w in $(xdotool search --class orvik-gpstime 2>/dev/null); do
    if [[ $(xdotool getwindowname "$w" 2>/dev/null) == orvik-gpstime &&
          $(xwininfo -id "$w" 2>/dev/null) == *IsViewable* ]]; then
      echo "$w"
      return 0
    fi
  done
  return 1
}
# The mapped top-level window titled $1 (the newest when several).
window_titled() {
  local w found=""
  for w in $(xdotool search --name "^$1\$" 2>/dev/null); do
    [[ $(xwininfo -id "$w" 2>/dev/null) == *IsViewable* ]] && found=$w
  done
  [[ -n $found ]] && echo "$found"
}
wait_for 20 icon_window
import -window root "$out/desktop-start.png"
sleep 4  # the small main window hides itself; the receiver starts sending

# "&Show" from the icon's menu (right button, then the S key).
icon=$(icon_window)
xdotool mousemove --window "$icon" 8 8 click 3
sleep 0.7
import -window root "$out/icon-menu.png"
# The menu over the notification area, which trayer keeps in the bottom right corner.
convert "$out/icon-menu.png" -gravity SouthEast -crop 240x120+0+0 +repage \
  "$out/window-icon-menu.png"
xdotool key s
wait_for 10 window_titled "Orvik - GPS Time"
status=$(window_titled "Orvik - GPS Time")
sleep 3  # a few display ticks
import -window root "$out/status.png"
import -frame -window "$status" "$out/window-status.png"

# The status window's menu bar through the keyboard: Alt, then arrows.
open_from_menu_bar() {  # open_from_menu_bar RIGHT_STEPS EXTRA_KEYS...
  local steps=$1
  shift
  xdotool mousemove --window "$status" 150 60
  xdotool windowactivate --sync "$status" 2>/dev/null || xdotool windowfocus --sync "$status"
  xdotool key --window "$status" alt
  sleep 0.3
  for ((i = 0; i < steps; i++)); do xdotool key Right; done
  xdotool key "$@"
}

open_from_menu_bar 2 Return  # "Connections"
wait_for 10 window_titled Connections
sleep 1
import -window root "$out/connections.png"
import -frame -window "$(window_titled Connections)" "$out/window-connections.png"

open_from_menu_bar 3 Return  # "About"
wait_for 10 window_titled About
sleep 1
import -window root "$out/about.png"
import -frame -window "$(window_titled About)" "$out/window-about.png"

open_from_menu_bar 1 Down Return  # "Setup" > "Setup parameters"
wait_for 10 window_titled "Setup parameters"
sleep 1
import -window root "$out/setup.png"
import -frame -window "$(window_titled "Setup parameters")" "$out/window-setup.png"

# "Exit" from the icon's menu; the program ends by itself.
xdotool mousemove --window "$icon" 8 8 click 3
sleep 0.7
xdotool key Up Return
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then
  echo "screenshots: orvik-gpstime did not end after Exit" >&2
  exit 1
fi
echo "screenshots: saved in $out"
ls "$out"
