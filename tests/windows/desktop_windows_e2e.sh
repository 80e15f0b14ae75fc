#!/usr/bin/env bash
# The Windows desktop program end to end under wine, as an operator drives
# it: orvik-gpstime.exe runs in a folder of its own on a virtual X display
# (Xvfb) with a notification area (trayer), the Linux receiver simulator
# feeds NMEA sentences into a pty mapped into the wine prefix as COM2, and
# xdotool plays the operator. Checked: the icon appears and the small main
# window hides itself; the icon's menu shows and hides the status window
# and a double click shows it; the status window's time moves; a LAN client
# on 127.0.0.1:1609 receives records; the event log gets its lines; "Exit"
# ends the program in order (log "Stop", the icon gone, exit status 0).
# Before that it runs desktop_program_test, the program's wiring on test
# doubles, and window_layout_test at 96, 144 and 192 DPI (wine's LogPixels:
# 100, 150 and 200 %), which need the display as well.
#   tests/windows/desktop_windows_e2e.sh BUILD_DIR [LINUX_BUILD_DIR]
# BUILD_DIR is the Windows build (its wine/template prefix made by
# scripts/test-windows.sh, or here when missing); the simulator and the
# client come from the Linux build (default build/; ORVIK_LINUX_BUILD_DIR
# too), built here when out of date.
#
# It runs in a network namespace of its own (unshare --net), so port 1609
# is private to it; the namespace holds a wineserver of its own on a copy of
# the template prefix (wine's sockets live in the wineserver). Every program
# runs under `setpriv --bounding-set -sys_time` and is checked for it, the
# program before the simulator's first sentence.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(cd "${1:?usage: desktop_windows_e2e.sh BUILD_DIR}" && pwd)
if [[ -z ${ORVIK_PRIVATE_NETWORK:-} ]]; then
  ORVIK_PRIVATE_NETWORK=1 exec unshare --net -- "$0" "$@"
fi
ip link set lo up
source "$root/tests/windows/desktop_support.sh"
started=$SECONDS

linux_build=${2:-${ORVIK_LINUX_BUILD_DIR:-$root/build}}
[[ -f $linux_build/build.ninja ]] || fail "no Linux build in $linux_build: run scripts/build.sh first"
cmake --build "$linux_build" --target gpstime-sim gpstime-client >"$work/tools-build.log" 2>&1 ||
  fail "the simulator and the client did not build"
linux_bin=$linux_build/bin
program=$build_dir/bin/orvik-gpstime.exe

start_display 1920x1200  # room for the windows at 200 %
start_wine_prefix "$build_dir"
start_notification_area

# The program's wiring on test doubles first (it needs the display too).
timeout 120 "${no_clock[@]}" "$wine" "$build_dir/test-programs/desktop_program_test.exe" \
  --gtest_brief=1 >"$work/desktop_program_test.log" 2>&1 || fail "desktop_program_test failed"
# Nothing clipped at 100, 150 and 200 %; the program then runs at 100 %.
for dpi in 96 144 192; do
  set_dpi "$dpi"
  ORVIK_TEST_DPI=$dpi timeout 120 "${no_clock[@]}" "$wine" \
    "$build_dir/test-programs/window_layout_test.exe" --gtest_brief=1 >"$work/layout-$dpi.log" 2>&1 ||
    fail "window_layout_test failed at $dpi DPI"
done
set_dpi 96

# The simulator links its pty as COM2 at once and is silent for its start
# delay: by then the program must have been checked.
sim_delay=6
mkdir -p "$work/sim" "$work/program"
"${no_clock[@]}" "$linux_bin/gpstime-sim" --dir "$work/sim" --port 2 --protocol nmea \
  --start-delay "$sim_delay" --duration 90 >"$work/sim.log" 2>&1 &
sim_pid=$!
sim_started=$SECONDS
pids+=("$sim_pid")
wait_for "the simulator's pty" test -L "$work/sim/COM2"
check_no_clock_of "$sim_pid" gpstime-sim
ln -sfn "$(readlink -f "$work/sim/COM2")" "$WINEPREFIX/dosdevices/com2"

# COM2, NMEA 0183, logging on; GMT difference 2 h.
printf '%s\r\n' 2 2 1 60 ';ONLY_MIN_SEC' ';SOUND_DISABLED' ';SUMMER_TIME' 3 3 10 4 0 NMEA_0183 \
  LOGGING_ENABLED >"$work/program/GPS_parm.txt"
start_program "$program" "$work/program"
((SECONDS - sim_started < sim_delay)) || fail "the program was checked after the receiver began"

wait_for "the icon docked" icon
# Two display ticks after a completed start-up the small main window hides itself.
wait_for "the main window hiding itself" status_hidden

open_menu  # "&Show", the top item, by a click
xdotool mousemove --window "$(menu)" 10 5 click 1
wait_for "the status window shown by '&Show'" status_visible

# The receiver's time reaches the status window: its picture changes
# from one display tick to the next.
status=$(xdotool search --onlyvisible --name '^Orvik - GPS Time$' | head -1)
picture() { import -window "$status" "$work/status-$1.png"; }
time_moves() {
  picture a
  sleep 1.2
  picture b
  ! cmp -s <(convert "$work/status-a.png" rgb:-) <(convert "$work/status-b.png" rgb:-)
}
wait_for "the status window's time moving" time_moves

# A LAN client receives records, and the event log has "Start".
"${no_clock[@]}" "$linux_bin/gpstime-client" --host 127.0.0.1 --port 1609 --count 3 \
  >"$work/client.log" 2>&1 &
client_pid=$!
pids+=("$client_pid")
check_no_clock_of "$client_pid" gpstime-client
wait_for "the client's three records" process_ended "$client_pid"
wait "$client_pid" || fail "the client received no records: $(cat "$work/client.log")"
grep -q 'Start' "$work/program/GPS_log.txt" || fail "no 'Start' in the event log"

open_menu  # "&Hide" by its key, the pointer over the menu
xdotool mousemove --window "$(menu)" 10 5 key h
wait_for "the status window hidden by '&Hide'" status_hidden

# A double click on the icon does what the default item "&Show" does.
xdotool mousemove --window "$(icon)" 10 15 click --repeat 2 --delay 80 1
wait_for "the status window shown by a double click" status_visible

open_menu  # "Exit", the bottom item
eval "$(xdotool getwindowgeometry --shell "$(menu)")"
xdotool mousemove --window "$(menu)" 10 $((HEIGHT - 6)) click 1
wait_for "the program ending on 'Exit'" process_ended "$program_pid"
wait "$program_pid" || fail "the program ended with a failure"
program_pid=
[[ $(tail -1 "$work/program/GPS_log.txt") == *Stop* ]] || fail "'Exit' did not stop the acquisition"
[[ -z $(icon) ]] || fail "the icon stayed after 'Exit'"
echo "desktop program: icon, menu, show, hide, double click, time, client, log and exit work" \
  "under wine ($((SECONDS - started)) s)"
