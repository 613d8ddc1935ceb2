#!/usr/bin/env bash
# Builds the window tests and renders each of the window's five tabs to docs/tab0.png ...
# docs/tab4.png, and 処理 during a run to docs/run.png (offscreen, with the Noto CJK fonts).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh screenshots

build=${VELDRA_SCREENSHOT_BUILD:-build/screenshots}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target ui_tests -j "$(nproc)"
QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$build/bin/ui_tests" --screenshots docs
ls -l docs/tab*.png docs/run.png
