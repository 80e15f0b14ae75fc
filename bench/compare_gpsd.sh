#!/usr/bin/env bash
# Latency, CPU and memory of our headless time server next to gpsd, the GPS
# daemon Linux users compare against, on one simulated receiver stream.
#
# One gpstime-sim sends NMEA at 4800 baud into a pty, each sentence handed
# over whole when its last byte would be in (--pace lines), each second's
# group ending with its RMC (--rmc-last, so gpsd reports at once), and logs
# the real time of every sentence end (--log-writes). One after the other,
# each server reads that pty and latency_clients connects N clients at once
# (from 127.0.0.1 to .250) and times what they receive against the RMC's line
# feed: gpsd (Debian package, run as `gpsd -N -n -S 2947 PTY`, TPV reports
# after ?WATCH) for N = 1, 32 and 64 (its client limit), then orvik-gpstimed
# (its 39-byte records on port 1609) for N = 1, 32, 64, 1000 and 4096. Each
# row starts a fresh server and measures COMPARE_SECONDS (default 20; three
# times as long, at most 60, for N = 1, where one message a second gives few
# samples; 15 for N >= 1000) after a warm-up of 4 s. Prints the table of the README's
# performance section.
#
#   bench/compare_gpsd.sh            (as root; about 5 minutes)
#   COMPARE_GPSD_CLIENTS="1" COMPARE_ORVIK_CLIENTS="1 1000" bench/compare_gpsd.sh
#                                    (only these rows; each list may be empty)
#   COMPARE_PACE=bytes bench/compare_gpsd.sh
#                                    (the line's bytes one at a time at 4800 baud,
#                                    as a port without a receive FIFO hands them
#                                    over, instead of each sentence whole)
#   COMPARE_PROFILE=strace|trace|perf COMPARE_PROFILE_DIR=/tmp/p bench/compare_gpsd.sh
#                                    (where our server's time goes: `strace -c -f`,
#                                    every call stamped (`strace -f -ttt -T`) or
#                                    `perf record -g` on it over each of its rows,
#                                    one file per row in that folder; the figures of
#                                    such a run are the profiler's, not the server's)
#
# gpsd is installed with apt-get when missing, for this benchmark only; the
# package's own service and socket are disabled and never started here.
# Everything runs in private network and IPC namespaces: 127.0.0.1 and
# gpsd's shared memory are this run's own. Every server runs under
# `setpriv --bounding-set -sys_time` and the simulator is held (SIGSTOP)
# until scripts/check-no-clock-privilege.sh has found CAP_SYS_TIME out of the
# server's reach. Every process is ended by its PID.
# Binaries come from ORVIK_BUILD_DIR (default build/): bin/orvik-gpstimed,
# bin/gpstime-sim and bench/latency_clients.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVIK_BUILD_DIR:-$root/build}
seconds=${COMPARE_SECONDS:-20}
[[ $seconds =~ ^[0-9]+$ && $seconds -ge 5 && $seconds -le 60 ]] ||
  { echo "COMPARE_SECONDS: 5..60" >&2; exit 2; }
pace=${COMPARE_PACE:-lines}
[[ $pace =~ ^(lines|bytes)$ ]] || { echo "COMPARE_PACE: lines or bytes" >&2; exit 2; }
profile=${COMPARE_PROFILE:-}
profile_dir=${COMPARE_PROFILE_DIR:-}
if [[ -n $profile ]]; then
  [[ $profile =~ ^(strace|trace|perf)$ ]] || { echo "COMPARE_PROFILE: strace, trace or perf" >&2; exit 2; }
  profiler_program=$profile
  [[ $profile == trace ]] && profiler_program=strace
  command -v "$profiler_program" >/dev/null ||
    { echo "compare_gpsd: $profiler_program is not installed" >&2; exit 2; }
  [[ -n $profile_dir ]] || { echo "COMPARE_PROFILE_DIR: the folder for the profiles" >&2; exit 2; }
  mkdir -p "$profile_dir"
  profile_dir=$(cd "$profile_dir" && pwd)
