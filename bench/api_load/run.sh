#!/usr/bin/env bash
# Keep-alive requests/s of /getvolume, /consolestatus.xml and /playlist.xml?id=x
# (1,000 entries), against nginx serving a small file in the same run.
# Usage: bench/api_load/run.sh [BUILD_DIR] [SECONDS] [CONNECTIONS] [direct]
# ("direct": the gateway sends every message on its own instead of one batch per document)
set -euo pipefail
build=${1:-build}
seconds=${2:-5}
connections=${3:-16}
mode=${4:-relay}
work=$(mktemp -d)
server_pid=""
nginx_pid=""
cleanup() {
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A ten-minute tagged track of silence keeps the player on it for the whole run.
ffmpeg -v error -y -f lavfi -i anullsrc=r=22050:cl=mono -t 600 -c:a libmp3lame -b:a 32k \
  -metadata title="Bench Song" -metadata artist="Bench Artist" -metadata album="Bench Album" "$work/track.mp3"

# The api server; its standard input is a pipe that stays open until we exit.
mkfifo "$work/in"
"$build/api_load_server" "$work/track.mp3" "$work/bench.ini" "$mode" < "$work/in" > "$work/server.out" &
server_pid=$!
exec 3> "$work/in"
for _ in $(seq 100); do grep -q '^port ' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
api_port=$(awk '/^port /{print $2}' "$work/server.out")

# nginx on a free port, serving a small file.
nginx_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/www" "$work/logs"
printf '%s' "<html><body>small file for the baseline</body></html>" > "$work/www/small.html"
cat > "$work/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/tmp; proxy_temp_path $work/tmp; fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp; scgi_temp_path $work/tmp;
  keepalive_requests 1000000;
  server { listen 127.0.0.1:$nginx_port; root $work/www; }
}
CONF
mkdir -p "$work/tmp"
nginx -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 50); do curl -sf "http://127.0.0.1:$nginx_port/small.html" > /dev/null && break; sleep 0.1; done

rate() {  # URL -> requests/s
  wrk -t2 -c"$connections" -d"${seconds}s" "$1" | awk '/^Requests\/sec:/{print $2}'
}
check() {  # URL: must answer 200 before it is measured
  curl -sf -o /dev/null "$1" || { echo "no answer from $1" >&2; exit 1; }
}
for u in /getvolume /consolestatus.xml "/playlist.xml?id=x"; do check "http://127.0.0.1:$api_port$u"; done

nginx_rate=$(rate "http://127.0.0.1:$nginx_port/small.html")
volume_rate=$(rate "http://127.0.0.1:$api_port/getvolume")
console_rate=$(rate "http://127.0.0.1:$api_port/consolestatus.xml")
playlist_rate=$(rate "http://127.0.0.1:$api_port/playlist.xml?id=x")
full_rate=$(rate "http://127.0.0.1:$api_port/playlist.xml")
playlist_bytes=$(curl -s "http://127.0.0.1:$api_port/playlist.xml" | wc -c)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.1f%%", 100*a/b}'; }
echo "keep-alive, wrk -t2 -c$connections -d${seconds}s, $(nproc) cores, gateway: $mode"
printf '%-28s %10s req/s\n' "nginx small file" "$nginx_rate"
printf '%-28s %10s req/s  %s of nginx (target >= 40%%)\n' "/getvolume" "$volume_rate" "$(ratio "$volume_rate" "$nginx_rate")"
printf '%-28s %10s req/s  %s of nginx (target >= 25%%)\n' "/consolestatus.xml" "$console_rate" "$(ratio "$console_rate" "$nginx_rate")"
printf '%-28s %10s req/s  %s of nginx (1,000 entries; full list %s bytes)\n' "/playlist.xml?id=x" "$playlist_rate" \
  "$(ratio "$playlist_rate" "$nginx_rate")" "$playlist_bytes"
printf '%-28s %10s req/s  (the full list every time)\n' "/playlist.xml" "$full_rate"
