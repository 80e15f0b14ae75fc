#!/usr/bin/env bash
# Runs a script as root inside a scratch root: a copy-on-write view of this
# machine's file system (overlayfs over /, every change kept on a tmpfs that
# vanishes with it) in private mount, PID, network, UTS and IPC namespaces,
# with its own /dev, /run, /tmp and loopback. Package maintainer scripts run
# there for real (adduser, dpkg-statoverride, setcap, deb-systemd-helper)
# and change nothing on this machine: its users, services and files stay.
#   scratch_root.sh [--systemd] SCRIPT [FILE...] [-- ARG...]
# SCRIPT and the FILEs are copied to /scratch in the root; SCRIPT runs there
# under bash with the ARGs. --systemd makes the root a machine whose init is
# systemd (/run/systemd/system exists), with in_root/systemctl standing in
# for the service manager: it records each request and starts nothing.
# Exit status: the script's; 77 when not run as root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [[ ${ORVIK_SCRATCH_ROOT_INSIDE:-} != 1 ]]; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "scratch_root: needs root (namespaces, overlayfs, chroot)" >&2
    exit 77
  fi
  mountpoint=$(mktemp -d /tmp/orvik-scratch-root.XXXXXX)
  status=0
  ORVIK_SCRATCH_ROOT_INSIDE=1 ORVIK_SCRATCH_ROOT_DIR=$mountpoint \
    unshare --mount --pid --net --uts --ipc --fork --propagation private -- \
    bash "$0" "$@" || status=$?
  rmdir "$mountpoint"
  exit "$status"
fi

# From here on: inside the namespaces. Every mount below is private to them.
systemd=false
if [[ ${1:-} == --systemd ]]; then
  systemd=true
  shift
fi
files=()
while (($#)) && [[ $1 != -- ]]; do
  files+=("$1")
  shift
done
[[ ${1:-} == -- ]] && shift
script=$(basename "${files[0]}")

base=$ORVIK_SCRATCH_ROOT_DIR
mount -t tmpfs -o mode=0755 scratch "$base"
mkdir "$base/upper" "$base/work" "$base/root"
root=$base/root
mount -t overlay overlay -o "lowerdir=/,upperdir=$base/upper,workdir=$base/work" "$root"
if [[ $(stat -f -c %T "$root") != overlayfs ]]; then
  echo "scratch_root: $root is no overlay: refusing to go on" >&2
  exit 1
fi
mount -t proc proc "$root/proc"
mount -t tmpfs -o mode=0755 dev "$root/dev"
for node in "null c 1 3" "zero c 1 5" "random c 1 8" "urandom c 1 9"; do
  read -r name type major minor <<<"$node"
  mknod -m 666 "$root/dev/$name" "$type" "$major" "$minor"
done
mkdir "$root/dev/pts"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=0755 run "$root/run"
mount -t tmpfs -o mode=1777 tmp "$root/tmp"
ip link set lo up

# man-db's trigger would rebuild its index for minutes; the scratch root has
# no use for it. A policy that forbids service starts (containers have one)
# would hide what the maintainer scripts ask of the service manager.
rm -f "$root/var/lib/man-db/auto-update" "$root/usr/sbin/policy-rc.d"
if $systemd; then
  mkdir -p "$root/run/systemd/system"
  install -m 755 "$here/in_root/systemctl" "$root/usr/bin/systemctl"
fi
mkdir "$root/scratch"
cp "${files[@]}" "$root/scratch/"

chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 bash "/scratch/$script" "$@"