fi

if [[ -z ${ORVIK_COMPARE_PRIVATE:-} ]]; then
  [[ $(id -u) == 0 ]] || { echo "compare_gpsd: run as root (namespaces, apt-get)" >&2; exit 2; }
  for f in bin/orvik-gpstimed bin/gpstime-sim bench/latency_clients; do
    [[ -x $build/$f ]] || { echo "missing $build/$f: build orvik-gpstimed gpstime-sim latency_clients" >&2; exit 2; }
  done
  if ! command -v gpsd >/dev/null; then
    echo "compare_gpsd: installing the Debian package gpsd for this benchmark"
    # No service of the package may start while it installs.
    policy_made=
    if [[ ! -e /usr/sbin/policy-rc.d ]]; then
      printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
      chmod 755 /usr/sbin/policy-rc.d
      policy_made=1
    fi
    status=0
    DEBIAN_FRONTEND=noninteractive timeout 180 apt-get install -y -qq --no-install-recommends \
      gpsd >/dev/null || status=$?
    [[ -n $policy_made ]] && rm -f /usr/sbin/policy-rc.d
    (( status == 0 )) || { echo "compare_gpsd: apt-get install gpsd failed" >&2; exit 1; }
  fi
  # The package's socket activation and service stay off.
  if command -v systemctl >/dev/null; then
    systemctl disable --now gpsd.socket gpsd.service >/dev/null 2>&1 || true
  fi
  if [[ -x /etc/init.d/gpsd ]] && command -v update-rc.d >/dev/null; then
    update-rc.d gpsd disable >/dev/null 2>&1 || true
  fi
  exec timeout --signal=TERM --kill-after=10 480 \
    unshare --net --ipc -- env ORVIK_COMPARE_PRIVATE=1 "$0" "$@"
fi

ip link set lo up
work=$(mktemp -d /tmp/orvik-compare.XXXXXX)
writes=$work/writes.log
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -CONT "$pid" 2>/dev/null || true; kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' TERM INT
forget() { local gone=$1; local kept=(); for p in "${pids[@]}"; do [[ $p == "$gone" ]] || kept+=("$p"); done; pids=("${kept[@]}"); }

mkdir "$work/sim" "$work/orvik"
# The simulator stands for hardware that a busy machine does not slow down.
nice -n -15 setpriv --bounding-set -sys_time -- "$build/bin/gpstime-sim" --dir "$work/sim" \
  --port 2 --protocol nmea --rmc-last --pace "$pace" --log-writes "$writes" --duration 460 \
  --quiet >"$work/sim.out" 2>&1 &
