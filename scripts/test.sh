#!/usr/bin/env bash
# Sets up, checks the C++ files' format, builds and runs every test.
#   scripts/test.sh              normal build in build/, then the Windows
#                                build's tests under wine (test-windows.sh)
#   scripts/test.sh --sanitize   the same tests with ASan+UBSan, in build-asan/
#                                (all but the end-to-end ones, which run the
#                                real programs for minutes and ran above)
# No test sets the clock: programs started by tests run without CAP_SYS_TIME.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Every C++ file follows the project's .clang-format.
"$root/scripts/check-format.sh"

build_dir=$root/build
cmake_args=()
ctest_args=()
if [[ ${1:-} == --sanitize ]]; then
  build_dir=$root/build-asan
  cmake_args=(-DORVIK_SANITIZE=address,undefined -DORVIK_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ctest_args=(--label-exclude e2e)
fi
"$root/scripts/build.sh" "$build_dir" "${cmake_args[@]}"
cd "$build_dir"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300 "${ctest_args[@]}"
# The Windows build's tests under wine, in the normal run only.
if [[ ${1:-} != --sanitize ]]; then
  "$root/scripts/test-windows.sh"
fi
