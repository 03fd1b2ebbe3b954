#!/usr/bin/env bash
# Sets up, builds and runs the player with the plugin: run.sh [MUSIC_FOLDER] [PLAYER OPTIONS]
# Only the player, the platform library and the plugin are built (the tests
# and benchmarks belong to scripts/test.sh). A folder given is added to the
# shared library folders unless it is shared already, and its playable files
# replace the play list; without one, the last run's play list comes back.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
"$root/scripts/setup.sh"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target lyrebox-player gen_lyrebox lyrebox-share
args=()
if [ $# -ge 1 ] && [ "${1#-}" = "$1" ]; then
  music=$(cd "$1" && pwd)
  shift
  "$build/lyrebox-share" "$build/plugins/gen_lyrebox.ini" "$music"
  args+=("$music")
fi
exec "$build/lyrebox-player" "$@" "${args[@]}"
