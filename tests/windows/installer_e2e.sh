#!/usr/bin/env bash
# The Windows installer end to end: scripts/package-windows.sh signs with a
# throwaway certificate (openssl) and osslsigncode verifies the MSI and the
# programs in it; the MSI's tables carry the firewall rule and the Windows
# Time service changes as asked (wine has neither, so their wiring is checked
# here: commands, conditions, places in the sequence); then, under wine in a
# network namespace of its own (loopback only) and a fresh prefix:
#   - msiexec /i ... /qn installs it: the service OrvikGpsTime runs, reads the
#     Linux receiver simulator on COM2 with the settings in its data folder,
#     and its records reach the Linux client on 127.0.0.1:1609;
#   - "net stop" stops it in order: "Stop" is the log's last line;
#   - msiexec /x ... /qn leaves no service, no programs and no logon start,
#     but keeps the data folder.
#   tests/windows/installer_e2e.sh BUILD_DIR LINUX_BIN_DIR PREFIX_TEMPLATE
# Run by scripts/test-windows.sh. Every program runs under `setpriv
# --bounding-set -sys_time`, and every wine process of the prefix is checked
# for it before the simulator sends its first byte.
set -euo pipefail
if [[ ${ORVIK_E2E_IN_NETNS:-} != 1 ]]; then
  ORVIK_E2E_IN_NETNS=1 exec unshare --net -- "$0" "$@"
fi
ip link set lo up

root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(cd "$1" && pwd)
linux_bin=$(cd "$2" && pwd)
template=$(cd "$3" && pwd)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
no_clock=(setpriv --bounding-set -sys_time --)
check_caps=$root/scripts/check-no-clock-privilege.sh
# Seconds the simulator waits before its first message: the installation
# and the privilege checks must be over by then.
sim_delay=20

tmp=$(mktemp -d "$(dirname "$template")/installer-e2e.XXXXXX")
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

server_pid= sim_pid=
stop_pid() {  # PID: SIGTERM, then SIGKILL after 5 s
  local pid=$1
  [[ -n $pid ]] || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  stop_pid "$sim_pid"
  if [[ -n $server_pid ]]; then
    "${no_clock[@]}" "$wineserver" -k 2>/dev/null || true
    stop_pid "$server_pid"
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

data=$WINEPREFIX/drive_c/ProgramData/Orvik\ GPS\ Time
case_name=package
fail() {
  echo "installer ($case_name): $*" >&2
  for file in "$data/GPS_log.txt" "$tmp"/{client,sim,msiexec}.txt; do
    [[ -f $file ]] && { echo "--- $file:" >&2; tr -d '\r' <"$file" | tail -20 >&2; }
  done
  exit 1
}
wait_for() {  # SECONDS WHAT COMMAND...: runs COMMAND until it succeeds
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || fail "gave up after $seconds s waiting for: $what"
    sleep 0.2
  done
}
win() { timeout 120 "${no_clock[@]}" "$wine" "$@"; }

# Signed with a throwaway certificate, and verified.
openssl req -x509 -newkey rsa:2048 -keyout "$tmp/key.pem" -out "$tmp/cert.pem" -days 1 \
  -subj "/CN=Orvik GPS Time test signing" -addext extendedKeyUsage=codeSigning \
  -passout pass:throwaway 2>/dev/null
msi=$(ORVIK_SIGN_CERT=$tmp/cert.pem ORVIK_SIGN_KEY=$tmp/key.pem ORVIK_SIGN_PASS=throwaway \
  "$root/scripts/package-windows.sh" "$build_dir" "$tmp/out")
[[ $(basename "$msi") =~ ^orvik-gpstime-[0-9]+\.[0-9]+\.[0-9]+-x64\.msi$ ]] || fail "named $msi"
msiextract -C "$tmp/extracted" "$msi" >/dev/null
for file in "$msi" "$tmp/extracted/Orvik GPS Time/"orvik-gpstime{,d}.exe; do
  [[ -f $file ]] || fail "not in the package: $file"
  osslsigncode verify -CAfile "$tmp/cert.pem" -in "$file" >"$tmp/verify.txt" 2>&1 \
    || { cat "$tmp/verify.txt" >&2; fail "signature of $(basename "$file") not verified"; }
done

# The wiring of what wine cannot carry out: ACTION<TAB>CONDITION<TAB>SEQUENCE
# and the command each runs.
case_name="package tables"
table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
has_row() {  # TABLE REGEX
  table "$1" | grep -qE "$2" || fail "no row /$2/ in table $1"
}
has_row CustomAction $'^FirewallAdd\t3186\tNETSH\tadvfirewall firewall add rule name="Orvik GPS Time \\(TCP 1609\\)" dir=in action=allow protocol=TCP localport=1609 program="\\[#ServerExe\\]"'
has_row CustomAction $'^FirewallRemove\t3186\tNETSH\tadvfirewall firewall delete rule name="Orvik GPS Time \\(TCP 1609\\)"'
has_row CustomAction $'^SetNetshPath\t[0-9]+\tNETSH\t\\[System64Folder\\]netsh.exe'
has_row CustomAction $'^W32TimeOff\t3186\tCMD\t/c w32tm /config /syncfromflags:NO /update'
has_row CustomAction $'^W32TimeNtpServer\t3186\tCMD\t.*NtpServer /v Enabled /t REG_DWORD /d 1 .*NtpClient /v Enabled /t REG_DWORD /d 0 .*AnnounceFlags /t REG_DWORD /d 5 .*net stop w32time & net start w32time'
has_row InstallExecuteSequence $'^FirewallAdd\tNOT Installed\t4010$'
has_row InstallExecuteSequence $'^FirewallRemove\tREMOVE="ALL"\t3450$'
has_row InstallExecuteSequence $'^W32TimeOff\tNOT Installed AND W32TIME="OFF"\t'
has_row InstallExecuteSequence $'^W32TimeNtpServer\tNOT Installed AND W32TIME="NTPSERVER"\t'
has_row Property $'^SecureCustomProperties\t.*W32TIME'
has_row Component $'^DataFolder\t.*\t272\t'
has_row ServiceInstall $'^ServiceInstall\tOrvikGpsTime\tOrvik GPS Time\t16\t2\t1\t.*NT AUTHORITY\\\\LocalService\t\t--service\tServer'
# Start at installation, stop at both, removal at uninstallation.
has_row ServiceControl $'^ServiceControl\tOrvikGpsTime\t163\t'

case_name=install
cp -al "$template" "$WINEPREFIX"
for hive in "$WINEPREFIX"/*.reg; do cp "$hive" "$hive.copy" && mv "$hive.copy" "$hive"; done
"${no_clock[@]}" "$wineserver" -f -p >"$tmp/wineserver.log" 2>&1 &
server_pid=$!
runs_wineserver() { [[ $(readlink "/proc/$server_pid/exe") == */wineserver* ]]; }
wait_for 10 "the wineserver" runs_wineserver
"$check_caps" "$server_pid" >/dev/null || fail "the wineserver could set the clock"

