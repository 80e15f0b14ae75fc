#!/usr/bin/env bash
# The Windows desktop program beside a running time service, end to end
# under wine: a stand-in for the service "OrvikGpsTime"
# (test-programs/stub_time_service.exe, registered with the prefix's service
# manager) pushes its records on 127.0.0.1:1609. Checked: orvik-gpstime.exe
# starts no acquisition of its own (no log, no settings in its folder); its
# status window shows the service's date, time and satellites and says that
# the service keeps the clock, and the time moves; a second copy says that
# one is running, brings the first one's status window to the front and
# ends; "Exit" ends the first and leaves the service running.
#   tests/windows/desktop_beside_service_e2e.sh BUILD_DIR
# BUILD_DIR is the Windows build (its wine/template prefix made by
# scripts/test-windows.sh, or here when missing).
#
# It runs in a network namespace of its own (unshare --net) with a prefix
# and wineserver of its own. Every wine process runs under
# `setpriv --bounding-set -sys_time` and is checked for it: the service's
# before the program connects, the program before it reads a record.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(cd "${1:?usage: desktop_beside_service_e2e.sh BUILD_DIR}" && pwd)
if [[ -z ${ORVIK_PRIVATE_NETWORK:-} ]]; then
  ORVIK_PRIVATE_NETWORK=1 exec unshare --net -- "$0" "$@"
fi
ip link set lo up
source "$root/tests/windows/desktop_support.sh"
started=$SECONDS
helpers=$build_dir/test-programs
winpath() { echo "Z:${1//\//\\}"; }

start_display
start_wine_prefix "$build_dir"
start_notification_area

# The service, started by the prefix's service manager; checked once it runs.
"${no_clock[@]}" "$wine" sc create OrvikGpsTime \
  binpath= "$(winpath "$helpers/stub_time_service.exe")" >"$work/sc-create.log" 2>&1 ||
  fail "the service could not be registered"
"${no_clock[@]}" "$wine" sc start OrvikGpsTime >"$work/sc-start.log" 2>&1 ||
  fail "the service did not start"
service_pid() { pgrep -f 'stub_time_service\.exe' | head -1; }
wait_for "the service running" service_pid
check_no_clock "$(service_pid)"

mkdir -p "$work/program"
start_program "$build_dir/bin/orvik-gpstime.exe" "$work/program"
wait_for "the icon docked" icon

# The status window shows the service's records (read through its controls).
status_texts() { "${no_clock[@]}" "$wine" "$helpers/window_texts.exe" TForm2 2>/dev/null | tr -d '\r'; }
shows_service_time() {
  local texts
  texts=$(status_texts)
  grep -qx '10:20:[0-9]*' <<<"$texts" && grep -qx '15.7.2031' <<<"$texts" &&
    grep -qx '7 / 9' <<<"$texts" &&
    grep -qx "The Orvik GPS Time service keeps this PC's clock." <<<"$texts"
}
wait_for "the service's time in the status window" shows_service_time
first=$(status_texts | grep -x '10:20:[0-9]*')
sleep 2.2
[[ $(status_texts | grep -x '10:20:[0-9]*') != "$first" ]] || fail "the service's time stands still"
[[ ! -e $work/program/GPS_log.txt && ! -e $work/program/GPS_parm.txt ]] ||
  fail "the program started an acquisition of its own beside the service"

# A second copy: it says that one runs, and the first one's hidden status
# window comes to the front.
wait_for "the main window hiding itself" status_hidden
(cd "$work/program" && exec "${no_clock[@]}" "$wine" "$build_dir/bin/orvik-gpstime.exe") \
  >"$work/second.out" 2>&1 &
second_pid=$!
pids+=("$second_pid")
check_no_clock_of "$second_pid" /wine
box() { xdotool search --onlyvisible --name '^Orvik GPS Time$' | head -1; }
wait_for "the second copy's message" box
xdotool key --window "$(box)" Return 2>/dev/null
wait_for "the second copy ending" process_ended "$second_pid"
wait "$second_pid" || fail "the second copy ended with a failure"
wait_for "the first copy's status window in front" status_visible
[[ $(xdotool search --onlyvisible --name '^Orvik - GPS Time$' | wc -l) -eq 1 ]] ||
  fail "a second status window"

open_menu  # "Exit", the bottom item
eval "$(xdotool getwindowgeometry --shell "$(menu)")"
xdotool mousemove --window "$(menu)" 10 $((HEIGHT - 6)) click 1
wait_for "the program ending on 'Exit'" process_ended "$program_pid"
wait "$program_pid" || fail "the program ended with a failure"
program_pid=
[[ -n $(service_pid) ]] || fail "'Exit' ended the service too"
"${no_clock[@]}" "$wine" sc stop OrvikGpsTime >"$work/sc-stop.log" 2>&1 || true
echo "desktop program beside the service: the service's time, no acquisition of its own," \
  "a second copy and exit work under wine ($((SECONDS - started)) s)"
