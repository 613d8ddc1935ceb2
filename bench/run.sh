#!/usr/bin/env bash
# Times VELDRA-cli on generated trees: a first run (change marks off) and a second run (marks
# on, reading the snapshots the run before left), with wall/user/sys time, peak memory and
# entries per second; beside floor -a / floor -a -p when floor.c is at hand.
#
#   bench/run.sh [--trees DIR] [--floor FLOOR.c] [--runs N] [PRESET...]
#
# PRESET: small, medium, large (default: medium large). Trees are cached in DIR (default
# $BENCH_TREES or /tmp/veldra-bench) and made again only when their parameters change.
# FLOOR.c defaults to $BENCH_FLOOR_SRC, else ../shared/bench/floor.c beside the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

trees=${BENCH_TREES:-/tmp/veldra-bench}
floor_src=${BENCH_FLOOR_SRC:-$repo/../shared/bench/floor.c}
runs=3
presets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --trees) trees=$2; shift 2 ;;
    --floor) floor_src=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    small|medium|large) presets+=("$1"); shift ;;
    *) echo "run.sh: unknown argument '$1' (try --help)" >&2; exit 64 ;;
  esac
done
[ ${#presets[@]} -eq 0 ] && presets=(medium large)

scripts/install-deps.sh bench
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELDRA_BUILD_UI=OFF \
  -DVELDRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target VELDRA-cli -j "$(nproc)" >/dev/null
cli="$repo/$build/bin/VELDRA-cli"

floor=""
if [ -f "$floor_src" ]; then
  floor="$repo/$build/floor"
  cc -O2 -o "$floor" "$floor_src"
else
  echo "run.sh: no floor.c at $floor_src; timing VELDRA-cli alone" >&2
fi

mkdir -p "$trees"
results=$(mktemp)
trap 'rm -f "$results"' EXIT

# Runs a command once under /usr/bin/time; appends "label wall user sys maxrss_kib" to results.
timed() {
  local label=$1; shift
  local t
  t=$(mktemp)
  if ! /usr/bin/time -f "%e %U %S %M" -o "$t" "$@" >/dev/null; then
    echo "run.sh: '$*' failed" >&2
  fi
  echo "$label $(tail -n 1 "$t")" >>"$results"
  rm -f "$t"
}

# An environment set in CP932 with CR LF, as the window writes it.
write_set() {  # file root marks(TRUE|FALSE)
  printf '[MAIN]\r\nTEXT1(5)=index.htm\r\nCheck1(1)=%s\r\nCheck1(2)=%s\r\nCheck2=TRUE\r\nDIR(0)=%s/\r\nURL(0)=http://example/\r\n' \
    "$3" "$3" "$2" >"$1"
}

for preset in "${presets[@]}"; do
  tree="$trees/$preset"
  want=$(python3 -c "import json,sys; sys.path.insert(0,'bench'); import gen_tree as g; \
print(json.dumps(dict(g.PRESETS['$preset'], seed=1, version=1), sort_keys=True))")
  if [ ! -d "$tree" ] || [ "$(cat "$tree.params" 2>/dev/null)" != "$want" ]; then
    echo "run.sh: generating the $preset tree in $tree" >&2
    python3 bench/gen_tree.py --preset "$preset" "$tree" >&2
  fi
  entries=$(python3 -c "import json; p=json.load(open('$tree.params')); print(p['folders'] + p['files'])")

  program="$trees/program-$preset"
  mkdir -p "$program"
  cp "$repo/$build/bin/VELDRA.gnr" "$program/"
  write_set "$program/first.ini" "$tree" FALSE
  write_set "$program/marks.ini" "$tree" TRUE
  ours=("$cli" --program-folder "$program" --quiet --set)

  : >"$results"
  "${ours[@]}" first >/dev/null || true  # warm the cache
  for _ in $(seq "$runs"); do
    timed "$preset first VELDRA-cli" "${ours[@]}" first
    if [ -n "$floor" ]; then timed "$preset first floor-a" "$floor" -a "$tree"; fi
  done
  "${ours[@]}" marks >/dev/null || true  # leaves the snapshots the timed runs read
  for _ in $(seq "$runs"); do
    timed "$preset marks VELDRA-cli" "${ours[@]}" marks
    if [ -n "$floor" ]; then timed "$preset marks floor-a-p" "$floor" -a -p "$tree"; fi
  done

  python3 - "$results" "$entries" <<'PY'
import collections, statistics, sys
rows = collections.OrderedDict()
for line in open(sys.argv[1]):
    preset, run, program, *values = line.split()
    rows.setdefault((preset, run, program), []).append([float(v) for v in values])
entries = int(sys.argv[2])
print(f"{'tree':7} {'run':6} {'program':11} {'wall s':>7} {'user s':>7} {'sys s':>7} "
      f"{'peak MiB':>8} {'entries/s':>10}")
walls = {}
for (preset, run, program), samples in rows.items():
    med = [statistics.median(col) for col in zip(*samples)]
    walls[(run, program)] = med[0]
    rate = entries / med[0] if med[0] > 0 else float("inf")
    print(f"{preset:7} {run:6} {program:11} {med[0]:7.2f} {med[1]:7.2f} {med[2]:7.2f} "
          f"{med[3] / 1024:8.1f} {rate:10.0f}")
for run, floor in (("first", "floor-a"), ("marks", "floor-a-p")):
    if (run, floor) in walls and walls[(run, floor)] > 0:
        print(f"  {run}: VELDRA-cli / {floor.replace('-', ' -')} = "
              f"{walls[(run, 'VELDRA-cli')] / walls[(run, floor)]:.2f}")
print(f"  ({entries} entries; medians of {len(next(iter(rows.values())))} runs, alternating)")
PY
done
