#!/usr/bin/env bash
# Builds VELDRA-cli, makes a small sample music tree in a temporary folder and publishes it with
# a demo environment set (change marks on, all nine columns), then says where the pages are.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

scripts/install-deps.sh
if ! command -v python3 >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "demo: installing python3" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends python3 >/dev/null
fi

build=build/demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELDRA_BUILD_UI=OFF \
  -DVELDRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target VELDRA-cli -j "$(nproc)"

work=$(mktemp -d /tmp/veldra-demo.XXXXXX)
tree="$work/music"
program="$work/program"
mkdir -p "$program"
python3 scripts/make-sample-tree.py "$tree" >/dev/null
# The program folder holds the executable, the genre file, the set and the templates.
cp "$repo/$build"/bin/* "$program/"

# The demo set, as the window would save it: CP932, CR LF, section MAIN.
python3 - "$program/demo.ini" "$tree/" "file://$tree/" <<'PY'
import sys
path, root, url = sys.argv[1:4]
lines = [
    "[MAIN]",
    "TEXT1(0)=<TABLE border=1 cellspacing=0 cellpadding=3>",
    "TEXT1(1)=(DIR)",
    "TEXT1(2)=",
    "TEXT1(5)=index.htm",
    "TEXT1(6)=<HR>",
    "TEXT1(7)=<FONT COLOR=RED>新着</FONT>",
    "TEXT1(8)=<FONT COLOR=GREEN>更新</FONT>",
    "Check1(0)=FALSE",
    "Check1(1)=TRUE",
    "Check1(2)=TRUE",
    "Check2=TRUE",
    "DIR(0)=" + root,
    "URL(0)=" + url,
    "LIST1=",
    "LIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@ID3-COMMENT@ID3-YEAR"
    "@ID3-GENRE@ID3-TRACK@",
]
with open(path, "wb") as f:
    f.write("".join(line + "\r\n" for line in lines).encode("cp932"))
PY

"$program/VELDRA-cli" --set demo

echo
echo "Sample tree:  $tree"
echo "Program folder (set demo.ini, templates): $program"
echo "Root page:    $tree/index.htm"
echo "Open it with: xdg-open '$tree/index.htm'   (pages are Shift-JIS; links are file:// URLs)"
