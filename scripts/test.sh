#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: first a normal build (its suite
# replays every committed fuzz corpus and crash input), then the lint stage (clang-format and
# clang-tidy, scripts/lint.sh), then each fuzz target for a fixed number
# of inputs from a fixed seed, then the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (all but the browser test). Nothing in it depends on the clock or on
# an earlier run: the same commit gives the same verdict. Open-ended fuzzing is scripts/fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh e2e fuzz lint

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVELDRA_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "${ctest_args[@]}"
}

ctest_args=()
run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
scripts/lint.sh build/test
scripts/fuzz.sh --check
ctest_args=(-LE browser)
run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DVELDRA_SANITIZE=ON

# The Debian package from a clean tree: lintian, dpkg -i, a run as an unprivileged user, the
# validators, dpkg -r. It installs and removes system packages, so only in CI (CI=true).
if [ "${CI:-}" = true ]; then
  scripts/package-test.sh
fi
