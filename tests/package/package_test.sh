#!/usr/bin/env bash
# The Debian package: built from the test build tree, unpacked into a
# throwaway root (dpkg -x), its dependencies from shlibdeps; the installed
# player starts with the installed plugin, set up in the user's own plugins
# folder, and the plugin answers /getvolume. package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
root=$2
work=$(mktemp -d /tmp/lyrebox-package-XXXXXX)
player_pid=
cleanup() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null || true; wait "$player_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/player.log" ] && cat "$work/player.log"; exit 1; }

deb=$("$root/scripts/package.sh" "$build" | tail -n 1)
[ -f "$deb" ] || fail "no package at $deb"
case $(basename "$deb") in lyrebox_*_amd64.deb) ;; *) fail "package name $(basename "$deb")" ;; esac

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libgstreamer1.0-0 libtag1v5 libncursesw6 libglib2.0-0 gstreamer1.0-plugins-good; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
dpkg-deb -c "$deb" > "$work/contents"
for path in ./usr/bin/lyrebox-player ./usr/lib/lyrebox/liblyrebox-platform.so ./usr/lib/lyrebox/liblyrebox-dialogkit.so \
            ./usr/lib/lyrebox/plugins/gen_lyrebox.so ./usr/lib/systemd/user/lyrebox.service; do
  grep -q " $path\$" "$work/contents" || fail "package lacks $path"
done

dpkg -x "$deb" "$work/root"
grep -q '^ExecStart=/usr/bin/lyrebox-player --headless --play$' "$work/root/usr/lib/systemd/user/lyrebox.service" \
  || fail "unit: $(grep ExecStart "$work/root/usr/lib/systemd/user/lyrebox.service")"
# The unpacked player and plugin load the unpacked library, never the build tree's.
platform_of() { realpath "$(ldd "$1" | awk '/liblyrebox-platform/ { print $3 }')"; }
[ "$(platform_of "$work/root/usr/bin/lyrebox-player")" = "$work/root/usr/lib/lyrebox/liblyrebox-platform.so" ] \
  || fail "player does not find its library: $(ldd "$work/root/usr/bin/lyrebox-player" | grep lyrebox)"
[ "$(platform_of "$work/root/usr/lib/lyrebox/plugins/gen_lyrebox.so")" = "$work/root/usr/lib/lyrebox/liblyrebox-platform.so" ] \
  || fail "plugin does not find its library"

# A user of the installed player: its own plugins folder with the settings.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_STATE_HOME=$work/home/state LYREBOX_AUDIO=null
unset DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR
mkdir -p "$XDG_DATA_HOME/lyrebox/plugins"
printf '[Lyrebox Remote Control Plugin v1.0]\r\nlistenIP=127.0.0.1\r\nlistenPort=%s\r\n' "$port" \
  > "$XDG_DATA_HOME/lyrebox/plugins/gen_lyrebox.ini"
"$work/root/usr/bin/lyrebox-player" --headless 2> "$work/player.log" &
player_pid=$!
volume=
for _ in $(seq 1 400); do
  volume=$(curl -s --max-time 2 "http://127.0.0.1:$port/getvolume" || true)
  [ -n "$volume" ] && break
  kill -0 "$player_pid" 2>/dev/null || fail "the installed player ended"
  sleep 0.05
done
[[ $volume =~ ^[0-9]+$ ]] || fail "/getvolume answered '$volume'"
link=$XDG_DATA_HOME/lyrebox/plugins/gen_lyrebox.so
[ -L "$link" ] || fail "no plugin link in the user's folder"
[ "$(readlink "$link")" = "$work/root/usr/lib/lyrebox/plugins/gen_lyrebox.so" ] || fail "link to $(readlink "$link")"
grep -q "web app at http://127.0.0.1:$port/" "$work/player.log" || fail "no address line"
kill -TERM "$player_pid"
wait "$player_pid" || fail "exit status $?"
player_pid=
echo "package test: 1 passed, 0 failed"
