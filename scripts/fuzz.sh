#!/usr/bin/env bash
# Builds every fuzz target (fuzz/CMakeLists.txt) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer in build/fuzz, replays the
# inputs kept in fuzz/regressions/<name>/, then fuzzes each target for a
# fixed time from its seeds in fuzz/seeds/<name>/, several targets at once.
#
# usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20)
#
# A crash leaves its input in build/fuzz/crashes/<name>/; once the fault is
# mended, copy the input into fuzz/regressions/<name>/ so that every later
# run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
build=build/fuzz
jobs=$(( $(nproc) / 2 ))
[ "$jobs" -ge 1 ] || jobs=1

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTRANCEL_FUZZ=ON -DTRANCEL_TESTS=OFF -DTRANCEL_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j "$(nproc)"

run_target() {
  local name=$1 seconds=$2 build=$3
  local bin="$build/bin/fuzz_$name" log="$build/logs/$name.log"
  local corpus="$build/corpus/$name" crashes="$build/crashes/$name/"
  mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
  local kept=()
  if [ -d "fuzz/regressions/$name" ]; then
    while IFS= read -r -d '' f; do kept+=("$f"); done \
      < <(find "fuzz/regressions/$name" -type f ! -name '.*' -print0)
  fi
  if [ ${#kept[@]} -gt 0 ] && ! "$bin" "${kept[@]}" >"$log" 2>&1; then
    echo "fuzz $name: a kept regression input fails again (log: $log)"
    tail -n 30 "$log"
    return 1
  fi
  if ! "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$crashes" "$corpus" "fuzz/seeds/$name" >"$log" 2>&1; then
    echo "fuzz $name: failed; inputs in $crashes (log: $log)"
    tail -n 30 "$log"
    return 1
  fi
  echo "fuzz $name: $(grep -o 'Done [0-9]* runs' "$log" | tail -n 1 || true) in ${seconds}s"
}
export -f run_target

grep -v '^$' "$build/fuzz-targets.txt" |
  xargs -P "$jobs" -I{} bash -c 'run_target "$@"' _ {} "$seconds" "$build"
