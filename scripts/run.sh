#!/usr/bin/env bash
# Sets up, builds and runs the player with the plugin: run.sh [MUSIC_FOLDER]
# On a first run (no INI file yet) the folder becomes the shared library
# folder; the player enqueues its playable files either way.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
ini="$root/build/plugins/gen_lyrebox.ini"
args=()
if [ $# -ge 1 ]; then
  music=$(cd "$1" && pwd)
  if [ ! -e "$ini" ]; then
    install -m 600 /dev/null "$ini"
    printf '[Lyrebox Remote Control Plugin v1.0]\nShared Dirs=%s;\n' "$music" > "$ini"
  fi
  args+=("$music")
fi
exec "$root/build/lyrebox-player" "${args[@]}"
