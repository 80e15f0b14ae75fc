#!/usr/bin/env bash
# The Windows console program end to end under wine, in a network namespace
# of its own (loopback only): the Linux receiver simulator on a pty mapped
# into the wine prefix as COM2, orvik-gpstimed.exe in a temporary folder and
# the Linux LAN client on 127.0.0.1:1609. Cases:
#   - "--version" says what the Linux program says;
#   - records reach the client byte for byte as the Linux program sends
#     them for the same simulated seconds; the refused clock setting is
#     reported; the simulator stopped gives "No communication!"; Ctrl+C
#     (SIGINT, which wine turns into the console event) ends the program in
#     order;
#   - a bad settings file is reported, the program keeps running and
#     listening, as on Linux;
#   - a COM port that does not exist is said and logged as "no such port";
#   - port 1609 taken by a Linux listener gives the socket error.
#   tests/windows/console_program_e2e.sh BUILD_DIR LINUX_BIN_DIR PREFIX_TEMPLATE
# Run by scripts/test-windows.sh. The prefix is a copy of the template with
# a wineserver of its own inside the namespace (wine's sockets are made by
# the wineserver, so it must live where the program's network is). Every
# program runs under `setpriv --bounding-set -sys_time`, and the wine
# processes are checked for it before the simulator sends its first byte.
set -euo pipefail
if [[ ${ORVIK_E2E_IN_NETNS:-} != 1 ]]; then
  ORVIK_E2E_IN_NETNS=1 exec unshare --net -- "$0" "$@"
fi
ip link set lo up

root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(cd "$1" && pwd)
linux_bin=$(cd "$2" && pwd)
template=$3
exe=$build_dir/bin/orvik-gpstimed.exe
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
no_clock=(setpriv --bounding-set -sys_time --)
check_caps=$root/scripts/check-no-clock-privilege.sh
# Seconds the simulator waits before its first message: wine's start-up and
# the privilege checks must be over by then.
sim_delay=12

# Beside the template: the prefix is a copy of hard links to it.
tmp=$(mktemp -d "$(dirname "$template")/console-e2e.XXXXXX")
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
cp -al "$template" "$WINEPREFIX"
for hive in "$WINEPREFIX"/*.reg; do cp "$hive" "$hive.copy" && mv "$hive.copy" "$hive"; done

server_pid= sim_pid= exe_pid= linux_pid= taker_pid=
stop_pid() {  # PID: SIGTERM, then SIGKILL after 5 s
  local pid=$1
  [[ -n $pid ]] || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  stop_pid "$exe_pid"
  stop_pid "$linux_pid"
  stop_pid "$sim_pid"
  stop_pid "$taker_pid"
  if [[ -n $server_pid ]]; then
    "${no_clock[@]}" "$wineserver" -k 2>/dev/null || true
    stop_pid "$server_pid"
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

case_name=setup
fail() {
  echo "console program ($case_name): $*" >&2
  for file in "$tmp"/work/{stderr,GPS_log}.txt "$tmp"/{reference,client,sim,taker}.txt; do
    [[ -f $file ]] && { echo "--- $file:" >&2; tr -d '\r' <"$file" >&2; }
  done
  exit 1
}

# Runs the command until it succeeds, for at most SECONDS seconds.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || fail "gave up after $seconds s waiting for: $what"
    sleep 0.1
  done
}
# The program's stderr holds the line (CR LF line ends on Windows).
said() { tr -d '\r' <"$tmp/work/stderr.txt" | grep -qxE -- "orvik-gpstimed: $1"; }
running() { [[ -e /proc/$1 ]] && ! grep -q '^State:.*Z' "/proc/$1/status"; }
# PID has executed the program PATTERN (setpriv executes it in its place).
runs() { [[ $(readlink "/proc/$1/exe") == $2 ]]; }

# The wineserver of this prefix, in this namespace, its output (floods of
# lines when a pty closes) in a file.
"${no_clock[@]}" "$wineserver" -f -p >"$tmp/wineserver.log" 2>&1 &
server_pid=$!
wait_for 10 "the wineserver" runs "$server_pid" "*/wineserver*"
"$check_caps" "$server_pid" >/dev/null || fail "the wineserver could set the clock"

windows_version=$(timeout 30 "${no_clock[@]}" "$wine" "$exe" --version | tr -d '\r')
[[ $windows_version == "$("${no_clock[@]}" "$linux_bin/orvik-gpstimed" --version)" ]] \
  || fail "--version says '$windows_version', unlike the Linux program"

# Whole seconds since the epoch of 11:05:00 UTC tomorrow: a time the program
# would set the clock to (after its build date).
sim_start_utc=$(date -u -d "$(date -u -d tomorrow +%F) 11:05:00" +%s)

# Settings: COM2, GMT offset 2 h, the protocol and logging as given.
write_settings() {  # FIRST_LINE
  printf '%s\r\n' "$1" 2 1 60 ';ONLY_MIN_SEC' ';SOUND_DISABLED' ';SUMMER_TIME' 3 3 10 4 0 \
    NMEA_0183 LOGGING_ENABLED >"$tmp/work/GPS_parm.txt"
}

fresh_folder() {
  case_name=$1
  rm -rf "$tmp/work"
  mkdir -p "$tmp/work"
}

start_simulator() {  # simulator options...
  "${no_clock[@]}" "$linux_bin/gpstime-sim" --dir "$tmp/work" --port 2 --quiet "$@" >"$tmp/sim.txt" 2>&1 &
  sim_pid=$!
  wait_for 10 "the simulator's start-up line" grep -q 'linked as' "$tmp/sim.txt"
  "$check_caps" "$sim_pid" >/dev/null || fail "the simulator could set the clock"
  ln -sfn "$(readlink -f "$tmp/work/COM2")" "$WINEPREFIX/dosdevices/com2"
}

