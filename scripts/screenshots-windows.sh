#!/usr/bin/env bash
# Takes screenshots of the Windows desktop program's windows under wine:
# orvik-gpstime.exe runs in a folder of its own on a private X display
# (Xvfb) with a notification area (trayer), the Linux receiver simulator
# feeds NMEA sentences into a pty mapped into the wine prefix as COM2, two
# LAN clients stay connected, and each window is opened through the
# program's own menus and saved as a PNG.
#   scripts/screenshots-windows.sh [OUTPUT_DIR] [SCALING]
#                                   (defaults: docs, 100; SCALING 100, 150 or 200 %)
# Writes OUTPUT_DIR/windows-{status,icon-menu,setup,connections,about}.png,
# at another scaling than 100 % windows-<SCALING>-*.png: the windows as a
# monitor of that scaling shows them (wine's LogPixels 96, 144 or 192).
# Builds the Windows program (scripts/build-windows.sh) and the simulator and
# client (build/, or ORVIK_LINUX_BUILD_DIR) first. Runs in a network
# namespace of its own (port 1609 stays private); every wine process runs
# without CAP_SYS_TIME, so it can never set this clock.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs}
scaling=${2:-100}
case $scaling in
  100) dpi=96 name=windows ;;
  150) dpi=144 name=windows-150 ;;
  200) dpi=192 name=windows-200 ;;
  *) echo "screenshots-windows: SCALING is 100, 150 or 200" >&2; exit 2 ;;
esac
mkdir -p "$out"
out=$(cd "$out" && pwd)
if [[ -z ${ORVIK_PRIVATE_NETWORK:-} ]]; then
  build_dir=$root/build-windows
  "$root/scripts/build-windows.sh" "$build_dir" >/dev/null
  linux_build=${ORVIK_LINUX_BUILD_DIR:-$root/build}
  [[ -f $linux_build/build.ninja ]] || "$root/scripts/build.sh" "$linux_build" >/dev/null
  cmake --build "$linux_build" --target gpstime-sim gpstime-client >/dev/null
  ORVIK_PRIVATE_NETWORK=1 ORVIK_LINUX_BUILD_DIR=$linux_build exec unshare --net -- "$0" "$out" "$scaling"
fi
ip link set lo up
source "$root/tests/windows/desktop_support.sh"
build_dir=$root/build-windows
linux_bin=$ORVIK_LINUX_BUILD_DIR/bin

start_display 1920x1200
start_wine_prefix "$build_dir"
set_dpi "$dpi"
start_notification_area bottom right
# A length of the windows at 100 %, at this scaling.
scaled() { echo $(($1 * dpi / 96)); }

mkdir -p "$work/sim" "$work/program"
"${no_clock[@]}" "$linux_bin/gpstime-sim" --dir "$work/sim" --port 2 --protocol nmea \
  --start-delay 6 --duration 120 >"$work/sim.log" 2>&1 &
pids+=($!)
wait_for "the simulator's pty" test -L "$work/sim/COM2"
check_no_clock_of "${pids[-1]}" gpstime-sim
ln -sfn "$(readlink -f "$work/sim/COM2")" "$WINEPREFIX/dosdevices/com2"
printf '%s\r\n' 2 2 1 60 ';ONLY_MIN_SEC' ';SOUND_DISABLED' ';SUMMER_TIME' 3 3 10 4 0 NMEA_0183 \
  LOGGING_ENABLED >"$work/program/GPS_parm.txt"
start_program "$build_dir/bin/orvik-gpstime.exe" "$work/program"
wait_for "the icon docked" icon
wait_for "the main window hiding itself" status_hidden
for _ in 1 2; do
  "${no_clock[@]}" "$linux_bin/gpstime-client" --count 200 >/dev/null 2>&1 &
  pids+=($!)
  check_no_clock_of "${pids[-1]}" gpstime-client
done

# The top-level window titled $1 that is in sight.
window_titled() { xdotool search --onlyvisible --name "^$1\$" | head -1; }
# Saves window $1 (its frame drawn by wine) as $2.
save_window() { import -window "$1" "$out/$2"; }

# The icon's menu over the notification area, in the bottom right corner;
# opened from the icon's top left corner, so that it leaves the icon in sight.
xdotool mousemove --window "$(icon)" 1 1 click 3
wait_for "the icon's menu" menu
xdotool mousemove 400 300  # off the icon: its tooltip goes
sleep 1
import -window root "$work/screen.png"
convert "$work/screen.png" -gravity SouthEast -crop "$(scaled 240)x$(scaled 120)+0+0" +repage \
  "$out/$name-icon-menu.png"
xdotool mousemove --window "$(menu)" 10 5 click 1  # "&Show"
wait_for "the status window" status_visible
status=$(window_titled "Orvik - GPS Time")
sleep 4  # the receiver's time in a few display ticks
save_window "$status" "$name-status.png"

# The status window's menu bar through the keyboard: F10, then arrows.
open_from_menu_bar() {  # open_from_menu_bar RIGHT_STEPS KEYS...
  local steps=$1
  shift
  # A click on its title bar (above the other windows) makes it active.
  xdotool mousemove --window "$status" "$(scaled 60)" "$(scaled 8)" click 1
  sleep 0.5
  xdotool key F10
  sleep 0.3
  for ((i = 0; i < steps; i++)); do xdotool key Right; done
  xdotool key "$@"
}
open_from_menu_bar 2 Return  # "Connections"
wait_for "the Connections window" window_titled Connections
sleep 1
save_window "$(window_titled Connections)" "$name-connections.png"
open_from_menu_bar 3 Return  # "About"
wait_for "the About window" window_titled About
sleep 1
save_window "$(window_titled About)" "$name-about.png"
open_from_menu_bar 1 Down Return  # "Setup" > "Setup parameters"
wait_for "the setup dialog" window_titled "Setup parameters"
sleep 1
save_window "$(window_titled "Setup parameters")" "$name-setup.png"

open_menu  # "Exit", the bottom item; the program ends by itself
eval "$(xdotool getwindowgeometry --shell "$(menu)")"
xdotool mousemove --window "$(menu)" 10 $((HEIGHT - 6)) click 1
wait_for "the program ending on 'Exit'" process_ended "$program_pid"
echo "screenshots-windows: saved in $out"
ls "$out/$name"-*.png
