# Helpers of the scenarios that run inside the scratch root (sourced).
# check NAME COMMAND...: runs COMMAND, counts it as passed or failed, and
# returns its status.
# The programs run only under setpriv --bounding-set -sys_time (systemd_machine.sh).
passed=0
failed=0
home=/var/lib/orvik-gpstime
daemon=/usr/bin/orvik-gpstimed
unit_file=/usr/lib/systemd/system/orvik-gpstimed.service
wants_link=/etc/systemd/system/multi-user.target.wants/orvik-gpstimed.service

check() {
  local name=$1
  shift
  if "$@" >/dev/null 2>&1; then
    passed=$((passed + 1))
    echo "ok    $name"
  else
    failed=$((failed + 1))
    echo "FAIL  $name"
    return 1
  fi
}

# dpkg ACTION... with its output kept in /scratch/dpkg.log; a failure ends the scenario.
run_dpkg() {
  if ! dpkg "$@" >/scratch/dpkg.log 2>&1; then
    cat /scratch/dpkg.log
    echo "FAIL  dpkg $*"
    exit 1
  fi
}

# The machine as before any installation: no package, user or directory left
# from a real one that this machine might have (the scratch root copies it).
start_clean() {
  dpkg --purge orvik-gpstime >/dev/null 2>&1 || true
  if getent passwd orvik >/dev/null; then userdel orvik; fi
  rm -rf "$home"
  rm -f /var/log/systemctl.calls
  touch /var/log/systemctl.calls
}

owner_is() { [ "$(stat -c %U:%G:%a "$1")" = "$2" ]; }
requested() { grep -qx -- "$1" /var/log/systemctl.calls; }
installed() { dpkg-query -W -f='${Status}' orvik-gpstime 2>/dev/null | grep -q "install ok installed"; }
user_is() { [ "$(getent passwd orvik | cut -d: -f6):$(id -gn orvik)" = "$home:dialout" ]; }
no_capability() { [ -z "$(getcap "$daemon")" ]; }

finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
