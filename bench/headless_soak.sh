#!/usr/bin/env bash
# Soak run of the headless program: the receiver simulator sends NMEA at 1 Hz
# into a pty linked as COM2 in a temporary folder, orvik-gpstimed serves the
# time on 127.0.0.1:1609 without CAP_SYS_TIME, and 32 LAN clients (one
# soak_clients process) check every record. Every 10 s the program's VmRSS and
# CPU time are sampled. Prints max RSS, CPU % of one core, and the records
# each client received; stops everything it started, by PID.
#   bench/headless_soak.sh [SECONDS, default 600]
# Binaries come from ORVIK_BUILD_DIR (default build/): bin/orvik-gpstimed,
# bin/gpstime-sim and bench/soak_clients. Where this shell may make a network
# namespace (root), the run gets a loopback of its own, so port 1609 of this
# machine stays free for other runs; otherwise that port must be free.
set -euo pipefail
if [[ -z ${ORVIK_SOAK_PRIVATE_NET:-} ]] && unshare --net true 2>/dev/null; then
  exec unshare --net -- env ORVIK_SOAK_PRIVATE_NET=1 "$0" "$@"
fi
if [[ -n ${ORVIK_SOAK_PRIVATE_NET:-} ]]; then
  ip link set lo up
  echo "soak: in a private network namespace (its own 127.0.0.1)"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVIK_BUILD_DIR:-$root/build}
seconds=${1:-600}
clients=32
sample_every=10
start_delay=5
[[ $seconds =~ ^[0-9]+$ && $seconds -ge 10 ]] || { echo "usage: $0 [SECONDS >= 10]" >&2; exit 2; }
daemon_bin=$build/bin/orvik-gpstimed
sim_bin=$build/bin/gpstime-sim
clients_bin=$build/bench/soak_clients
for f in "$daemon_bin" "$sim_bin" "$clients_bin"; do
  [[ -x $f ]] || { echo "missing $f: build orvik-gpstimed gpstime-sim soak_clients" >&2; exit 2; }
done
if ss -Htln 'sport = :1609' | grep -q .; then
  echo "port 1609 is in use: refusing to start a second server" >&2
  exit 2
fi

work=$(mktemp -d /tmp/orvik-soak.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The simulator links COM2 at once and sends nothing for start_delay seconds;
# the program's missing privilege is verified within that time or the run stops.
sim_started=$SECONDS
"$sim_bin" --dir "$work" --port 2 --protocol nmea --interval 1 --start-delay "$start_delay" \
  --duration "$((seconds + 60))" --quiet >"$work/sim.out" 2>&1 &
sim=$!
pids+=("$sim")
for _ in $(seq 50); do [[ -L $work/COM2 ]] && break; sleep 0.1; done
[[ -L $work/COM2 ]] || { echo "the simulator did not link COM2" >&2; exit 1; }

(cd "$work" && exec setpriv --bounding-set -sys_time -- "$daemon_bin") 2>"$work/daemon.err" &
daemon=$!
pids+=("$daemon")
# Check the program itself, not setpriv before its exec.
for _ in $(seq 50); do
  [[ $(readlink "/proc/$daemon/exe" 2>/dev/null) == "$(readlink -f "$daemon_bin")" ]] && break
  sleep 0.05
done
"$root/scripts/check-no-clock-privilege.sh" "$daemon"
if (( SECONDS - sim_started >= start_delay )); then
  echo "the privilege check came too late (simulator may already send): stopping" >&2
  exit 1
fi

clk_tck=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '$1 == "VmRSS:" {print $2}' "/proc/$1/status"; }

"$clients_bin" 1609 "$clients" "$seconds" >"$work/clients.out" 2>&1 &
fleet=$!
pids+=("$fleet")

echo "soak: orvik-gpstimed pid $daemon, $clients clients, ${seconds} s, sample every ${sample_every} s"
printf '%8s %10s %10s\n' elapsed_s rss_mb cpu_s
t0=$EPOCHREALTIME
c0=$(cpu_ticks "$daemon")
max_rss=0
first_rss=
last_rss=0
t_last=$t0
c_last=$c0
for (( i = 0; i <= seconds / sample_every + 6; i++ )); do
  kill -0 "$daemon" 2>/dev/null || { echo "orvik-gpstimed ended during the run" >&2; break; }
  last_rss=$(rss_kb "$daemon")
  c_last=$(cpu_ticks "$daemon")
  t_last=$EPOCHREALTIME
  first_rss=${first_rss:-$last_rss}
  (( last_rss > max_rss )) && max_rss=$last_rss
  awk -v t="$t_last" -v t0="$t0" -v r="$last_rss" -v c="$c_last" -v c0="$c0" -v hz="$clk_tck" \
    'BEGIN {printf "%8.0f %10.1f %10.2f\n", t - t0, r / 1024, (c - c0) / hz}'
  kill -0 "$fleet" 2>/dev/null || break
  # Wait for the next sample time (not a fixed sleep, so the cadence holds on a busy machine).
  next_us=$(( ${t_last/./} + sample_every * 1000000 ))
  for (( s = 0; s < sample_every * 20 && ${EPOCHREALTIME/./} < next_us; s++ )); do
    kill -0 "$fleet" 2>/dev/null || break
    sleep 0.1
  done
done

fleet_status=0
wait "$fleet" || fleet_status=$?
pids=("${pids[@]/$fleet}")
cat "$work/clients.out"

kill -TERM "$daemon" 2>/dev/null || true
daemon_status=0
wait "$daemon" || daemon_status=$?
kill -TERM "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
pids=()

awk -v t="$t_last" -v t0="$t0" -v c="$c_last" -v c0="$c0" -v hz="$clk_tck" -v m="$max_rss" \
  -v f="$first_rss" -v l="$last_rss" 'BEGIN {
    printf "soak: max RSS %.1f MB (first sample %.1f MB, last %.1f MB)\n", m / 1024, f / 1024, l / 1024
    printf "soak: CPU %.3f %% of one core over %.0f s (%.2f s of CPU)\n",
           (t > t0 ? 100 * (c - c0) / hz / (t - t0) : 0), t - t0, (c - c0) / hz }'
echo "soak: orvik-gpstimed exit status after SIGTERM: $daemon_status; clients' status: $fleet_status"
if [[ -s $work/daemon.err ]]; then
  echo "soak: orvik-gpstimed stderr (last 10 lines):"
  tail -n 10 "$work/daemon.err"
fi
exit "$fleet_status"
