#!/usr/bin/env bash
# Builds the Debian package veldra_<version>_<arch>.deb from a clean checkout of this tree into
# OUT (default: out/), with Debian's hardening flags, and prints its path. The source tree is
# not touched: the build goes into a fresh folder (BUILD, default: a temporary one).
#   scripts/make-deb.sh [OUT]
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
out=$(realpath -m "${1:-out}")

scripts/install-deps.sh package

build=${BUILD:-$(mktemp -d)}
[ -n "${BUILD:-}" ] || trap 'rm -rf "$build"' EXIT
# Files the package holds get their modes from the umask of the install step.
umask 022
# Every hardening feature (bindnow too: the programs load no plugins of their own).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CFLAGS CXXFLAGS CPPFLAGS LDFLAGS
CFLAGS=$(dpkg-buildflags --get CFLAGS)
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX=/usr -DVELDRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)
mkdir -p "$out"
deb=$(ls "$build"/veldra_*.deb)
cp "$deb" "$out/"
echo "$out/$(basename "$deb")"