# The service's settings, waiting in its data folder: COM2, logging on.
mkdir -p "$data"
printf '%s\r\n' 2 2 1 60 ';ONLY_MIN_SEC' ';SOUND_DISABLED' ';SUMMER_TIME' 3 3 10 4 0 \
  NMEA_0183 LOGGING_ENABLED >"$data/GPS_parm.txt"
# 11:05:00 UTC tomorrow: a time the service would set the clock to.
sim_start_utc=$(date -u -d "$(date -u -d tomorrow +%F) 11:05:00" +%s)
sim_start=$(date -u -d "@$sim_start_utc" '+%F %T')
sim_began=$SECONDS
"${no_clock[@]}" "$linux_bin/gpstime-sim" --dir "$tmp" --port 2 --quiet --protocol nmea \
  --pace bytes --start "$sim_start" --start-delay "$sim_delay" >"$tmp/sim.txt" 2>&1 &
sim_pid=$!
wait_for 10 "the simulator's start-up line" grep -q 'linked as' "$tmp/sim.txt"
"$check_caps" "$sim_pid" >/dev/null || fail "the simulator could set the clock"
ln -sfn "$(readlink -f "$tmp/COM2")" "$WINEPREFIX/dosdevices/com2"

msi_path="Z:${msi//\//\\}"
win msiexec /i "$msi_path" /qn >"$tmp/msiexec.txt" 2>&1 || fail "msiexec /i failed"
for process in /proc/[0-9]*; do
  [[ $(readlink "$process/exe" 2>/dev/null) == */wine* ]] || continue
  tr '\0' '\n' <"$process/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
  "$check_caps" "${process#/proc/}" >/dev/null || fail "wine process ${process#/proc/} could set the clock"
done
((SECONDS - sim_began < sim_delay)) || fail "the installation and checks ended after the first data"
service_state() { win sc query OrvikGpsTime 2>/dev/null | tr -d '\r' | grep -q "STATE *: *$1 "; }
wait_for 20 "the service running" service_state 4
[[ -f $WINEPREFIX/drive_c/Program\ Files/Orvik\ GPS\ Time/orvik-gpstime.exe ]] || fail "no desktop program"
win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'Orvik GPS Time' \
  >/dev/null 2>&1 || fail "the desktop program does not start at logon"

case_name=records
timeout 60 "${no_clock[@]}" "$linux_bin/gpstime-client" --count 3 --raw >"$tmp/client.txt" \
  || fail "the client did not get 3 records from the service"
# The configured GMT offset is 2 h.
[[ $(head -1 "$tmp/client.txt") == "$(date -u -d "@$((sim_start_utc + 7200))" '+%F %T') "* ]] \
  || fail "the first record is not the simulator's first second"

case_name=stop
win net stop OrvikGpsTime >/dev/null 2>&1 || fail "net stop failed"
wait_for 20 "the service stopped" service_state 1
tr -d '\r' <"$data/GPS_log.txt" | tail -1 | grep -qx Stop || fail "'Stop' is not the log's last line"

case_name=uninstall
win msiexec /x "$msi_path" /qn >"$tmp/msiexec.txt" 2>&1 || fail "msiexec /x failed"
! win sc query OrvikGpsTime >/dev/null 2>&1 || fail "the service is still there"
[[ ! -e $WINEPREFIX/drive_c/Program\ Files/Orvik\ GPS\ Time ]] || fail "the programs are still there"
! win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'Orvik GPS Time' \
  >/dev/null 2>&1 || fail "the logon start is still there"
[[ -f $data/GPS_log.txt && -f $data/GPS_parm.txt ]] || fail "the data folder was not kept"

echo "installer: signed and verified, tables wired, installed, served, stopped in order, removed under wine"
