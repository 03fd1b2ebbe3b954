#!/bin/sh
# Builds and runs one libFuzzer target for a given time.
#   scripts/fuzz.sh TARGET SECONDS      e.g. scripts/fuzz.sh request 600
# Builds with clang in build-fuzz/; new corpus entries go to
# build-fuzz/corpus/TARGET (the seeds in tools/fuzz/corpus/TARGET stay as
# they are); a crash leaves its input in build-fuzz/artifacts/.
set -eu
target=${1:?target name, e.g. request}
seconds=${2:?seconds to run}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLYREBOX_FUZZ=ON -DLYREBOX_TESTS=OFF -DLYREBOX_BENCH=OFF >/dev/null
cmake --build "$build" --target "fuzz_$target" -j2
mkdir -p "$build/corpus/$target" "$build/artifacts"
exec "$build/fuzz_$target" -max_total_time="$seconds" -max_len=48000 -timeout=10 \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1 \
  "$build/corpus/$target" "$root/tools/fuzz/corpus/$target"
