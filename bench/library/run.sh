#!/usr/bin/env bash
# Runs library_bench with an nginx baseline serving the same 1 GiB file.
# run.sh BUILD_DIR [WORKDIR]
set -euo pipefail
build=${1:?build dir}
work=${2:-/tmp/lyrebox-library-bench}
mkdir -p "$work/nginx"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon on;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx/body; proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fcgi; uwsgi_temp_path $work/nginx/uwsgi; scgi_temp_path $work/nginx/scgi;
  server { listen 127.0.0.1:$port; root $work; }
}
CONF
/usr/sbin/nginx -c "$work/nginx/nginx.conf" -p "$work/nginx"
trap 'kill "$(cat "$work/nginx/nginx.pid")" 2>/dev/null || true' EXIT
"$build/library_bench" "$work" "$port"
