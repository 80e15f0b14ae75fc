# Inside the scratch root, on a machine whose init is systemd: the package is
# installed, its service run as the unit would run it, then removed,
# installed again, upgraded and purged, as an administrator would.
#   systemd_machine.sh DEB VERSION
set -uo pipefail
source /scratch/checks.sh
deb=/scratch/$1
version=$2
no_clock() { setpriv --bounding-set -sys_time -- "$@"; }

start_clean
run_dpkg -i "$deb"
check "installed" installed
check "system user orvik, group dialout, home $home" user_is
check "working directory owned by orvik" owner_is "$home" orvik:dialout:755
check "unit enabled" test -L "$wants_link"
check "not started before a receiver is linked" eval '! grep -q " start " /var/log/systemctl.calls'
check "says it is not started, and why" grep -q "only once a receiver is linked" /scratch/dpkg.log
check "no capability on the binary: the unit grants it" no_capability
check "server binary as shipped" owner_is "$daemon" root:root:755
if command -v systemd-analyze >/dev/null; then
  check "systemd reads the unit without a complaint" \
    eval '[ -z "$(systemd-analyze verify "$unit_file" 2>&1)" ]'
else
  echo "skip  systemd-analyze verify: systemd is not installed"
fi
for program in orvik-gpstimed orvik-gpstime gpstime-client gpstime-sim; do
  check "$program --version" test "$(no_clock "$program" --version)" = "$program $version"
done

# The service as its unit runs it (user, group, directory, program), fed by
# the simulator on a pty that gets the group and mode the udev rule gives a
# real receiver. Without CAP_SYS_TIME: the unit's grant is left out here.
field() { sed -n "s/^$1=//p" "$unit_file"; }
user=$(field User) group=$(field Group) dir=$(field WorkingDirectory) program=$(field ExecStart)
printf '%s\r\n' 2 2 1 60 ';ONLY_MIN_SEC' ';SOUND_OFF' ';SUMMER_TIME' 3 3 10 4 0 NMEA_0183 \
  LOGGING_ENABLED >"$dir/GPS_parm.txt"
no_clock gpstime-sim --dir "$dir" --port 2 --start-delay 3 --duration 60 >/scratch/sim.out 2>&1 &
sim=$!
for _ in $(seq 50); do [ -L "$dir/COM2" ] && break; sleep 0.1; done
pty=$(sed -n 's/^gpstime-sim: \(.*\) linked as .*/\1/p' /scratch/sim.out)
chgrp dialout "$pty" && chmod 0660 "$pty"
(cd "$dir" && exec setpriv --reuid="$user" --regid="$group" --init-groups \
  --bounding-set -sys_time -- "$program") 2>/scratch/daemon.err &
server=$!
sleep 0.5
bash /scratch/check-no-clock-privilege.sh "$server" || exit 1
check "the service serves the receiver's time" \
  eval 'timeout 30 setpriv --bounding-set -sys_time -- gpstime-client --count 1 | grep -q visible'
kill -TERM "$server"
check "the service ends in order on SIGTERM" wait "$server"
kill -TERM "$sim" 2>/dev/null
wait "$sim"
check "the service user writes its log in its directory" owner_is "$dir/GPS_log.txt" orvik:dialout:644
ln -sfn /dev/gps0 "$home/COM2"  # the administrator's link

run_dpkg -r orvik-gpstime
check "removal stops the service" requested "stop orvik-gpstimed.service"
check "removal takes the programs" test ! -e "$daemon"
check "removal keeps the settings, the log and the link" \
  test -f "$home/GPS_parm.txt" -a -f "$home/GPS_log.txt" -a -L "$home/COM2"
check "removal keeps the user" getent passwd orvik

: >/var/log/systemctl.calls
run_dpkg -i "$deb"
# dpkg names the version last configured, so this counts as an upgrade.
check "installed again with a receiver linked: started" \
  requested "--quiet --system restart orvik-gpstimed.service"
check "still enabled" test -L "$wants_link"
rm "$home/COM2"
: >/var/log/systemctl.calls
touch /run/orvik-gpstimed.service.active
run_dpkg -i "$deb"
check "an upgrade restarts it while it runs, link or not" \
  requested "try-restart orvik-gpstimed.service"

run_dpkg --purge orvik-gpstime
check "purged" eval '! installed'
check "purge deletes the settings, the log and the link" test ! -e "$home"
check "purge deletes the user" eval '! getent passwd orvik'
check "purge deletes the unit's links" eval '[ -z "$(find /etc/systemd -name "orvik*")" ]'
finish
