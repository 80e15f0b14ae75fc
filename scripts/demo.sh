#!/usr/bin/env bash
# Sets up, builds and shows the system at work: the receiver simulator feeds
# NMEA sentences into a pty linked as COM2, the time server decodes them and
# serves the time on TCP port 1609, and the LAN client prints every record it
# receives. With a display (DISPLAY set) the server is the desktop program,
# with its status window and tray icon; without one, the headless program.
# Runs for DEMO_SECONDS (default 20) and stops by itself.
# The program runs without CAP_SYS_TIME, so it can never set this clock.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
bin=$root/build/bin
seconds=${DEMO_SECONDS:-20}

work=$(mktemp -d /tmp/orvik-demo.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The simulator links its pty as COM2 at once and starts sending after a
# short delay, by which time the program's missing privilege is verified.
"$bin/gpstime-sim" --dir "$work" --port 2 --protocol nmea --start-delay 3 \
  --duration "$((seconds + 5))" &
pids+=($!)
for _ in $(seq 50); do [[ -L $work/COM2 ]] && break; sleep 0.1; done

server=orvik-gpstimed
[[ -n ${DISPLAY:-} ]] && server=orvik-gpstime
(cd "$work" && exec setpriv --bounding-set -sys_time -- "$bin/$server") &
daemon=$!
pids+=("$daemon")
sleep 0.5
"$root/scripts/check-no-clock-privilege.sh" "$daemon"

echo "demo: $server (pid $daemon) reads COM2 in $work; a client prints what it serves"
sleep 1
"$bin/gpstime-client" --host 127.0.0.1 --port 1609 --count "$seconds" &
client=$!
pids+=("$client")
wait "$client" || true
