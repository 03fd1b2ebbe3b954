#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite with the presets
# of CMakePresets.json: the normal build, then the same tests under
# AddressSanitizer with UndefinedBehaviorSanitizer, then the threaded tests
# under ThreadSanitizer (that tree builds only what they need), then a short
# run of every fuzz target (LYREBOX_FUZZ_SECONDS each, 30 by default, as
# many at once as there are cores). Warnings are errors here. The sanitizer
# and fuzz trees carry line tables only (-g1): enough for every report, and a
# quarter quicker to compile than full debug information.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh

run_suite() {  # run_suite PRESET: configure, build and test one tree
  local preset=$1 start=$SECONDS
  echo "== $preset: build"
  cmake --preset "$preset" -DLYREBOX_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
  echo "== $preset: tests"
  ctest --preset "$preset" -j2
  echo "== $preset: done in $((SECONDS - start)) s"
}

run_suite plain
run_suite asan
run_suite tsan

# Each fuzz target for a short while (scripts/fuzz.sh runs it from the fuzz
# tree); a crash, sanitizer report, leak or broken invariant fails the run
# and leaves its input in build-fuzz/artifacts/.
start=$SECONDS
cmake --preset fuzz -DLYREBOX_WERROR=ON >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
fuzz_seconds=${LYREBOX_FUZZ_SECONDS:-30}
fuzz_logs=$root/build-fuzz/logs
mkdir -p "$fuzz_logs"
fuzz_targets=(request search response ini path range outgoing)

fuzz_one() {  # fuzz_one TARGET: run it, leaving its log and its outcome
  local target=$1
  rm -f "$fuzz_logs/ci-$target.failed"
  LYREBOX_FUZZ_BUILT=1 scripts/fuzz.sh "$target" "$fuzz_seconds" > "$fuzz_logs/ci-$target.log" 2>&1 ||
    touch "$fuzz_logs/ci-$target.failed"
}

# A fuzzer uses one core: run as many at once as there are cores.
echo "== fuzz: ${#fuzz_targets[@]} targets for ${fuzz_seconds} s each, $(nproc) at a time"
for target in "${fuzz_targets[@]}"; do
  while (($(jobs -rp | wc -l) >= $(nproc))); do wait -n || true; done
  fuzz_one "$target" &
done
wait

fuzz_failed=()
for target in "${fuzz_targets[@]}"; do
  if [[ -e $fuzz_logs/ci-$target.failed ]]; then
    echo "== fuzz: $target FAILED; its log:"
    tail -n 60 "$fuzz_logs/ci-$target.log"
    fuzz_failed+=("$target")
  else
    echo -n "== fuzz: $target: "
    grep -E '^(stat::number_of_executed_units|stat::new_units_added)|DONE' "$fuzz_logs/ci-$target.log" | tr '\n' ' ' || true
    echo
  fi
done
if ((${#fuzz_failed[@]})); then
  echo "== fuzz: findings in: ${fuzz_failed[*]}"
  exit 1
fi
echo "== fuzz: clean in $((SECONDS - start)) s"
