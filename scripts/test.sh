#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite: the normal build,
# then the same tests under AddressSanitizer with UndefinedBehaviorSanitizer,
# then the threaded tests under ThreadSanitizer, then a short run of every
# fuzz target (LYREBOX_FUZZ_SECONDS each, 30 by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

run_suite() {  # run_suite BUILD_DIR "cmake args" "ctest args"
  local dir=$1 cmake_args=$2 ctest_args=$3
  echo "== $(basename "$dir"): build"
  # shellcheck disable=SC2086
  "$root/scripts/build.sh" "$dir" $cmake_args
  echo "== $(basename "$dir"): tests"
  (cd "$dir" && ctest --output-on-failure -j2 --timeout 900 $ctest_args)
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp"

run_suite "$root/build" "" ""
run_suite "$root/build-asan" "-DLYREBOX_SANITIZE=address -DLYREBOX_BENCH=OFF" "-LE browser|nosan"
run_suite "$root/build-tsan" "-DLYREBOX_SANITIZE=thread -DLYREBOX_BENCH=OFF" "-L threaded -LE browser|nosan"

# Each fuzz target for a short while (scripts/fuzz.sh builds it with clang in
# build-fuzz/); a crash, sanitizer report, leak or broken invariant fails the
# run and leaves its input in build-fuzz/artifacts/.
fuzz_seconds=${LYREBOX_FUZZ_SECONDS:-30}
fuzz_failed=()
fuzz_logs=$root/build-fuzz/logs
mkdir -p "$fuzz_logs"
for target in request search response ini path range outgoing; do
  echo "== build-fuzz: $target for ${fuzz_seconds} s"
  if "$root/scripts/fuzz.sh" "$target" "$fuzz_seconds" > "$fuzz_logs/ci-$target.log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::new_units_added)|DONE' "$fuzz_logs/ci-$target.log" | tr '\n' ' ' || true
    echo
  else
    echo "== build-fuzz: $target FAILED; its log:"
    tail -n 60 "$fuzz_logs/ci-$target.log"
    fuzz_failed+=("$target")
  fi
done
if ((${#fuzz_failed[@]})); then
  echo "== build-fuzz: findings in: ${fuzz_failed[*]}"
  exit 1
fi
echo "== build-fuzz: clean"
