#!/usr/bin/env bash
# Lint stage of the test command: every source must match the project's .clang-format, and
# clang-tidy's bug-finding checks (.clang-tidy) must find nothing in the code of the programs.
#   scripts/lint.sh [build-dir]     (the build dir provides compile_commands.json; default build/test)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}

mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.c')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files clean"

mapfile -t tidy_sources < <(git ls-files 'platform/*.cpp' 'tags/*.cpp' 'settings/*.cpp' \
  'engine/*.cpp' 'app/*.cpp' 'ui/*.cpp')
printf '%s\n' "${tidy_sources[@]}" |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
echo "clang-tidy: ${#tidy_sources[@]} files clean"
