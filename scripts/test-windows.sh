#!/usr/bin/env bash
# Cross-builds the Windows test executables (scripts/build-windows.sh) and
# runs them under wine: the core unit tests, the Win32 platform and main-loop
# tests, the serial link on two ptys joined by socat and mapped into the
# prefix as COM2 (the link under test) and COM3 (its other end), the
# desktop windows end to end under Xvfb (tests/windows/desktop_windows_e2e.sh,
# with the windows' layout at 100, 150 and 200 %), the desktop program
# beside a running service (tests/windows/desktop_beside_service_e2e.sh),
# and the console program end to end against the Linux simulator and client
# (tests/windows/console_program_e2e.sh), and the installer built, signed,
# installed, serving and removed (tests/windows/installer_e2e.sh); both need
# the Linux build, which scripts/test.sh makes first, and are skipped with a
# note without it.
#   scripts/test-windows.sh [BUILD_DIR] [LINUX_BUILD_DIR]
#                           (defaults: build-windows, build)
#
# Safety: under wine, SetSystemTime calls this machine's settimeofday(). Every
# wine process here runs under `setpriv --bounding-set -sys_time`, so none can
# ever gain CAP_SYS_TIME, and the running wineserver is checked for that
# before any test runs. The wine prefixes live in BUILD_DIR/wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build-windows}
linux_build_dir=${2:-$root/build}
started=$SECONDS

"$root/scripts/build-windows.sh" "$build_dir"

