#!/usr/bin/env bash
# Fault injection: SIGKILLs VELDRA-cli at random moments over a generated tree (at least 200
# kills by default) and checks after each kill that every page, snapshot and set file is whole.
#   scripts/crash-test.sh [kills] [VELDRA-cli]     (default: 200, build/test/bin/VELDRA-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
kills=${1:-200}
cli=${2:-build/test/bin/VELDRA-cli}
if [ ! -x "$cli" ]; then
  cmake -S . -B build/test -G Ninja -DVELDRA_WERROR=ON >/dev/null
  cmake --build build/test --target VELDRA-cli -j "$(nproc)"
fi
exec python3 tests/e2e/crash_test.py "$cli" --kills "$kills" --folders 120 --files 3000
