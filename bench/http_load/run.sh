#!/bin/bash
# HTTP load benchmark: the plugin's server inside the headless player, with
# nginx serving a static file of the same size in the same run as baseline.
#
#   bench/http_load/run.sh [BUILD_DIR] [SECONDS] [ROUNDS]
#
# The server runs on core 0 and wrk on core 1 (taskset). The plugin is copied
# into a temporary folder with a gen_lyrebox.ini beside it that sets a free
# port; nothing outside that folder is touched. Prints requests/s and p50/p99
# latency for keep-alive GET /info with 16 and 64 connections and for a new
# connection per request, the ratio to nginx, each server's CPU time per request
# (user + system, from /proc), RSS per idle connection, and
# the latency of a new request while 2,000 idle connections are held.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
seconds=${2:-5}
# Each case runs ROUNDS times, alternating the two servers, and the median
# round is printed, so a burst of other load on the machine skews less.
rounds=${3:-3}
here=$root/bench/http_load
work=$(mktemp -d /tmp/lyrebox-http-load-XXXXXX)
# nginx's workers run as an unprivileged user: a folder only its owner can
# read would have them answer 403 instead of the file.
chmod 755 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 1 200); do
    (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "port $1 never opened" >&2; exit 1
}

# The plugin's server.
port=$(free_port)
cp "$build/plugins/gen_lyrebox.so" "$work/"
printf '[Lyrebox Remote Control Plugin v1.0]\r\nlistenIP=0.0.0.0\r\nlistenPort=%s\r\n' "$port" > "$work/gen_lyrebox.ini"
XDG_STATE_HOME="$work/state" taskset -c 0 "$build/lyrebox-player" --headless --plugin "$work/gen_lyrebox.so" 2> "$work/player.log" &
player=$!
pids+=("$player")
wait_port "$port"

# nginx with a file the size of the /info page.
nginx_port=$(free_port)
mkdir -p "$work/nginx/html" "$work/nginx/tmp"
curl -s "http://127.0.0.1:$port/info" > "$work/nginx/html/info"
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $work/nginx/tmp;
  proxy_temp_path $work/nginx/tmp;
  fastcgi_temp_path $work/nginx/tmp;
  uwsgi_temp_path $work/nginx/tmp;
  scgi_temp_path $work/nginx/tmp;
  keepalive_requests 10000000;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/nginx/html;
    default_type text/html;
  }
}
CONF
taskset -c 0 nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
nginx=$!
pids+=("$nginx")
wait_port "$nginx_port"
# The baseline must serve the very bytes, not an error page.
cmp -s <(curl -sf "http://127.0.0.1:$nginx_port/info") "$work/nginx/html/info" ||
  { echo "nginx does not serve the copy of /info" >&2; exit 1; }

echo "body size: $(wc -c < "$work/nginx/html/info") bytes; $seconds s per run, median of $rounds rounds; server on core 0, wrk on core 1"
# CPU time (user + system, clock ticks) of the processes given and their
# children (nginx's workers), from /proc.
cpu_ticks() {
  local total=0 p
  for p in "$@" $(for q in "$@"; do pgrep -P "$q"; done); do
    [ -r "/proc/$p/stat" ] || continue
    total=$((total + $(awk '{sub(/^.*\) /, ""); print $12 + $13}' "/proc/$p/stat")))
  done
  echo "$total"
}
# measure URL CONNECTIONS PID [wrk options] -> "rps p50 p99 cpu_us_per_request" (latencies in ms)
measure() {
  local url=$1 conns=$2 pid=$3; shift 3
  local before after
  before=$(cpu_ticks "$pid")
  taskset -c 1 wrk -t1 -c"$conns" -d"${seconds}s" --latency "$@" "$url" > "$work/wrk.out"
  after=$(cpu_ticks "$pid")
  python3 - "$work/wrk.out" "$((after - before))" "$(getconf CLK_TCK)" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
def ms(v, unit):
    return float(v) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[unit]
rps = float(re.search(r"Requests/sec:\s+([\d.]+)", text).group(1))
total = int(re.search(r"(\d+) requests in", text).group(1))
cpu_us = int(sys.argv[2]) / int(sys.argv[3]) * 1e6 / max(total, 1)
p = {m.group(1): ms(m.group(2), m.group(3)) for m in re.finditer(r"^\s+(50|99)%\s+([\d.]+)(us|ms|s)\s*$", text, re.M)}
errors = re.search(r"Socket errors:.*|Non-2xx.*", text)
print(f"{rps:.0f} {p.get('50', -1):.3f} {p.get('99', -1):.3f} {cpu_us:.1f}" + (f" ({errors.group(0).strip()})" if errors else ""))
PY
}

median() { python3 -c 'import sys, statistics; print(f"{statistics.median(float(x) for x in sys.argv[1:]):.3f}")' "$@"; }

printf '%-26s %12s %9s %9s %12s %9s %9s %7s %13s %11s\n' case lyrebox_rps p50_ms p99_ms nginx_rps p50_ms p99_ms ratio \
  lyrebox_cpu_us nginx_cpu_us
for job in "keep-alive 16:16" "keep-alive 64:64" "new connection each 16:16:close"; do
  name=${job%%:*}; rest=${job#*:}; conns=${rest%%:*}; mode=${rest#*:}
  opts=()
  [ "$mode" = close ] && opts=(-H "Connection: close")
  o_rps=(); o50=(); o99=(); b_rps=(); b50=(); b99=(); ocpu=(); bcpu=()
  for _ in $(seq 1 "$rounds"); do
    read -r r p50 p99 cpu _ <<< "$(measure "http://127.0.0.1:$port/info" "$conns" "$player" "${opts[@]}")"
    o_rps+=("$r"); o50+=("$p50"); o99+=("$p99"); ocpu+=("$cpu")
    read -r r p50 p99 cpu _ <<< "$(measure "http://127.0.0.1:$nginx_port/info" "$conns" "$nginx" "${opts[@]}")"
    b_rps+=("$r"); b50+=("$p50"); b99+=("$p99"); bcpu+=("$cpu")
  done
  ours=$(median "${o_rps[@]}"); base=$(median "${b_rps[@]}")
  ratio=$(python3 -c "print(f'{$ours/$base:.2f}')")
  printf '%-26s %12.0f %9s %9s %12.0f %9s %9s %7s %13s %11s\n' "$name" "$ours" "$(median "${o50[@]}")" \
    "$(median "${o99[@]}")" "$base" "$(median "${b50[@]}")" "$(median "${b99[@]}")" "$ratio" "$(median "${ocpu[@]}")" \
    "$(median "${bcpu[@]}")"
done

echo
python3 "$here/idle_connections.py" "$port" "$player" 1000 8 20
echo
python3 "$here/idle_connections.py" "$port" "$player" 2000 8 50
