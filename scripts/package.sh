#!/usr/bin/env bash
# Builds the Debian package: package.sh [BUILD_DIR] -> lyrebox_VERSION_amd64.deb
# in the repository's top folder (and BUILD_DIR/package/). An existing build
# tree is reused: only the player, the platform library and the plugin are
# built (if not yet), then CPack stages them under /usr and runs
# dpkg-shlibdeps for the dependencies.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLYREBOX_TESTS=OFF -DLYREBOX_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target lyrebox-player gen_lyrebox
rm -f "$build"/package/lyrebox_*.deb
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
deb=$(ls "$build"/package/lyrebox_*_amd64.deb)
cp "$deb" "$root/"
echo "$root/$(basename "$deb")"
