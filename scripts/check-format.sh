#!/usr/bin/env bash
# Fails on a C++ file under src, tests, bench or tools that the project's
# .clang-format would change, naming each one and the command that mends it.
#   scripts/check-format.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
formatter=clang-format-14
if [[ -d .git || -f .git ]]; then
  mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
                                      'bench/*.cpp' 'bench/*.h' 'tools/*.cpp' 'tools/*.h')
else
  mapfile -t files < <(find src tests bench tools -name '*.cpp' -o -name '*.h' | sort)
fi
unformatted=()
for file in "${files[@]}"; do
  if ! "$formatter" --dry-run --Werror "$file" >/dev/null 2>&1; then unformatted+=("$file"); fi
done
if ((${#unformatted[@]} > 0)); then
  printf 'check-format: not formatted: %s\n' "${unformatted[@]}"
  echo "check-format: mend with: $formatter -i <file> (the project's .clang-format)"
  exit 1
fi
echo "check-format: ${#files[@]} C++ files formatted"
