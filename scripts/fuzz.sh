#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build/fuzz and runs each one for the given number
# of seconds (default 30), one after the other, on a copy of its committed corpus. Prints the
# executions per target; a crash stops the script with the failing input under build/fuzz/crashes.
#   scripts/fuzz.sh [seconds] [target...]      e.g. scripts/fuzz.sh 600 fuzz_ini
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_id3_block fuzz_ini fuzz_snapshot fuzz_link_fixup fuzz_cp932 fuzz_mp3_tags
                                 fuzz_other_formats)

scripts/install-deps.sh fuzz
build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELDRA_FUZZ=ON -DVELDRA_SANITIZE=ON -DVELDRA_BUILD_UI=OFF >/dev/null
fi
cmake --build "$build" --target "${targets[@]}" -j "${FUZZ_JOBS:-2}"

mkdir -p "$build/crashes"
# Two targets write files on every input; a RAM folder keeps their fsyncs cheap.
scratch=$(mktemp -d -p "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)" veldra-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  work="$build/corpus/$name"
  mkdir -p "$work"
  cp -n tests/fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
  log="$build/$target.log"
  if ! "$build/bin/$target" "$work" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
       -rss_limit_mb=2048 -artifact_prefix="$build/crashes/$target-" -print_final_stats=1 \
       >"$log" 2>&1; then
    echo "$target: FAILED, see $log and $build/crashes/" >&2
    status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  echo "$target: $runs executions in ${seconds}s"
done
exit $status
