#!/usr/bin/env bash
# Fails, naming the files, when any C++ source differs from what clang-format
# makes of it under the project's .clang-format. To fix: the same files through
# `clang-format -i`.
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp')
else
  mapfile -t files < <(find . -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) -print)
fi

# Each file laid out otherwise is named, with its first differing line.
clang-format --dry-run --Werror --ferror-limit=1 "${files[@]}"
echo "${#files[@]} files formatted"
