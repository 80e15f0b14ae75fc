#!/usr/bin/env bash
# The Windows desktop windows end to end under wine, as an operator drives
# them: on a virtual X display (Xvfb) with a notification area (trayer), the
# demo program's icon appears, the hidden main window hides itself, the
# icon's menu shows and hides the status window, a double click on the icon
# shows it, and "Exit" ends the program and takes the icon away. xdotool plays the operator.
#   tests/windows/desktop_windows_e2e.sh BUILD_DIR
# Run by scripts/test-windows.sh, which exports WINEPREFIX (a prefix of this
# run) and keeps that prefix's wineserver running without CAP_SYS_TIME. The
# demo runs under `setpriv --bounding-set -sys_time` too and is checked for
# it before the first click.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$1
demo=$build_dir/test-programs/desktop_windows_demo.exe
wine=/usr/lib/wine/wine64
no_clock=(setpriv --bounding-set -sys_time --)
: "${WINEPREFIX:?run by scripts/test-windows.sh}"

work=$(mktemp -d)
xvfb_pid= trayer_pid= demo_pid=
cleanup() {
  for pid in $demo_pid $trayer_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "desktop windows: $*" >&2
  echo "--- demo output:" >&2
  cat "$work/demo.out" "$work/demo.err" >&2 2>/dev/null || true
  exit 1
}

# Runs the command until it succeeds, for at most 20 s.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "gave up waiting: $what"
}

# Xvfb picks a free display number itself and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display_known() { [[ -s $work/display ]]; }
wait_for "the X display's number" display_known
export DISPLAY=:$(head -1 "$work/display")
wait_for "the X display" xdpyinfo

# Without a window manager wine draws the window frames itself.
"${no_clock[@]}" "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
  >"$work/reg.log" 2>&1
trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 32 \
  >"$work/trayer.log" 2>&1 &
trayer_pid=$!
wait_for "the notification area" xdotool search --onlyvisible --name '^panel$'

"${no_clock[@]}" "$wine" "$demo" >"$work/demo.out" 2>"$work/demo.err" &
demo_pid=$!
# Checked once setpriv has executed wine in its place (before that the PID
# is still this script's fork, which has not dropped anything yet).
started_wine() { [[ $(readlink "/proc/$demo_pid/exe") == */wine* ]]; }
wait_for "the demo's start" started_wine
"$root/scripts/check-no-clock-privilege.sh" "$demo_pid" >/dev/null || fail "clock privilege held"

status_visible() { xdotool search --onlyvisible --name '^Orvik - GPS Time$'; }
status_hidden() { ! status_visible; }
icon() { xdotool search --onlyvisible --classname '^explorer\.exe$' | head -1; }
# The icon's popup menu: the demo's visible window without a title.
menu() {
  local window
  for window in $(xdotool search --onlyvisible --classname '^desktop_windows_demo\.exe$'); do
    if [[ -z $(xdotool getwindowname "$window") ]]; then echo "$window"; return 0; fi
  done
  return 1
}
open_menu() {
  xdotool mousemove --window "$(icon)" 10 15 click 3
  wait_for "the icon's menu" menu
}

wait_for "the icon" grep -q '^icon shown' "$work/demo.out"
wait_for "the icon docked" icon
# Two display ticks after start the small main window hides itself.
wait_for "the main window hiding itself" status_hidden

open_menu  # "&Show", the top item, by a click
xdotool mousemove --window "$(menu)" 10 5 click 1
wait_for "the status window shown by '&Show'" status_visible

open_menu  # "&Hide" by its key, the pointer over the menu
xdotool mousemove --window "$(menu)" 10 5 key h
wait_for "the status window hidden by '&Hide'" status_hidden

# A double click on the icon does what the default item "&Show" does.
xdotool mousemove --window "$(icon)" 10 15 click --repeat 2 --delay 80 1
wait_for "the status window shown by a double click" status_visible

open_menu  # "Exit", the bottom item
eval "$(xdotool getwindowgeometry --shell "$(menu)")"
xdotool mousemove --window "$(menu)" 10 $((HEIGHT - 6)) click 1
demo_ended() { [[ ! -e /proc/$demo_pid ]] || grep -q '^State:.*Z' "/proc/$demo_pid/status"; }
wait_for "the program ending on 'Exit'" demo_ended
wait "$demo_pid" || fail "the program ended with a failure"
demo_pid=
grep -q '^exit' "$work/demo.out" || fail "'Exit' did not end the program in order"
[[ -z $(icon) ]] || fail "the icon stayed after 'Exit'"
echo "desktop windows: icon, menu, show, hide, double click and exit work under wine"
