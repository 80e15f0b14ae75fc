#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, when it is missing.
# It starts no program of ours and no wine process (the tests do, each under
# setpriv --bounding-set -sys_time), and keeps the system's chronyd stopped.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libcap-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang clang-format-14 util-linux xvfb socat
          xauth trayer xdotool x11-utils imagemagick twm ccache chrony
          # the Debian package (CPack with dpkg-shlibdeps) and its check
          dpkg-dev file lintian libcap2-bin adduser iproute2
          # the Windows build (mingw-w64) and its tests under wine
          mingw-w64 g++-mingw-w64-x86-64-posix wine64 googletest
          # the Windows installer (wixl, msibuild, msiinfo) and its signing
          msitools wixl osslsigncode openssl
          # the Windows windows' captions in screenshots
          fonts-wine)

# The tests start chronyd themselves, in its mode that never touches the
# clock. The system's own chrony service must never run here: it would
# discipline this machine's clock. After chrony is installed by this script,
# its service is stopped and disabled, with systemd or without it.
keep_system_chronyd_off() {
  if command -v systemctl >/dev/null && [[ -d /run/systemd/system ]]; then
    "${sudo_cmd[@]}" systemctl disable --now chrony.service >/dev/null 2>&1 || true
  else
    # No running systemd (a container): the package's SysV script is what
    # would have started it; systemctl, when present, still removes the
    # unit's boot links without a running manager.
    if [[ -x /etc/init.d/chrony ]]; then
      "${sudo_cmd[@]}" /etc/init.d/chrony stop >/dev/null 2>&1 || true
    fi
    if command -v systemctl >/dev/null; then
      "${sudo_cmd[@]}" systemctl disable chrony.service >/dev/null 2>&1 || true
    fi
  fi
  if command -v update-rc.d >/dev/null; then
    "${sudo_cmd[@]}" update-rc.d chrony disable >/dev/null 2>&1 || true
  fi
  local running
  if running=$(pgrep -x chronyd); then
    echo "setup: warning: a chronyd still runs (PID ${running//$'\n'/ }); stop it: it may" \
         "steer this machine's clock" >&2
  fi
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  installing_chrony=false
  [[ " ${missing[*]} " == *" chrony "* ]] && installing_chrony=true
  # While chrony is installed, a policy that refuses every service start keeps
  # its package scripts from starting chronyd at all. One already present (as
  # in most containers) is left as it is.
  if $installing_chrony && [[ ! -e /usr/sbin/policy-rc.d ]]; then
    printf '#!/bin/sh\n# setup.sh: no service starts while packages install\nexit 101\n' |
      "${sudo_cmd[@]}" tee /usr/sbin/policy-rc.d >/dev/null
    "${sudo_cmd[@]}" chmod 755 /usr/sbin/policy-rc.d
    trap '"${sudo_cmd[@]}" rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
  if $installing_chrony; then keep_system_chronyd_off; fi
fi
