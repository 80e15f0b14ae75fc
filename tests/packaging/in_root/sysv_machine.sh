# Inside the scratch root, on a machine without systemd as init (a container,
# another init): the server's binary itself gets the clock privilege and the
# right to raise its reading thread, kept across upgrades and taken back on
# removal.
#   sysv_machine.sh DEB
set -uo pipefail
source /scratch/checks.sh
deb=/scratch/$1
has_capability() { getcap "$daemon" | grep -q " cap_sys_nice,cap_sys_time=p$"; }

start_clean
run_dpkg -i "$deb"
check "installed" installed
check "system user orvik, group dialout, home $home" user_is
check "cap_sys_time,cap_sys_nice+p on the server" has_capability
check "only root and dialout may run it" owner_is "$daemon" root:dialout:750
check "the desktop program gets no capability" eval '[ -z "$(getcap /usr/bin/orvik-gpstime)" ]'
check "the unit is enabled for a later systemd" test -L "$wants_link"
run_dpkg -i "$deb"
check "an upgrade keeps the capability" has_capability
check "and the mode" owner_is "$daemon" root:dialout:750

touch "$home/GPS_parm.txt"
run_dpkg -r orvik-gpstime
check "removal drops the override" eval '! dpkg-statoverride --list "$daemon"'
check "removal keeps the settings" test -f "$home/GPS_parm.txt"
dpkg-statoverride --add root root 0755 "$daemon"  # the administrator's own
run_dpkg --purge orvik-gpstime
check "purge keeps an override that is not the package's" \
  test "$(dpkg-statoverride --list "$daemon")" = "root root 755 $daemon"
check "purge deletes the user and the directory" eval '! getent passwd orvik && test ! -e "$home"'
finish
