#!/usr/bin/env bash
# Builds the Debian package orvik-gpstime_<version>_amd64.deb with CPack from
# the normal build (not a sanitizer build): the four programs, the systemd
# unit, man pages, the desktop entry and icon, and the maintainer scripts
# that create the service user and undo it.
#   scripts/package.sh [OUTPUT_DIR]      (default: the checkout's top folder)
# Then: sudo apt install ./orvik-gpstime_*.deb
# It builds and packs only: no program of the package runs here (the package
# test, tests/packaging/check_package.sh, runs the service without
# CAP_SYS_TIME in a scratch root).
# ORVIK_BUILD_DIR names an existing build to package instead of setting up
# and building build/; only the packaged targets are brought up to date.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root}
if [[ -n ${ORVIK_BUILD_DIR:-} ]]; then
  build_dir=$ORVIK_BUILD_DIR
  cmake --build "$build_dir" --target orvik-gpstimed orvik-gpstime gpstime-client gpstime-sim \
    orvik_package_files >/dev/null
else
  "$root/scripts/setup.sh"
  build_dir=$root/build
  "$root/scripts/build.sh" "$build_dir" >/dev/null
fi
if grep -q '^ORVIK_SANITIZE:STRING=.' "$build_dir/CMakeCache.txt"; then
  echo "package: $build_dir is a sanitizer build; package the normal build" >&2
  exit 1
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
staging=$(mktemp -d /tmp/orvik-package.XXXXXX)
trap 'rm -rf "$staging"' EXIT
(cd "$build_dir" && cpack -G DEB -B "$staging" >"$staging/cpack.log" 2>&1) || {
  cat "$staging/cpack.log" >&2
  exit 1
}
debs=("$staging"/*.deb)
mv -f "${debs[0]}" "$out/"
echo "$out/$(basename "${debs[0]}")"
