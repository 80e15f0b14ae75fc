#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each for
# FUZZ_SECONDS (default 120), seeded with the receiver captures.
#   scripts/fuzz.sh [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build_dir=$root/build-fuzz
seconds=${FUZZ_SECONDS:-120}
CC=clang CXX=clang++ cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVIK_BUILD_FUZZ=ON -DORVIK_BUILD_BENCH=OFF \
  -DORVIK_SANITIZE=address,undefined,fuzzer-no-link >/dev/null
targets=("$@")
((${#targets[@]})) || targets=(decoders_fuzz receive_loop_fuzz line_tails_fuzz settings_file_fuzz)
cmake --build "$build_dir" --target "${targets[@]}"
corpus_dir=${ORVIK_CORPUS_DIR:-$root/../shared/corpus}
for target in "${targets[@]}"; do
  work=$build_dir/fuzz/$target.corpus
  mkdir -p "$work"
  cp "$corpus_dir"/*.nmea "$corpus_dir"/*.bin "$work"/ 2>/dev/null || true
  echo "fuzz: $target for ${seconds}s"
  "$build_dir/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -print_final_stats=1 "$work" 2>&1 | tail -n 12
done
