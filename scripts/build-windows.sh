#!/usr/bin/env bash
# Cross-compiles the Windows build with mingw-w64 (statically linked .exe
# files): the core, the Win32 platform layer, the main loop on the Windows
# message loop and the Win32 windows, with their tests.
#   scripts/build-windows.sh [BUILD_DIR] [extra cmake arguments...]
# The programs land in BUILD_DIR/bin (default: build-windows/bin), e.g.
# orvik-gpstimed.exe, the console time server; they need no DLLs beside them.
# Test executables land in BUILD_DIR/tests (default: build-windows/tests);
# scripts/test-windows.sh runs them under wine. Test programs that need a
# display (the desktop program's wiring test) land in BUILD_DIR/test-programs.
# This script only builds: it starts no program and no wine process. Wine's
# SetSystemTime would set this machine's clock, so scripts/test-windows.sh
# starts every wine process under setpriv --bounding-set -sys_time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build-windows}
shift || true
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" "${launcher[@]}" "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
