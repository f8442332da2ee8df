#!/usr/bin/env bash
# Formats the C++ sources with the project's .clang-format, or with --check
# lists the files that differ from it and fails.
set -euo pipefail
cd "$(dirname "$0")/.."

format=clang-format-14
command -v "$format" >/dev/null || format=clang-format

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --check ]]; then
  unformatted=()
  for f in "${files[@]}"; do
    "$format" --dry-run -Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
  done
  if ((${#unformatted[@]})); then
    printf 'not formatted (run tools/format.sh):\n' >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
  fi
  echo "format: ${#files[@]} files as .clang-format wants them"
else
  "$format" -i "${files[@]}"
fi
