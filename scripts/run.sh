#!/usr/bin/env bash
# The main job: builds, starts kvr-appserver on the embedded SQLite database
# (seeded on first run) and opens kvr-client with the rule module open.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KVR_BUILD_DIR:-$top/build}
"$top/scripts/deps.sh"
"$top/scripts/build.sh" kvr-appserver kvr-client kvr51400

datadir=${XDG_DATA_HOME:-$HOME/.local/share}/kvr
mkdir -p "$datadir"
db="$datadir/kvr51400.sqlite"
listen=${KVR_LISTEN:-127.0.0.1:2140}
log=$(mktemp /tmp/kvr-appserver.XXXXXX.log)

"$build/bin/kvr-appserver" --listen "$listen" --db "sqlite:$db" --seed >"$log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q "^listening on" "$log" && break
    kill -0 $server 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.1
done
cat "$log"

if [ ! -x "$build/bin/kvr-client" ]; then
    echo "kvr-client is not built yet: the app server runs alone (Ctrl+C stops it)."
    wait $server
    exit 0
fi
client=("$build/bin/kvr-client" --server "$listen" --modules "$build/modules" --open KVR51400)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "no display: the client runs on a virtual one (Xvfb)"
    xvfb-run -a -s "-screen 0 1280x900x24" "${client[@]}"
else
    "${client[@]}"
fi