# The programs are copied to a Windows PC alone: they must not need the
# compiler's runtime DLLs (libstdc++, libgcc, winpthread) beside them.
for exe in "$build_dir"/bin/*.exe; do
  if x86_64-w64-mingw32-objdump -p "$exe" | grep -iE 'DLL Name: *lib(stdc\+\+|gcc|winpthread)'; then
    echo "test-windows: $(basename "$exe") needs a MinGW runtime DLL: not statically linked"
    exit 1
  fi
done

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
no_clock=(setpriv --bounding-set -sys_time --)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# A zone with daylight saving, for the time-zone test (wine takes the zone
# from the host).
export TZ=Europe/Berlin

# A template prefix, made once (about 8 s, 700 MB); each run uses a copy of
# hard links to it (a tenth of a second).
prefixes=$build_dir/wine
template=$prefixes/template
if [[ ! -f $template/system.reg ]]; then
  echo "test-windows: creating the wine prefix template"
  rm -rf "$template"
  mkdir -p "$prefixes"
  WINEPREFIX=$template "${no_clock[@]}" "$wine" wineboot --init >"$prefixes/wineboot.log" 2>&1
  WINEPREFIX=$template "${no_clock[@]}" "$wineserver" -k || true
fi
run=$prefixes/run.$$
rm -rf "$run"
cp -al "$template" "$run"
# The registry files are rewritten by the run (settings of the tests): each
# run gets copies of its own, so the template never changes under it.
for hive in "$run"/*.reg; do cp "$hive" "$hive.copy" && mv "$hive.copy" "$hive"; done
# Wine's display-less graphics driver: the tests' hidden top-level windows
# can be made without an X server.
cat >>"$run/user.reg" <<'EOF'

[Software\\Wine\\Drivers] 1700000000
"Graphics"="null"
EOF
export WINEPREFIX=$run

server_pid=
socat_pid=
cleanup() {
  if [[ -n $socat_pid ]]; then kill "$socat_pid" 2>/dev/null || true; fi
  if [[ -n $server_pid ]]; then
    "${no_clock[@]}" "$wineserver" -k 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$server_pid" 2>/dev/null || true
  fi
  wait 2>/dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT

# One persistent wineserver for the run, in the foreground so its PID is
# known (setpriv executes it in place). It writes floods of lines when a pty
# closes, so its output goes to a file.
"${no_clock[@]}" "$wineserver" -f -p >"$run/wineserver.log" 2>&1 &
server_pid=$!
sleep 0.2
"$root/scripts/check-no-clock-privilege.sh" "$server_pid" >/dev/null || { cat "$run/wineserver.log"; exit 1; }

# Two joined ptys as COM2 and COM3.
socat "PTY,link=$run/pty-com2,raw,echo=0" "PTY,link=$run/pty-com3,raw,echo=0" \
  2>"$run/socat.log" &
socat_pid=$!
for _ in $(seq 100); do
  [[ -e $run/pty-com2 && -e $run/pty-com3 ]] && break
  sleep 0.05
done
mkdir -p "$run/dosdevices"
ln -sfn "$(readlink -f "$run/pty-com2")" "$run/dosdevices/com2"
ln -sfn "$(readlink -f "$run/pty-com3")" "$run/dosdevices/com3"

# The receiver captures, by their path on drive Z: (the host's root).
corpus_dir=$(cd "$root/../shared/corpus" 2>/dev/null && pwd || true)
corpus_dir="Z:${corpus_dir//\//\\}"

failed=()
count=0
for exe in "$build_dir"/tests/*.exe; do
  name=$(basename "$exe" .exe)
  count=$((count + 1))
  # The wineserver is checked again before every test: it is the one all
  # wine processes of the prefix share.
  "$root/scripts/check-no-clock-privilege.sh" "$server_pid" >/dev/null
  if ORVIK_TEST_COM=2 ORVIK_TEST_PEER_COM=3 ORVIK_CLOCK_SETTING_DENIED=1 \
     ORVIK_CORPUS_DIR="$corpus_dir" \
     timeout 300 "${no_clock[@]}" "$wine" "$exe" --gtest_brief=1 >"$run/$name.log" 2>&1; then
    echo "test-windows: $name passed"
  else
    echo "test-windows: $name FAILED"
    cat "$run/$name.log"
    failed+=("$name")
  fi
done

# The desktop windows end to end under Xvfb (icon, menu, show, hide, exit).
count=$((count + 1))
"$root/scripts/check-no-clock-privilege.sh" "$server_pid" >/dev/null || { cat "$run/wineserver.log"; exit 1; }
if timeout 120 "$root/tests/windows/desktop_windows_e2e.sh" "$build_dir" "$linux_build_dir" \
   >"$run/desktop_windows_e2e.log" 2>&1; then
  echo "test-windows: desktop_windows_e2e passed"
else
  echo "test-windows: desktop_windows_e2e FAILED"
  cat "$run/desktop_windows_e2e.log"
  failed+=(desktop_windows_e2e)
fi

# The desktop program beside a running time service (a stand-in registered
# with the prefix's service manager), in a network namespace of its own.
count=$((count + 1))
"$root/scripts/check-no-clock-privilege.sh" "$server_pid" >/dev/null || { cat "$run/wineserver.log"; exit 1; }
if timeout 120 "$root/tests/windows/desktop_beside_service_e2e.sh" "$build_dir" \
   >"$run/desktop_beside_service_e2e.log" 2>&1; then
  echo "test-windows: desktop_beside_service_e2e passed"
else
  echo "test-windows: desktop_beside_service_e2e FAILED"
  cat "$run/desktop_beside_service_e2e.log"
  failed+=(desktop_beside_service_e2e)
fi

# The console program end to end, in a network namespace of its own with a
# prefix and wineserver of its own (tests/windows/console_program_e2e.sh).
linux_bin=$linux_build_dir/bin
if [[ -x $linux_bin/gpstime-sim && -x $linux_bin/gpstime-client && -x $linux_bin/orvik-gpstimed ]]
then
  count=$((count + 1))
  if timeout 180 "$root/tests/windows/console_program_e2e.sh" "$build_dir" "$linux_bin" \
     "$template" >"$run/console_program_e2e.log" 2>&1; then
    echo "test-windows: console_program_e2e passed"
  else
    echo "test-windows: console_program_e2e FAILED"
    cat "$run/console_program_e2e.log"
    failed+=(console_program_e2e)
  fi
  # The installer (scripts/package-windows.sh, signed with a throwaway
  # certificate), installed, serving, stopped and removed, in a network
  # namespace of its own (tests/windows/installer_e2e.sh).
  count=$((count + 1))
  if timeout 240 "$root/tests/windows/installer_e2e.sh" "$build_dir" "$linux_bin" \
     "$template" >"$run/installer_e2e.log" 2>&1; then
    echo "test-windows: installer_e2e passed"
  else
    echo "test-windows: installer_e2e FAILED"
    cat "$run/installer_e2e.log"
    failed+=(installer_e2e)
  fi
else
  echo "test-windows: console_program_e2e and installer_e2e SKIPPED: no Linux build in" \
       "$linux_build_dir (gpstime-sim, gpstime-client, orvik-gpstimed); scripts/test.sh builds it first"
fi

echo "test-windows: $((count - ${#failed[@]})) of $count test programs passed under wine" \
     "($((SECONDS - started)) s with the build)"
((${#failed[@]} == 0))
