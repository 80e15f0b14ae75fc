#!/usr/bin/env bash
# The Debian package, checked: scripts/package.sh makes it from BUILD_DIR;
# its name, control fields and file list are compared with what they must be
# (dpkg-deb --info, --contents); lintian must report no error; and its
# maintainer scripts run for real in scratch roots (scratch_root.sh), on a
# machine whose init is systemd and on one without, never on this machine.
#   check_package.sh BUILD_DIR VERSION
# Exit status 77 (skipped) when not run as root.
# Programs only run in the scratch root, under setpriv --bounding-set -sys_time
# (in_root/systemd_machine.sh).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build_dir=$1
version=$2
[[ $(id -u) -eq 0 ]] || { echo "check_package: needs root for the scratch roots" >&2; exit 77; }
source "$here/in_root/checks.sh"

out=$(mktemp -d /tmp/orvik-package-check.XXXXXX)
trap 'rm -rf "$out"' EXIT
deb=$(ORVIK_BUILD_DIR=$build_dir "$here/../../scripts/package.sh" "$out") || exit 1
name=$(basename "$deb")
control() { dpkg-deb --field "$deb" "$1"; }
check "file name orvik-gpstime_${version}_amd64.deb" test "$name" = "orvik-gpstime_${version}_amd64.deb"
check "Version: the project's" test "$(control Version)" = "$version"
check "Package, Architecture" test "$(control Package) $(control Architecture)" = "orvik-gpstime amd64"
check "Depends: the maintainer scripts' tools" eval '[[ $(control Depends) == "adduser, libcap2-bin, "* ]]'
check "Depends: the binaries' libraries (shlibdeps)" \
  eval '[[ $(control Depends) == *"libc6 (>="*"libcap2 (>="*"libqt6widgets6 (>="* ]]'
dpkg-deb --info "$deb" >"$out/info"
check "maintainer scripts postinst, prerm, postrm" \
  eval '[[ $(grep -c "#!/bin/sh" "$out/info") == 3 ]]'

# Every file with its mode and owner; directories aside.
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort >"$out/contents"
sort >"$out/expected" <<'LIST'
-rwxr-xr-x root/root ./usr/bin/gpstime-client
-rwxr-xr-x root/root ./usr/bin/gpstime-sim
-rwxr-xr-x root/root ./usr/bin/orvik-gpstime
-rwxr-xr-x root/root ./usr/bin/orvik-gpstimed
-rw-r--r-- root/root ./usr/lib/systemd/system/orvik-gpstimed.service
-rw-r--r-- root/root ./usr/share/applications/orvik-gpstime.desktop
-rw-r--r-- root/root ./usr/share/doc/orvik-gpstime/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/orvik-gpstime/copyright
-rw-r--r-- root/root ./usr/share/doc/orvik-gpstime/examples/99-orvik-gps.rules
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/orvik-gpstime.svg
-rw-r--r-- root/root ./usr/share/man/man1/gpstime-client.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/gpstime-sim.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/orvik-gpstime.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/orvik-gpstimed.1.gz
LIST
check "contents: the programs, unit, man pages, desktop entry, icon, docs" \
  diff "$out/expected" "$out/contents" || diff "$out/expected" "$out/contents"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/system/orvik-gpstimed.service >"$out/unit"
check "the unit starts the packaged server" grep -qx "ExecStart=/usr/bin/orvik-gpstimed" "$out/unit"
check "the unit grants setting the clock and raising the reading thread, nothing more" \
  eval 'grep -qx "AmbientCapabilities=CAP_SYS_TIME CAP_SYS_NICE" "$out/unit" &&
        grep -qx "CapabilityBoundingSet=CAP_SYS_TIME CAP_SYS_NICE" "$out/unit"'

lintian --fail-on error "$deb" >"$out/lintian" 2>&1
lintian_status=$?
grep -v "^running with root" "$out/lintian"
check "lintian: no errors" test "$lintian_status" -eq 0

echo "-- in a scratch root whose init is systemd"
scenario=(in_root/checks.sh "$here/../../scripts/check-no-clock-privilege.sh" "$deb")
(cd "$here" && ./scratch_root.sh --systemd in_root/systemd_machine.sh "${scenario[@]}" \
  -- "$name" "$version") && passed=$((passed + 1)) || failed=$((failed + 1))
echo "-- in a scratch root without systemd"
(cd "$here" && ./scratch_root.sh in_root/sysv_machine.sh "${scenario[@]}" -- "$name") &&
  passed=$((passed + 1)) || failed=$((failed + 1))
finish
