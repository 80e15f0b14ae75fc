#!/usr/bin/env bash
# Configures and builds the project.
#   scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
# Executables land in BUILD_DIR/bin (default: build/bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
shift || true
launcher=()
if command -v ccache >/dev/null; then
  # Paths relative to the checkout, so separate checkouts share the cache.
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
