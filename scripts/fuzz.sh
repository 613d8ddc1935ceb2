#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build/fuzz and runs them, one after the other.
#
#   scripts/fuzz.sh [seconds] [target...]   open-ended fuzzing by hand, e.g. scripts/fuzz.sh 600 fuzz_ini
#       Each target runs for the given time (default 30 s) and grows its working corpus under
#       build/fuzz/corpus/, so every run goes further than the last. Not part of the test command.
#   scripts/fuzz.sh --check [target...]     the fixed pass the test command gates on
#       Each target runs a fixed number of inputs from a fixed seed on the committed corpus only,
#       with nothing kept between runs: the same commit always gives the same verdict.
#
# A failing input is left under build/fuzz/crashes/; commit it to tests/fuzz/corpus/<name>/ with
# the fix, so the normal suite replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [ "${1:-}" = --check ]; then
  check=1
  shift
else
  seconds=${1:-30}
  shift || true
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_id3_block fuzz_ini fuzz_snapshot fuzz_link_fixup fuzz_cp932 fuzz_feed_history
           fuzz_mp3_tags fuzz_other_formats fuzz_tag_record)
fi

# Inputs per target in --check mode: 10 to 40 s each on this project's two-core machine (the
# sanitizer build; ini 1,500-3,700/s, snapshot 8,000-22,000/s, cp932 3,300-5,300/s,
# link_fixup 3,000-3,700/s in memory).
declare -A check_runs=(
  [fuzz_id3_block]=200000 [fuzz_ini]=60000 [fuzz_snapshot]=200000 [fuzz_link_fixup]=100000
  [fuzz_cp932]=80000 [fuzz_feed_history]=60000 [fuzz_mp3_tags]=60000 [fuzz_other_formats]=20000
  [fuzz_tag_record]=60000)
readonly check_seed=20261207

scripts/install-deps.sh fuzz
build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELDRA_FUZZ=ON -DVELDRA_SANITIZE=ON -DVELDRA_BUILD_UI=OFF >/dev/null
fi
cmake --build "$build" --target "${targets[@]}" -j "${FUZZ_JOBS:-2}"

mkdir -p "$build/crashes"
# fuzz_ini writes a file on every input; a RAM folder keeps that cheap.
scratch=$(mktemp -d -p "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)" veldra-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
# In --check mode address-space randomisation is off for the targets: libFuzzer counts stack depth
# as coverage, and a randomly placed stack now and then put one input in another depth bucket.
no_aslr=()
if [ $check -eq 1 ] && setarch -R true 2>/dev/null; then no_aslr=(setarch -R); fi
status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  log="$build/$target.log"
  common=(-max_len=4096 -rss_limit_mb=2048 -artifact_prefix="$build/crashes/$target-"
          -print_final_stats=1)
  if [ $check -eq 1 ]; then
    # New inputs go to a fresh folder (the first one named); the committed corpus is only read.
    # No corpus reload and a generous time-out: nothing depends on the clock but a real hang.
    # Comparison operands are not fed back into mutations: the targets compare paths with random
    # scratch and temporary names in them, which made two runs from one seed take different
    # paths. Without them the same seed gives the same inputs, run for run.
    fresh="$scratch/corpus-$name"
    mkdir -p "$fresh"
    runs=${check_runs[$target]:-10000}
    args=("$fresh" tests/fuzz/corpus/"$name" -seed="$check_seed" -runs="$runs" -reload=0
          -timeout=120 -use_cmp=0 -use_memmem=0)
  else
    work="$build/corpus/$name"
    mkdir -p "$work"
    cp -n tests/fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
    args=("$work" -max_total_time="$seconds" -timeout=10)
  fi
  if ! "${no_aslr[@]}" "$build/bin/$target" "${args[@]}" "${common[@]}" >"$log" 2>&1; then
    echo "$target: FAILED, see $log and $build/crashes/" >&2
    status=1
  fi
  done_runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  if [ $check -eq 1 ]; then
    echo "$target: $done_runs executions (seed $check_seed)"
  else
    echo "$target: $done_runs executions in ${seconds}s"
  fi
done
exit $status
