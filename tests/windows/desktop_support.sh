# Shared by the scripts that run the Windows desktop program under wine on a
# virtual display (tests/windows/desktop_windows_e2e.sh,
# scripts/screenshots-windows.sh); sourced, with `root` set.
#
# Every wine process and every program runs under
# `setpriv --bounding-set -sys_time` (wine's SetSystemTime calls this
# machine's settimeofday) and is checked for it. Everything started here is
# ended by PID on exit; the wine prefix's own processes by its wineserver.

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
no_clock=(setpriv --bounding-set -sys_time --)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

work=$(mktemp -d /tmp/orvik-desktop.XXXXXX)
pids=()
prefix= server_pid= program_pid=
desktop_cleanup() {
  if [[ -n $server_pid ]]; then
    WINEPREFIX=$prefix timeout 20 "${no_clock[@]}" "$wineserver" -k 2>/dev/null || true
  fi
  local pid
  for pid in $program_pid $server_pid "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in $program_pid $server_pid "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [[ -n $prefix ]] && rm -rf "$prefix"
  rm -rf "$work"
}
trap desktop_cleanup EXIT
trap 'exit 1' TERM INT

fail() {
  echo "desktop: $*" >&2
  local log
  for log in "$work"/*.log "$work"/program.out "$work"/program/GPS_log.txt; do
    [[ -f $log ]] && { echo "--- $log:" >&2; tail -20 "$log" >&2; }
  done
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

check_no_clock() {
  "$root/scripts/check-no-clock-privilege.sh" "$1" >/dev/null || fail "PID $1 may set the clock"
}
process_ended() { [[ ! -e /proc/$1 ]] || grep -q '^State:.*Z' "/proc/$1/status"; }
started_as() { [[ $(readlink "/proc/$1/exe") == *"$2"* ]]; }
# Checks PID once setpriv has executed PROGRAM in its place (before that the
# PID is still a fork of this script, which has dropped nothing yet).
check_no_clock_of() {
  wait_for "$2 started" started_as "$1" "$2"
  check_no_clock "$1"
}

# A prefix of this run (after start_display: wine's desktop process takes
# the display it finds at its start), hard-linked from BUILD_DIR/wine/template (made
# first when missing, as scripts/test-windows.sh makes it), with its own
# wineserver, window frames drawn by wine and wine's fonts.
start_wine_prefix() {
  local template=$1/wine/template
  if [[ ! -f $template/system.reg ]]; then
    rm -rf "$template"
    mkdir -p "$1/wine"
    WINEPREFIX=$template timeout 120 "${no_clock[@]}" "$wine" wineboot --init \
      >"$1/wine/wineboot.log" 2>&1
    WINEPREFIX=$template timeout 20 "${no_clock[@]}" "$wineserver" -k || true
  fi
  prefix=$1/wine/desktop.$$
  rm -rf "$prefix"
  cp -al "$template" "$prefix"
  # Files the run rewrites are copies of its own: the template never changes.
  local hive
  for hive in "$prefix"/*.reg; do cp "$hive" "$hive.copy" && mv "$hive.copy" "$hive"; done
  rm -f "$prefix/dosdevices/com2"
  export WINEPREFIX=$prefix
  # The wineserver floods its output when a pty closes: it goes to a file.
  "${no_clock[@]}" "$wineserver" -f -p >"$work/wineserver.out" 2>&1 &
  server_pid=$!
  check_no_clock_of "$server_pid" wineserver
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  # Without a window manager wine draws the window frames itself.
  "${no_clock[@]}" "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
    >"$work/reg.out" 2>&1
}

# The prefix's scaling for the programs started from now on: wine's
# LogPixels, 96 (100 %), 144 (150 %) or 192 (200 %).
set_dpi() {
  "${no_clock[@]}" "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >"$work/reg.out" 2>&1
}

# Xvfb picks a free display number itself and writes it to fd 3. The
# screen is 1024 x 768, or WIDTHxHEIGHT.
start_display() {
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.out" 2>&1 &
  pids+=($!)
  wait_for "the X display's number" test -s "$work/display"
  export DISPLAY=:$(head -1 "$work/display")
  wait_for "the X display" xdpyinfo
}

# trayer as the notification area, at the top right (or EDGE ALIGN).
start_notification_area() {
  trayer --edge "${1:-top}" --align "${2:-right}" --widthtype pixel --width 100 \
    --heighttype pixel --height 32 --transparent false >"$work/trayer.out" 2>&1 &
  pids+=($!)
  wait_for "the notification area" xdotool search --onlyvisible --name '^panel$'
}

# Starts EXE under wine in DIR, checked once wine runs.
start_program() {
  (cd "$2" && exec "${no_clock[@]}" "$wine" "$1") >"$work/program.out" 2>&1 &
  program_pid=$!
  check_no_clock_of "$program_pid" /wine
}

status_visible() { xdotool search --onlyvisible --name '^Orvik - GPS Time$' | grep -q .; }
status_hidden() { ! status_visible; }
icon() { xdotool search --onlyvisible --classname '^explorer\.exe$' | head -1; }
# The icon's popup menu: the program's visible window without a title.
menu() {
  local window
  for window in $(xdotool search --onlyvisible --classname '^orvik-gpstime\.exe$'); do
    if [[ -z $(xdotool getwindowname "$window") ]]; then echo "$window"; return 0; fi
  done
  return 1
}
open_menu() {
  xdotool mousemove --window "$(icon)" 10 15 click 3
  wait_for "the icon's menu" menu
}
