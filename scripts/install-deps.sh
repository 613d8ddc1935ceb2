#!/usr/bin/env bash
# Installs the Debian packages the project needs to build and test, only those missing.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libicu-dev libtag1-dev libsqlite3-dev nettle-dev libgtest-dev libgmock-dev
  qt6-base-dev qt6-translations-l10n
  scdoc
)
# Extra groups a caller can ask for: install-deps.sh e2e fuzz
for group in "$@"; do
  case "$group" in
    e2e) packages+=(nginx-light linkchecker tidy chromium id3v2 id3tool python3 wget util-linux
                      jing python3-feedparser ffmpeg python3-mutagen eyed3 flac vorbis-tools) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    screenshots) packages+=(xvfb fonts-noto-cjk imagemagick) ;;
    bench) packages+=(hyperfine python3 time) ;;
    lint) packages+=(clang-format clang-tidy git) ;;
    # Building the Debian package and checking it installed: what CPack calls (file, dpkg-dev),
    # lintian and the validators, and what the package depends on so that dpkg -i can install it.
    package) packages+=(file dpkg-dev fakeroot lintian desktop-file-utils appstream man-db systemd
                        qt6-translations-l10n bash-completion python3 util-linux passwd) ;;
    *) echo "install-deps.sh: unknown group '$group'" >&2; exit 64 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