start_program() {
  (cd "$tmp/work" && exec "${no_clock[@]}" "$wine" "$exe" 2>stderr.txt >stdout.txt) &
  exe_pid=$!
  wait_for 10 "the program's start" runs "$exe_pid" "*/wine*"
  check_wine_processes
}

# Every wine process of this prefix (the program, the wineserver and what
# wine started beside them) must be unable to set the clock.
check_wine_processes() {
  local process
  for process in /proc/[0-9]*; do
    [[ $(readlink "$process/exe" 2>/dev/null) == */wine* ]] || continue
    tr '\0' '\n' <"$process/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    "$check_caps" "${process#/proc/}" >/dev/null || fail "wine process ${process#/proc/} could set the clock"
  done
}

# Ctrl+C: the program ends in order, says "stopped" and exits with 0.
stop_program_in_order() {
  kill -INT "$exe_pid"
  wait_for 15 "the end after Ctrl+C" said "stopped"
  local status=0
  timeout 10 tail --pid="$exe_pid" -f /dev/null || fail "still running after it said 'stopped'"
  wait "$exe_pid" || status=$?
  exe_pid=
  ((status == 0)) || fail "exit status $status after Ctrl+C"
}

cd "$tmp"

# The records the Linux program sends for three simulated seconds.
fresh_folder "Linux reference"
write_settings 2
sim_time=$(date -u -d "@$sim_start_utc" '+%F %T')
start_simulator --protocol nmea --pace bytes --start "$sim_time" --start-delay 3 --count 3
(cd "$tmp/work" && exec "${no_clock[@]}" "$linux_bin/orvik-gpstimed" 2>stderr.txt) &
linux_pid=$!
wait_for 10 "the Linux program's start" runs "$linux_pid" "*/orvik-gpstimed"
"$check_caps" "$linux_pid" >/dev/null || fail "the Linux program could set the clock"
wait_for 10 "the Linux program's start-up line" said "serving time on TCP port 1609; receiver on COM2"
timeout 30 "${no_clock[@]}" "$linux_bin/gpstime-client" --count 3 --raw >"$tmp/reference.txt" \
  || fail "the client did not get 3 records from the Linux program"
stop_pid "$linux_pid"
stop_pid "$sim_pid"
sim_pid=
[[ $(head -1 "$tmp/reference.txt") == "$(date -u -d "@$((sim_start_utc + 7200))" '+%F %T') "* ]] \
  || fail "the Linux program's first record is not the simulator's first second"

fresh_folder records
write_settings 2
sim_began=$SECONDS
start_simulator --protocol nmea --pace bytes --start "$sim_time" --start-delay "$sim_delay"
start_program
wait_for 30 "the start-up line" said "serving time on TCP port 1609; receiver on COM2"
((SECONDS - sim_began < sim_delay)) || fail "the checks ended after the first data"
timeout 60 "${no_clock[@]}" "$linux_bin/gpstime-client" --count 3 --raw >"$tmp/client.txt" \
  || fail "the client did not get 3 records"
diff "$tmp/reference.txt" "$tmp/client.txt" >&2 || fail "records differ from the Linux program's"
# Under setpriv the clock cannot be set (error 1314): said once, logged.
wait_for 10 "the clock problem" said "PC clock not set: no time privilege"
first_local=$(date -u -d "@$((sim_start_utc + 2 * 3600))" '+%d.%m.%Y')
grep -q "^Could not set PC time to $first_local [0-9:]*: no time privilege" "$tmp/work/GPS_log.txt" \
  || fail "the refused clock setting is not in the event log"
stop_pid "$sim_pid"
sim_pid=
wait_for 20 "'No communication!'" said "No communication!"
stop_program_in_order
tr -d '\r' <"$tmp/work/GPS_log.txt" | tail -1 | grep -qx Stop || fail "no 'Stop' in the event log"

fresh_folder "bad settings"
write_settings abc
start_program
wait_for 30 "the settings error" said "'abc' is not a valid integer value"
connects() { timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/1609'; }
wait_for 10 "the listener" connects
sleep 3
running "$exe_pid" || fail "the program ended"
! said "serving time on TCP port 1609; receiver on COM2" || fail "it started with bad settings"
stop_program_in_order

fresh_folder "missing port"
write_settings 7
start_program
wait_for 30 "the port's reason" said "COM7: no such port"
tr -d '\r' <"$tmp/work/GPS_log.txt" | grep -qx "COM7: no such port" || fail "the reason is not logged"
running "$exe_pid" || fail "the program ended"
stop_program_in_order

fresh_folder "port taken"
# A Linux listener on the port (reuseaddr: past connections to the port may
# linger in TIME_WAIT; a listener is still one).
"${no_clock[@]}" socat -u TCP-LISTEN:1609,reuseaddr OPEN:/dev/null 2>"$tmp/taker.txt" &
taker_pid=$!
listened() { [[ -n $(ss -Hltn 'sport = :1609') ]]; }
wait_for 10 "the Linux listener" listened
start_program
wait_for 30 "the socket error" said "Windows socket error: .* \(10048\), on API 'bind'"
sleep 3
running "$exe_pid" || fail "the program ended"
stop_program_in_order

echo "console program: version, records, clock refusal, no communication, Ctrl+C, bad settings, missing port and taken port work under wine"
