#!/bin/sh
# The load and fault suite's long form: bench/load/run.sh [SECONDS] [BUILD_DIR]
# (60 s of polling pages by default; the short form runs with ctest -L load).
set -e
seconds=${1:-60}
build=${2:-$(cd "$(dirname "$0")/../.." && pwd)/build}
suite=$build/load_suite
[ -x "$suite" ] || suite=$build/bench/load/load_suite
status=0
"$suite" pages "$seconds" 200 || status=1
"$suite" downloads "$seconds" || status=1
"$suite" quit 10 || status=1
"$suite" ini-kill "$seconds" || status=1
exit $status
