#!/usr/bin/env bash
# Times VELDRA-cli on generated trees beside the floor program (when floor.c is at hand), runs
# alternating, and prints medians of wall, user and system time, peak memory, entries per second
# and the ratio of each VELDRA-cli run to its floor run.
#
#   bench/run.sh [--trees DIR] [--floor FLOOR.c] [--runs N] [--cold] [--no-cache] [--skip-same]
#                [PRESET...]
#
# PRESET: one, small, medium, large, bigfolder (default: medium large). Trees are cached in DIR
# (default $BENCH_TREES or /tmp/veldra-bench) and made again only when their parameters change.
# FLOOR.c defaults to $BENCH_FLOOR_SRC, else ../shared/bench/floor.c beside the repository.
# Warm pairs: first run (marks off) / floor -a; marks run / floor -a -p and floor -i -p.
# --cold (root only): drops the page cache before every run; marks run / floor -r.
# The tag cache lives in DIR/cache-home (XDG_CACHE_HOME), warm after the first run of a tree
# (drop_caches empties the page cache, not the database); --no-cache times runs without it.
# --skip-same: both sets say SKIPSAME=TRUE (unchanged pages left alone); the warm marks runs
# are paired with floor -r -p (reads everything, previous snapshots included, writes nothing).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

trees=${BENCH_TREES:-/tmp/veldra-bench}
floor_src=${BENCH_FLOOR_SRC:-$repo/../shared/bench/floor.c}
runs=5
cold=0
no_cache=0
skip_same=0
presets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --trees) trees=$2; shift 2 ;;
    --floor) floor_src=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --cold) cold=1; shift ;;
    --no-cache) no_cache=1; shift ;;
    --skip-same) skip_same=1; shift ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    one|small|medium|large|bigfolder) presets+=("$1"); shift ;;
    *) echo "run.sh: unknown argument '$1' (try --help)" >&2; exit 64 ;;
  esac
done
[ ${#presets[@]} -eq 0 ] && presets=(medium large)
if [ "$cold" = 1 ] && [ "$(id -u)" != 0 ]; then
  echo "run.sh: --cold drops the page cache and needs root" >&2
  exit 64
fi

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

# Runs a command once under /usr/bin/time (after dropping the cache in cold mode); appends
# "preset pair program wall user sys maxrss_kib" to results.
timed() {
  local label=$1; shift
  local t
  t=$(mktemp)
  if [ "$cold" = 1 ]; then sync; echo 3 >/proc/sys/vm/drop_caches; fi
  if ! /usr/bin/time -f "%e %U %S %M" -o "$t" "$@" >/dev/null; then
    echo "run.sh: '$*' failed" >&2
  fi
  echo "$label $(tail -n 1 "$t")" >>"$results"
  rm -f "$t"
}

# An environment set in CP932 with CR LF, as the window writes it.
write_set() {  # file root marks(TRUE|FALSE)
  local skip=""
  [ "$skip_same" = 1 ] && skip='SKIPSAME=TRUE\r\n'
  printf "[MAIN]\r\nTEXT1(5)=index.htm\r\nCheck1(1)=%s\r\nCheck1(2)=%s\r\nCheck2=TRUE\r\n${skip}DIR(0)=%s/\r\nURL(0)=http://example/\r\n" \
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
  export XDG_CACHE_HOME="$trees/cache-home"
  ours=("$cli" --program-folder "$program" --quiet)
  [ "$no_cache" = 1 ] && ours+=(--no-cache)
  ours+=(--set)

  : >"$results"
  if [ "$cold" = 1 ]; then
    "${ours[@]}" marks >/dev/null || true  # leaves the snapshots the timed runs read
    for _ in $(seq "$runs"); do
      timed "$preset cold VELDRA-cli" "${ours[@]}" marks
      if [ -n "$floor" ]; then timed "$preset cold floor-r" "$floor" -r "$tree"; fi
    done
  else
    "${ours[@]}" first >/dev/null || true  # warm the cache
    for _ in $(seq "$runs"); do
      timed "$preset first VELDRA-cli" "${ours[@]}" first
      if [ -n "$floor" ]; then timed "$preset first floor-a" "$floor" -a "$tree"; fi
    done
    "${ours[@]}" marks >/dev/null || true
    for _ in $(seq "$runs"); do
      timed "$preset marks VELDRA-cli" "${ours[@]}" marks
      if [ -n "$floor" ] && [ "$skip_same" = 1 ]; then
        # floor's own pages would differ from ours, so with SKIPSAME only a floor that
        # writes nothing keeps the timed runs a second run with nothing changed.
        timed "$preset marks floor-r-p" "$floor" -r -p "$tree"
      elif [ -n "$floor" ]; then
        timed "$preset marks floor-a-p" "$floor" -a -p "$tree"
        timed "$preset marks floor-i-p" "$floor" -i -p "$tree"
      fi
    done
  fi

  python3 - "$results" "$entries" <<'PY'
import collections, statistics, sys
rows = collections.OrderedDict()
for line in open(sys.argv[1]):
    preset, run, program, *values = line.split()
    rows.setdefault((preset, run, program), []).append([float(v) for v in values])
entries = int(sys.argv[2])
print(f"{'tree':9} {'run':6} {'program':11} {'wall s':>7} {'user s':>7} {'sys s':>7} "
      f"{'peak MiB':>8} {'entries/s':>10} {'ratio':>6}")
walls = {(run, program): statistics.median(s[0] for s in samples)
         for (_, run, program), samples in rows.items()}
for (preset, run, program), samples in rows.items():
    med = [statistics.median(col) for col in zip(*samples)]
    rate = entries / med[0] if med[0] > 0 else float("inf")
    ratio = ""
    if program != "VELDRA-cli" and med[0] > 0 and (run, "VELDRA-cli") in walls:
        ratio = f"{walls[(run, 'VELDRA-cli')] / med[0]:.2f}"  # VELDRA-cli wall / this floor's
    print(f"{preset:9} {run:6} {program:11} {med[0]:7.2f} {med[1]:7.2f} {med[2]:7.2f} "
          f"{med[3] / 1024:8.1f} {rate:10.0f} {ratio:>6}")
print(f"  ({entries} entries; medians of {len(next(iter(rows.values())))} runs, alternating; "
      "ratio = VELDRA-cli wall / floor wall)")
PY
done
