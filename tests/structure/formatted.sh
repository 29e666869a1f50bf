#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file is not as .clang-format
# lays it out; `make format` mends them.
set -euo pipefail
cd "${QUILLON_SOURCE_DIR:?}"
unformatted=()
while IFS= read -r -d '' file; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z '*.cpp' '*.h')
if ((${#unformatted[@]})); then
  printf 'not formatted (run make format): %s\n' "${unformatted[@]}"
  exit 1
fi
echo "every C++ file is formatted"
