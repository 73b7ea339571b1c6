#!/usr/bin/env bash
# check_packages.sh SOURCE_DIR BUILD_DIR
# Builds the two packages once, checks them with lintian and dpkg, unpacks
# them into a throwaway root, runs the installed kvr-appserver with the
# installed configuration on a temporary database (the command line moves
# the database and the CFOP table into the root) and calls it, backs it up
# while it serves, and stops it as the service would.
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d /tmp/kvr-packages.XXXXXX)
server=
cleanup() {
    [ -n "$server" ] && kill -9 "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FALHOU: $*" >&2; exit 1; }

KVR_BUILD_DIR=$build_dir KVR_PACKAGE_DIR=$work/debs "$source_dir/scripts/package.sh" --no-build \
    >"$work/packages.txt"
appserver=$(ls "$work"/debs/kvr-appserver_*.deb)
client=$(ls "$work"/debs/kvr-client_*.deb)
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$appserver" "$client" 2>&1 | grep -v "root privileges" || true
    lintian --fail-on error,warning "$appserver" "$client" >/dev/null 2>&1 || fail "lintian"
fi

# What dpkg will do with them.
dpkg-deb -f "$client" Depends | grep -q "qt6-translations-l10n" || fail "dependência das traduções"
dpkg-deb -f "$client" Depends | grep -q "libqt6widgets6" || fail "dependências do shlibdeps"
dpkg-deb -f "$appserver" Depends | grep -q "libqt6sql6-sqlite" || fail "driver SQLite"
dpkg-deb -e "$appserver" "$work/control"
grep -qx "/etc/kvr/kvr-appserver.conf" "$work/control/conffiles" || fail "conffiles"
for script in postinst prerm postrm; do
    sh -n "$work/control/$script" || fail "$script"
done
grep -q "adduser --system" "$work/control/postinst" || fail "usuário do serviço"

root=$work/root
dpkg-deb -x "$appserver" "$root"
dpkg-deb -x "$client" "$root"
unit=$root/lib/systemd/system/kvr-appserver.service
grep -qx "ExecStart=/usr/bin/kvr-appserver --config /etc/kvr/kvr-appserver.conf" "$unit" ||
    fail "ExecStart"
grep -qx "User=kvr" "$unit" && grep -qx "Restart=on-failure" "$unit" || fail "serviço"
for file in usr/bin/kvr-client usr/lib/kvr/modules/libkvr51400.so usr/lib/kvr/kit/libkvrkit.so \
    usr/share/applications/kvr-client.desktop usr/share/icons/hicolor/scalable/apps/kvr-client.svg \
    usr/share/kvr/cfop.csv; do
    [ -e "$root/$file" ] || fail "falta $file"
done
if ldd "$root/usr/bin/kvr-client" "$root/usr/lib/kvr/modules/libkvr51400.so" | grep -q "not found"; then
    fail "bibliotecas do cliente"
fi

# The installed server, from the installed configuration.
config=$root/etc/kvr/kvr-appserver.conf
database=$work/kvr.sqlite
"$root/usr/bin/kvr-appserver" --config "$config" --db "sqlite:$database" \
    --cfop-table "$root/usr/share/kvr/cfop.csv" --listen 127.0.0.1:0 \
    >"$work/out" 2>"$work/err" &
server=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/out" 2>/dev/null || true)
    [ -n "$port" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
[ -n "$port" ] || fail "o servidor não subiu: $(cat "$work/err")"
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf '%s\n' '{"jsonrpc":"2.0","id":1,"method":"kvr51400.rdmConsisteFiscal.getVdCFOP","params":["5102"]}' >&3
IFS= read -r -t 20 reply <&3 || fail "sem resposta"
case $reply in
*'"id":1'*'"5102"'*) ;;
*) fail "resposta inesperada: $reply" ;;
esac

"$root/usr/bin/kvr-appserver" --config "$config" --db "sqlite:$database" \
    --backup "$work/copia.sqlite" >/dev/null || fail "backup"
[ -s "$work/copia.sqlite" ] || fail "cópia vazia"
if "$root/usr/bin/kvr-appserver" --config "$config" --db "sqlite:$database" \
    --restore "$work/copia.sqlite" 2>"$work/restore"; then
    fail "restauração com o servidor no ar"
fi

exec 3>&-
kill -TERM "$server"
status=0
wait "$server" || status=$?
server=
[ "$status" -eq 0 ] || fail "saída $status ao parar: $(cat "$work/err")"
"$root/usr/bin/kvr-appserver" --config "$config" --db "sqlite:$database" \
    --restore "$work/copia.sqlite" >/dev/null || fail "restauração"
echo "pacotes verificados: $(basename "$appserver") $(basename "$client")"
