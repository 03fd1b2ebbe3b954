#!/usr/bin/env bash
# Keep-alive requests/s of /getvolume, /consolestatus.xml and /playlist.xml?id=x
# (1,000 entries), against nginx serving a small file in the same run, and of
# the full /playlist.xml against nginx serving a file of the same bytes; each
# with the server's CPU time per request (user + system, from /proc). Every
# figure is the median of ROUNDS rounds that alternate the servers.
# Then the full /playlist.xml once more with the cores split as in
# bench/http_load: both servers on core 0 (nginx with one worker), one wrk
# thread on core 1.
# Usage: bench/api_load/run.sh [BUILD_DIR] [SECONDS] [CONNECTIONS] [direct] [ROUNDS]
# ("direct": the gateway sends every message on its own instead of one batch per document)
set -euo pipefail
build=${1:-build}
seconds=${2:-5}
connections=${3:-16}
mode=${4:-relay}
rounds=${5:-3}
work=$(mktemp -d)
# nginx's workers run as an unprivileged user: a folder only its owner can
# read would have them answer 403 instead of the files.
chmod 755 "$work"
server_pid=""
nginx_pid=""
pinned_nginx_pid=""
cleanup() {
  [[ -n "$pinned_nginx_pid" ]] && kill "$pinned_nginx_pid" 2>/dev/null || true
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

# CPU time (user + system, clock ticks) of a process and its children.
cpu_ticks() {
  local total=0 p
  for p in "$1" $(pgrep -P "$1"); do
    [ -r "/proc/$p/stat" ] || continue
    total=$((total + $(awk '{sub(/^.*\) /, ""); print $12 + $13}' "/proc/$p/stat")))
  done
  echo "$total"
}
wrk_cmd=(wrk -t2)
rate() {  # URL PID -> "requests/s cpu_us_per_request"
  local before after
  before=$(cpu_ticks "$2")
  "${wrk_cmd[@]}" -c"$connections" -d"${seconds}s" "$1" > "$work/wrk.out"
  after=$(cpu_ticks "$2")
  awk -v ticks="$((after - before))" -v hz="$(getconf CLK_TCK)" '
    / requests in /{n=$1} /^Requests\/sec:/{r=$2}
    END{printf "%s %.1f\n", r, (n > 0 ? ticks / hz * 1e6 / n : 0)}' "$work/wrk.out"
}
check() {  # URL: must answer 200 before it is measured
  curl -sf -o /dev/null "$1" || { echo "no answer from $1" >&2; exit 1; }
}
for u in /getvolume /consolestatus.xml "/playlist.xml?id=x" /playlist.xml; do check "http://127.0.0.1:$api_port$u"; done
# The full list as it is served from now on (its dirty flag is down after the
# first answer), for nginx to serve the same bytes.
curl -sf -o "$work/www/playlist.xml" "http://127.0.0.1:$api_port/playlist.xml"
playlist_bytes=$(wc -c < "$work/www/playlist.xml")
same_bytes() {  # PORT FILE: nginx must serve the very bytes, not an error page
  cmp -s <(curl -sf "http://127.0.0.1:$1/$2") "$work/www/$2" || { echo "nginx does not serve $2" >&2; exit 1; }
}
same_bytes "$nginx_port" small.html
same_bytes "$nginx_port" playlist.xml

median() { python3 -c 'import sys, statistics; print(statistics.median(float(x) for x in sys.argv[1:]))' "$@"; }
declare -A rps cpu
measure() {  # "LABEL|PORT|PATH|PID"...: ROUNDS rounds, each measuring them in turn
  local c label port path pid r u
  for _ in $(seq 1 "$rounds"); do
    for c in "$@"; do
      IFS='|' read -r label port path pid <<< "$c"
      read -r r u <<< "$(rate "http://127.0.0.1:$port$path" "$pid")"
      rps[$label]+="$r "; cpu[$label]+="$u "
    done
  done
}
cases=("nginx small file|$nginx_port|/small.html|$nginx_pid"
       "nginx playlist.xml copy|$nginx_port|/playlist.xml|$nginx_pid"
       "/getvolume|$api_port|/getvolume|$server_pid"
       "/consolestatus.xml|$api_port|/consolestatus.xml|$server_pid"
       "/playlist.xml?id=x|$api_port|/playlist.xml?id=x|$server_pid"
       "/playlist.xml|$api_port|/playlist.xml|$server_pid")
measure "${cases[@]}"

# The cores split: nginx with one worker on core 0 beside the api server,
# which moves there with all its threads (new ones inherit it), and wrk on
# core 1. These rounds come last, so the shared-core ones above ran unpinned.
pinned_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
sed -e 's/^worker_processes auto;/worker_processes 1;/' -e "s/127.0.0.1:$nginx_port/127.0.0.1:$pinned_port/" \
  -e "s|pid $work/nginx.pid|pid $work/pinned-nginx.pid|" "$work/nginx.conf" > "$work/pinned-nginx.conf"
taskset -c 0 nginx -p "$work" -c "$work/pinned-nginx.conf" &
pinned_nginx_pid=$!
for _ in $(seq 50); do curl -sf "http://127.0.0.1:$pinned_port/small.html" > /dev/null && break; sleep 0.1; done
same_bytes "$pinned_port" playlist.xml
taskset -a -p -c 0 "$server_pid" > /dev/null
wrk_cmd=(taskset -c 1 wrk -t1)
pinned=("nginx playlist.xml copy, split|$pinned_port|/playlist.xml|$pinned_nginx_pid"
        "/playlist.xml, split|$api_port|/playlist.xml|$server_pid")
measure "${pinned[@]}"

m() { median ${rps[$1]}; }
c() { median ${cpu[$1]}; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.1f%%", 100*a/b}'; }
nginx_rate=$(m "nginx small file")
copy_rate=$(m "nginx playlist.xml copy")
echo "keep-alive, wrk -t2 -c$connections -d${seconds}s, median of $rounds rounds, $(nproc) cores, gateway: $mode"
printf '%-28s %10.0f req/s  cpu %7.1f us/req\n' "nginx small file" "$nginx_rate" "$(c "nginx small file")"
printf '%-28s %10.0f req/s  cpu %7.1f us/req  (%s bytes)\n' "nginx playlist.xml copy" "$copy_rate" \
  "$(c "nginx playlist.xml copy")" "$playlist_bytes"
printf '%-28s %10.0f req/s  cpu %7.1f us/req  %s of nginx (target >= 70%%)\n' "/getvolume" "$(m /getvolume)" \
  "$(c /getvolume)" "$(ratio "$(m /getvolume)" "$nginx_rate")"
printf '%-28s %10.0f req/s  cpu %7.1f us/req  %s of nginx (target >= 55%%)\n' "/consolestatus.xml" \
  "$(m /consolestatus.xml)" "$(c /consolestatus.xml)" "$(ratio "$(m /consolestatus.xml)" "$nginx_rate")"
printf '%-28s %10.0f req/s  cpu %7.1f us/req  %s of nginx (1,000 entries, not sent: id known)\n' "/playlist.xml?id=x" \
  "$(m "/playlist.xml?id=x")" "$(c "/playlist.xml?id=x")" "$(ratio "$(m "/playlist.xml?id=x")" "$nginx_rate")"
printf '%-28s %10.0f req/s  cpu %7.1f us/req  %s of nginx serving the same %s bytes (target >= 90%%)\n' "/playlist.xml" \
  "$(m /playlist.xml)" "$(c /playlist.xml)" "$(ratio "$(m /playlist.xml)" "$copy_rate")" "$playlist_bytes"
echo "cores split: both servers on core 0 (nginx with one worker), wrk -t1 -c$connections on core 1"
printf '%-28s %10.0f req/s  cpu %7.1f us/req\n' "nginx playlist.xml, split" "$(m "nginx playlist.xml copy, split")" \
  "$(c "nginx playlist.xml copy, split")"
printf '%-28s %10.0f req/s  cpu %7.1f us/req  %s of nginx serving the same bytes (target >= 90%%)\n' \
  "/playlist.xml, split" "$(m "/playlist.xml, split")" "$(c "/playlist.xml, split")" \
  "$(ratio "$(m "/playlist.xml, split")" "$(m "nginx playlist.xml copy, split")")"