sim=$!
pids+=("$sim")
for _ in $(seq 50); do [[ -s $work/sim.out ]] && break; sleep 0.1; done
pty=$(awk 'NR == 1 {print $2}' "$work/sim.out")
[[ $pty == /dev/pts/* ]] || { echo "the simulator did not start: $(cat "$work/sim.out")" >&2; exit 1; }
"$root/scripts/check-no-clock-privilege.sh" "$sim" >/dev/null
ln -s "$pty" "$work/orvik/COM2"

# Starts a server in folder $1: program $2 (to recognise its exec), command
# line from $3 on, with the simulator held;
# waits for its exec and checks that it cannot set the clock. Sets $server.
start_server() {
  local dir=$1 program=$2
  shift 2
  kill -STOP "$sim"
  (cd "$dir" && exec setpriv --bounding-set -sys_time -- "$@") 2>>"$work/server.err" &
  server=$!
  pids+=("$server")
  for _ in $(seq 100); do
    [[ $(readlink "/proc/$server/exe" 2>/dev/null) == "$(readlink -f "$(command -v "$program")")" ]] && break
    sleep 0.02
  done
  "$root/scripts/check-no-clock-privilege.sh" "$server" >/dev/null
  kill -CONT "$sim"
}

stop_server() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  forget "$server"
}

# One row: server kind, N. Appends the harness's figures to $work/rows.
run_row() {
  local kind=$1 clients=$2 run_seconds=$seconds port
  (( clients >= 1000 && run_seconds > 15 )) && run_seconds=15
  (( clients == 1 )) && run_seconds=$(( seconds * 3 > 60 ? 60 : seconds * 3 ))
  if [[ $kind == gpsd ]]; then
    port=2947
    start_server "$work" gpsd gpsd -N -n -S "$port" "$pty"
  else
    port=1609
    start_server "$work/orvik" "$build/bin/orvik-gpstimed" "$build/bin/orvik-gpstimed"
  fi
  sleep 4
  kill -0 "$server" 2>/dev/null || { echo "$kind ended early: $(tail -n 3 "$work/server.err")" >&2; exit 1; }
  local profiler=
  if [[ -n $profile && $kind == orvik ]]; then
    if [[ $profile == strace ]]; then
      timeout --signal=INT "$((run_seconds + 2))" strace -c -f -q -p "$server" \
        -o "$profile_dir/strace-$clients.txt" &
    elif [[ $profile == trace ]]; then
      timeout --signal=INT "$((run_seconds + 2))" strace -f -ttt -T -q -p "$server" \
        -o "$profile_dir/trace-$clients.txt" &
    else
      timeout --signal=INT "$((run_seconds + 2))" perf record -q -g -p "$server" \
        -o "$profile_dir/perf-$clients.data" >/dev/null 2>&1 &
    fi
    profiler=$!
    pids+=("$profiler")
  fi
  "$build/bench/latency_clients" --protocol "$kind" --port "$port" --clients "$clients" \
    --seconds "$run_seconds" --write-log "$writes" --server-pid "$server" --label "$kind" |
    tee -a "$work/rows"
  if [[ -n $profiler ]]; then wait "$profiler" 2>/dev/null || true; forget "$profiler"; fi
  stop_server
}

echo "compare_gpsd: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); ${seconds} s per row; pace $pace"
for n in ${COMPARE_GPSD_CLIENTS-1 32 64}; do run_row gpsd "$n"; done
for n in ${COMPARE_ORVIK_CLIENTS-1 32 64 1000 4096}; do run_row orvik "$n"; done

# The table: one line per N, gpsd and ours side by side.
awk '
  function field(line, key,   m) { return match(line, key "=[^ ]*") ? substr(line, RSTART + length(key) + 1, RLENGTH - length(key) - 1) : "" }
  function served(line) {
    s = field(line, "served"); f = field(line, "first"); l = field(line, "lost")
    return s (f == field(line, "clients") && l == 0 ? "" : " (first s: " f ", lost " l ")")
  }
  /^label=/ { kind = field($0, "label"); n = field($0, "clients"); row[kind, n] = $0; if (!(n in seen)) { seen[n] = 1; order[++count] = n } }
  END {
    print "| N | gpsd served | gpsd p50 / p99 µs | ours served | ours p50 / p99 µs | server CPU per 60 messages: gpsd / ours | RSS: gpsd / ours |"
    print "|---|---|---|---|---|---|---|"
    for (i = 1; i <= count; i++) {
      n = order[i]; g = row["gpsd", n]; o = row["orvik", n]
      printf "| %s | %s | %s | %s | %s | %s / %s ms | %s / %s MB |\n", n,
        g == "" ? "(serves at most 64)" : served(g),
        g == "" ? "" : field(g, "p50_us") " / " field(g, "p99_us"),
        served(o), field(o, "p50_us") " / " field(o, "p99_us"),
        g == "" ? "" : field(g, "cpu_ms_per_60"), field(o, "cpu_ms_per_60"),
        g == "" ? "" : field(g, "rss_mb"), field(o, "rss_mb")
    }
  }' "$work/rows"
