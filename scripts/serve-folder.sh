#!/usr/bin/env bash
# Serves a folder over HTTP on 127.0.0.1 with nginx, in the background.
#   scripts/serve-folder.sh start FOLDER STATE_DIR   prints the port it listens on
#   scripts/serve-folder.sh stop STATE_DIR
set -euo pipefail

free_port() {
  # Ask the kernel for a free port by binding port 0, then release it for nginx.
  local port
  for port in $(shuf -i 20000-60000 -n 50); do
    if ! (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; then echo "$port"; return; fi
  done
  echo "no free port found" >&2
  return 1
}

case "${1:-}" in
  start)
    folder=$(cd "$2" && pwd)
    state=$3
    mkdir -p "$state"
    state=$(cd "$state" && pwd)
    port=$(free_port)
    cat > "$state/nginx.conf" <<CONF
worker_processes 1;
pid $state/nginx.pid;
error_log $state/error.log;
$( [ "$(id -u)" -eq 0 ] && echo "user root;" )
events { worker_connections 64; }
http {
  access_log $state/access.log;
  client_body_temp_path $state/client_body;
  proxy_temp_path $state/proxy;
  fastcgi_temp_path $state/fastcgi;
  uwsgi_temp_path $state/uwsgi;
  scgi_temp_path $state/scgi;
  types { text/plain txt; application/zip zip; }
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $folder;
  }
}
CONF
    nginx -p "$state" -e "$state/error.log" -c "$state/nginx.conf"
    for _ in $(seq 50); do
      (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
      sleep 0.1
    done
    echo "$port"
    ;;
  stop)
    state=$2
    if [ -f "$state/nginx.pid" ]; then kill "$(cat "$state/nginx.pid")" 2>/dev/null || true; fi
    ;;
  *)
    echo "usage: $0 start FOLDER STATE_DIR | stop STATE_DIR" >&2
    exit 2
    ;;
esac
