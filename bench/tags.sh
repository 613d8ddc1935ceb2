#!/usr/bin/env bash
# Times TAGS=ALL against TAGS=ID3V1 on the "id3v2" tree of gen_tree.py (ID3v2.3 tags at the
# head, some with a 100 KB picture, a hole, ID3v1 at the tail), warm and cold (cold drops the
# page cache before every run and needs root). Same columns in both (the default eight); a third
# run adds PLAY TIME and BITRATE to TAGS=ALL. Prints medians and the ALL/ID3V1 ratio.
#   bench/tags.sh [--trees DIR] [--runs N] [--preset NAME] [--no-cold]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
trees=${BENCH_TREES:-/tmp/veldra-bench}
runs=5
preset=id3v2
cold=1
while [ $# -gt 0 ]; do
  case "$1" in
    --trees) trees=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --preset) preset=$2; shift 2 ;;
    --no-cold) cold=0; shift ;;
    *) echo "tags.sh: unknown argument '$1'" >&2; exit 64 ;;
  esac
done
[ "$cold" = 1 ] && [ "$(id -u)" != 0 ] && { echo "tags.sh: cold runs need root (or --no-cold)" >&2; exit 64; }

build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELDRA_BUILD_UI=OFF \
  -DVELDRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target VELDRA-cli -j "$(nproc)" >/dev/null
cli="$repo/$build/bin/VELDRA-cli"

mkdir -p "$trees"
tree="$trees/$preset"
want=$(python3 -c "import json,sys; sys.path.insert(0,'bench'); import gen_tree as g; \
print(json.dumps(dict(g.PRESETS['$preset'], seed=1, version=1), sort_keys=True))")
if [ ! -d "$tree" ] || [ "$(cat "$tree.params" 2>/dev/null)" != "$want" ]; then
  python3 bench/gen_tree.py --preset "$preset" "$tree" >&2
fi
program="$trees/program-tags-$preset"
mkdir -p "$program"
cp "$repo/$build/bin/VELDRA.gnr" "$program/"
columns='FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@ID3-COMMENT@ID3-YEAR@ID3-GENRE@'
write_set() {  # name extra-lines columns
  printf '[MAIN]\r\nTEXT1(5)=index.htm\r\nCheck2=TRUE\r\nDIR(0)=%s/\r\nURL(0)=http://example/\r\nLIST1=ID3-TRACK@\r\nLIST2=%s\r\n%b' \
    "$tree" "$3" "$2" >"$program/$1.ini"
}
write_set id3v1 'TAGS=ID3V1\r\n' "$columns"
write_set all 'TAGS=ALL\r\n' "$columns"
write_set stream 'TAGS=ALL\r\n' "${columns}PLAY TIME@BITRATE@"

# The tag cache, where the build has one, stays off: every run reads the tags.
no_cache=()
"$cli" --help 2>&1 | grep -q -- --no-cache && no_cache=(--no-cache)
results=$(mktemp)
trap 'rm -f "$results"' EXIT
timed() {  # mode set
  local t
  t=$(mktemp)
  if [ "$1" = cold ]; then sync; echo 3 >/proc/sys/vm/drop_caches; fi
  /usr/bin/time -f "%e %U %S %M" -o "$t" "$cli" --program-folder "$program" --quiet \
    "${no_cache[@]}" --set "$2" >/dev/null
  echo "$1 $2 $(tail -n 1 "$t")" >>"$results"
  rm -f "$t"
}
modes=(warm)
[ "$cold" = 1 ] && modes+=(cold)
for mode in "${modes[@]}"; do
  [ "$mode" = warm ] && "$cli" --program-folder "$program" --quiet --set all >/dev/null
  for _ in $(seq "$runs"); do
    for set in id3v1 all stream; do timed "$mode" "$set"; done
  done
done
python3 - "$results" <<'PY'
import collections, statistics, sys
rows = collections.OrderedDict()
for line in open(sys.argv[1]):
    mode, name, *values = line.split()
    rows.setdefault((mode, name), []).append([float(v) for v in values])
print(f"{'mode':5} {'set':7} {'wall s':>7} {'user s':>7} {'sys s':>7} {'peak MiB':>8} {'/ID3V1':>7}")
for (mode, name), samples in rows.items():
    med = [statistics.median(c) for c in zip(*samples)]
    base = statistics.median(s[0] for s in rows[(mode, "id3v1")])
    print(f"{mode:5} {name:7} {med[0]:7.2f} {med[1]:7.2f} {med[2]:7.2f} {med[3] / 1024:8.1f} "
          f"{med[0] / base:7.2f}")
PY
