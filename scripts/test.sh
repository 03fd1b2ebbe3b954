#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite: the normal build,
# then the same tests under AddressSanitizer with UndefinedBehaviorSanitizer,
# then the threaded tests under ThreadSanitizer.
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
