#!/bin/sh
# Builds and runs one libFuzzer target for a given time.
#   scripts/fuzz.sh TARGET SECONDS      e.g. scripts/fuzz.sh request 600
# TARGET is one of: request search response ini path range outgoing.
# Builds only that target (and the libraries it links), with clang, in
# build-fuzz/ (the "fuzz" preset); new corpus entries go
# to build-fuzz/corpus/TARGET (the seeds in tools/fuzz/corpus/TARGET stay as
# they are); a finding leaves its input in build-fuzz/artifacts/ and makes
# the script fail.
set -eu
target=${1:?target name: request search response ini path range outgoing}
seconds=${2:?seconds to run}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz

# The longest input worth trying: a request head must fit 40,960 bytes plus a
# little body; an INI file is small (the attack suite tries huge ones), and
# paths and Range headers are short.
case $target in
  request|response) max_len=48000 ;;
  search) max_len=4096 ;;
  ini) max_len=8192 ;;
  path) max_len=2048 ;;
  outgoing) max_len=4096 ;;
  range) max_len=256 ;;
  *) echo "fuzz.sh: unknown target '$target'" >&2; exit 2 ;;
esac

# LYREBOX_FUZZ_BUILT=1: the targets are built already (the test script builds
# them all once, then runs several at a time, which must not reconfigure the
# tree together).
if [ "${LYREBOX_FUZZ_BUILT:-0}" != 1 ]; then
  (cd "$root" && cmake --preset fuzz >/dev/null)
  cmake --build "$build" --target "fuzz_$target" -j2
fi
mkdir -p "$build/corpus/$target" "$build/artifacts"
# Undefined behaviour and leaks are findings too.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$build/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1 \
  "$build/corpus/$target" "$root/tools/fuzz/corpus/$target"
