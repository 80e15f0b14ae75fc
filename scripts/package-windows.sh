#!/usr/bin/env bash
# Builds the Windows installer orvik-gpstime-<version>-x64.msi with wixl
# (Debian's msitools) from the Windows build (scripts/build-windows.sh):
# both programs in Program Files\Orvik GPS Time, the service OrvikGpsTime,
# the data folder, the Start-menu shortcut, the start at logon, the firewall
# rule and the event source (packaging/windows/orvik-gpstime.wxs says what and
# how; its W32TIME property is documented there and in the README).
#   scripts/package-windows.sh [BUILD_DIR] [OUT_DIR]
#                              (defaults: build-windows, BUILD_DIR)
# Signing: when ORVIK_SIGN_CERT is set, the two .exe files and the MSI are
# signed with osslsigncode (SHA-256):
#   ORVIK_SIGN_CERT       the certificate (PEM, with its chain), or a PKCS#12
#                         file (.p12 / .pfx) holding certificate and key
#   ORVIK_SIGN_KEY        the private key (PEM or DER); not with PKCS#12
#   ORVIK_SIGN_PASS       the key's or the PKCS#12 file's password (optional)
#   ORVIK_SIGN_TIMESTAMP  a time-stamping server's URL (optional)
# This script starts no program of ours and no wine process (nothing that could
# set the clock, so no CAP_SYS_TIME to drop): wixl and osslsigncode only read
# the .exe files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build-windows}
out_dir=${2:-$build_dir}

"$root/scripts/build-windows.sh" "$build_dir" >/dev/null
build_dir=$(cd "$build_dir" && pwd)
version=$(sed -n 's/.*kVersion\[\] = "\(.*\)";/\1/p' "$build_dir/generated/orvik_version.h")
[[ -n $version ]] || { echo "package-windows: no version in $build_dir/generated" >&2; exit 1; }
mkdir -p "$out_dir"
msi=$(cd "$out_dir" && pwd)/orvik-gpstime-$version-x64.msi

sign() {  # FILE: signs FILE in place when a certificate is given
  [[ -n ${ORVIK_SIGN_CERT:-} ]] || return 0
  local file=$1 args=(-h sha256 -n "Orvik GPS Time")
  if [[ $ORVIK_SIGN_CERT == *.p12 || $ORVIK_SIGN_CERT == *.pfx ]]; then
    args+=(-pkcs12 "$ORVIK_SIGN_CERT")
  else
    [[ -n ${ORVIK_SIGN_KEY:-} ]] || { echo "package-windows: ORVIK_SIGN_KEY is not set" >&2; exit 1; }
    args+=(-certs "$ORVIK_SIGN_CERT" -key "$ORVIK_SIGN_KEY")
  fi
  [[ -n ${ORVIK_SIGN_PASS:-} ]] && args+=(-pass "$ORVIK_SIGN_PASS")
  [[ -n ${ORVIK_SIGN_TIMESTAMP:-} ]] && args+=(-ts "$ORVIK_SIGN_TIMESTAMP")
  osslsigncode sign "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
}

# wixl takes the files by names relative to where it runs.
stage=$build_dir/msi-stage
rm -rf "$stage"
mkdir -p "$stage"
cp "$build_dir/bin/orvik-gpstimed.exe" "$build_dir/bin/orvik-gpstime.exe" "$stage/"
sign "$stage/orvik-gpstimed.exe"
sign "$stage/orvik-gpstime.exe"
(cd "$stage" && wixl -a x64 -D Version="$version" -o "$stage/package.msi" \
  "$root/packaging/windows/orvik-gpstime.wxs")
# What wixl has no attribute for: the data folder is kept at removal
# (permanent, 0x10, beside 64-bit, 0x100), and W32TIME reaches the
# installation's elevated part (a secure property).
msibuild "$stage/package.msi" -q "UPDATE Component SET Attributes = 272 WHERE Component = 'DataFolder'"
msibuild "$stage/package.msi" -q \
  "UPDATE Property SET Value = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;W32TIME' WHERE Property = 'SecureCustomProperties'"
sign "$stage/package.msi"
mv "$stage/package.msi" "$msi"
echo "$msi"
