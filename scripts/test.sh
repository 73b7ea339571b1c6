#!/usr/bin/env bash
# Installs what is missing, builds, starts a throwaway PostgreSQL cluster for
# the tests that need one, runs the whole CTest suite and stops the cluster,
# then the fuzz targets for a bounded time (scripts/fuzz.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KVR_BUILD_DIR:-$top/build}
"$top/scripts/deps.sh"
"$top/scripts/build.sh"

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
pgdir=$(mktemp -d /tmp/kvr-pg.XXXXXX)
pgport=$((20000 + RANDOM % 20000))
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
stop_pg() {
    as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$pgdir"
}
trap stop_pg EXIT
[ "$(id -u)" -eq 0 ] && chown postgres "$pgdir"
as_pg "$pgbin/initdb" -D "$pgdir/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >/dev/null
as_pg "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/log" -w \
    -o "-p $pgport -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
export KVR_TEST_PG_URL="postgresql://postgres@127.0.0.1:$pgport/postgres"
echo "PostgreSQL for the tests on port $pgport"

cd "$build"
ctest --output-on-failure -j 2 "$@"
"$top/scripts/fuzz.sh"
