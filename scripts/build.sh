#!/usr/bin/env bash
# Configures and builds the project.
#   scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
# Executables land in BUILD_DIR/bin (default: build/bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
